#include "pixel/Pixels.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace vorn;
using namespace Qt::StringLiterals;

namespace {

struct Glyph {
    const char* name;
    const PixelGrid& grid;
    int width;
    int height;
    QString cells; // the characters it may use besides '.'
};

std::vector<Glyph> glyphs()
{
    std::vector<Glyph> all{
        {"box", Pixels::box(), 9, 9, u"#"_s},
        {"boxDone", Pixels::boxDone(), 9, 9, u"YK"_s},
        {"plus", Pixels::plus(), 9, 9, u"#"_s},
        {"focus", Pixels::focus(), 9, 9, u"#"_s},
        {"expand", Pixels::expand(), 9, 9, u"#"_s},
        {"pin", Pixels::pin(), 9, 9, u"#"_s},
        {"pinOff", Pixels::pinOff(), 9, 9, u"#"_s},
        {"markSmall", Pixels::markSmall(), 8, 8, u"YK"_s},
        {"markLarge", Pixels::markLarge(), 16, 16, u"YK"_s},
        {"z", Pixels::z(), 5, 5, u"#"_s},
    };
    const char* frameNames[] = {"yawn 0", "yawn 1", "yawn 2", "yawn 3"};
    for (size_t i = 0; i < 4; ++i)
        all.push_back({frameNames[i], Pixels::yawnFrames()[i], 16, 16, u"YK"_s});
    return all;
}

TEST(Pixels, everyGlyphIsARectangleOfKnownCells)
{
    for (const Glyph& g : glyphs()) {
        EXPECT_EQ(g.grid.width(), g.width) << g.name;
        EXPECT_EQ(g.grid.height(), g.height) << g.name;
        for (const QString& row : g.grid.rows()) {
            EXPECT_EQ(row.size(), g.width) << g.name << ": a short row";
            for (QChar c : row)
                EXPECT_TRUE(c == u'.' || g.cells.contains(c)) << g.name << ": unexpected " << c.toLatin1();
        }
        // Every ink the glyph is drawn with appears in it: none was lost in a typo.
        for (QChar c : g.cells)
            EXPECT_FALSE(g.grid.runs(c).empty()) << g.name << " has no " << c.toLatin1();
    }
}

TEST(Pixels, theWideYawnIsTheLargeFace)
{
    EXPECT_EQ(Pixels::yawnFrames()[3], Pixels::markLarge());
}

TEST(Pixels, yawnFramesDifferOnlyAroundTheMouth)
{
    const QStringList closed = Pixels::yawnFrames()[0].rows();
    for (size_t f = 1; f < 4; ++f) {
        const QStringList open = Pixels::yawnFrames()[f].rows();
        for (int row = 0; row < 16; ++row) {
            if (row < 8 || row > 12) {
                EXPECT_EQ(open[row], closed[row]) << "frame " << f << " row " << row;
            }
        }
    }
    const auto& frames = Pixels::yawnFrames();
    EXPECT_EQ((QSet<PixelGrid>{frames[0], frames[1], frames[2], frames[3]}.size()), 4);
}

} // namespace
