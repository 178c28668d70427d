#include "app/AppCommands.h"
#include "app/AppShell.h"
#include "app/MainWindow.h"
#include "app/MenuBarSetting.h"
#include "app/MenuBarView.h"
#include "app/QuitGuard.h"
#include "app/SettingsView.h"
#include "app/StoreOpening.h"
#include "app/SyncAccountDialog.h"
#include "app/TrayIcon.h"
#include "app/WindowStart.h"

#include "model/AppModel.h"
#include "model/Launch.h"
#include "support/ModelHarness.h"
#include "support/TinyDisk.h"
#include "ui/components/ThemedLabel.h"
#include "ui/focus/FocusPanel.h"
#include "ui/focus/FocusPanelController.h"
#include "ui/focus/FocusView.h"
#include "ui/list/ThingList.h"
#include "ui/list/ThingListModel.h"
#include "ui/list/ThingListView.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

namespace vorn {
namespace {

struct ShellTest : ::testing::Test {
    void SetUp() override
    {
        h.demo();
        model = h.start();
        ASSERT_TRUE(model);
        window = std::make_unique<MainWindow>(*model);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    QAction* action(const QString& name) const { return window->commands()->action(name); }
    QStringList labelTexts(const QWidget& w) const
    {
        QStringList texts;
        for (const QLabel* l : w.findChildren<QLabel*>())
            texts << l->text();
        return texts;
    }

    test::ModelHarness h;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<MainWindow> window;
};

TEST_F(ShellTest, everyMenuShortcutRunsItsCommand)
{
    model->select(RowID::thing(model->visibleThings(Source::today).front()->id()));
    const struct {
        QKeyCombination keys;
        const char* action;
    } table[] = {
        {Qt::CTRL | Qt::Key_N, "newThing"},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_N, "newList"},
        {Qt::CTRL | Qt::Key_Comma, "preferences"},
        {Qt::CTRL | Qt::Key_Z, "undo"},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, "redo"},
        {Qt::CTRL | Qt::Key_X, "cut"},
        {Qt::CTRL | Qt::Key_C, "copy"},
        {Qt::CTRL | Qt::Key_V, "paste"},
        {Qt::CTRL | Qt::Key_A, "selectAll"},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_P, "sendToPlanner"},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_F, "focusMode"},
        {Qt::CTRL | Qt::Key_1, "tabToday"},
        {Qt::CTRL | Qt::Key_2, "tabLater"},
        {Qt::CTRL | Qt::Key_3, "tabDoneIsh"},
        {Qt::CTRL | Qt::Key_4, "tabRandom"},
        {Qt::CTRL | Qt::Key_5, "tabPile1"},
        {Qt::CTRL | Qt::ALT | Qt::Key_T, "floatOnTop"},
    };
    for (const auto& row : table) {
        QAction* a = action(QString::fromLatin1(row.action));
        ASSERT_TRUE(a) << row.action;
        a->setEnabled(true); // Send to Vorn Planner may have greyed out after the cut
        QSignalSpy triggered(a, &QAction::triggered);
        window->activateWindow();
        QTest::keyClick(window.get(), row.keys.key(), row.keys.keyboardModifiers());
        EXPECT_EQ(triggered.count(), 1)
            << row.action << " on " << QKeySequence(row.keys).toString().toStdString();
        // The window keeps the keys for the next row.
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window.get(),
                        Qt::Key_Escape);
    }
    EXPECT_EQ(action(QStringLiteral("quit"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(action(QStringLiteral("quit"))->text(), QStringLiteral("Quit vorn todo (eventually)"));
    EXPECT_EQ(action(QStringLiteral("preferences"))->text(), QStringLiteral("Preferences…"));
}

TEST_F(ShellTest, focusModeItemNamesWhatItWillDoAndFloatOnTopFollowsTheModelBothWays)
{
    QAction* focus = action(QStringLiteral("focusMode"));
    QAction* floatOnTop = action(QStringLiteral("floatOnTop"));
    EXPECT_EQ(focus->text(), QStringLiteral("Focus Mode"));
    focus->trigger();
    EXPECT_TRUE(model->isFocusMode());
    EXPECT_EQ(focus->text(), QStringLiteral("Leave Focus Mode"));
    model->exitFocusMode();
    EXPECT_EQ(focus->text(), QStringLiteral("Focus Mode"));

    ASSERT_TRUE(floatOnTop->isCheckable());
    for (bool on : {!model->floats(), model->floats()}) {
        model->setFloats(on);
        EXPECT_EQ(floatOnTop->isChecked(), on) << "model to menu";
        floatOnTop->trigger();
        EXPECT_EQ(model->floats(), !on) << "menu to model";
    }
}

TEST_F(ShellTest, settingsWindowSaysWhatItsSwitchesDoAndKeepsThemInStep)
{
    MenuBarSetting menuBar(model->settings());
    EXPECT_FALSE(menuBar.isOn()) << "off by default";
    SettingsView view(*model, menuBar, false);
    EXPECT_EQ(view.width(), 400);
    EXPECT_EQ(view.menuBarSwitch()->text(), QStringLiteral("Show in menu bar"));
    EXPECT_EQ(view.floatsSwitch()->text(), QStringLiteral("Focus mode floats on top"));
    const QStringList captions = labelTexts(view);
    EXPECT_TRUE(
        captions.contains(QStringLiteral("Off by default. The app lives in the Dock and its own windows.")));
    EXPECT_TRUE(captions.contains(
        QStringLiteral("Above every app and every Space. Press P in focus mode to switch it.")));
    ASSERT_TRUE(view.noTrayNote()) << "a desktop without a tray is told so";
    for (const auto* caption : view.findChildren<ThemedLabel*>()) {
        EXPECT_EQ(caption->font().pixelSize(), 12);
        EXPECT_EQ(caption->color(), Color::vornMuted());
    }
    EXPECT_FALSE(SettingsView(*model, menuBar, true).noTrayNote());

    view.menuBarSwitch()->click();
    EXPECT_TRUE(menuBar.isOn());
    EXPECT_TRUE(model->settings().boolValue(QStringLiteral("showInMenuBar"), false))
        << "kept for the next launch";
    menuBar.setOn(false);
    EXPECT_FALSE(view.menuBarSwitch()->isChecked());

    const bool floats = model->floats();
    view.floatsSwitch()->click();
    EXPECT_EQ(model->floats(), !floats);
    model->setFloats(floats);
    EXPECT_EQ(view.floatsSwitch()->isChecked(), floats);
}

TEST_F(ShellTest, trayPopupShowsTodayCompactlyWithItsTwoWaysOut)
{
    MenuBarView popup(*model);
    popup.popUp(QRect(1000, 0, 24, 24));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&popup));
    EXPECT_EQ(popup.width(), 300);
    EXPECT_TRUE(popup.windowFlags().testFlag(Qt::Popup));
    auto* title = popup.findChild<ThemedLabel*>(QStringLiteral("title"));
    ASSERT_TRUE(title);
    EXPECT_EQ(title->text(), QStringLiteral("today"));
    EXPECT_EQ(title->height(), 36);
    EXPECT_EQ(title->font().pixelSize(), 20);
    EXPECT_EQ(title->color(), Color::vornText());

    ThingListView* list = popup.list()->view();
    EXPECT_EQ(list->listStyle(), ListStyle::compact);
    EXPECT_EQ(list->source(), Source::today);
    QStringList shown;
    for (int r = 0; r < list->listModel()->rowCount(); ++r)
        shown << list->listModel()->index(r).data(ThingListModel::TitleRole).toString();
    QStringList today;
    for (const Thing* t : model->visibleThings(Source::today))
        today << t->title();
    EXPECT_EQ(shown, today) << "own things only, as the compact list shows them";

    EXPECT_EQ(popup.openButton()->text(), QStringLiteral("Open vorn todo"));
    EXPECT_EQ(popup.quitButton()->text(), QStringLiteral("Quit (eventually)"));
    EXPECT_LT(popup.openButton()->x(), popup.quitButton()->x());
    QSignalSpy open(&popup, &MenuBarView::openRequested);
    popup.openButton()->click();
    EXPECT_EQ(open.count(), 1);
    EXPECT_FALSE(popup.isVisible()) << "the popup gets out of the way";
}

// Things added while the popup is open make it taller: it stays on the screen, beside the icon.
TEST_F(ShellTest, theTrayPopupStaysOnTheScreenAsItGrows)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const struct {
        const char* panel;
        QRect icon;
    } table[] = {
        {"bottom", QRect(screen.center().x(), screen.bottom() - 23, 24, 24)},
        {"top", QRect(screen.center().x(), screen.top(), 24, 24)},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.panel);
        MenuBarView popup(*model);
        popup.popUp(row.icon);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&popup));
        const int before = popup.height();
        for (int i = 0; i < 6; ++i)
            model->add(QStringLiteral("more %1").arg(i), Source::today);
        ASSERT_TRUE(QTest::qWaitFor([&] { return popup.height() > before; }));
        test::drainEvents();
        EXPECT_TRUE(screen.contains(popup.frameGeometry()))
            << popup.y() << "+" << popup.height() << " on a screen to " << screen.bottom();
        EXPECT_FALSE(popup.geometry().intersects(row.icon)) << "beside the icon, not over it";
        for (int i = 0; i < 6; ++i)
            model->undo();
    }
}

// The settings window's switch floats the panel without handing it the keys: they stay on the switch.
TEST_F(ShellTest, theFloatsSwitchLeavesTheKeysInTheSettingsWindow)
{
    FocusPanelController focus(*model);
    ShellHooks hooks;
    hooks.showFocusPanel = [&focus] { focus.show(); };
    hooks.hideFocusPanel = [&focus] { focus.hide(); };
    model->setShellHooks(std::move(hooks));
    model->enterFocusMode();
    ASSERT_TRUE(focus.panel() && QTest::qWaitForWindowActive(focus.panel()));

    MenuBarSetting menuBar(model->settings());
    SettingsView settings(*model, menuBar, false);
    settings.show();
    settings.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&settings));
    for (int click = 0; click < 2; ++click) {
        const bool floats = model->floats();
        // On the box itself.
        QTest::mouseClick(settings.floatsSwitch(), Qt::LeftButton, {},
                          QPoint(8, settings.floatsSwitch()->height() / 2));
        EXPECT_EQ(model->floats(), !floats);
        test::drainEvents();
        EXPECT_EQ(QApplication::activeWindow(), &settings) << "click " << click;
        EXPECT_EQ(QApplication::focusWidget(), settings.floatsSwitch());
        EXPECT_TRUE(focus.panel()->isVisible());
    }
}

// Without a tray, Ctrl+W in focus mode can't hide the panel away with nothing left to bring it back:
// focus mode ends with the main window minimised in the taskbar.
TEST(ShellWithoutTray, ctrlWInFocusModeLeavesTheMainWindowInTheTaskbar)
{
    test::ModelHarness h;
    h.demo();
    QString error;
    std::unique_ptr<WindowApp> app = openWindowApp(h.launch, &error);
    ASSERT_TRUE(app) << error.toStdString();
    AppShell shell(*app->model, *app->window);
    shell.setFocusPanel(*app->focus);
    ASSERT_FALSE(shell.tray().isShown());
    app->window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(app->window.get()));

    app->model->enterFocusMode();
    FocusPanel* panel = app->focus->panel();
    ASSERT_TRUE(panel && QTest::qWaitForWindowActive(panel));
    QTest::keyClick(panel->view()->thingList()->view(), Qt::Key_W, Qt::ControlModifier);
    test::drainEvents();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(app->model->isFocusMode());
    EXPECT_TRUE(app->window->isVisible()) << "something of the app is left to click";
    EXPECT_TRUE(app->window->isMinimized());
}

// The window's start opens the store on a thread of its own while the application starts: the store is
// the main thread's after, its news reach the window, and its lock keeps a second opening out.
TEST(StoreOpening, opensTheStoreForTheMainThreadAndKeepsASecondStartOut)
{
    test::ModelHarness h;
    StoreOpening first(h.launch);
    StoreOpening::Opened opened = first.take();
    ASSERT_TRUE(opened.locked && opened.store) << opened.error.toStdString();
    EXPECT_EQ(opened.store->thread(), QThread::currentThread());
    StoreOpening second(h.launch);
    const StoreOpening::Opened refused = second.take();
    EXPECT_FALSE(refused.locked || refused.store);

    std::unique_ptr<AppModel> model = makeModel(h.launch, std::move(opened.store));
    QSignalSpy news(&model->store(), &Store::changes);
    model->add(QStringLiteral("Water the plants"), Source::list(TodoList::today));
    EXPECT_TRUE(news.wait(2000)) << "the store's news are delivered on the main thread's loop";
    QString why;
    EXPECT_TRUE(model->saveNow(&why)) << why.toStdString();
}

// A demo's sample things are written as the store opens: its autosave is asked for on a thread that
// can't run a Qt timer, which said so on standard error at every start.
TEST(StoreOpening, startsNoTimerOnAThreadThatCantRunOne)
{
    static QStringList said;
    said.clear();
    const QtMessageHandler before =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) { said << m; });
    test::ModelHarness h;
    h.demo();
    StoreOpening opening(h.launch);
    StoreOpening::Opened opened = opening.take();
    qInstallMessageHandler(before);
    ASSERT_TRUE(opened.store) << opened.error.toStdString();
    EXPECT_EQ(said.join(u'\n').toStdString(), "");
}

TEST_F(ShellTest, fileExportAndImportTellWhatHappened)
{
    AppShell shell(*model, *window);
    ASSERT_TRUE(action(QStringLiteral("exportLists")) && action(QStringLiteral("importLists")));
    const QString path = h.dir.filePath(QStringLiteral("everything.md"));
    ASSERT_TRUE(shell.exportTo(path));
    EXPECT_EQ(model->toast(), QStringLiteral("Exported everything to everything.md."));
    EXPECT_FALSE(shell.exportTo(h.dir.filePath(QStringLiteral("no/such/folder/x.md"))));
    EXPECT_TRUE(model->toast()->startsWith(QStringLiteral("Couldn't export.")));

    QFile odd(h.dir.filePath(QStringLiteral("odd.md")));
    ASSERT_TRUE(odd.open(QIODevice::WriteOnly));
    odd.write("  - [ ] a step alone\n- [ ] a thing\n");
    odd.close();
    const std::size_t before = model->allThings().size();
    shell.importFrom(odd.fileName());
    EXPECT_EQ(model->allThings().size(), before + 1);
    EXPECT_EQ(model->toast(), QStringLiteral("Imported 1 thing. Skipped 1 line."));
    auto* message = window->findChild<QMessageBox*>(QStringLiteral("importMessage"));
    ASSERT_TRUE(message) << "the skipped line is told over the window, without holding it up";
    EXPECT_TRUE(message->text().contains(QStringLiteral("line 1 (a step with no thing above it)")));

    // Another calendar program's file: its subtask comes in as a step, its event is told and left out,
    // and what we have no field for goes out again in the next .ics.
    QFile ics(h.dir.filePath(QStringLiteral("elsewhere.ics")));
    ASSERT_TRUE(ics.open(QIODevice::WriteOnly));
    ics.write("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:t\r\n"
              "BEGIN:VTODO\r\nUID:p-1\r\nSUMMARY:Renew the passport\r\nPRIORITY:1\r\nEND:VTODO\r\n"
              "BEGIN:VTODO\r\nUID:p-2\r\nSUMMARY:Photo booth\r\nRELATED-TO:p-1\r\nEND:VTODO\r\n"
              "BEGIN:VEVENT\r\nUID:e-1\r\nSUMMARY:party\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    ics.close();
    shell.importFrom(ics.fileName());
    EXPECT_EQ(model->toast(), QStringLiteral("Imported 1 thing. Skipped 1 item."));
    const Thing* passport = h.thingTitled(*model, QStringLiteral("Renew the passport"));
    ASSERT_TRUE(passport);
    ASSERT_EQ(passport->steps().size(), 1u);
    EXPECT_EQ(passport->orderedSteps().front()->title(), QStringLiteral("Photo booth"));
    const auto messages = window->findChildren<QMessageBox*>(QStringLiteral("importMessage"));
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_TRUE(messages.back()->text().contains(QStringLiteral("1 item was left out: line 14 (an event")))
        << messages.back()->text().toStdString();
    const QString out = h.dir.filePath(QStringLiteral("everything.ics"));
    ASSERT_TRUE(shell.exportTo(out));
    EXPECT_EQ(model->toast(), QStringLiteral("Exported everything to everything.ics."));
    QFile written(out);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray text = written.readAll();
    EXPECT_TRUE(text.startsWith("BEGIN:VCALENDAR\r\n"));
    EXPECT_TRUE(text.contains("PRIORITY:1\r\n"));
    EXPECT_TRUE(text.contains("RELATED-TO;RELTYPE=PARENT:p-1\r\n"));
}

TEST_F(ShellTest, fileSyncWithACalendarServerOpensOneDialogOverTheWindow)
{
    AppShell shell(*model, *window);
    QAction* sync = action(QStringLiteral("syncAccount"));
    ASSERT_TRUE(sync);
    EXPECT_EQ(sync->text(), QStringLiteral("Sync with a Calendar Server…"));
    sync->trigger();
    sync->trigger();
    const auto dialogs = window->findChildren<SyncAccountDialog*>();
    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_TRUE(dialogs.front()->isVisible());
}

TEST(ShellQuit, quitEntersTheDraftAsksWhenTheDiskIsFullAndTheNextStartPutsEverythingBack)
{
    test::TinyDisk disk(1024 * 1024);
    if (!disk.isMounted())
        GTEST_SKIP() << disk.why().toStdString();
    test::ModelHarness h;
    h.launch.appDataDir = disk.filePath(QStringLiteral("appdata"));
    h.launch.rescueFolders = {h.dir.filePath(QStringLiteral("cache"))};
    std::unique_ptr<AppModel> model = h.start();
    ASSERT_TRUE(model);
    MainWindow window(*model);
    AppShell shell(*model, window);
    QStringList asked;
    bool answer = false;
    shell.setUnsavedQuitConfirmer([&](QWidget*, const QString& why) {
        asked << why;
        return answer;
    });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto typeUnentered = [&](const QString& title) {
        model->requestAdd();
        auto* field = window.findChild<QLineEdit*>(QStringLiteral("addField"));
        ASSERT_TRUE(field && QTest::qWaitFor([&] { return field->hasFocus(); }));
        QTest::keyClicks(field, title);
    };

    // given a title typed without Return, Quit enters and saves it without a question
    typeUnentered(QStringLiteral("Buy milk"));
    window.commands()->action(QStringLiteral("quit"))->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.thingTitled(*model, QStringLiteral("Buy milk")); }));
    EXPECT_FALSE(model->store().hasChanges());
    EXPECT_TRUE(asked.isEmpty());

    // on a full disk the question comes, and keeping the window open keeps everything
    disk.fill();
    typeUnentered(QStringLiteral("Call mum"));
    window.commands()->action(QStringLiteral("quit"))->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !asked.isEmpty(); }));
    EXPECT_TRUE(asked.front().contains(QStringLiteral("full"))) << asked.front().toStdString();
    EXPECT_TRUE(h.thingTitled(*model, QStringLiteral("Call mum")));

    // quitting anyway leaves a rescue that the next start takes back in, and says so
    QString message;
    ASSERT_EQ(saveOrRescue(model->store(), h.launch, &message), LastSave::rescued);
    EXPECT_TRUE(message.contains(h.launch.rescuePaths().front())) << message.toStdString();
    window.hide();
    model.reset();
    disk.drain();
    std::unique_ptr<AppModel> next = h.start();
    ASSERT_TRUE(next);
    EXPECT_TRUE(h.thingTitled(*next, QStringLiteral("Buy milk")) &&
                h.thingTitled(*next, QStringLiteral("Call mum")));
    EXPECT_EQ(next->toast(), QStringLiteral("Found what couldn't be saved last time. It's all back."));
    ASSERT_TRUE(next->store().save());
    EXPECT_FALSE(QFile::exists(h.launch.rescuePaths().front())) << "written back, the rescue goes";
    next.reset();
    std::unique_ptr<AppModel> third = h.start();
    EXPECT_TRUE(h.thingTitled(*third, QStringLiteral("Call mum")));
    EXPECT_FALSE(third->toast());
}

TEST(PopupPosition, staysBesideTheIconAndOnScreen)
{
    const QRect screen(0, 0, 1280, 800);
    const QSize size(300, 400);
    const struct {
        QRect icon;
        QPoint expected;
    } table[] = {
        {QRect(600, 0, 24, 24), QPoint(462, 24)},    // top panel: below the icon
        {QRect(600, 776, 24, 24), QPoint(462, 376)}, // bottom panel: above it
        {QRect(1260, 0, 20, 20), QPoint(980, 20)},   // right corner: pulled back onto the screen
        {QRect(0, 400, 20, 20), QPoint(0, 0)},       // left edge, no room below: above
    };
    for (const auto& row : table)
        EXPECT_EQ(popupPosition(row.icon, size, screen), row.expected) << row.icon.x() << "," << row.icon.y();
}

} // namespace
} // namespace vorn
