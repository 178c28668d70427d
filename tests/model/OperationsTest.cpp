#include "store/Dates.h"
#include "support/ModelHarness.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

using namespace vorn;
using vorn::test::at;
using vorn::test::drainEvents;
using vorn::test::ModelHarness;

namespace {

const char* const kBerlin = "Europe/Berlin";

QSet<RowID> rowsOf(std::initializer_list<const Thing*> things)
{
    QSet<RowID> ids;
    for (const Thing* t : things)
        ids.insert(RowID::thing(t->id()));
    return ids;
}

SharedThing plannerRow(const AppModel& model, const QString& id, bool done = false)
{
    SharedThing row;
    row.id = id;
    row.title = QStringLiteral("planner ") + id;
    row.done = done;
    row.day = model.todayISO();
    row.sourceApp = QStringLiteral("planner");
    return row;
}

std::string text(const std::optional<QDateTime>& t)
{
    return t ? t->toUTC().toString(Qt::ISODateWithMs).toStdString() : std::string("-");
}

std::string text(const std::optional<QString>& s)
{
    return s ? s->toStdString() : std::string("-");
}

// Every stored field of every record, so "restored exactly" means exactly.
std::vector<std::string> snapshot(const AppModel& model)
{
    std::vector<std::string> out;
    for (const Pile* p : model.store().pilesBySortKey()) {
        out.push_back("pile " + std::to_string(p->id().number) + " " + p->name().toStdString() + " " +
                      QString::number(p->sortKey(), 'g', 17).toStdString() + " " + text(p->createdAt()));
    }
    for (const Thing* t : model.allThings()) {
        out.push_back("thing " + std::to_string(t->id().number) + " " + t->title().toStdString() +
                      " created=" + text(t->createdAt()) + " done=" + text(t->doneAt()) +
                      " snoozed=" + text(t->snoozedUntil()) + " z=" + std::to_string(t->zCount()) +
                      " key=" + QString::number(t->sortKey(), 'g', 17).toStdString() +
                      " pile=" + (t->pile() ? std::to_string(t->pile()->id().number) : std::string("-")) +
                      " cameFrom=" + text(t->cameFrom()) + " note=" + t->note().toStdString() +
                      " noteID=" + text(t->noteID()) + " sync=" + t->syncID().toStdString());
        for (const Step* s : t->orderedSteps()) {
            out.push_back("  step " + std::to_string(s->id().number) + " " + s->title().toStdString() +
                          " done=" + text(s->doneAt()) +
                          " key=" + QString::number(s->sortKey(), 'g', 17).toStdString());
        }
    }
    return out;
}

Pile* pileNamed(const AppModel& model, const QString& name)
{
    for (Pile* p : model.piles()) {
        if (p->name() == name)
            return p;
    }
    return nullptr;
}

} // namespace

TEST(Operations, blankTitlesDoNothingAndOthersAreTrimmed)
{
    struct Case {
        const char* name;
        QString typed;
        std::optional<QString> stored;
    };
    const std::vector<Case> cases{
        {"three spaces", QStringLiteral("   "), std::nullopt},
        {"line breaks and tabs", QStringLiteral("\n\t \r\n"), std::nullopt},
        {"empty", QString(), std::nullopt},
        {"padded", QStringLiteral(" Buy milk "), QStringLiteral("Buy milk")},
        {"trailing line break", QStringLiteral("Call Ana\n"), QStringLiteral("Call Ana")},
        {"inner blanks kept", QStringLiteral("\ta  b\t"), QStringLiteral("a  b")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        auto model = h.start();
        model->add(c.typed, Source::today);
        if (!c.stored) {
            EXPECT_TRUE(model->allThings().empty());
            continue;
        }
        ASSERT_EQ(model->allThings().size(), 1u);
        EXPECT_EQ(model->allThings().front()->title(), *c.stored);
    }
}

TEST(Operations, renamesTrimIgnoreBlanksAndSkipEqualNames)
{
    ModelHarness h;
    auto model = h.start();
    Thing* thing = model->add(QStringLiteral("Plan trip"), Source::today);
    Pile* pile = model->createPile(QStringLiteral("Home"));
    ASSERT_TRUE(thing && pile);
    Step* step = model->store().insert(Step::make(QStringLiteral("Pack"), thing, h.clock->now()));
    drainEvents();
    model->store().undoManager().removeAllActions();

    // Equal after trimming: nothing is recorded, so there is no undo step that does nothing.
    model->rename(*thing, QStringLiteral("  Plan trip\n"));
    model->renamePile(*pile, QStringLiteral(" Home "));
    model->renameStep(*step, QStringLiteral("  \n"));
    model->rename(*thing, QStringLiteral(" \t"));
    model->renamePile(*pile, QString());
    drainEvents();
    EXPECT_EQ(thing->title(), QStringLiteral("Plan trip"));
    EXPECT_EQ(pile->name(), QStringLiteral("Home"));
    EXPECT_EQ(step->title(), QStringLiteral("Pack"));
    EXPECT_FALSE(model->store().undoManager().canUndo());

    model->rename(*thing, QStringLiteral("  Plan the trip "));
    model->renamePile(*pile, QStringLiteral("\nHouse\n"));
    model->renameStep(*step, QStringLiteral(" Pack bags "));
    EXPECT_EQ(thing->title(), QStringLiteral("Plan the trip"));
    EXPECT_EQ(pile->name(), QStringLiteral("House"));
    EXPECT_EQ(step->title(), QStringLiteral("Pack bags"));
    EXPECT_EQ(model->title(Source::pile(pile->id())), QStringLiteral("house"));
}

TEST(Operations, everyTitleAndNameIsOneLineAndNoneIsLongerThanTheLimit)
{
    ModelHarness h;
    auto model = h.start();
    Thing* thing = model->add(QStringLiteral("thing"), Source::today);
    Pile* pile = model->createPile(QStringLiteral("pile"));
    ASSERT_TRUE(thing && pile);
    const auto giveEveryDoor = [&](const QString& text) {
        model->add(text, Source::today);
        model->rename(*thing, text);
        model->renamePile(*pile, text);
        model->addStep(*thing, text);
    };
    giveEveryDoor(QString(4001, u'x'));
    EXPECT_EQ(model->allThings().size(), 1u);
    EXPECT_EQ(thing->title() + pile->name(), QStringLiteral("thingpile"));
    EXPECT_TRUE(thing->steps().empty());
    EXPECT_EQ(model->toast(),
              QStringLiteral("That's an essay, not a thing. Titles stop at 4,000 characters."));

    giveEveryDoor(QStringLiteral("a\r\nb\x07\tc\x1b"));
    ASSERT_EQ(model->allThings().size(), 2u);
    for (const QString& kept : {model->allThings()[0]->title(), model->allThings()[1]->title(), pile->name(),
                                thing->orderedSteps().at(0)->title()})
        EXPECT_EQ(kept, QStringLiteral("a b c"));

    // A title stored before, given back as the editor shows it (one line, cut), is left as it was.
    const QString stored = QStringLiteral("old\ntitle ") + QString(5000, u'y');
    thing->setTitle(stored);
    model->rename(*thing, QStringLiteral("old title ") + QString(3990, u'y'));
    EXPECT_EQ(thing->title(), stored);
}

TEST(Operations, aNoteTooBigForTheEditorStaysClosedAndAsItWas)
{
    ModelHarness h;
    auto model = h.start();
    const struct {
        const char* what;
        QByteArray rtf; // written as the note's file when not empty
        QString plain;
        bool opens;
    } cases[] = {
        {"a note of a page", "{\\rtf1 a\\par b\\par}", QStringLiteral("a\nb"), true},
        {"a million empty paragraphs, 5 MB of RTF",
         QByteArray("{\\rtf1 ") + QByteArray("\\par ").repeated(1000000) + '}', QStringLiteral("x"), false},
        {"as many in its plain copy", {}, QString(1000000, u'\n'), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Thing* thing = model->add(QString::fromLatin1(c.what), Source::today);
        model->saveNote(thing->id(), c.rtf.isEmpty() ? std::nullopt : std::optional(c.rtf), c.plain);
        if (c.rtf.isEmpty())
            thing->setNote(c.plain); // as the planner could have written it
        const std::optional<QString> noteID = thing->noteID();
        model->showToast(QStringLiteral("-"));
        model->setEditingNote(NoteTarget::thing(thing->id()));
        EXPECT_EQ(model->editingNote().has_value(), c.opens);
        EXPECT_EQ(*model->toast() ==
                      QStringLiteral("That note's too big for me to open. I left it as it is."),
                  !c.opens);
        EXPECT_EQ(thing->noteID(), noteID);
        model->setEditingNote(std::nullopt);
    }
}

TEST(Operations, addPutsTheThingInTheListItWasTypedInto)
{
    struct Case {
        const char* name;
        const char* clockAt; // Europe/Berlin wall clock when adding
        TodoList list;
        std::optional<QDateTime> wakes;
    };
    const std::vector<Case> cases{
        {"today", "2026-03-10 09:30:00", TodoList::today, std::nullopt},
        {"later at 23:59 wakes a minute later", "2026-03-10 23:59:00", TodoList::later,
         at(kBerlin, "2026-03-11 00:00:00")},
        {"later just after midnight wakes the next midnight", "2026-03-11 00:00:00", TodoList::later,
         at(kBerlin, "2026-03-12 00:00:00")},
        {"later before the clocks go forward", "2026-03-28 23:59:00", TodoList::later,
         at(kBerlin, "2026-03-29 00:00:00")},
        {"later on the 25-hour day", "2026-10-25 23:30:00", TodoList::later,
         at(kBerlin, "2026-10-26 00:00:00")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h(at(kBerlin, "2026-03-01 08:00:00"));
        auto model = h.start();
        // The model's own `now` stays at launch: stamps must come from the clock at the moment of the call.
        h.clock->set(at(kBerlin, c.clockAt));
        Thing* thing = model->add(QStringLiteral("x"), Source::list(c.list));
        ASSERT_NE(thing, nullptr);
        EXPECT_EQ(text(thing->createdAt()), text(h.clock->now()));
        EXPECT_DOUBLE_EQ(thing->sortKey(), secondsSinceReferenceDate(h.clock->now()));
        EXPECT_EQ(text(thing->snoozedUntil()), text(c.wakes));
        EXPECT_EQ(thing->pile(), nullptr);
        EXPECT_FALSE(thing->isDone());
    }
}

TEST(Operations, addToDoneIshOrAMissingPileMakesNothing)
{
    ModelHarness h;
    auto model = h.start();
    Pile* pile = model->createPile(QStringLiteral("Errands"));
    ASSERT_NE(pile, nullptr);
    const RecordId gone = pile->id();

    EXPECT_EQ(model->add(QStringLiteral("already done"), Source::doneIsh), nullptr);
    EXPECT_TRUE(model->allThings().empty());

    Thing* inPile = model->add(QStringLiteral("stamps"), Source::pile(gone));
    ASSERT_NE(inPile, nullptr);
    EXPECT_EQ(inPile->pile(), pile);

    model->deletePile(*pile, true);
    EXPECT_EQ(model->add(QStringLiteral("into nowhere"), Source::pile(gone)), nullptr);
    EXPECT_EQ(model->allThings().size(), 1u);
}

TEST(Operations, snoozingAPileThingRemembersThePileAndCountsThePushOff)
{
    ModelHarness h;
    h.demo();
    auto model = h.start();
    Thing* milk = h.thingTitled(*model, QStringLiteral("Oat milk"));
    Thing* gym = h.thingTitled(*model, QStringLiteral("Think about the gym"));
    ASSERT_TRUE(milk && gym);
    model->toggleDone(*milk); // done and lingering first: a snooze undoes both
    ASSERT_TRUE(milk->isDone());
    ASSERT_TRUE(model->lingering().contains(milk->id()));

    h.clock->advance(3600);
    QSet<RowID> ids = rowsOf({milk, gym});
    ids.insert(RowID::shared(QStringLiteral("not ours")));
    model->snooze(ids, SnoozeOption::tomorrow, std::nullopt);

    const QDateTime wake = at(kBerlin, "2026-03-11 00:00:00");
    EXPECT_EQ(milk->pile(), nullptr);
    EXPECT_EQ(milk->cameFrom(), QStringLiteral("Groceries"));
    EXPECT_EQ(milk->zCount(), 1);
    EXPECT_FALSE(milk->isDone());
    EXPECT_EQ(milk->snoozedUntil(), wake);
    EXPECT_FALSE(model->lingering().contains(milk->id()));
    EXPECT_EQ(model->source(*milk), Source::later);
    EXPECT_EQ(pileNamed(*model, QStringLiteral("Groceries"))->things().size(), 2u);

    EXPECT_EQ(gym->cameFrom(), std::nullopt) << "a thing outside a pile came from nowhere";
    EXPECT_EQ(gym->zCount(), 1);
    EXPECT_EQ(gym->snoozedUntil(), wake);

    // Family rows alone give nothing to snooze.
    model->select(RowID::thing(gym->id()));
    model->snooze({RowID::shared(QStringLiteral("not ours"))}, SnoozeOption::someday, std::nullopt);
    EXPECT_EQ(gym->zCount(), 1);
    EXPECT_EQ(model->selection(), QSet<RowID>{RowID::thing(gym->id())});
}

TEST(Operations, moveToTodayLandsAfterAllOfTodayInListOrderEvenWhileSearching)
{
    ModelHarness h;
    h.demo();
    auto model = h.start();
    Thing* kesh = h.thingTitled(*model, QStringLiteral("Reply to Kesh about the deck"));
    Thing* taxes = h.thingTitled(*model, QStringLiteral("Do the taxes, sort of"));
    Thing* jacket = h.thingTitled(*model, QStringLiteral("Return the jacket"));
    Thing* door = h.thingTitled(*model, QStringLiteral("Fix the squeaky door"));
    Thing* passport = h.thingTitled(*model, QStringLiteral("Passport (check it's in date)"));
    ASSERT_TRUE(kesh && taxes && jacket && door && passport);
    kesh->setSortKey(1e9); // last in Today, and hidden by the search below
    model->toggleDone(*taxes);
    model->toggleDone(*taxes); // lingering, not done

    // Given Later on screen, searched, with three of its things and a pile's thing selected,
    model->setTab(Tab::list(TodoList::later));
    model->setSearchText(QStringLiteral("the "));
    // when they move to Today,
    model->moveToToday(rowsOf({door, passport, jacket, taxes}), std::nullopt);

    // then they come after every Today thing, the hidden ones too, in the order Later showed them: the
    // jacket wakes tomorrow, the taxes on Monday, the door some day; the pile's thing, not on screen,
    // after the ones that were.
    const std::vector<Thing*> order{jacket, taxes, door, passport};
    for (std::size_t i = 0; i < order.size(); ++i) {
        SCOPED_TRACE(order[i]->title().toStdString());
        EXPECT_DOUBLE_EQ(order[i]->sortKey(), 1e9 + 1 + 0.001 * double(i));
        EXPECT_EQ(order[i]->snoozedUntil(), std::nullopt);
        EXPECT_FALSE(order[i]->isDone());
        EXPECT_EQ(order[i]->pile(), nullptr);
        EXPECT_EQ(model->source(*order[i]), Source::today);
    }
    EXPECT_EQ(passport->cameFrom(), QStringLiteral("Trip"));
    EXPECT_FALSE(model->lingering().contains(taxes->id()));
}

TEST(Operations, deleteToastCountsOwnAndFamilyRows)
{
    struct Case {
        const char* name;
        int own;
        int family;
        QString toast;
    };
    const std::vector<Case> cases{
        {"one own", 1, 0, QStringLiteral("Deleted. Ctrl+Z if that was a mistake.")},
        {"two own", 2, 0, QStringLiteral("Deleted 2. Ctrl+Z if that was a mistake.")},
        {"own and family", 1, 1, QStringLiteral("Deleted 2. Ctrl+Z if that was a mistake.")},
        {"one family", 0, 1, QStringLiteral("Deleted. Gone from Vorn Planner too.")},
        {"two family", 0, 2, QStringLiteral("Deleted 2. Gone from Vorn Planner too.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        h.launch.syncsToFamily = true; // family rows are only deleted while the family is on
        auto model = h.start();
        Thing* keep = model->add(QStringLiteral("keep"), Source::today);
        QSet<RowID> ids;
        for (int i = 0; i < c.own; ++i) {
            Thing* t = model->add(QStringLiteral("own %1").arg(i), Source::today);
            model->store().insert(Step::make(QStringLiteral("step"), t, h.clock->now()));
            ids.insert(RowID::thing(t->id()));
        }
        std::vector<SharedThing> rows;
        for (int i = 0; i < c.family; ++i) {
            rows.push_back(plannerRow(*model, QStringLiteral("p%1").arg(i)));
            ids.insert(RowID::shared(rows.back().id));
        }
        for (const SharedThing& row : rows)
            model->familySync().familyStore()->upsert(row);
        model->familySync().refresh();
        model->setDone(ids, true); // family rows now lingering too

        model->remove(ids, std::nullopt);
        EXPECT_EQ(model->toast(), c.toast);
        ASSERT_EQ(model->allThings().size(), 1u);
        EXPECT_EQ(model->allThings().front(), keep);
        EXPECT_EQ(model->store().stepCount(), 0) << "steps go with their thing";
        EXPECT_TRUE(model->lingering().isEmpty());
        EXPECT_TRUE(model->lingeringShared().isEmpty());
    }
}

TEST(Operations, deleteOfRowsThatNoLongerExistSaysNothing)
{
    ModelHarness h;
    auto model = h.start();
    Thing* t = model->add(QStringLiteral("soon gone"), Source::today);
    const RowID id = RowID::thing(t->id());
    model->select(id);
    model->store().remove(t);
    QSignalSpy spy(model.get(), &AppModel::changed);

    model->remove({id, RowID::shared(QStringLiteral("unknown"))}, std::nullopt);
    model->remove({}, std::nullopt);
    EXPECT_EQ(model->toast(), std::nullopt);
    EXPECT_EQ(model->selection(), QSet<RowID>{id}) << "nothing was removed, so the selection stays";
    EXPECT_TRUE(spy.isEmpty());
}

TEST(Operations, setDoneStampsTheClockAndTracksLingeringRows)
{
    ModelHarness h;
    auto model = h.start();
    Thing* a = model->add(QStringLiteral("a"), Source::today);
    Thing* b = model->add(QStringLiteral("b"), Source::today);
    model->familySync().replaceRows({plannerRow(*model, QStringLiteral("p1"))});
    QSet<RowID> ids = rowsOf({a, b});
    ids.insert(RowID::shared(QStringLiteral("p1")));

    h.clock->advance(600);
    model->setDone(ids, true);
    EXPECT_EQ(a->doneAt(), h.clock->now());
    EXPECT_EQ(b->doneAt(), h.clock->now());
    EXPECT_EQ(model->lingering(), (QSet<RecordId>{a->id(), b->id()}));
    EXPECT_EQ(model->lingeringShared(), QSet<QString>{QStringLiteral("p1")});
    EXPECT_EQ(model->count(Source::doneIsh), 2);

    model->setDone(ids, false);
    EXPECT_FALSE(a->isDone());
    EXPECT_FALSE(b->isDone());
    EXPECT_TRUE(model->lingering().isEmpty());
    EXPECT_TRUE(model->lingeringShared().isEmpty());

    // toggleDone keeps the row lingering both ways, so the list doesn't jump under the cursor.
    model->toggleDone(*a);
    EXPECT_TRUE(a->isDone());
    model->toggleDone(*a);
    EXPECT_FALSE(a->isDone());
    EXPECT_TRUE(model->lingering().contains(a->id()));
}

TEST(Operations, allDoneNeedsEveryNamedRowDone)
{
    ModelHarness h;
    auto model = h.start();
    Thing* done = model->add(QStringLiteral("done"), Source::today);
    done->setDoneAt(h.clock->now());
    Thing* open = model->add(QStringLiteral("open"), Source::today);
    model->familySync().replaceRows({plannerRow(*model, QStringLiteral("fDone"), true),
                                     plannerRow(*model, QStringLiteral("fOpen"), false)});
    const RowID fDone = RowID::shared(QStringLiteral("fDone"));
    const RowID fOpen = RowID::shared(QStringLiteral("fOpen"));

    struct Case {
        const char* name;
        QSet<RowID> ids;
        bool expected;
    };
    const std::vector<Case> cases{
        {"nothing", {}, false},
        {"one done", rowsOf({done}), true},
        {"one open", rowsOf({open}), false},
        {"done and open", rowsOf({done, open}), false},
        {"done own and done family", {RowID::thing(done->id()), fDone}, true},
        {"done own and open family", {RowID::thing(done->id()), fOpen}, false},
        {"family only, done", {fDone}, true},
        {"family only, open", {fOpen}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(model->allDone(c.ids), c.expected);
    }
}

TEST(Operations, deletePileKeepsThingsInSomedayOrDeletesThem)
{
    for (bool keeping : {true, false}) {
        SCOPED_TRACE(keeping ? "keeping" : "not keeping");
        ModelHarness h;
        h.demo();
        auto model = h.start();
        Pile* groceries = pileNamed(*model, QStringLiteral("Groceries"));
        ASSERT_NE(groceries, nullptr);
        const std::vector<Thing*> members = groceries->things();
        ASSERT_EQ(members.size(), 3u);
        std::vector<QString> titles;
        for (Thing* t : members)
            titles.push_back(t->title());
        model->setTab(Tab::pile(groceries->id()));
        const std::size_t before = model->allThings().size();

        model->deletePile(*groceries, keeping);

        EXPECT_EQ(model->toast(),
                  QStringLiteral("Deleted \u201CGroceries\u201D. Ctrl+Z if that was a mistake."));
        EXPECT_EQ(pileNamed(*model, QStringLiteral("Groceries")), nullptr);
        EXPECT_EQ(model->piles().size(), 1u);
        EXPECT_EQ(model->tab(), Tab::list(TodoList::today))
            << "the tab of a deleted pile falls back to Today";
        if (keeping) {
            EXPECT_EQ(model->allThings().size(), before);
            for (const QString& title : titles) {
                SCOPED_TRACE(title.toStdString());
                Thing* t = h.thingTitled(*model, title);
                ASSERT_NE(t, nullptr);
                EXPECT_EQ(t->pile(), nullptr);
                EXPECT_EQ(t->cameFrom(), QStringLiteral("Groceries"));
                EXPECT_EQ(t->snoozedUntil(), distantFuture());
                EXPECT_EQ(model->source(*t), Source::later);
                EXPECT_EQ(model->schedule().laterSection(*t->snoozedUntil(), model->now()),
                          model->schedule().laterSection(distantFuture(), model->now()));
            }
        } else {
            EXPECT_EQ(model->allThings().size(), before - 3);
            for (const QString& title : titles)
                EXPECT_EQ(h.thingTitled(*model, title), nullptr) << title.toStdString();
        }
    }
}

TEST(Operations, pilesStopAtFour)
{
    ModelHarness h;
    auto model = h.start();
    for (int i = 1; i <= 3; ++i)
        ASSERT_NE(model->createPile(QStringLiteral("list %1").arg(i)), nullptr);

    QSignalSpy naming(model.get(), &AppModel::newPileRequested);
    model->requestNewPile();
    EXPECT_EQ(naming.count(), 1);
    EXPECT_EQ(model->toast(), std::nullopt);

    Pile* fourth = model->createPile(QStringLiteral("  list 4 "));
    ASSERT_NE(fourth, nullptr);
    EXPECT_EQ(fourth->name(), QStringLiteral("list 4"));
    EXPECT_EQ(model->tab(), Tab::pile(fourth->id())) << "a new list opens";
    EXPECT_EQ(model->piles().size(), 4u);
    EXPECT_EQ(model->piles().back(), fourth);

    model->requestNewPile();
    EXPECT_EQ(naming.count(), 1) << "no naming past the limit";
    EXPECT_EQ(model->toast(), QStringLiteral("That's 4 lists. Bold."));
    EXPECT_EQ(model->createPile(QStringLiteral("list 5")), nullptr);
    EXPECT_EQ(model->store().pilesBySortKey().size(), 4u);

    model->deletePile(*fourth, false);
    EXPECT_EQ(model->createPile(QStringLiteral("   ")), nullptr) << "a blank name makes no list";
    EXPECT_EQ(model->piles().size(), 3u);
}

TEST(Operations, createPileClearsTheSelectionOfTheOldTab)
{
    ModelHarness h;
    auto model = h.start();
    Thing* t = model->add(QStringLiteral("t"), Source::today);
    model->toggleDone(*t);
    model->select(RowID::thing(t->id()));
    Pile* pile = model->createPile(QStringLiteral("New"));
    ASSERT_NE(pile, nullptr);
    EXPECT_TRUE(model->selection().isEmpty());
    EXPECT_TRUE(model->lingering().isEmpty());
    EXPECT_EQ(model->selectionAnchor(), std::nullopt);
}

TEST(Operations, stepRequestsCountOnAcrossThings)
{
    ModelHarness h;
    auto model = h.start();
    Thing* a = model->add(QStringLiteral("a"), Source::today);
    Thing* b = model->add(QStringLiteral("b"), Source::today);
    QSignalSpy spy(model.get(), &AppModel::changed);

    model->requestAddStep(*a);
    EXPECT_EQ(model->addStepRequest(), (StepRequest{a->id(), 1}));
    model->requestAddStep(*b);
    EXPECT_EQ(model->addStepRequest(), (StepRequest{b->id(), 2}));
    model->requestAddStep(*b);
    EXPECT_EQ(model->addStepRequest(), (StepRequest{b->id(), 3})) << "a repeat is still a change";
    EXPECT_EQ(model->expanded(), (QSet<RecordId>{a->id(), b->id()}));

    int requests = 0;
    for (const QList<QVariant>& args : spy)
        requests += args.at(0).value<AppModel::Field>() == AppModel::Field::addStepRequest;
    EXPECT_EQ(requests, 3);
}

TEST(Operations, toggleStepStampsTheClock)
{
    ModelHarness h;
    auto model = h.start();
    Thing* t = model->add(QStringLiteral("t"), Source::today);
    Step* s = model->store().insert(Step::make(QStringLiteral("s"), t, h.clock->now()));
    h.clock->advance(90);
    model->toggleStep(*s);
    EXPECT_EQ(s->doneAt(), h.clock->now());
    EXPECT_EQ(t->stepProgress(), QStringLiteral("1/1"));
    model->toggleStep(*s);
    EXPECT_EQ(s->doneAt(), std::nullopt);
}

TEST(Operations, oneUndoRestoresEveryRecordAnOperationChanged)
{
    struct Case {
        const char* name;
        std::function<void(AppModel&, ModelHarness&)> operation;
    };
    const auto ids = [](ModelHarness& h, AppModel& m, std::initializer_list<const char*> titles) {
        QSet<RowID> out;
        for (const char* title : titles)
            out.insert(RowID::thing(h.thingTitled(m, QString::fromUtf8(title))->id()));
        return out;
    };
    const std::vector<Case> cases{
        {"delete with steps",
         [&](AppModel& m, ModelHarness& h) {
             m.remove(ids(h, m, {"Reply to Kesh about the deck", "Oat milk", "Drink water"}), std::nullopt);
         }},
        {"snooze",
         [&](AppModel& m, ModelHarness& h) {
             m.snooze(ids(h, m, {"Coffee beans", "Drink water", "Call mum back"}), SnoozeOption::monday,
                      std::nullopt);
         }},
        {"move to today",
         [&](AppModel& m, ModelHarness& h) {
             m.moveToToday(ids(h, m, {"Chargers", "Learn the guitar", "Drink water"}), std::nullopt);
         }},
        {"set done",
         [&](AppModel& m, ModelHarness& h) {
             m.setDone(ids(h, m, {"Think about the gym", "Chargers", "Call mum back"}), true);
         }},
        {"delete pile keeping things",
         [&](AppModel& m, ModelHarness&) { m.deletePile(*pileNamed(m, QStringLiteral("Groceries")), true); }},
        {"delete pile with its things",
         [&](AppModel& m, ModelHarness&) { m.deletePile(*pileNamed(m, QStringLiteral("Trip")), false); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        h.demo();
        auto model = h.start();
        drainEvents();
        // An edit in the same event-loop turn must stay its own undo step, apart from the operation.
        Thing* other = h.thingTitled(*model, QStringLiteral("Fix the squeaky door"));
        model->rename(*other, QStringLiteral("Oil the squeaky door"));
        const std::vector<std::string> before = snapshot(*model);
        const std::size_t pilesBefore = model->piles().size();
        h.clock->advance(3600);

        c.operation(*model, h);
        drainEvents();
        ASSERT_NE(snapshot(*model), before) << "the operation changed nothing";

        model->store().undoManager().undo();
        EXPECT_EQ(snapshot(*model), before);
        EXPECT_EQ(model->piles().size(), pilesBefore);
        model->store().undoManager().undo();
        EXPECT_EQ(other->title(), QStringLiteral("Fix the squeaky door"));
        EXPECT_FALSE(model->store().undoManager().canUndo());
    }
}

TEST(Operations, aNewerToastKeepsItsFullTime)
{
    struct Case {
        const char* name;
        QString first;
        QString second;
    };
    const std::vector<Case> cases{
        {"different texts", QStringLiteral("first"), QStringLiteral("second")},
        {"the same text twice", QStringLiteral("again"), QStringLiteral("again")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        h.manualTimers();
        auto model = h.start();
        model->showToast(c.first);
        h.timers->advance(2000);
        ASSERT_EQ(model->toast(), c.first);
        model->showToast(c.second);
        h.timers->advance(2999);
        EXPECT_EQ(model->toast(), c.second) << "cleared by the older toast's timer";
        h.timers->advance(1);
        EXPECT_EQ(model->toast(), std::nullopt) << "three seconds after the newer one";
    }
}

TEST(Operations, aToastClearsItselfAndSaysSo)
{
    ModelHarness h;
    h.manualTimers();
    auto model = h.start();
    QSignalSpy spy(model.get(), &AppModel::changed);
    model->requestNewPile();
    for (int i = 0; i < 4; ++i)
        model->createPile(QStringLiteral("p%1").arg(i));
    model->requestNewPile();
    ASSERT_EQ(model->toast(), QStringLiteral("That's 4 lists. Bold."));
    h.timers->advance(3000);
    EXPECT_EQ(model->toast(), std::nullopt);
    EXPECT_EQ(spy.constLast().at(0).value<AppModel::Field>(), AppModel::Field::toast);
}
