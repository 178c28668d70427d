// Copy, cut, paste and the hand-off to the planner, on the model with an in-memory pasteboard.
#include "transfer/Transfer.h"
#include "family/FamilyConstants.h"
#include "support/ModelHarness.h"
#include "transfer/HandoffFile.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace vorn;
using namespace Qt::StringLiterals;
using vorn::test::drainEvents;
using vorn::test::ModelHarness;

namespace {

const QByteArray kRtf = QByteArrayLiteral("{\\rtf1\\ansi by {\\b Friday}\\par}");

QSet<RowID> rowsOf(const std::vector<Thing*>& things)
{
    QSet<RowID> ids;
    for (const Thing* t : things)
        ids.insert(RowID::thing(t->id()));
    return ids;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList titles(const std::vector<Thing*>& things)
{
    QStringList out;
    for (const Thing* t : things)
        out << t->title();
    return out;
}

class ModelTransfer : public ::testing::Test {
protected:
    void SetUp() override { model = h.start(); }

    Thing* add(const QString& title, const Source& source = Source::today)
    {
        return model->add(title, source);
    }

    Step* addStep(Thing* thing, const QString& title, bool done, int order)
    {
        Step* step = model->store().insert(Step::make(title, thing, thing->createdAt().addSecs(order)));
        if (done)
            step->setDoneAt(model->clock().now());
        return step;
    }

    // A thing with everything a record carries: zs, steps and a note with its RTF file.
    Thing* addFull(const QString& title)
    {
        Thing* t = add(title);
        t->setZCount(2);
        addStep(t, u"call landlord"_s, true, 1);
        addStep(t, u"transfer"_s, false, 2);
        model->saveNote(t->id(), kRtf, u"by Friday"_s);
        return t;
    }

    std::vector<Thing*> shown(const Source& source) const { return model->visibleThings(source); }

    // Settles the undo grouping of this turn so the next undo takes back exactly one operation.
    void endTurn() { drainEvents(); }

    ModelHarness h;
    std::unique_ptr<AppModel> model;
};

} // namespace

TEST_F(ModelTransfer, copyThenPasteIntoLaterKeepsTitlesDoneZsStepsNotesAndOrder)
{
    Thing* full = addFull(u"Pay rent"_s);
    Thing* done = add(u"Water plants"_s);
    model->toggleDone(*done);
    add(u"Milk"_s);
    model->transfer().copy(rowsOf(model->allThings()));
    EXPECT_EQ(h.pasteboard.data(kPlainTextType), QByteArray("Pay rent\nWater plants\nMilk"));
    EXPECT_FALSE(h.pasteboard.hasType(kRtfType)) << "RTF only for exactly one thing";

    model->setTab(Tab::list(TodoList::later));
    h.clock->advance(60);
    const QDateTime now = h.clock->now();
    model->transfer().paste();

    const std::vector<Thing*> later = shown(Source::later);
    ASSERT_EQ(titles(later), (QStringList{u"Pay rent"_s, u"Water plants"_s, u"Milk"_s}));
    for (std::size_t i = 0; i < later.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(later[i]->createdAt(), now.addMSecs(qint64(i)));
        EXPECT_EQ(later[i]->snoozedUntil(), model->schedule().startOfTomorrow(now));
        EXPECT_EQ(later[i]->pile(), nullptr);
    }
    const Thing* pasted = later[0];
    EXPECT_NE(pasted, full);
    EXPECT_EQ(pasted->zCount(), 2);
    ASSERT_EQ(pasted->orderedSteps().size(), 2u);
    EXPECT_EQ(pasted->orderedSteps()[0]->title(), u"call landlord"_s);
    EXPECT_EQ(pasted->orderedSteps()[0]->doneAt(), now);
    EXPECT_FALSE(pasted->orderedSteps()[1]->isDone());
    EXPECT_EQ(pasted->note(), u"by Friday"_s);
    ASSERT_TRUE(pasted->noteID());
    EXPECT_NE(pasted->noteID(), full->noteID()) << "a note file of its own";
    EXPECT_EQ(readFile(QDir(model->notesDir()).filePath(*pasted->noteID() + u".rtf"_s)), kRtf);

    EXPECT_EQ(later[1]->doneAt(), now);
    EXPECT_TRUE(model->lingering().contains(later[1]->id())) << "a done paste stays in view";
    EXPECT_FALSE(later[2]->isDone());
    EXPECT_TRUE(later[2]->note().isEmpty());
    EXPECT_FALSE(later[2]->noteID());
}

TEST_F(ModelTransfer, copyFollowsTheListNotTheSelectionSetsOrder)
{
    QStringList expected;
    for (int i = 0; i < 12; ++i)
        expected << add(u"thing %1"_s.arg(i))->title();
    // Dragged to the top of Today, and a thing from Later that Today doesn't show goes last.
    model->store().thingsBySortKey().back()->setSortKey(-1);
    expected.prepend(expected.takeLast());
    Thing* hidden = add(u"snoozed"_s, Source::later);
    hidden->setSortKey(-2);
    expected << hidden->title();

    // Family rows are the planner's to hand around; a set of only those copies nothing.
    model->transfer().copy({RowID::shared(u"planner-1"_s)});
    EXPECT_FALSE(h.pasteboard.hasType(kPlainTextType));
    QSet<RowID> ids = rowsOf(model->allThings());
    ids.insert(RowID::shared(u"planner-1"_s));
    model->transfer().copy(ids);
    EXPECT_EQ(QString::fromUtf8(*h.pasteboard.data(kPlainTextType)).split(u'\n'), expected);
}

TEST_F(ModelTransfer, aRecordCarriesOnlyANoteFileItCanSafelyRead)
{
    Thing* t = addFull(u"Pay rent"_s);
    model->transfer().copy(rowsOf({t}));
    EXPECT_EQ(h.pasteboard.data(kRtfType), kRtf) << "one thing with a note goes out as RTF too";
    QFile outside(QDir(model->notesDir()).filePath(u"../secret.rtf"_s));
    ASSERT_TRUE(outside.open(QIODevice::WriteOnly) && outside.write("secret") > 0);
    outside.close();
    for (const QString& stem : {u"../secret"_s, u"missing"_s}) {
        t->setNoteID(stem);
        EXPECT_FALSE(model->transfer().record(*t).rtf) << stem.toStdString();
    }
}

TEST_F(ModelTransfer, cutRemovesMovesTheSelectionOnAndUndoesAsOneStep)
{
    Thing* a = add(u"a"_s);
    Thing* b = add(u"b"_s);
    Thing* c = add(u"c"_s);
    addStep(b, u"step"_s, false, 1);
    model->toggleDone(*b);
    model->select(RowID::thing(b->id()));
    endTurn();

    model->transfer().cut(rowsOf({a, b}), std::nullopt);
    EXPECT_EQ(titles(model->allThings()), QStringList{u"c"_s});
    EXPECT_EQ(model->selection(), QSet<RowID>{RowID::thing(c->id())});
    EXPECT_TRUE(model->lingering().isEmpty());
    EXPECT_FALSE(model->toast()) << "cut says nothing";
    EXPECT_EQ(h.pasteboard.data(kPlainTextType), QByteArray("a\nb"));
    EXPECT_EQ(model->store().stepCount(), 0);

    endTurn();
    model->store().undoManager().undo();
    EXPECT_EQ(titles(model->allThings()), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    EXPECT_EQ(model->store().stepCount(), 1);

    // Pasting it back is one step to undo, too.
    model->transfer().paste();
    EXPECT_EQ(model->store().thingCount(), 5);
    endTurn();
    model->store().undoManager().undo();
    EXPECT_EQ(model->store().thingCount(), 3);
}

TEST_F(ModelTransfer, pasteGoesIntoTheShownListOrToday)
{
    h.pasteboard.setData(kPlainTextType, "- [ ] a\n- [x] b\n    - [ ] sub");
    Pile* pile = model->createPile(u"Groceries"_s);
    model->transfer().paste();
    EXPECT_EQ(titles(shown(Source::pile(pile->id()))), (QStringList{u"a"_s, u"b"_s}));
    EXPECT_EQ(h.thingTitled(*model, u"b"_s)->orderedSteps().size(), 1u);
    EXPECT_EQ(h.thingTitled(*model, u"a"_s)->snoozedUntil(), std::nullopt);

    model->setTab(Tab::random());
    h.pasteboard.setData(kPlainTextType, "1.\tFirst\n2.\tSecond");
    model->transfer().paste();
    EXPECT_EQ(titles(shown(Source::today)), (QStringList{u"First"_s, u"Second"_s}));

    std::vector<TransferThing> records(1);
    records[0].title = u"late"_s;
    const RecordId goneID = pile->id();
    model->deletePile(*pile, true);
    EXPECT_EQ(model->transfer().insert(records, Source::pile(goneID), h.clock->now()), 0);
    EXPECT_EQ(model->transfer().insert(records, Source::doneIsh, h.clock->now()), 0);
}

TEST_F(ModelTransfer, pastingIntoDoneIshIsRefusedWithAToast)
{
    model->setTab(Tab::list(TodoList::doneIsh));
    // Nothing to paste says nothing at all, even here.
    h.pasteboard.setData(kPlainTextType, "\u2014\u2014\n  \n");
    model->transfer().paste();
    EXPECT_FALSE(model->toast());

    h.pasteboard.setData(kPlainTextType, "a");
    model->transfer().paste();
    EXPECT_EQ(model->toast(), u"Can't paste into done-ish. Nice try."_s);
    EXPECT_EQ(model->store().thingCount(), 0);
}

TEST_F(ModelTransfer, insertCleansRecordsAndKeepsTheirSlots)
{
    std::vector<TransferThing> records(4);
    records[0].title = u"  first \n"_s;
    records[0].zs = -4;
    records[0].steps = {{u"  "_s, true}, {u" kept "_s, false}};
    records[1].title = u" \t"_s;
    records[2].title = u"noted"_s;
    records[2].note = u"plain only"_s;
    records[3].title = u"empty rtf"_s;
    records[3].note = u"text"_s;
    records[3].rtf = QByteArray();

    const QDateTime now = h.clock->now();
    EXPECT_EQ(model->transfer().insert(records, Source::today, now), 3);
    const std::vector<Thing*> things = shown(Source::today);
    ASSERT_EQ(titles(things), (QStringList{u"first"_s, u"noted"_s, u"empty rtf"_s}));
    EXPECT_EQ(things[0]->zCount(), 0);
    ASSERT_EQ(things[0]->orderedSteps().size(), 1u);
    EXPECT_EQ(things[0]->orderedSteps()[0]->title(), u"kept"_s);
    EXPECT_EQ(things[1]->createdAt(), now.addMSecs(2)) << "a skipped record keeps its millisecond";
    EXPECT_EQ(things[1]->note(), u"plain only"_s);
    EXPECT_FALSE(things[1]->noteID());
    EXPECT_EQ(things[2]->note(), u"text"_s);
    EXPECT_FALSE(things[2]->noteID());
}

TEST_F(ModelTransfer, pastedTitlesAreOneLineAndWhatIsTooBigIsLeftOutWithAWord)
{
    // given transfer data as another program may put it: a title over two lines with an escape, titles
    // over the limit, and a note of more empty paragraphs than the editor opens
    std::vector<TransferThing> records(3);
    records[0].title = u"pay\nrent\x1b]0;x\x07"_s;
    records[0].steps = {{QString(4001, u's'), false}, {u"ok\tstep"_s, true}};
    records[1].title = QString(4001, u't');
    records[2].title = u"long note"_s;
    records[2].note = QString(20000, u'\n');
    records[2].rtf = QByteArray("{\\rtf1 ") + QByteArray("\\par ").repeated(1000000) + '}';
    h.pasteboard.setData(QString(kThingsPasteboardType), *Transfer::encode(records));
    model->transfer().paste();

    const std::vector<Thing*> things = shown(Source::today);
    ASSERT_EQ(titles(things), (QStringList{u"pay rent]0;x"_s, u"long note"_s}));
    ASSERT_EQ(things[0]->orderedSteps().size(), 1u);
    EXPECT_EQ(things[0]->orderedSteps()[0]->title(), u"ok step"_s);
    EXPECT_EQ(things[1]->note(), QString(9999, u'\n'));
    EXPECT_FALSE(things[1]->noteID()) << "the rich copy would open whole";
    EXPECT_EQ(model->toast(),
              u"Left out 2 titles over 4,000 characters. A note was too long for me, so I kept its start."_s);

    // and a paste past the import limit is refused whole
    h.pasteboard.clear();
    h.pasteboard.setData(kPlainTextType, QByteArray("- [ ] x\n").repeated(3 << 20));
    model->transfer().paste();
    EXPECT_EQ(shown(Source::today).size(), 2u);
    EXPECT_EQ(model->toast(), u"That's too much to paste at once. 16 MB at most."_s);
}

TEST_F(ModelTransfer, aNoteThatCannotBeWrittenLeavesThePastedThingWithoutANote)
{
    // The notes folder would have to be inside a file.
    const QString file = h.dir.filePath(u"a-file"_s);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    h.launch.environment.insert(u"VORN_NOTES_DIR"_s, file + u"/notes"_s);
    model.reset();
    model = h.start();

    std::vector<TransferThing> records(1);
    records[0].title = u"Pay rent"_s;
    records[0].note = u"by Friday"_s;
    records[0].rtf = kRtf;
    EXPECT_EQ(model->transfer().insert(records, Source::today, h.clock->now()), 1);
    const Thing* t = h.thingTitled(*model, u"Pay rent"_s);
    EXPECT_FALSE(t->noteID());
    EXPECT_TRUE(t->note().isEmpty());
}

TEST_F(ModelTransfer, sendingRemovesTheThingsWithAToastAndUndoesAsOneStep)
{
    Thing* a = addFull(u"Pay rent"_s);
    Thing* b = add(u"Milk"_s);
    add(u"stays"_s);
    endTurn();
    const std::vector<TransferThing> records{model->transfer().record(*a), model->transfer().record(*b)};

    model->transfer().sendToPlanner(rowsOf({a, b}), std::nullopt);
    ASSERT_EQ(h.workspace.opened.size(), 1u);
    EXPECT_EQ(h.workspace.opened[0].toString(), u"vornplanner://add?handoff=1"_s);
    const std::optional<QByteArray> handed =
        HandoffFile(h.launch.handoffPath).data(QString(kThingsPasteboardType));
    ASSERT_TRUE(handed);
    EXPECT_EQ(Transfer::decode(*handed), records);
    EXPECT_EQ(titles(model->allThings()), QStringList{u"stays"_s});
    EXPECT_EQ(model->toast(), u"Sent 2 to Vorn Planner. Ctrl+Z if that was a mistake."_s);

    endTurn();
    model->store().undoManager().undo();
    EXPECT_EQ(model->store().thingCount(), 3);

    model->transfer().sendToPlanner(rowsOf({h.thingTitled(*model, u"Milk"_s)}), std::nullopt);
    EXPECT_EQ(model->toast(), u"Sent to Vorn Planner. Ctrl+Z if that was a mistake."_s);
    EXPECT_EQ(model->store().thingCount(), 2);
}

TEST_F(ModelTransfer, aHandOffThatFailsKeepsTheThingsAndSaysWhichStepFailed)
{
    Thing* t = add(u"Milk"_s);
    struct Case {
        bool installed, opens, folderGone;
        QString toast;
    };
    const Case cases[] = {
        {false, true, false, u"Vorn Planner isn't installed."_s},
        {true, false, false, u"Couldn't open Vorn Planner. It's still here."_s},
        {true, true, true, u"Couldn't hand that to Vorn Planner. It's still here."_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.toast.toStdString());
        h.workspace.installed = c.installed;
        h.workspace.opens = c.opens;
        if (c.folderGone) {
            ASSERT_TRUE(QDir(h.dir.path()).removeRecursively());
        }
        model->transfer().sendToPlanner(rowsOf({t}), std::nullopt);
        EXPECT_EQ(model->toast(), c.toast);
        EXPECT_EQ(model->store().thingCount(), 1);
    }
    EXPECT_EQ(h.workspace.opened.size(), 1u) << "only an installed planner is asked to open, after the write";
    EXPECT_TRUE(model->transfer().plannerIsInstalled());
    h.workspace.installed = false;
    EXPECT_FALSE(model->transfer().plannerIsInstalled());
}
