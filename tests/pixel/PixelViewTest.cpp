#include "PixelTestSupport.h"

#include "pixel/PixelView.h"
#include "pixel/Pixels.h"
#include "pixel/Theme.h"

#include <QAccessible>
#include <QPalette>

#include <gtest/gtest.h>

using namespace vorn;
using namespace Qt::StringLiterals;
using vorn::test::rendered;
using vorn::test::squareIs;

namespace {

const QColor kTransparent(0, 0, 0, 0);

// Checks every cell of `grid` in `image`: characters with a colour in `expected` are filled with it,
// all others transparent.
void expectCells(const QImage& image, const PixelGrid& grid, int unit, const QMap<QChar, QColor>& expected)
{
    ASSERT_EQ(image.width(), grid.width() * unit);
    ASSERT_EQ(image.height(), grid.height() * unit);
    for (int y = 0; y < grid.height(); ++y) {
        const QString& row = grid.rows()[y];
        for (int x = 0; x < grid.width(); ++x) {
            const QChar c = x < row.size() ? row[x] : u'.';
            const QColor want = expected.value(c, kTransparent);
            EXPECT_TRUE(squareIs(image, x * unit, y * unit, unit, want))
                << "cell (" << x << ", " << y << ") '" << c.toLatin1() << "'";
        }
    }
}

TEST(PixelView, isExactlyTheGridTimesTheUnit)
{
    struct Case {
        const char* what;
        PixelGrid grid;
        qreal unit;
        QSize size;
    };
    const Case cases[] = {
        {"a 9 × 9 glyph at 2", Pixels::box(), 2, {18, 18}},
        {"z at 3", Pixels::z(), 3, {15, 15}},
        {"the large face at 1", Pixels::markLarge(), 1, {16, 16}},
        {"no rows", PixelGrid(), 4, {0, 0}},
        {"short rows count to the widest", PixelGrid({u"#"_s, u"###"_s}), 2, {6, 4}},
        {"a fractional unit rounds up to whole pixels", Pixels::box(), 1.5, {14, 14}},
        {"no rounding error at 1.1", Pixels::box(), 1.1, {10, 10}},
    };
    for (const Case& c : cases) {
        PixelView view(c.grid, c.unit);
        EXPECT_EQ(view.size(), c.size) << c.what;
        EXPECT_EQ(view.sizeHint(), c.size) << c.what;
        EXPECT_EQ(view.minimumSize(), c.size) << c.what;
        EXPECT_EQ(view.maximumSize(), c.size) << c.what;
    }
}

TEST(PixelView, paintsForegroundWhereTheGridHasInkAndNothingElse)
{
    struct Case {
        const char* what;
        PixelGrid grid;
        int unit;
    };
    const Case cases[] = {
        {"box at 2", Pixels::box(), 2},
        {"expand at 3", Pixels::expand(), 3},
        {"z at 1", Pixels::z(), 1},
        {"short rows", PixelGrid({u"###"_s, u"#"_s, u""_s, u".#"_s}), 2},
    };
    const QColor fore(20, 120, 60);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PixelView view(c.grid, c.unit);
        QPalette p = view.palette();
        p.setColor(QPalette::WindowText, fore);
        view.setPalette(p);
        expectCells(rendered(view), c.grid, c.unit, {{u'#', fore}});
    }
}

TEST(PixelView, cellsWithoutAnInkStayTransparent)
{
    // The ticked box in the default inks: only '#' is drawn, and it has none.
    PixelView plain(Pixels::boxDone(), 2);
    expectCells(rendered(plain), Pixels::boxDone(), 2, {});
}

TEST(PixelView, markDrawsTheFaceInks)
{
    QWidget parent;
    // Y in yawn, K in ink, the corners ('.') transparent.
    PixelView* small = PixelView::mark(Pixels::markSmall(), 3, &parent);
    EXPECT_EQ(small->parent(), &parent);
    expectCells(rendered(*small), Pixels::markSmall(), 3, {{u'Y', Color::yawn}, {u'K', Color::ink}});
    PixelView* ticked = PixelView::mark(Pixels::boxDone(), 2, &parent);
    expectCells(rendered(*ticked), Pixels::boxDone(), 2, {{u'Y', Color::yawn}, {u'K', Color::ink}});
}

TEST(PixelView, customInksColourTheirOwnCharacters)
{
    const PixelGrid grid({u"ab."_s, u".ba"_s});
    PixelView view(grid, 2, {{u"a"_s, PixelInk::color(Qt::red)}, {u"b"_s, PixelInk::color(Qt::blue)}});
    expectCells(rendered(view), grid, 2, {{u'a', QColor(Qt::red)}, {u'b', QColor(Qt::blue)}});
}

TEST(PixelView, anAdaptiveForegroundFollowsTheAppearance)
{
    PixelView view(Pixels::plus(), 1);
    view.setForeground(Color::vornFaint());

    AppearanceWatcher::setOverride(Appearance::light);
    expectCells(rendered(view), Pixels::plus(), 1, {{u'#', Color::stone400}});
    AppearanceWatcher::setOverride(Appearance::dark);
    expectCells(rendered(view), Pixels::plus(), 1, {{u'#', Color::stone600}});
    AppearanceWatcher::setOverride(std::nullopt);
}

TEST(PixelView, contentIsCentredInAFrameRoundedUp)
{
    // 3 cells at 1.5 are 4.5 pixels: the frame is 5, with a quarter pixel of air on each side. Two
    // rows are exactly 3 pixels high, so rows need no centring.
    PixelView view(PixelGrid({u"###"_s, u"###"_s}), 1.5);
    ASSERT_EQ(view.size(), QSize(5, 3));
    const QImage image = rendered(view);
    for (int y = 0; y < 3; ++y) {
        EXPECT_GT(image.pixelColor(0, y).alpha(), 0) << y;
        EXPECT_LT(image.pixelColor(0, y).alpha(), 255) << y;
        EXPECT_EQ(image.pixelColor(2, y).alpha(), 255) << y;
        EXPECT_EQ(image.pixelColor(0, y).alpha(), image.pixelColor(4, y).alpha()) << y;
    }
}

TEST(PixelView, isHiddenFromAccessibility)
{
    QWidget button;
    button.setAccessibleName(u"Add"_s);
    PixelView* glyph = new PixelView(Pixels::plus(), 2, &button);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(glyph);
    ASSERT_NE(iface, nullptr);
    EXPECT_TRUE(iface->state().invisible);
    EXPECT_EQ(iface->role(), QAccessible::NoRole);
    EXPECT_TRUE(iface->text(QAccessible::Name).isEmpty());
}

} // namespace
