#include "ui/focus/FocusView.h"

#include "model/AppModel.h"
#include "pixel/Pixels.h"
#include "support/ModelHarness.h"
#include "text/TitleText.h"
#include "ui/components/PixelButton.h"
#include "ui/components/ThemedLabel.h"
#include "ui/focus/FocusHeader.h"
#include "ui/list/ThingListView.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QVariantAnimation>

#include <gtest/gtest.h>

namespace vorn {
namespace {

struct FocusViewTest : ::testing::Test {
    FocusView& show()
    {
        model = h.start();
        EXPECT_TRUE(model);
        view = std::make_unique<FocusView>(*model);
        view->resize(280, 300);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(view.get()));
        return *view;
    }
    QString countText() const { return view->header()->countLabel()->text(); }
    void addTo(const Source& source, int n)
    {
        for (int i = 0; i < n; ++i)
            model->add(QStringLiteral("thing %1").arg(i), source);
        test::drainEvents();
    }
    void tickAll(const Source& source)
    {
        for (Thing* thing : model->visibleThings(source)) {
            if (!thing->isDone())
                model->toggleDone(*thing);
        }
        test::drainEvents();
    }
    QStringList menuTexts() const
    {
        QStringList texts;
        for (QAction* action : view->header()->switcherMenu()->actions())
            texts << (action->isSeparator() ? QStringLiteral("--") : action->text());
        return texts;
    }

    test::ModelHarness h;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<FocusView> view;
};

TEST_F(FocusViewTest, theCountReadsWhatIsLeftInEachKindOfList)
{
    show();
    Pile* pile = model->createPile(QStringLiteral("Garden"));
    ASSERT_TRUE(pile);
    const Source pileSource = Source::pile(pile->id());
    struct Case {
        const char* what;
        std::function<void()> setUp;
        Tab tab;
        const char* text;
    };
    const Case cases[] = {
        {"an empty Today", [] {}, Tab::list(TodoList::today), "0 left"},
        {"Later with none", [] {}, Tab::list(TodoList::later), "0 things"},
        {"an empty Done-ish", [] {}, Tab::list(TodoList::doneIsh), "0 done"},
        {"a pile with one thing", [&] { addTo(pileSource, 1); }, Tab::pile(pile->id()), "1 thing"},
        {"Today with three undone", [&] { addTo(Source::today, 3); }, Tab::list(TodoList::today), "3 left"},
        {"Today ticked off, the rows lingering", [&] { tickAll(Source::today); }, Tab::list(TodoList::today),
         "all done"},
        {"Done-ish with five", [&] { addTo(Source::today, 2), tickAll(Source::today); },
         Tab::list(TodoList::doneIsh), "5 done"},
        {"Later with two", [&] { addTo(Source::later, 2); }, Tab::list(TodoList::later), "2 things"},
    };
    for (const Case& c : cases) {
        c.setUp();
        model->setTab(c.tab);
        test::drainEvents();
        EXPECT_EQ(countText(), QString::fromUtf8(c.text)) << c.what;
        EXPECT_EQ(view->header()->switcher()->text(), model->title(*model->source())) << c.what;
    }
}

TEST_F(FocusViewTest, theRandomTabShowsToday)
{
    show();
    model->setTab(Tab::random());
    test::drainEvents();
    EXPECT_EQ(view->shownSource(), Source::today);
    EXPECT_EQ(view->header()->switcher()->text(), model->title(Source::today));
    EXPECT_EQ(view->thingList()->view()->source(), Source::today);
}

TEST_F(FocusViewTest, theSwitcherListsThePilesOnlyWhenThereAreAnyAndSwitchesLists)
{
    show();
    const QStringList lists{"Today", "Later", "Done-ish"};
    EXPECT_EQ(menuTexts(), lists);
    const auto actions = view->header()->switcherMenu()->actions();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(actions[i]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)));
    EXPECT_EQ(view->header()->switcher()->toolTip(), QStringLiteral("Switch list Ctrl+1 Ctrl+2 Ctrl+3"));

    Pile* garden = model->createPile(QStringLiteral("Garden"));
    model->createPile(QStringLiteral("Taxes"));
    test::drainEvents();
    EXPECT_EQ(menuTexts(), lists + QStringList({"--", "Garden", "Taxes"}));

    view->header()->switcherMenu()->actions().at(4)->trigger();
    EXPECT_EQ(model->tab(), Tab::pile(garden->id()));
    test::drainEvents();
    EXPECT_EQ(view->thingList()->view()->source(), Source::pile(garden->id()));

    // The keys work with the menu closed.
    QTest::keyClick(view->thingList()->view(), Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(model->tab(), Tab::list(TodoList::later));
    QTest::keyClick(view->thingList()->view(), Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(model->tab(), Tab::list(TodoList::doneIsh));

    // A name with "&" reads as itself, and no mnemonic is taken from it.
    model->createPile(QStringLiteral("R&D"));
    test::drainEvents();
    const QAction* rd = view->header()->switcherMenu()->actions().constLast();
    EXPECT_EQ(rd->iconText(), QStringLiteral("R&D"));
    EXPECT_TRUE(QKeySequence::mnemonic(rd->text()).isEmpty());

    // Shown, it reads as itself on the switcher too; a name longer than the panel's room ends in "…"
    // and leaves the count beside it whole.
    model->setTab(Tab::pile(model->piles().back()->id()));
    test::drainEvents();
    EXPECT_EQ(view->header()->switcher()->text(), menuItemText(model->title(*model->source())));
    EXPECT_TRUE(view->header()->switcher()->text().contains(QStringLiteral("&&")));
    model->renamePile(*model->piles().back(),
                      QStringLiteral("Research and development for the entire company"));
    test::drainEvents();
    const QToolButton* switcher = view->header()->switcher();
    EXPECT_TRUE(switcher->text().endsWith(u'\u2026')) << switcher->text().toStdString();
    EXPECT_LE(switcher->geometry().right(), view->header()->countLabel()->geometry().left());
    EXPECT_GE(switcher->width(), switcher->sizeHint().width());
}

TEST_F(FocusViewTest, pAndThePinButtonFlipTheTooltipAndGlyphAtOnce)
{
    show();
    PixelButton* pin = view->header()->pinButton();
    ASSERT_TRUE(model->floats());
    EXPECT_EQ(pin->toolTip(), QStringLiteral("Floating. Above it all. (P)"));
    EXPECT_EQ(pin->accessibleName(), QStringLiteral("Floating on top"));
    EXPECT_EQ(pin->glyph(), Pixels::pin());

    view->thingList()->view()->setFocus();
    QTest::keyClick(view->thingList()->view(), Qt::Key_P);
    EXPECT_FALSE(model->floats());
    EXPECT_EQ(pin->toolTip(), QStringLiteral("Not floating. Just a window. (P)"));
    EXPECT_EQ(pin->accessibleName(), QStringLiteral("Not floating"));
    EXPECT_EQ(pin->glyph(), Pixels::pinOff());

    QTest::mouseClick(pin, Qt::LeftButton);
    EXPECT_TRUE(model->floats());
    EXPECT_EQ(pin->toolTip(), QStringLiteral("Floating. Above it all. (P)"));
    EXPECT_EQ(pin->glyph(), Pixels::pin());

    PixelButton* expand = view->header()->expandButton();
    EXPECT_EQ(expand->toolTip(), QStringLiteral("Back to the full window Ctrl+Shift+F"));
    EXPECT_EQ(expand->accessibleName(), QStringLiteral("Leave focus mode"));
}

TEST_F(FocusViewTest, hoveringRaisesTheButtonsToFullOpacity)
{
    show();
    // The fade is driven by hand: the test reads it a third of the way and at the end, whatever the
    // machine's speed.
    auto* hover = view->findChild<QVariantAnimation*>(QStringLiteral("hover"), Qt::FindDirectChildrenOnly);
    ASSERT_NE(hover, nullptr);
    EXPECT_DOUBLE_EQ(view->header()->buttonOpacity(), 0.6);
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)));
    QApplication::sendEvent(view.get(), &enter);
    ASSERT_EQ(hover->state(), QAbstractAnimation::Running);
    hover->setCurrentTime(FocusView::hoverMSecs / 3);
    const qreal midway = view->header()->buttonOpacity();
    EXPECT_GT(midway, 0.6);
    EXPECT_LT(midway, 1.0);
    hover->setCurrentTime(FocusView::hoverMSecs);
    EXPECT_DOUBLE_EQ(view->header()->buttonOpacity(), 1.0);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view.get(), &leave);
    ASSERT_EQ(hover->state(), QAbstractAnimation::Running);
    hover->setCurrentTime(FocusView::hoverMSecs);
    EXPECT_DOUBLE_EQ(view->header()->buttonOpacity(), 0.6);
}

} // namespace
} // namespace vorn
