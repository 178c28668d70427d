#include "PixelTestSupport.h"

#include "pixel/Pixels.h"
#include "pixel/Theme.h"
#include "pixel/ZCount.h"

#include <QAccessible>

#include <gtest/gtest.h>

using namespace vorn;
using namespace Qt::StringLiterals;
using vorn::test::rendered;
using vorn::test::squareIs;

namespace {

// The pixels of z copy `i`, given where its top-left corner is drawn, checked cell by cell; pixels of
// the badge outside every copy must be transparent.
void expectStaircase(const QImage& image, int shown, int unit, const QColor& ink)
{
    const PixelGrid& z = Pixels::z();
    QImage expected(image.size(), QImage::Format_ARGB32);
    expected.fill(Qt::transparent);
    for (int i = 0; i < shown; ++i) {
        const int left = i * 6 * unit;
        const int top = (shown - 1 - i) * unit; // each copy one unit above the one to its left
        for (const PixelRect& r : z.runs(u'#'))
            for (int x = 0; x < r.width * unit; ++x)
                for (int y = 0; y < unit; ++y)
                    expected.setPixelColor(left + r.x * unit + x, top + r.y * unit + y, ink);
    }
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_EQ(image.pixelColor(x, y).rgba(), expected.pixelColor(x, y).rgba())
                << "pixel (" << x << ", " << y << ")";
}

TEST(ZCount, showsAtMostThreeRisingZs)
{
    struct Case {
        int count;
        int shown;
        int insetUnits;
        QSize sizeAtUnit2;
    };
    const Case cases[] = {
        {1, 1, 0, {10, 10}},
        {2, 2, 1, {22, 12}},
        {3, 3, 2, {34, 14}},
        {7, 3, 2, {34, 14}},
    };
    AppearanceWatcher::setOverride(Appearance::light);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        ZCount badge(c.count, 2);
        EXPECT_EQ(badge.shown(), c.shown);
        EXPECT_DOUBLE_EQ(badge.topInset(), 2.0 * c.insetUnits);
        EXPECT_EQ(badge.size(), c.sizeAtUnit2);
        expectStaircase(rendered(badge), c.shown, 2, Color::snoozeDeep);
    }
    AppearanceWatcher::setOverride(std::nullopt);
}

TEST(ZCount, isDrawnInTheSnoozeColourOfTheAppearance)
{
    ZCount badge(2, 1);
    AppearanceWatcher::setOverride(Appearance::dark);
    expectStaircase(rendered(badge), 2, 1, Color::snooze);
    AppearanceWatcher::setOverride(Appearance::light);
    expectStaircase(rendered(badge), 2, 1, Color::snoozeDeep);
    AppearanceWatcher::setOverride(std::nullopt);
}

TEST(ZCount, accessibilityHearsOneLabelWithTheFullCount)
{
    for (int count : {1, 2, 7, 12}) {
        ZCount badge(count, 2);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&badge);
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->text(QAccessible::Name), u"Snoozed "_s + QString::number(count) + u" times"_s);
        EXPECT_EQ(iface->childCount(), 0);
    }
}

TEST(ZCount, aNewCountResizesAndRelabels)
{
    ZCount badge(1, 3);
    badge.setCount(7);
    EXPECT_EQ(badge.size(), QSize(15 + 3 + 15 + 3 + 15, 15 + 2 * 3));
    EXPECT_EQ(badge.accessibleName(), u"Snoozed 7 times"_s);
    badge.setCount(0);
    EXPECT_EQ(badge.size(), QSize(0, 0));
}

} // namespace
