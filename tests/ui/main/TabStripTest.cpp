#include "ui/main/TabStrip.h"

#include "model/AppModel.h"
#include "store/Store.h"
#include "support/ModelHarness.h"
#include "ui/components/PixelButton.h"
#include "ui/main/PileNameField.h"
#include "ui/main/StripButtons.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::ModelHarness;

class TabStripTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        h.demo();
        model = h.start();
        ASSERT_TRUE(model);
        strip = std::make_unique<TabStrip>(*model);
        strip->setDeleteConfirmer([this](const PileDeletePrompt& prompt, QWidget*) {
            prompts.push_back(prompt);
            return answer;
        });
        strip->show();
    }

    Pile* pileNamed(const QString& name) const
    {
        for (Pile* p : model->piles()) {
            if (p->name() == name)
                return p;
        }
        return nullptr;
    }

    TabButton* pileTab(const QString& name) const
    {
        Pile* p = pileNamed(name);
        return p ? strip->tabFor(Tab::pile(p->id())) : nullptr;
    }

    int countOf(const Source& source) const { return model->count(source); }

    // Record edits reach the strip once per event-loop turn.
    void waitForStore(std::source_location where = std::source_location::current()) const
    {
        test::waitForStoreChange(*model, where);
        QCoreApplication::processEvents();
    }

    ModelHarness h;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<TabStrip> strip;
    std::vector<PileDeletePrompt> prompts;
    PileDeleteChoice answer = PileDeleteChoice::cancel;
};

TEST_F(TabStripTest, showsTabsInOrderWithCountsOnlyWhereTheyBelong)
{
    // given the demo: three lists, random, Groceries and Trip, plus an empty pile made now
    ASSERT_TRUE(model->createPile(QStringLiteral("Empty")));
    model->setTab(Tab::list(TodoList::today));
    QCoreApplication::processEvents();

    QStringList titles;
    for (TabButton* t : strip->tabs())
        titles << t->title();
    EXPECT_EQ(titles, (QStringList{"Today", "Later", "Done-ish", "Random", "Groceries", "Trip", "Empty"}));

    // then Today, Later and the piles show their counts: the demo's four open things in Today, five in
    // Later
    EXPECT_EQ(strip->tabFor(Tab::list(TodoList::today))->shownCount(), 4);
    EXPECT_EQ(strip->tabFor(Tab::list(TodoList::later))->shownCount(), 5);
    EXPECT_EQ(pileTab("Groceries")->shownCount(), 3);
    EXPECT_EQ(pileTab("Trip")->shownCount(), 2);
    // and Done-ish, Random and a zero count show none, though Done-ish holds things
    ASSERT_GT(countOf(Source::doneIsh), 0);
    EXPECT_EQ(strip->tabFor(Tab::list(TodoList::doneIsh))->shownCount(), std::nullopt);
    EXPECT_EQ(strip->tabFor(Tab::random())->shownCount(), std::nullopt);
    EXPECT_EQ(pileTab("Empty")->shownCount(), std::nullopt);

    // when a thing joins the empty pile, its count appears
    h.thingTitled(*model, QStringLiteral("Chargers"))->setPile(pileNamed(QStringLiteral("Empty")));
    waitForStore();
    EXPECT_EQ(pileTab("Empty")->shownCount(), 1);
    EXPECT_EQ(pileTab("Trip")->shownCount(), 1);
}

TEST_F(TabStripTest, countsFollowTheClockWhenASnoozedThingWakes)
{
    // given a thing snoozed until ten minutes from now
    Thing* chargers = h.thingTitled(*model, QStringLiteral("Chargers"));
    chargers->setPile(nullptr);
    chargers->setSnoozedUntil(model->now().addSecs(10 * 60));
    waitForStore();
    EXPECT_EQ(strip->tabFor(Tab::list(TodoList::today))->shownCount(), 4);
    EXPECT_EQ(strip->tabFor(Tab::list(TodoList::later))->shownCount(), 6);

    // when the clock passes its wake time, with no record edited
    h.clock->advance(11 * 60);
    model->tick();

    // then the badges move it from Later to Today at once
    EXPECT_EQ(countOf(Source::today), 5);
    EXPECT_EQ(strip->tabFor(Tab::list(TodoList::today))->shownCount(), 5);
    EXPECT_EQ(strip->tabFor(Tab::list(TodoList::later))->shownCount(), 5);
}

TEST_F(TabStripTest, clickingTabsSwitchesTheModelTabAndHighlight)
{
    const auto selected = [this] {
        QStringList on;
        for (TabButton* t : strip->tabs()) {
            if (t->isSelected())
                on << t->title();
        }
        return on;
    };
    EXPECT_EQ(selected(), QStringList{"Today"});

    const Tab groceries = Tab::pile(pileNamed(QStringLiteral("Groceries"))->id());
    const std::pair<Tab, QString> steps[] = {
        {Tab::list(TodoList::later), "Later"},
        {Tab::list(TodoList::doneIsh), "Done-ish"},
        {Tab::random(), "Random"},
        {groceries, "Groceries"},
        {groceries, "Groceries"}, // a second click keeps the tab selected
        {Tab::list(TodoList::today), "Today"},
    };
    for (const auto& [tab, title] : steps) {
        QTest::mouseClick(strip->tabFor(tab), Qt::LeftButton);
        EXPECT_EQ(model->tab(), tab) << title.toStdString();
        EXPECT_EQ(selected(), QStringList{title});
    }

    // a tab switched elsewhere (a menu command) moves the highlight too
    model->setTab(Tab::random());
    EXPECT_EQ(selected(), QStringList{"Random"});
}

TEST_F(TabStripTest, newListButtonNamesAPileUntilTheLimit)
{
    PixelButton* button = strip->newListButton();
    EXPECT_EQ(button->toolTip(), QStringLiteral("New list Ctrl+Shift+N"));
    EXPECT_EQ(button->accessibleName(), QStringLiteral("New list"));
    EXPECT_EQ(button->tint(), Color::vornMuted());

    // when the button is clicked, the naming popover opens empty under the caption "New list"
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(strip->isNaming());
    PileNameField* field = strip->namingField();
    EXPECT_EQ(field->findChild<QLabel*>(QStringLiteral("pileNameTitle"))->text(), QStringLiteral("New list"));
    EXPECT_EQ(field->field()->placeholderText(), QStringLiteral("Groceries, a trip, that thing"));
    EXPECT_EQ(field->findChild<QLabel*>(QStringLiteral("pileNameHint"))->text(),
              QStringLiteral("Nothing in a list is due. Press T to pull a thing into Today."));
    EXPECT_TRUE(field->field()->text().isEmpty());

    // and Return creates the pile as typed, selects its tab and closes the popover
    QTest::keyClicks(field->field(), QStringLiteral("Books"));
    QTest::keyClick(field->field(), Qt::Key_Return);
    QCoreApplication::processEvents();
    Pile* books = pileNamed(QStringLiteral("Books"));
    ASSERT_TRUE(books);
    EXPECT_EQ(model->tab(), Tab::pile(books->id()));
    ASSERT_TRUE(pileTab("Books"));
    EXPECT_TRUE(pileTab("Books")->isSelected());
    EXPECT_FALSE(strip->isNaming());
    EXPECT_EQ(button->tint(), Color::vornMuted()); // 3 piles

    // when the model is asked (the menu command), the popover opens too; Escape creates nothing
    model->requestNewPile();
    ASSERT_TRUE(strip->isNaming());
    QTest::keyClicks(strip->namingField()->field(), QStringLiteral("Nope"));
    QTest::keyClick(strip->namingField()->field(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_FALSE(strip->isNaming());
    EXPECT_EQ(model->piles().size(), 3u);

    // given a fourth pile, the glyph is faint, the help says so and a click only toasts
    ASSERT_TRUE(model->createPile(QStringLiteral("Fourth")));
    EXPECT_EQ(button->tint(), Color::vornFaint());
    EXPECT_EQ(button->toolTip(), QStringLiteral("That's 4 lists. Bold."));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(strip->isNaming());
    EXPECT_EQ(model->toast(), QStringLiteral("That's 4 lists. Bold."));
    EXPECT_EQ(model->piles().size(), 4u);
}

TEST_F(TabStripTest, renamingByDoubleClickOrMenu)
{
    TabButton* tab = pileTab("Groceries");
    const RecordId id = pileNamed(QStringLiteral("Groceries"))->id();

    // when the pile tab is double-clicked, it is selected and its rename popover shows its name
    // A real double click delivers a click first, then the double-click event.
    QTest::mouseClick(tab, Qt::LeftButton);
    QTest::mouseDClick(tab, Qt::LeftButton);
    EXPECT_EQ(model->tab(), Tab::pile(id));
    EXPECT_TRUE(tab->isSelected());
    EXPECT_EQ(strip->renaming(), id);
    ASSERT_TRUE(strip->renamingField());
    EXPECT_EQ(strip->renamingField()->findChild<QLabel*>(QStringLiteral("pileNameTitle"))->text(),
              QStringLiteral("Rename"));
    QLineEdit* edit = strip->renamingField()->field();
    EXPECT_EQ(edit->text(), QStringLiteral("Groceries"));

    // and Return renames it; the tab follows
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("Food"));
    QTest::keyClick(edit, Qt::Key_Return);
    waitForStore();
    EXPECT_EQ(model->pile(id)->name(), QStringLiteral("Food"));
    EXPECT_EQ(tab->title(), QStringLiteral("Food"));
    EXPECT_EQ(strip->renaming(), std::nullopt);

    // when "Rename…" is chosen from the menu, the popover opens; dismissing it changes nothing
    std::unique_ptr<QMenu> menu(strip->makePileMenu(id, nullptr));
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->text(), QString::fromUtf8("Rename\u2026"));
    EXPECT_EQ(actions[1]->text(), QString::fromUtf8("Delete\u2026"));
    actions[0]->trigger();
    ASSERT_EQ(strip->renaming(), id);
    QTest::keyClicks(strip->renamingField()->field(), QStringLiteral("zzz"));
    QTest::keyClick(strip->renamingField()->field(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(strip->renaming(), std::nullopt);
    EXPECT_EQ(model->pile(id)->name(), QStringLiteral("Food"));
}

TEST_F(TabStripTest, deleteConfirmationTextsAndChoices)
{
    Pile* solo = model->createPile(QStringLiteral("Solo"));
    Pile* empty = model->createPile(QStringLiteral("Nothing"));
    ASSERT_TRUE(solo && empty);
    Thing* chargers = h.thingTitled(*model, QStringLiteral("Chargers"));
    chargers->setPile(solo);
    waitForStore();
    ASSERT_EQ(countOf(Source::later), 5);
    const auto deleteViaMenu = [this](RecordId id) {
        std::unique_ptr<QMenu> menu(strip->makePileMenu(id, nullptr));
        menu->actions().at(1)->trigger();
        QCoreApplication::processEvents();
    };

    // cancel: the prompt names the pile and its one thing; nothing changes
    answer = PileDeleteChoice::cancel;
    deleteViaMenu(solo->id());
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].title, QString::fromUtf8("Delete \u201CSolo\u201D?"));
    EXPECT_EQ(prompts[0].message, QStringLiteral("It has 1 thing in it. Ctrl+Z undoes this."));
    ASSERT_TRUE(model->pile(solo->id()));
    EXPECT_TRUE(pileTab("Solo"));

    // an empty pile says so; deleting it removes its tab
    answer = PileDeleteChoice::deleteThingsToo;
    const RecordId emptyId = empty->id();
    deleteViaMenu(emptyId);
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts[1].message, QStringLiteral("It's empty."));
    EXPECT_FALSE(model->pile(emptyId));
    EXPECT_FALSE(strip->tabFor(Tab::pile(emptyId)));

    // move to Later: the pile goes, its thing lands in Later
    answer = PileDeleteChoice::moveThingsToLater;
    const RecordId soloId = solo->id();
    deleteViaMenu(soloId);
    EXPECT_FALSE(model->pile(soloId));
    ASSERT_TRUE(h.thingTitled(*model, QStringLiteral("Chargers")));
    EXPECT_EQ(countOf(Source::later), 6);
    EXPECT_EQ(strip->tabFor(Tab::list(TodoList::later))->shownCount(), 6);

    // delete things too: Trip's remaining thing goes with it
    answer = PileDeleteChoice::deleteThingsToo;
    deleteViaMenu(pileNamed(QStringLiteral("Trip"))->id());
    EXPECT_FALSE(pileNamed(QStringLiteral("Trip")));
    EXPECT_FALSE(h.thingTitled(*model, QStringLiteral("Passport (check it's in date)")));
    EXPECT_EQ(strip->tabs().size(), 5u); // four fixed tabs and Groceries
}

TEST_F(TabStripTest, rendersTheDemoStrip)
{
    QTest::mouseClick(pileTab("Trip"), Qt::LeftButton);
    strip->adjustSize();
    const QImage image = strip->grab().toImage();
    EXPECT_GE(image.height(), 28);
    // the selected capsule is the translucent selection colour over the strip; an unselected tab is bare
    const auto pixelIn = [&](const QString& pile) {
        TabButton* tab = pileTab(pile);
        const QPoint inside = tab->mapTo(strip.get(), QPoint(4, tab->height() / 2));
        return image.pixelColor(inside * image.devicePixelRatio());
    };
    const QColor bare = pixelIn(QStringLiteral("Groceries"));
    const QColor selection = Color::vornSelection().resolved(strip->palette());
    const QColor painted = pixelIn(QStringLiteral("Trip"));
    const auto blend = [&](int over, int under) {
        return qRound(over * selection.alphaF() + under * (1 - selection.alphaF()));
    };
    EXPECT_NE(painted.rgb(), bare.rgb());
    EXPECT_NEAR(painted.red(), blend(selection.red(), bare.red()), 2);
    EXPECT_NEAR(painted.green(), blend(selection.green(), bare.green()), 2);
    EXPECT_NEAR(painted.blue(), blend(selection.blue(), bare.blue()), 2);
    EXPECT_TRUE(image.save(QStringLiteral("/tmp/vorn-tabstrip.png")));
}

} // namespace
} // namespace vorn
