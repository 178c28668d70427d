#include "app/AppCommands.h"
#include "app/MainWindow.h"
#include "app/WindowStart.h"

#include "model/AppModel.h"
#include "model/Commands.h"
#include "support/ModelHarness.h"
#include "transfer/Pasteboard.h"
#include "ui/focus/FocusPanel.h"
#include "ui/focus/FocusPanelController.h"
#include "ui/focus/FocusView.h"
#include "ui/list/ThingList.h"
#include "ui/list/ThingListView.h"
#include "ui/main/MainView.h"
#include "ui/main/TabStrip.h"

#include <QAction>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace vorn {
namespace {

const QString kFirst = QStringLiteral("Reply to Kesh about the deck"); // the demo's first row of Today

// The app as the window start wires it, in the main window or in focus mode, with Today's first row
// selected and the keyboard on the list that shows it.
struct App {
    explicit App(bool focusMode)
    {
        h.demo();
        QString error;
        app = openWindowApp(h.launch, &error);
        EXPECT_TRUE(app) << error.toStdString();
        model().store().setAutosaveDelay(0);
        if (focusMode) {
            model().enterFocusMode();
            window = app->focus->panel();
            list = app->focus->panel()->view()->thingList()->view();
        } else {
            app->window->show();
            window = app->window.get();
            list = app->window->mainView()->thingList()->view();
        }
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        list->setFocus();
        model().select(RowID::thing(first()->id()));
    }
    AppModel& model() const { return *app->model; }
    Thing* first() const { return h.thingTitled(model(), kFirst); }
    int titled(const QString& title) const
    {
        int n = 0;
        for (const Thing* t : model().allThings())
            n += t->isLive() && t->title() == title;
        return n;
    }
    QString copied() const { return QString::fromUtf8(h.pasteboard.data(kPlainTextType).value_or("")); }
    // As a user's key would: to the widget with the focus, through the window's shortcuts first.
    void press(QKeyCombination keys) const
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
        QTest::keyClick(target, keys.key(), keys.keyboardModifiers());
        test::drainEvents();
    }

    test::ModelHarness h;
    std::unique_ptr<WindowApp> app;
    QWidget* window = nullptr;
    ThingListView* list = nullptr;
};

// Every menu command's shortcut, pressed in the main window and in the focus panel, does what the
// command does: in focus mode the main window (and its menu bar) is hidden, yet its commands work.
TEST(CommandKeys, everyMenuShortcutWorksInTheMainWindowAndInFocusMode)
{
    struct Case {
        const char* command;
        QKeyCombination keys;
        std::function<void(App&)> given;
        std::function<void(App&, bool focusMode)> then;
    };
    const auto none = [](App&) {};
    const Case cases[] = {
        {"copy", Qt::CTRL | Qt::Key_C, none,
         [](App& a, bool) { EXPECT_EQ(a.copied().toStdString(), kFirst.toStdString()); }},
        {"cut", Qt::CTRL | Qt::Key_X, none,
         [](App& a, bool) {
             EXPECT_EQ(a.copied().toStdString(), kFirst.toStdString());
             EXPECT_EQ(a.titled(kFirst), 0);
         }},
        {"paste", Qt::CTRL | Qt::Key_V,
         [](App& a) { a.model().transfer().copy({RowID::thing(a.first()->id())}); },
         [](App& a, bool) { EXPECT_EQ(a.titled(kFirst), 2); }},
        {"sendToPlanner", Qt::CTRL | Qt::SHIFT | Qt::Key_P, none,
         [](App& a, bool) {
             EXPECT_EQ(a.h.workspace.opened.size(), 1u);
             EXPECT_EQ(a.titled(kFirst), 0);
         }},
        {"undo", Qt::CTRL | Qt::Key_Z,
         [](App& a) {
             a.model().toggleDone(*a.first());
             test::drainEvents();
         },
         [](App& a, bool) { EXPECT_FALSE(a.first()->isDone()); }},
        {"floatOnTop", Qt::CTRL | Qt::ALT | Qt::Key_T, [](App& a) { a.model().setFloats(false); },
         [](App& a, bool) { EXPECT_TRUE(a.model().floats()); }},
        {"tabLater", Qt::CTRL | Qt::Key_2, none,
         [](App& a, bool) { EXPECT_EQ(a.model().tab(), Tab::list(TodoList::later)); }},
        {"tabPile1", Qt::CTRL | Qt::Key_5, none,
         [](App& a, bool) { EXPECT_EQ(a.model().tab(), Tab::pile(a.model().piles().front()->id())); }},
        {"focusMode", Qt::CTRL | Qt::SHIFT | Qt::Key_F, none,
         [](App& a, bool focusMode) { EXPECT_EQ(a.model().isFocusMode(), !focusMode); }},
        {"newList", Qt::CTRL | Qt::SHIFT | Qt::Key_N, none,
         [](App& a, bool) {
             EXPECT_FALSE(a.model().isFocusMode()) << "the name is typed in the main window";
             EXPECT_TRUE(a.app->window->isVisible());
             EXPECT_TRUE(a.app->window->mainView()->tabStrip()->isNaming());
         }},
        {"newThing", Qt::CTRL | Qt::Key_N, none,
         [](App& a, bool) {
             EXPECT_TRUE(a.list->isAdding());
             EXPECT_TRUE(QTest::qWaitFor([&] { return a.list->addField()->hasFocus(); }));
         }},
    };
    for (const bool focusMode : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.command) +
                         (focusMode ? " in the focus panel" : " in the main window"));
            App a(focusMode);
            ASSERT_TRUE(a.app && a.first());
            c.given(a);
            a.press(c.keys);
            c.then(a, focusMode);
        }
        // The shell's own commands are asked of the shell; Ctrl+Q is the quit request.
        for (const auto& [keys, signal] :
             {std::pair{Qt::CTRL | Qt::Key_Q, &AppCommands::quitRequested},
              std::pair{Qt::CTRL | Qt::Key_Comma, &AppCommands::preferencesRequested}}) {
            App a(focusMode);
            QSignalSpy asked(a.app->window->commands(), signal);
            a.press(keys);
            EXPECT_TRUE(asked.count() == 1 || asked.wait(2000))
                << QKeySequence(keys).toString().toStdString() << (focusMode ? " in focus mode" : "");
        }
    }
}

// The panel binds some commands itself; the window's copies of them are left off it, so no key has two
// meanings there and each of its own still works.
TEST(CommandKeys, thePanelTakesEachKeyOnce)
{
    App a(true);
    FocusPanel* panel = a.app->focus->panel();
    // Its own (on it and on its header) and the window's it was given.
    QSet<QAction*> actions;
    for (QAction* action : panel->findChildren<QAction*>())
        actions.insert(action);
    for (QAction* action : panel->actions())
        actions.insert(action);
    QStringList keys;
    for (const QAction* action : actions)
        keys << action->shortcut().toString();
    keys.removeAll(QString());
    const QStringList once(QSet<QString>(keys.begin(), keys.end()).values());
    EXPECT_EQ(keys.size(), once.size()) << keys.join(u' ').toStdString();
    const CommandContext now = selectionContext(a.model());
    for (const Command& c : commands()) {
        const bool listed = c.menu != CommandMenu::none && (!c.enabled || c.enabled(now));
        if (listed && !c.key().isEmpty()) {
            EXPECT_TRUE(keys.contains(c.key().toString())) << c.name.toStdString();
        }
    }
}

} // namespace
} // namespace vorn
