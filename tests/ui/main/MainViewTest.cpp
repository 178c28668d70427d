#include "ui/main/MainView.h"

#include "model/AppModel.h"
#include "model/Constants.h"
#include "pixel/Theme.h"
#include "support/ModelHarness.h"
#include "ui/components/EmptyListView.h"
#include "ui/components/PixelButton.h"
#include "ui/components/ThemedLabel.h"
#include "ui/components/ToastView.h"
#include "ui/list/ThingList.h"
#include "ui/list/ThingListModel.h"
#include "ui/list/ThingListView.h"
#include "ui/main/PileNameField.h"
#include "ui/main/StripButtons.h"
#include "ui/main/TabStrip.h"
#include "ui/main/ToolbarButtons.h"
#include "ui/screens/ListScreen.h"
#include "ui/screens/RandomScreen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace vorn {
namespace {

struct MainViewTest : ::testing::Test {
    void SetUp() override { h.demo(); }
    MainView& show()
    {
        model = h.start();
        EXPECT_TRUE(model);
        view = std::make_unique<MainView>(*model);
        view->resize(900, 600);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        return *view;
    }
    ListScreen* listScreen() const { return qobject_cast<ListScreen*>(view->screen()); }
    void settle(std::source_location where = std::source_location::current())
    {
        test::waitForStoreChange(*model, where);
    }

    test::ModelHarness h;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<MainView> view;
};

TEST_F(MainViewTest, clickingATabShowsItsScreenAndTheListTakesTheKeys)
{
    show();
    ASSERT_TRUE(listScreen());
    EXPECT_EQ(listScreen()->source(), Source::today);

    QTest::mouseClick(view->tabStrip()->tabFor(Tab::list(TodoList::later)), Qt::LeftButton);
    EXPECT_EQ(model->tab(), Tab::list(TodoList::later));
    ASSERT_TRUE(listScreen());
    EXPECT_EQ(listScreen()->source(), Source::later);
    ASSERT_TRUE(view->thingList());
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->thingList()->view()->hasFocus(); }));
    // ↓ straight away selects Later's first row: no click needed after a tab switch.
    QTest::keyClick(view->thingList()->view(), Qt::Key_Down);
    ASSERT_FALSE(model->selection().isEmpty());
    ASSERT_TRUE(model->primarySelection() && model->primarySelection()->thingID());
    const Thing* selected = model->store().thing(*model->primarySelection()->thingID());
    ASSERT_TRUE(selected);
    EXPECT_EQ(selected->title(), QStringLiteral("Call mum back")) << "the first row of Later: wakes tomorrow";

    QTest::mouseClick(view->tabStrip()->tabFor(Tab::random()), Qt::LeftButton);
    EXPECT_TRUE(qobject_cast<RandomScreen*>(view->screen()));
    EXPECT_FALSE(view->thingList());

    // Renaming the pile on screen keeps the screen; only another list replaces it.
    Pile* groceries = model->piles().front();
    model->setTab(Tab::pile(groceries->id()));
    QWidget* pileScreen = view->screen();
    model->renamePile(*groceries, QStringLiteral("Food"));
    settle();
    EXPECT_EQ(view->screen(), pileScreen);
}

TEST_F(MainViewTest, newThingButtonOpensTheAddRowAndIsOffOnRandomAndDoneIsh)
{
    show();
    EXPECT_TRUE(view->newThingButton()->isEnabled());
    EXPECT_EQ(view->newThingButton()->toolTip(), QStringLiteral("New thing Ctrl+N"));
    QTest::mouseClick(view->newThingButton(), Qt::LeftButton);
    ThingListView* list = view->thingList()->view();
    ASSERT_TRUE(list->isAdding());
    EXPECT_TRUE(QTest::qWaitFor([&] { return list->addField()->hasFocus(); }));

    model->setTab(Tab::list(TodoList::doneIsh));
    EXPECT_FALSE(view->newThingButton()->isEnabled());
    model->setTab(Tab::random());
    EXPECT_FALSE(view->newThingButton()->isEnabled());
    model->setTab(Tab::pile(model->piles().front()->id()));
    EXPECT_TRUE(view->newThingButton()->isEnabled());
}

// On an empty list every way of starting to add shows the field, where it can be seen and typed in.
TEST_F(MainViewTest, startingToAddOnAnEmptyListShowsTheField)
{
    show();
    struct Case {
        const char* name;
        TodoList list;
        std::function<void()> start;
    };
    const Case cases[] = {
        {"N in Today", TodoList::today, [&] { QTest::keyClick(view->windowHandle(), Qt::Key_N); }},
        {"the + in Later", TodoList::later,
         [&] { QTest::mouseClick(view->newThingButton(), Qt::LeftButton); }},
        {"a click on the empty Today", TodoList::today,
         [&] {
             QTest::mouseClick(listScreen(), Qt::LeftButton, {},
                               QPoint(listScreen()->width() / 2, listScreen()->height() / 2));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model->setTab(Tab::list(c.list));
        QSet<RowID> all;
        for (const ListRow& row : model->rows(Source::list(c.list), true))
            all.insert(row.id());
        if (!all.isEmpty()) {
            model->remove(all, std::nullopt);
            settle();
        }
        ThingList* list = view->thingList();
        ASSERT_TRUE(list->emptyView()->isVisible());
        list->view()->setFocus();
        c.start();
        test::drainEvents();
        QLineEdit* field = list->view()->addField();
        ASSERT_TRUE(field);
        EXPECT_TRUE(field->isVisible());
        const QRect inWindow(field->mapTo(view.get(), QPoint()), field->size());
        EXPECT_EQ(inWindow.intersected(listScreen()->geometry()).size(), field->size())
            << "the field lies wholly on the screen";
        EXPECT_GE(field->height(), 20);
        EXPECT_EQ(field->visibleRegion().boundingRect().size(), field->size())
            << "nothing above it cuts it off";
        EXPECT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }));
        ASSERT_TRUE(view->grab().save(QStringLiteral("/tmp/vorn-empty-adding.png")));
        QTest::keyClick(field, Qt::Key_Escape);
    }
}

TEST_F(MainViewTest, clickBelowTheRowsOpensTheAddRowExceptOnDoneIsh)
{
    show();
    ThingListView* list = view->thingList()->view();
    const QPoint below(listScreen()->width() / 2, listScreen()->height() - 60);
    QTest::mouseClick(listScreen(), Qt::LeftButton, {}, below);
    EXPECT_TRUE(list->isAdding());

    model->setTab(Tab::list(TodoList::doneIsh));
    QTest::mouseClick(listScreen(), Qt::LeftButton, {}, below);
    EXPECT_FALSE(view->thingList()->view()->isAdding());
}

TEST_F(MainViewTest, searchFieldFiltersTheRowsBothWays)
{
    show();
    QTest::keyClicks(view->searchField(), QStringLiteral("gym"));
    EXPECT_EQ(model->searchText(), QStringLiteral("gym"));
    EXPECT_TRUE(view->searchField()->isClearButtonEnabled()) << "typed text can be cleared with a click";
    test::drainEvents(); // the search is the model's state, not a record change
    const auto& rows = view->thingList()->view()->listModel()->rowIDs();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(model->store().thing(*rows.front().thingID())->title(), QStringLiteral("Think about the gym"));
    // Typing S or T in the search field types letters: no snooze bar, nothing moved.
    EXPECT_FALSE(view->thingList()->view()->awaitingSnooze());
    model->setSearchText(QString());
    EXPECT_TRUE(view->searchField()->text().isEmpty());
    EXPECT_EQ(view->searchField()->placeholderText(), QStringLiteral("Search"));
}

// The search field and the list-name popover stand out from the window in light and in dark: an edge
// that differs clearly from what lies on either side of it.
TEST_F(MainViewTest, fieldsAndTheNamingPopoverHaveAVisibleEdgeInLightAndDark)
{
    show();
    const auto contrast = [](QRgb a, QRgb b) { return std::abs(qGray(a) - qGray(b)); };
    for (Appearance appearance : {Appearance::light, Appearance::dark}) {
        SCOPED_TRACE(appearance == Appearance::light ? "light" : "dark");
        AppearanceWatcher::setOverride(appearance);
        test::drainEvents();
        QLineEdit* search = view->searchField();
        const QImage field = search->grab().toImage();
        const int midY = field.height() / 2;
        const QRgb window =
            view->grab(QRect(search->mapTo(view.get(), QPoint(-3, midY)), QSize(1, 1))).toImage().pixel(0, 0);
        EXPECT_GE(contrast(field.pixel(0, midY), window), 40) << "edge against the window";
        EXPECT_GE(contrast(field.pixel(0, midY), field.pixel(4, midY)), 30) << "edge against the fill";

        model->requestNewPile();
        test::drainEvents();
        PileNameField* popover = view->tabStrip()->namingField();
        ASSERT_TRUE(popover);
        const QImage form = popover->grab().toImage();
        EXPECT_GE(contrast(form.pixel(0, form.height() / 2), form.pixel(3, form.height() / 2)), 40);
        popover->close();
        test::drainEvents();
    }
    AppearanceWatcher::setOverride(std::nullopt);
}

TEST_F(MainViewTest, toastSitsAtTheBottomCentre)
{
    show();
    model->showToast(QStringLiteral("Moved 2 to Today."));
    ToastView* toast = view->toastView();
    EXPECT_EQ(toast->text(), QStringLiteral("Moved 2 to Today."));
    EXPECT_TRUE(toast->isVisible());
    EXPECT_EQ(toast->geometry().bottom() + 1, view->height() - MainView::toastBottom);
    EXPECT_NEAR(toast->geometry().center().x(), view->width() / 2, 1);
    EXPECT_EQ(toast->height(), 34);
}

TEST_F(MainViewTest, focusButtonWaitsForTheShellAndCallsIt)
{
    show();
    EXPECT_FALSE(view->focusButton()->isEnabled());
    // No shortcut is named while there is no focus mode for it to open.
    EXPECT_EQ(view->focusButton()->toolTip(), QStringLiteral("Focus mode. Same list, less window."));
    int entered = 0;
    QObject::connect(view.get(), &MainView::focusModeRequested, view.get(), [&] { ++entered; });
    EXPECT_TRUE(view->focusButton()->isEnabled());
    EXPECT_EQ(view->focusButton()->toolTip(),
              QStringLiteral("Focus mode Ctrl+Shift+F. Same list, less window."));
    QTest::mouseClick(view->focusButton(), Qt::LeftButton);
    EXPECT_EQ(entered, 1);
}

TEST_F(MainViewTest, focusModeIsRestoredOnceWhenTheAppWasLeftInIt)
{
    model = h.start();
    model->settings().setValue(QString(kFocusLastModeKey), true);
    // A view of its own polls for a window that never comes, to the end. Its polls start after those of
    // any view asked before it and wait as long, so when it enters, every earlier poll has run out too.
    const auto aLaterPollRunsOut = [this] {
        const bool left = model->settings().boolValue(QString(kFocusLastModeKey), false);
        model->settings().setValue(QString(kFocusLastModeKey), true);
        MainView later(*model);
        bool entered = false;
        QObject::connect(&later, &MainView::focusModeRequested, &later, [&entered] { entered = true; });
        later.setWindowVisible([] { return false; });
        later.restoreFocusMode();
        model->settings().setValue(QString(kFocusLastModeKey), left);
        return QTest::qWaitFor([&entered] { return entered; }, 20000);
    };

    MainView restoring(*model);
    int entered = 0;
    QObject::connect(&restoring, &MainView::focusModeRequested, &restoring, [&] { ++entered; });
    // A window that never shows up: focus mode comes anyway, after the polls run out.
    restoring.setWindowVisible([] { return false; });
    QElapsedTimer timer;
    timer.start();
    restoring.restoreFocusMode();
    EXPECT_EQ(entered, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return entered == 1; }, 20000));
    EXPECT_GE(timer.elapsed(), MainView::pollCount * MainView::pollMSecs - 25);
    restoring.restoreFocusMode();
    ASSERT_TRUE(aLaterPollRunsOut());
    EXPECT_EQ(entered, 1) << "once per view";

    // A visible window: right away.
    MainView visible(*model);
    int quick = 0;
    QObject::connect(&visible, &MainView::focusModeRequested, &visible, [&] { ++quick; });
    visible.setWindowVisible([] { return true; });
    visible.restoreFocusMode();
    EXPECT_EQ(quick, 1);

    // Left in the main window: never.
    model->settings().setValue(QString(kFocusLastModeKey), false);
    MainView plain(*model);
    int never = 0;
    QObject::connect(&plain, &MainView::focusModeRequested, &plain, [&] { ++never; });
    plain.restoreFocusMode();
    ASSERT_TRUE(aLaterPollRunsOut());
    EXPECT_EQ(never, 0);
}

TEST_F(MainViewTest, noteSheetFollowsEditingNoteBothWays)
{
    show();
    Thing* t = model->allThings().front();
    model->setEditingNote(NoteTarget::thing(t->id()));
    QPointer<NoteSheet> sheet = view->noteSheet();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isVisible());
    // A sheet over the main window, not a window of its own.
    EXPECT_EQ(sheet->parentWidget(), view->window());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->size(), NoteSheet::defaultSize);
    EXPECT_EQ(sheet->titleField()->text(), t->title());

    // Escape lets go of the note, and the sheet goes.
    QTest::keyClick(sheet.data(), Qt::Key_Escape);
    EXPECT_FALSE(model->editingNote());
    EXPECT_FALSE(view->noteSheet());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(sheet);

    // The same note opens again, and goes when the model lets go of it.
    model->setEditingNote(NoteTarget::thing(t->id()));
    ASSERT_TRUE(view->noteSheet());
    model->setEditingNote(std::nullopt);
    EXPECT_FALSE(view->noteSheet());
}

TEST_F(MainViewTest, tabStripFitsFourLongListsAtEveryWidth)
{
    // given four lists with long names, the last one made (and so selected)
    show();
    model->renamePile(*model->piles()[0], QStringLiteral("Groceries for the whole week"));
    model->renamePile(*model->piles()[1], QStringLiteral("Trip to the coast, with the kids"));
    model->createPile(QStringLiteral("Books I keep meaning to read"));
    model->createPile(QStringLiteral("Presents for everyone this year"));
    settle();
    TabStrip* strip = view->tabStrip();
    QStringList everyTab;
    for (TabButton* t : strip->tabs())
        everyTab << t->title();
    everyTab.sort();
    // The menu behind the strip's last button, opened as the user does.
    const auto openOverflow = [strip] {
        QTest::mouseClick(strip->overflowButton(), Qt::LeftButton);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    };

    for (const auto& [width, folds] : {std::pair{1200, false}, {900, true}, {700, true}, {560, true}}) {
        SCOPED_TRACE(width);
        view->resize(width, 600);
        QCoreApplication::processEvents();
        EXPECT_LT(strip->geometry().right(), view->focusButton()->geometry().left());

        // then each label on the strip is whole or elided, with room for all of it
        QStringList shown;
        std::vector<QWidget*> row;
        for (TabButton* t : strip->tabs()) {
            if (!t->isVisible())
                continue;
            shown << t->title();
            row.push_back(t);
            const QString label = t->shownTitle();
            EXPECT_TRUE(label == t->title() ||
                        (label.endsWith(QChar(0x2026)) && t->title().startsWith(label.chopped(1))));
            const QFontMetrics metrics(uiFont(13, t->isSelected() ? QFont::DemiBold : QFont::Normal));
            EXPECT_GE(t->width(), 20 + metrics.horizontalAdvance(label)) << label.toStdString();
        }
        EXPECT_TRUE(shown.contains(QStringLiteral("Presents for everyone this year"))) << "the selected tab";
        // and everything on it stands left to right inside it, none over another
        row.push_back(strip->newListButton());
        ASSERT_EQ(strip->overflowButton()->isVisible(), folds);
        if (folds)
            row.push_back(strip->overflowButton());
        for (size_t i = 1; i < row.size(); ++i)
            EXPECT_GT(row[i]->x(), row[i - 1]->geometry().right()) << i;
        EXPECT_GE(row.front()->x(), 0);
        EXPECT_LT(row.back()->geometry().right(), strip->width());

        // and every other tab is in the menu behind the strip's last button
        if (folds) {
            QMenu* menu = openOverflow();
            ASSERT_TRUE(menu);
            for (QAction* a : menu->actions())
                shown << a->text().section(QLatin1Char('\t'), 0, 0);
            menu->close();
        }
        shown.sort();
        EXPECT_EQ(shown.join(u'|').toStdString(), everyTab.join(u'|').toStdString());
    }

    // when a folded tab is chosen from the menu, it is selected and comes into view
    QMenu* menu = openOverflow();
    ASSERT_TRUE(menu);
    const QString chosen = menu->actions().front()->text().section(QLatin1Char('\t'), 0, 0);
    menu->actions().front()->trigger();
    menu->close();
    ASSERT_TRUE(strip->tabFor(model->tab()));
    EXPECT_EQ(strip->tabFor(model->tab())->title(), chosen);
    EXPECT_TRUE(strip->tabFor(model->tab())->isVisible());
}

TEST_F(MainViewTest, narrowWindowKeepsItsMinimumAndTheToolbarGivesWay)
{
    show();
    EXPECT_EQ(view->minimumSize(), QSize(560, 420));
    EXPECT_LE(view->minimumSizeHint().width(), 560);
    view->resize(560, 420);
    test::drainEvents(); // the resize and the layout it asks for
    EXPECT_EQ(view->size(), QSize(560, 420));
    EXPECT_TRUE(view->searchField()->isVisible());
    EXPECT_LE(view->searchField()->geometry().right(), view->width());
}

} // namespace
} // namespace vorn
