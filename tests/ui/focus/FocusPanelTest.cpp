#include "ui/focus/FocusPanel.h"

#include "model/AppModel.h"
#include "model/Constants.h"
#include "support/ModelHarness.h"
#include "ui/components/PixelButton.h"
#include "ui/focus/FocusHeader.h"
#include "ui/focus/FocusPanelController.h"
#include "ui/focus/FocusView.h"
#include "ui/list/ThingList.h"
#include "ui/list/ThingListView.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <QWindow>

#include <gtest/gtest.h>

namespace vorn {
namespace {

struct FocusPanelTest : ::testing::Test {
    // Starts (or restarts, on the same files) the model and a controller wired in as the shell would.
    FocusPanel& enter()
    {
        controller.reset();
        model = h.start();
        EXPECT_TRUE(model);
        controller = std::make_unique<FocusPanelController>(*model);
        ShellHooks hooks;
        hooks.showFocusPanel = [this] { controller->show(); };
        hooks.hideFocusPanel = [this] { controller->hide(); };
        model->setShellHooks(std::move(hooks));
        model->enterFocusMode();
        FocusPanel* panel = controller->panel();
        EXPECT_TRUE(panel && QTest::qWaitForWindowActive(panel));
        settle();
        return *panel;
    }
    FocusPanel& panel() const { return *controller->panel(); }
    // Lets posted layout and measuring run, then waits for the panel to fit what the view wants.
    void settle()
    {
        test::drainEvents();
        EXPECT_TRUE(
            QTest::qWaitFor([this] { return panel().height() == panel().view()->naturalHeight(); }, 2000));
    }
    QWidget* keyTarget() const { return panel().view()->thingList()->view(); }

    test::ModelHarness h;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<FocusPanelController> controller;
};

TEST_F(FocusPanelTest, firstEntryPlacesThePanel16PixelsInFromTheTopRight)
{
    FocusPanel& p = enter();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(p.width(), 280);
    EXPECT_EQ(p.y() - area.y(), 16);
    EXPECT_EQ(area.x() + area.width() - (p.x() + p.width()), 16);
    EXPECT_EQ(p.windowTitle(), QStringLiteral("vorn todo · focus"));
    EXPECT_TRUE(p.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(p.testAttribute(Qt::WA_TranslucentBackground));
}

TEST_F(FocusPanelTest, theHeightFollowsTheListAndTheTopEdgeStays)
{
    FocusPanel& p = enter();
    model->add(QStringLiteral("the first"), Source::today);
    settle();
    const int top = p.y();
    const int before = p.height();
    EXPECT_EQ(p.minimumHeight(), before);
    EXPECT_EQ(p.maximumHeight(), before);
    model->add(QStringLiteral("one more"), Source::today);
    settle();
    EXPECT_EQ(p.height(), before + 32);
    EXPECT_EQ(p.y(), top);
    model->undo();
    settle();
    EXPECT_EQ(p.height(), before);
    EXPECT_EQ(p.y(), top);
}

TEST_F(FocusPanelTest, onlyTheWidthCanChangeBetween240And360)
{
    FocusPanel& p = enter();
    const int height = p.height();
    p.resize(500, height + 100);
    EXPECT_EQ(p.size(), QSize(360, height));
    p.resize(100, height);
    EXPECT_EQ(p.width(), 240);

    // Offscreen there is no window manager, so the edges resize by hand.
    const QRect start = p.geometry();
    QWidget* right = p.rightGrip();
    QTest::mousePress(right, Qt::LeftButton, {}, QPoint(2, 10));
    QTest::mouseMove(right, QPoint(82, 10));
    QTest::mouseRelease(right, Qt::LeftButton, {}, QPoint(82, 10));
    EXPECT_EQ(p.width(), 320);
    EXPECT_EQ(p.x(), start.x());
    const int rightEdge = p.x() + p.width();
    QWidget* left = p.leftGrip();
    QTest::mousePress(left, Qt::LeftButton, {}, QPoint(2, 10));
    QTest::mouseMove(left, QPoint(302, 10));
    QTest::mouseRelease(left, Qt::LeftButton, {}, QPoint(302, 10));
    EXPECT_EQ(p.width(), 240);
    EXPECT_EQ(p.x() + p.width(), rightEdge);
}

TEST_F(FocusPanelTest, ctrlWHidesThePanelAndShiftCtrlFLeavesFocusMode)
{
    struct Case {
        const char* keys;
        Qt::KeyboardModifiers modifiers;
        Qt::Key key;
        bool shown;
        bool focusMode;
    };
    const Case cases[] = {
        {"Ctrl+Alt+W", Qt::ControlModifier | Qt::AltModifier, Qt::Key_W, true, true},
        {"Shift+Ctrl+W", Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_W, true, true},
        {"Ctrl+F", Qt::ControlModifier, Qt::Key_F, true, true},
        {"Ctrl+W", Qt::ControlModifier, Qt::Key_W, false, true},
        {"Shift+Ctrl+F", Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_F, false, false},
    };
    for (const Case& c : cases) {
        FocusPanel& p = enter();
        QTest::keyClick(keyTarget(), c.key, c.modifiers);
        EXPECT_EQ(p.isVisible(), c.shown) << c.keys;
        EXPECT_EQ(model->isFocusMode(), c.focusMode) << c.keys;
    }
    // Hidden with Ctrl+W, the panel comes back with reopen().
    enter();
    QTest::keyClick(keyTarget(), Qt::Key_W, Qt::ControlModifier);
    ASSERT_FALSE(panel().isVisible());
    EXPECT_TRUE(model->reopen());
    EXPECT_TRUE(panel().isVisible());
}

TEST_F(FocusPanelTest, aHeaderDoubleClickOrTheExpandButtonLeavesFocusMode)
{
    FocusPanel& p = enter();
    FocusHeader* header = p.view()->header();
    // Right of the count, left of the buttons: the row itself.
    QTest::mouseDClick(header, Qt::LeftButton, {}, QPoint(header->width() / 2 + 20, 20));
    EXPECT_FALSE(model->isFocusMode());
    EXPECT_FALSE(p.isVisible());

    enter();
    QTest::mouseClick(panel().view()->header()->expandButton(), Qt::LeftButton);
    EXPECT_FALSE(model->isFocusMode());
    EXPECT_FALSE(panel().isVisible());
}

TEST_F(FocusPanelTest, draggingTheHeaderMovesThePanel)
{
    FocusPanel& p = enter();
    const QPoint start = p.pos();
    FocusHeader* header = p.view()->header();
    const QPoint grab(header->width() / 2 + 20, 20);
    QTest::mousePress(header, Qt::LeftButton, {}, grab);
    QTest::mouseMove(header, grab + QPoint(-40, 30));
    QTest::mouseRelease(header, Qt::LeftButton, {}, grab + QPoint(-40, 30));
    EXPECT_EQ(p.pos(), start + QPoint(-40, 30));
    EXPECT_TRUE(model->isFocusMode());
}

TEST_F(FocusPanelTest, theFrameIsSavedAndComesBackAfterARelaunch)
{
    FocusPanel& p = enter();
    p.setGeometry(100, 120, 320, p.height());
    model->exitFocusMode();
    const QRect frame = p.geometry();

    FocusPanel& again = enter(); // a new model and controller on the same settings file
    EXPECT_EQ(again.pos(), frame.topLeft());
    EXPECT_EQ(again.width(), 320);

    // A frame left on a screen that is gone, or nearly off one (a sliver at an edge, its top out of
    // view), falls back to the corner.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint offScreen[] = {{-90000, -90000},
                                {area.right() - 29, area.bottom() - 10},
                                {area.left() - 270, area.top() + 100},
                                {area.left() + 100, area.top() - 150}};
    for (const QPoint& at : offScreen) {
        SCOPED_TRACE(at.x());
        model->settings().setValue(
            QString(kFocusWindowKey),
            QVariantMap{{"x", at.x()}, {"y", at.y()}, {"width", 300}, {"height", 200}});
        FocusPanel& fallback = enter();
        EXPECT_EQ(fallback.pos(), FocusPanelController::defaultFrame().topLeft());
    }
}

TEST_F(FocusPanelTest, turningFloatingOffMakesTheShownPanelAnOrdinaryWindowAtOnce)
{
    FocusPanel& p = enter();
    ASSERT_TRUE(p.windowFlags() & Qt::WindowStaysOnTopHint);
    const QRect frame = p.geometry();
    model->setFloats(false);
    EXPECT_FALSE(p.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(p.isVisible());
    EXPECT_EQ(p.geometry(), frame);
    model->setFloats(true);
    EXPECT_TRUE(p.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(p.isVisible());
    EXPECT_EQ(p.geometry(), frame);
}

// Floating is switched on the window that is shown: no new window, no hide and show, and the keys stay
// in the window that has them (a switch in the settings window, the menu). The pin's tooltip, with its
// new words, shows on hover whichever window has the keys.
TEST_F(FocusPanelTest, switchingFloatingChangesTheShownWindowInPlaceAndLeavesTheKeysWhereTheyAre)
{
    FocusPanel& p = enter();
    const WId window = p.winId();
    QWidget elsewhere;
    elsewhere.setWindowTitle(QStringLiteral("elsewhere"));
    elsewhere.resize(200, 100);
    elsewhere.show();
    elsewhere.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    QSignalSpy hidden(p.windowHandle(), &QWindow::visibleChanged);

    for (bool floats : {false, true, false}) {
        model->setFloats(floats);
        test::drainEvents();
        EXPECT_EQ(bool(p.windowFlags() & Qt::WindowStaysOnTopHint), floats);
        EXPECT_EQ(bool(p.windowHandle()->flags() & Qt::WindowStaysOnTopHint), floats);
        EXPECT_EQ(p.winId(), window) << "the same window, changed in place";
        EXPECT_EQ(QApplication::activeWindow(), &elsewhere) << "floats " << floats;
    }
    EXPECT_EQ(hidden.count(), 0) << "never hidden on the way";

    PixelButton* pin = p.view()->header()->pinButton();
    QTest::mouseMove(pin, pin->rect().center());
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 3000)) << "no tooltip over the pin";
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Not floating. Just a window. (P)"));
    QToolTip::hideText();
}

// Without a compositor the corners outside the rounded glass would come out black: they are cut out of
// the window, and the glass is solid. With one the window is whole and the glass lets the desktop in.
TEST_F(FocusPanelTest, withoutACompositorTheCornersAreCutAwayAndTheGlassIsSolid)
{
    FocusPanel& p = enter();
    auto alphaInside = [&] { return p.grab().toImage().pixelColor(p.width() / 2, 10).alpha(); };
    EXPECT_TRUE(p.mask().isEmpty());
    EXPECT_LT(alphaInside(), 255);

    p.setComposited(false);
    const QRegion shape = p.mask();
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));
    EXPECT_FALSE(shape.contains(QPoint(p.width() - 1, p.height() - 1)));
    EXPECT_TRUE(shape.contains(QPoint(p.width() / 2, p.height() / 2)));
    EXPECT_TRUE(shape.contains(QPoint(p.width() / 2, 0)));
    EXPECT_TRUE(shape.contains(QPoint(0, p.height() / 2)));
    EXPECT_EQ(alphaInside(), 255);

    // The shape follows the panel as it grows.
    model->add(QStringLiteral("one more"), Source::today);
    settle();
    EXPECT_EQ(p.mask().boundingRect().height(), p.height());
    EXPECT_FALSE(p.mask().contains(QPoint(0, p.height() - 1)));

    p.setComposited(true);
    EXPECT_TRUE(p.mask().isEmpty());
    EXPECT_LT(alphaInside(), 255);
}

TEST_F(FocusPanelTest, undoAndRedoKeysReachTheModel)
{
    enter();
    model->add(QStringLiteral("take me back"), Source::today);
    settle();
    QTest::keyClick(keyTarget(), Qt::Key_Z, Qt::ControlModifier);
    test::drainEvents();
    EXPECT_FALSE(h.thingTitled(*model, QStringLiteral("take me back")));
    QTest::keyClick(keyTarget(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    test::drainEvents();
    EXPECT_TRUE(h.thingTitled(*model, QStringLiteral("take me back")));
}

} // namespace
} // namespace vorn
