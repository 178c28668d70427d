#include "app/MainWindow.h"
#include "app/AppCommands.h"

#include "model/AppModel.h"
#include "support/ModelHarness.h"
#include "transfer/Pasteboard.h"
#include "ui/components/PixelButton.h"
#include "ui/list/ThingList.h"
#include "ui/list/ThingListModel.h"
#include "ui/list/ThingListView.h"
#include "ui/main/MainView.h"
#include "ui/main/StripButtons.h"
#include "ui/main/TabStrip.h"
#include "ui/main/ToolbarButtons.h"
#include "ui/screens/ListScreen.h"
#include "ui/screens/ListScreenHeader.h"
#include "ui/steps/StepsView.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace vorn {
namespace {

struct MainWindowTest : ::testing::Test {
    void SetUp() override
    {
        h.demo();
        model = h.start();
        ASSERT_TRUE(model);
        window = std::make_unique<MainWindow>(*model);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    ThingListView* list() const { return window->mainView()->thingList()->view(); }
    QAction* action(const char* name) const { return window->commands()->action(QString::fromLatin1(name)); }
    // Keys go to whatever has the focus, through the window's shortcuts first, as a user's would.
    void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
        QTest::keyClick(target, key, mods);
    }
    void settle(std::source_location where = std::source_location::current())
    {
        test::waitForStoreChange(*model, where);
    }

    test::ModelHarness h;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, opensAsTheMainWindowWithItsSizes)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("vorn todo"));
    EXPECT_EQ(window->size(), QSize(900, 600));
    window->resize(100, 100);
    test::drainEvents(); // the resize and the layout it asks for
    EXPECT_GE(window->mainView()->width(), 560);
    EXPECT_GE(window->mainView()->height(), 420);
}

TEST_F(MainWindowTest, theListHasTheKeysFromTheStart)
{
    EXPECT_EQ(QApplication::focusWidget(), list());
    press(Qt::Key_Down);
    ASSERT_TRUE(model->primarySelection() && model->primarySelection()->thingID());
    const Thing* selected = model->store().thing(*model->primarySelection()->thingID());
    ASSERT_TRUE(selected);
    EXPECT_EQ(selected->title(), QStringLiteral("Reply to Kesh about the deck")) << "the first row of Today";
}

TEST_F(MainWindowTest, randomScreenTakesItsKeysRightAfterCtrlFour)
{
    press(Qt::Key_4, Qt::ControlModifier);
    ASSERT_EQ(model->tab(), Tab::random());
    Thing* pick = model->currentPick();
    ASSERT_TRUE(pick);
    press(Qt::Key_Return);
    EXPECT_EQ(model->tab(), Tab::list(TodoList::today));
    ASSERT_TRUE(model->primarySelection());
    EXPECT_EQ(*model->primarySelection(), RowID::thing(pick->id()));
}

TEST_F(MainWindowTest, ctrlNumberSwitchesTabsAndPilesGetCtrlFiveOnwards)
{
    press(Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(model->tab(), Tab::list(TodoList::later));
    press(Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(model->tab(), Tab::random());
    press(Qt::Key_5, Qt::ControlModifier);
    EXPECT_EQ(model->tab(), Tab::pile(model->piles().front()->id()));
    press(Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(model->tab(), Tab::list(TodoList::today));

    // Six piles: only the first four get a command.
    model->createPile(QStringLiteral("Three"));
    model->createPile(QStringLiteral("Four"));
    model->createPile(QStringLiteral("Five"));
    const auto& piles = window->commands()->pileActions();
    ASSERT_EQ(piles.size(), 4u);
    EXPECT_EQ(piles[3]->text(), model->piles()[3]->name());
    EXPECT_EQ(piles[3]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_8));

    // The View menu shows a name with "&" as it is, without taking a mnemonic from it.
    model->renamePile(*model->piles()[3], QStringLiteral("R&D"));
    test::drainEvents();
    EXPECT_EQ(piles[3]->iconText(), QStringLiteral("R&D"));
    EXPECT_TRUE(QKeySequence::mnemonic(piles[3]->text()).isEmpty());
}

TEST_F(MainWindowTest, ctrlNumberReachesFoldedTabsAndBringsThemIntoView)
{
    // given four lists in the narrowest window, where tabs fold away
    model->createPile(QStringLiteral("Books I keep meaning to read"));
    model->createPile(QStringLiteral("Presents for everyone this year"));
    window->resize(560, 600);
    settle();
    TabStrip* strip = window->mainView()->tabStrip();
    ASSERT_FALSE(strip->foldedTabs().empty());
    // then each Ctrl+digit, folded tab or not, selects its tab and shows it whole on the strip
    const Tab builtIns[] = {Tab::list(TodoList::today), Tab::list(TodoList::later),
                            Tab::list(TodoList::doneIsh), Tab::random()};
    for (int digit = 8; digit >= 1; --digit) {
        press(Qt::Key(Qt::Key_0 + digit), Qt::ControlModifier);
        const Tab expected = digit <= 4 ? builtIns[digit - 1] : Tab::pile(model->piles()[digit - 5]->id());
        EXPECT_EQ(model->tab(), expected) << digit;
        const TabButton* tab = strip->tabFor(expected);
        EXPECT_TRUE(tab->isVisible()) << digit;
        EXPECT_GE(tab->width(), tab->sizeHint().width()) << digit;
        EXPECT_LT(tab->geometry().right(), strip->width()) << digit;
    }
}

TEST_F(MainWindowTest, undoAndRedoTakeBackModelEdits)
{
    list()->setFocus();
    press(Qt::Key_Down);
    const RowID first = *model->primarySelection();
    Thing* t = model->store().thing(*first.thingID());
    press(Qt::Key_Space);
    ASSERT_TRUE(t->isDone());
    test::drainEvents(); // the edit's undo group closes at the end of the turn

    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(t->isDone());
    press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(t->isDone());
}

TEST_F(MainWindowTest, editCommandsGoToATextFieldFirst)
{
    // While a title is being edited, Ctrl+C copies its text, not the rows.
    list()->setFocus();
    press(Qt::Key_Down);
    press(Qt::Key_Return);
    auto* editor = list()->findChild<QLineEdit*>(QStringLiteral("titleEditor"));
    ASSERT_TRUE(editor);
    editor->setSelection(0, 5);
    press(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Reply"));
    EXPECT_FALSE(h.pasteboard.data(kPlainTextType)) << "the rows stayed off the clipboard";

    // Ctrl+Z in the field undoes typing, not the last model edit.
    QTest::keyClicks(editor, QStringLiteral("xx"));
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(editor->text().contains(QStringLiteral("xx")));
    press(Qt::Key_Escape);

    // Back on the list, Ctrl+C copies the selected rows.
    list()->setFocus();
    press(Qt::Key_C, Qt::ControlModifier);
    const auto copied = h.pasteboard.data(kPlainTextType);
    ASSERT_TRUE(copied);
    EXPECT_EQ(*copied, QByteArray("Reply to Kesh about the deck"));
}

TEST_F(MainWindowTest, selectAllOutsideATextFieldDoesNothingAndSendNeedsASelection)
{
    list()->setFocus();
    model->select(RowID::thing(model->allThings().front()->id()));
    const auto before = model->selection();
    action("selectAll")->trigger();
    EXPECT_EQ(model->selection(), before);

    EXPECT_TRUE(action("sendToPlanner")->isEnabled());
    model->select(std::nullopt);
    EXPECT_FALSE(action("sendToPlanner")->isEnabled());
}

TEST_F(MainWindowTest, sendToPlannerGreysOutWhenATabSwitchClearsTheSelection)
{
    for (Qt::Key key : {Qt::Key_2, Qt::Key_5, Qt::Key_1}) {
        list()->setFocus();
        press(Qt::Key_Down);
        ASSERT_TRUE(action("sendToPlanner")->isEnabled());
        press(key, Qt::ControlModifier);
        ASSERT_TRUE(model->selection().isEmpty());
        EXPECT_FALSE(action("sendToPlanner")->isEnabled()) << key;
    }
}

TEST_F(MainWindowTest, viewMenuFollowsPileRenamesAddsAndDeletes)
{
    const auto pileItems = [this] {
        QStringList items;
        for (QAction* a : window->commands()->pileActions())
            items << a->text() + " " + a->shortcut().toString(QKeySequence::NativeText);
        return items.join(QStringLiteral(", ")).toStdString();
    };
    model->renamePile(*model->piles().front(), QStringLiteral("Food"));
    settle();
    EXPECT_EQ(pileItems(), "Food Ctrl+5, Trip Ctrl+6");
    model->createPile(QStringLiteral("Books"));
    EXPECT_EQ(pileItems(), "Food Ctrl+5, Trip Ctrl+6, Books Ctrl+7");
    model->deletePile(*model->piles().front(), true);
    EXPECT_EQ(pileItems(), "Trip Ctrl+5, Books Ctrl+6");
}

// The views hear of record edits from the model, not from the store behind it: with the store's own
// signal silenced nothing on screen moves, and the model's word that its records changed moves it all.
TEST_F(MainWindowTest, viewsFollowTheModelsRecordsNotTheStore)
{
    // given Today on screen with Kesh's steps open
    Thing* kesh = h.thingTitled(*model, QStringLiteral("Reply to Kesh about the deck"));
    ASSERT_TRUE(kesh);
    model->setExpanded(*kesh, true);
    Pile* groceries = model->piles().front();
    ASSERT_EQ(groceries->name(), QStringLiteral("Groceries"));
    MainView* main = window->mainView();
    // What each view shows of the records: header, Today's count, the pile's tab and menu item, the
    // steps, and whether the list has the new row.
    const auto shown = [&] {
        auto* screen = qobject_cast<ListScreen*>(main->screen());
        auto* steps = main->findChild<StepsView*>();
        const ThingListModel* rows = list()->listModel();
        bool fifth = false;
        for (int i = 0; i < rows->rowCount(); ++i)
            fifth |= rows->index(i).data(ThingListModel::TitleRole).toString() == QStringLiteral("Fifth");
        return QStringList{
            screen ? screen->header()->summary() : QStringLiteral("no list screen"),
            QString::number(main->tabStrip()->tabFor(Tab::list(TodoList::today))->shownCount().value_or(0)),
            main->tabStrip()->tabFor(Tab::pile(groceries->id()))->title(),
            window->commands()->pileActions().front()->text(),
            steps ? QString::number(steps->rows().size()) + QStringLiteral(" steps")
                  : QStringLiteral("no steps"),
            fifth ? QStringLiteral("Fifth listed") : QStringLiteral("no Fifth"),
        }
            .join(QStringLiteral(" / "))
            .toStdString();
    };
    const std::string before = shown();
    ASSERT_EQ(before, "Tuesday, March 10 · 4 left. / 4 / Groceries / Groceries / 3 steps / no Fifth");

    // when records change while the store's signal goes nowhere
    model->store().blockSignals(true);
    model->add(QStringLiteral("Fifth"), Source::today);
    model->addStep(*kesh, QStringLiteral("Find the file"));
    model->renamePile(*groceries, QStringLiteral("Food"));
    QCoreApplication::processEvents(); // the store's post is delivered, and dropped
    model->store().blockSignals(false);
    EXPECT_EQ(shown(), before);

    // then the model's announcement alone brings every view up to date
    Q_EMIT model->changed(AppModel::Field::records);
    EXPECT_EQ(shown(), "Tuesday, March 10 · 5 left. / 5 / Food / Food / 4 steps / Fifth listed");
}

TEST_F(MainWindowTest, textsNameTheKeysTheMenusUse)
{
    // Every text that names a key writes it as the menu item for that command does.
    const auto keys = [this](const char* name) {
        return action(name)->shortcut().toString(QKeySequence::NativeText);
    };
    const std::pair<QString, QString> cases[] = {
        {window->mainView()->newThingButton()->toolTip(), "New thing " + keys("newThing")},
        {window->mainView()->tabStrip()->newListButton()->toolTip(), "New list " + keys("newList")},
        {PileDeletePrompt::forPile(QStringLiteral("Trip"), 2).message,
         "It has 2 things in it. " + keys("undo") + " undoes this."},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(text.toStdString(), expected.toStdString());
}

// Ctrl+Z right after Return in the add row takes back the add; the field doesn't refill with the title
// (whose next Return would add it twice). Typing still undoes as typing does.
TEST_F(MainWindowTest, undoInTheOpenAddFieldTakesBackTheAdd)
{
    list()->setFocus();
    press(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list()->addField() && list()->addField()->hasFocus(); }));
    const qsizetype before = model->allThings().size();
    QTest::keyClicks(list()->addField(), QStringLiteral("Buy stamps"));
    press(Qt::Key_Return);
    ASSERT_EQ(model->allThings().size(), before + 1);

    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(model->allThings().size(), before) << "the add is taken back";
    EXPECT_EQ(list()->addField()->text(), QString());
    press(Qt::Key_Return);
    EXPECT_EQ(model->allThings().size(), before) << "an empty field adds nothing";

    QTest::keyClicks(list()->addField(), QStringLiteral("Post"));
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(list()->addField()->text(), QString()) << "typing is undone in the field";
    EXPECT_EQ(model->allThings().size(), before);
}

TEST_F(MainWindowTest, newThingAndNewListCommandsOpenTheirFields)
{
    list()->setFocus();
    press(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(list()->isAdding());
    EXPECT_TRUE(QTest::qWaitFor([&] { return list()->addField()->hasFocus(); }));
    QTest::keyClicks(list()->addField(), QStringLiteral("One"));
    press(Qt::Key_Return);
    QTest::keyClicks(list()->addField(), QStringLiteral("Two"));
    press(Qt::Key_Return);
    EXPECT_TRUE(h.thingTitled(*model, QStringLiteral("One")));
    EXPECT_TRUE(h.thingTitled(*model, QStringLiteral("Two")));

    press(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(window->mainView()->tabStrip()->isNaming());
}

TEST_F(MainWindowTest, quittingKeepsATitleBeingTyped)
{
    list()->setFocus();
    press(Qt::Key_Down);
    Thing* t = model->store().thing(*model->primarySelection()->thingID());
    press(Qt::Key_Return);
    auto* editor = list()->findChild<QLineEdit*>(QStringLiteral("titleEditor"));
    ASSERT_TRUE(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Reply to Kesh, today"));
    // Quit (the menu, SIGTERM) closes the windows first, and the editor commits as it loses focus.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QApplication::exec();
    EXPECT_EQ(t->title(), QStringLiteral("Reply to Kesh, today"));
}

TEST_F(MainWindowTest, escapeInTheSearchFieldClearsItThenReturnsToTheList)
{
    QLineEdit* search = window->mainView()->searchField();
    search->setFocus();
    QTest::keyClicks(search, QStringLiteral("gym"));
    press(Qt::Key_Escape);
    EXPECT_TRUE(search->text().isEmpty());
    EXPECT_TRUE(model->searchText().isEmpty());
    EXPECT_TRUE(search->hasFocus());
    press(Qt::Key_Escape);
    EXPECT_TRUE(list()->hasFocus());
}

} // namespace
} // namespace vorn
