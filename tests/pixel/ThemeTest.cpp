#include "PixelTestSupport.h"

#include "pixel/PixelView.h"
#include "pixel/Pixels.h"
#include "pixel/Theme.h"
#include "pixel/ZCount.h"

#include <QApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace vorn;
using namespace Qt::StringLiterals;
using vorn::test::rendered;

namespace {

QPalette paletteWithWindow(QColor window, QColor text)
{
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    return p;
}

// Colours as the theme writes them: hex, and an opacity for the translucent ones.
struct Expected {
    const char* hex;
    double opacity;
};

void expectColour(const QColor& c, Expected e, const char* what)
{
    EXPECT_EQ(c.name(), QString::fromLatin1(e.hex)) << what;
    EXPECT_NEAR(c.alphaF(), e.opacity, 0.002) << what;
}

TEST(Theme, adaptiveColoursInBothAppearances)
{
    struct Case {
        const char* name;
        const Color& color;
        Expected light;
        Expected dark;
    };
    const Case cases[] = {
        {"vornBackground", Color::vornBackground(), {"#f6f3ec", 1}, {"#121211", 1}},
        {"vornText", Color::vornText(), {"#121211", 1}, {"#f6f3ec", 1}},
        {"vornMuted", Color::vornMuted(), {"#6b675f", 1}, {"#a7a196", 1}},
        {"vornFaint", Color::vornFaint(), {"#a7a196", 1}, {"#6b675f", 1}},
        {"vornSnooze", Color::vornSnooze(), {"#6f5fe8", 1}, {"#a99bff", 1}},
        {"vornSelection", Color::vornSelection(), {"#a99bff", 0.22}, {"#a99bff", 0.18}},
        {"vornWell", Color::vornWell(), {"#121211", 0.04}, {"#ffffff", 0.07}},
        {"vornGlassTint", Color::vornGlassTint(), {"#f6f3ec", 0.35}, {"#1c1b19", 0.55}},
    };
    for (const Case& c : cases) {
        expectColour(c.color.resolved(Appearance::light), c.light, c.name);
        expectColour(c.color.resolved(Appearance::dark), c.dark, c.name);
    }
}

TEST(Theme, thePaletteDecidesTheAppearance)
{
    struct Case {
        QColor window;
        Appearance appearance;
        QColor text = Qt::gray;
    };
    const Case cases[] = {
        {QColor(0xef, 0xef, 0xef), Appearance::light}, // a stock light desktop
        {QColor(0x2a, 0x2e, 0x32), Appearance::dark},  // Breeze Dark
        {QColor(0x24, 0x24, 0x24), Appearance::dark},  // Adwaita dark
        {Color::paper, Appearance::light},
        {Color::ink, Appearance::dark},
        {Qt::white, Appearance::light},
        {Qt::black, Appearance::dark},
        {QColor(0x70, 0x70, 0x70), Appearance::light, Qt::black}, // on mid-grey the text tells
        {QColor(0x88, 0x88, 0x88), Appearance::dark, Qt::white},
        {Qt::gray, Appearance::light}, // no telling
    };
    for (const Case& c : cases)
        EXPECT_EQ(appearanceOf(paletteWithWindow(c.window, c.text)), c.appearance)
            << c.window.name().toStdString() << " " << c.text.name().toStdString();
}

class ThemeSwitch : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = QApplication::palette();
        QApplication::setPalette(paletteWithWindow(QColor(0xef, 0xef, 0xef), Qt::black));
    }
    void TearDown() override
    {
        AppearanceWatcher::setOverride(std::nullopt);
        QApplication::setPalette(m_saved);
    }

private:
    QPalette m_saved;
};

TEST_F(ThemeSwitch, aDarkDesktopPaletteFlipsEveryAdaptiveColour)
{
    ASSERT_EQ(AppearanceWatcher::instance()->current(), Appearance::light);
    QSignalSpy flips(AppearanceWatcher::instance(), &AppearanceWatcher::changed);
    ZCount badge(1, 1);
    PixelView faint(Pixels::plus(), 1);
    faint.setForeground(Color::vornFaint());
    const QPoint plusCentre(4, 4);
    ASSERT_EQ(rendered(faint).pixelColor(plusCentre), Color::stone400);
    ASSERT_EQ(rendered(badge).pixelColor(0, 0), Color::snoozeDeep);

    // The desktop switches to dark: Qt hands every application a new palette.
    QApplication::setPalette(paletteWithWindow(QColor(0x24, 0x24, 0x24), Qt::white));

    ASSERT_EQ(flips.count(), 1);
    EXPECT_EQ(flips.at(0).at(0).value<Appearance>(), Appearance::dark);
    EXPECT_EQ(currentAppearance(), Appearance::dark);
    EXPECT_EQ(Color::vornText().resolved(), Color::paper);
    EXPECT_EQ(Color::vornBackground().resolved(), Color::ink);
    EXPECT_EQ(rendered(faint).pixelColor(plusCentre), Color::stone600);
    EXPECT_EQ(rendered(badge).pixelColor(0, 0), Color::snooze);

    // Another dark palette is no flip; back to light is.
    QApplication::setPalette(paletteWithWindow(QColor(0x2a, 0x2e, 0x32), Qt::white));
    EXPECT_EQ(flips.count(), 1);
    QApplication::setPalette(paletteWithWindow(Qt::white, Qt::black));
    ASSERT_EQ(flips.count(), 2);
    EXPECT_EQ(flips.at(1).at(0).value<Appearance>(), Appearance::light);
    EXPECT_EQ(Color::vornText().resolved(), Color::ink);
}

TEST_F(ThemeSwitch, aWindowWithItsOwnDarkPaletteGetsDarkColours)
{
    QWidget window;
    window.setPalette(paletteWithWindow(Color::ink, Color::paper));
    ZCount* badge = new ZCount(1, 1, &window);
    EXPECT_EQ(rendered(*badge).pixelColor(0, 0), Color::snooze);
    EXPECT_EQ(currentAppearance(), Appearance::light) << "the application stays light";
}

TEST_F(ThemeSwitch, theOverrideWinsOverThePaletteAndIsAnnounced)
{
    QSignalSpy flips(AppearanceWatcher::instance(), &AppearanceWatcher::changed);
    AppearanceWatcher::setOverride(Appearance::dark);
    EXPECT_EQ(flips.count(), 1);
    EXPECT_EQ(Color::vornMuted().resolved(), Color::stone400);
    EXPECT_EQ(Color::vornMuted().resolved(paletteWithWindow(Qt::white, Qt::black)), Color::stone400);
    AppearanceWatcher::setOverride(std::nullopt);
    EXPECT_EQ(flips.count(), 2);
    EXPECT_EQ(Color::vornMuted().resolved(), Color::stone600);
}

} // namespace
