#include "PixelTestSupport.h"

#include "pixel/PixelGrid.h"
#include "pixel/Pixels.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace vorn;
using namespace Qt::StringLiterals;

namespace {

using Runs = std::vector<PixelRect>;

TEST(PixelGrid, boxOutlineIsSixteenRuns)
{
    Runs expected{{1, 0, 7, 1}};
    for (int y = 1; y <= 7; ++y) {
        expected.push_back({0, y, 1, 1});
        expected.push_back({8, y, 1, 1});
    }
    expected.push_back({1, 8, 7, 1});

    EXPECT_EQ(Pixels::box().runs(u'#'), expected);
}

TEST(PixelGrid, runsFollowTheGridRowByRow)
{
    struct Case {
        const char* what;
        PixelGrid grid;
        QString cell;
        Runs runs;
    };
    const Case cases[] = {
        {"the small face's features",
         Pixels::markSmall(),
         u"K"_s,
         {{1, 2, 2, 1}, {5, 2, 2, 1}, {3, 4, 2, 1}, {3, 5, 2, 1}, {3, 6, 2, 1}}},
        {"a character the grid lacks", Pixels::box(), u"Y"_s, {}},
        {"a grid without rows", PixelGrid(), u"#"_s, {}},
        {"rows of nothing", PixelGrid({u""_s, u""_s}), u"#"_s, {}},
        {"a run that reaches the row's end", PixelGrid({u"..###"_s}), u"#"_s, {{2, 0, 3, 1}}},
        {"several runs in one row",
         PixelGrid({u"#.##.#"_s}),
         u"#"_s,
         {{0, 0, 1, 1}, {2, 0, 2, 1}, {5, 0, 1, 1}}},
        {"rows shorter than the width",
         PixelGrid({u"####"_s, u"#"_s, u""_s, u"##"_s}),
         u"#"_s,
         {{0, 0, 4, 1}, {0, 1, 1, 1}, {0, 3, 2, 1}}},
        {"the empty cells themselves",
         PixelGrid({u"#.."_s, u".#."_s}),
         u"."_s,
         {{1, 0, 2, 1}, {0, 1, 1, 1}, {2, 1, 1, 1}}},
        // A letter with a combining accent is one cell, not two.
        {"a combined character as one cell", PixelGrid({u"e\u0301e\u0301#"_s}), u"e\u0301"_s, {{0, 0, 2, 1}}},
        {"the bare letter is not the combined one", PixelGrid({u"e\u0301e"_s}), u"e"_s, {{1, 0, 1, 1}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.grid.runs(c.cell), c.runs) << c.what;
}

TEST(PixelGrid, sizeComesFromTheRows)
{
    struct Case {
        PixelGrid grid;
        int width;
        int height;
    };
    const Case cases[] = {
        {PixelGrid(), 0, 0},
        {PixelGrid({u""_s}), 0, 1},
        {PixelGrid({u"##"_s, u"#####"_s, u"#"_s}), 5, 3},
        {PixelGrid({u"e\u0301#"_s}), 2, 1},
        {Pixels::z(), 5, 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.grid.width(), c.width) << c.grid.rows().join(u'|').toStdString();
        EXPECT_EQ(c.grid.height(), c.height) << c.grid.rows().join(u'|').toStdString();
    }
}

TEST(PixelGrid, equalRowsMakeEqualGridsAndHashes)
{
    const PixelGrid a({u"#."_s, u".#"_s});
    const PixelGrid b({u"#."_s, u".#"_s});
    const PixelGrid c({u"#."_s, u"#."_s});

    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    EXPECT_FALSE(a == c);
    EXPECT_EQ(PixelGrid(), PixelGrid(QStringList{}));
    EXPECT_EQ((QSet<PixelGrid>{a, b, c}.size()), 2);
}

} // namespace
