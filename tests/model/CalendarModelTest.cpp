// The .ics export and import on the model: the demo makes the whole trip, byte for byte apart from
// DTSTAMP; an import is one undo step and never takes an id a thing here has.
#include "ical/CalendarTodo.h"
#include "model/Constants.h"
#include "model/ModelCalendar.h"
#include "support/ModelHarness.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

using namespace vorn;
using namespace Qt::StringLiterals;
using vorn::test::drainEvents;
using vorn::test::ModelHarness;

namespace {

QByteArray withoutStamps(const QByteArray& text)
{
    static const QRegularExpression stamp(u"DTSTAMP:[0-9TZ]+\r\n"_s);
    return QString::fromUtf8(text).remove(stamp).toUtf8();
}

} // namespace

TEST(ModelCalendar, TheDemosExportImportsIntoAnEmptyHomeAndExportsTheSame)
{
    ModelHarness demo;
    demo.demo();
    std::unique_ptr<AppModel> from = demo.start();
    // A rich note and a plain one travel too.
    std::vector<Thing*> later = from->visibleThings(Source::later);
    ASSERT_GE(later.size(), 1u);
    from->saveNote(later.front()->id(), QByteArray("{\\rtf1\\ansi {\\b Shop}\\par oat milk\\par}"),
                   u"Shop\noat milk"_s);
    std::vector<Thing*> today = from->visibleThings(Source::today);
    ASSERT_GE(today.size(), 1u);
    from->saveNote(today.front()->id(), std::nullopt, u"plain, with a comma; and more"_s);
    drainEvents();
    const QByteArray first = exportCalendar(*from);
    const ical::CalendarRead read = ical::readCalendar(first);
    ASSERT_TRUE(read.problems.empty()) << read.problems.front().what.toStdString();
    ASSERT_EQ(read.things.size(), from->allThings().size());

    ModelHarness empty(demo.clock->now().addSecs(90));
    std::unique_ptr<AppModel> to = empty.start();
    const ImportOutcome outcome = importCalendar(*to, read);
    EXPECT_TRUE(outcome.problems.empty()) << describeImport(outcome).toStdString();
    EXPECT_EQ(outcome.added, int(from->allThings().size()));
    drainEvents();
    const QByteArray second = exportCalendar(*to);
    EXPECT_EQ(withoutStamps(second).toStdString(), withoutStamps(first).toStdString());
    EXPECT_NE(second, first) << "DTSTAMP says when each was written";

    // Each list's things in their order, the Later thing's rich note whole.
    for (const Source& source : {Source::today, Source::later, Source::doneIsh}) {
        std::vector<QString> a, b;
        for (const Thing* t : from->visibleThings(source))
            a.push_back(t->title());
        for (const Thing* t : to->visibleThings(source))
            b.push_back(t->title());
        EXPECT_EQ(a, b);
    }
    // Its file is written after the import, off the main thread; the thing names it once it is there.
    to->settleNotes();
    const Thing* rich = empty.thingTitled(*to, later.front()->title());
    ASSERT_TRUE(rich && rich->noteID());

    // The same file again adds copies with ids of their own, as one undo step.
    const ImportOutcome again = importCalendar(*to, read);
    EXPECT_EQ(again.added, outcome.added);
    QSet<QString> ids;
    for (const Thing* t : to->allThings()) {
        ids.insert(t->syncID());
        for (const Step* s : t->steps())
            ids.insert(s->syncID());
    }
    qsizetype steps = 0;
    for (const Thing* t : to->allThings())
        steps += qsizetype(t->steps().size());
    EXPECT_EQ(ids.size(), qsizetype(to->allThings().size()) + steps);
    drainEvents();
    to->undo();
    drainEvents();
    EXPECT_EQ(to->allThings().size(), from->allThings().size());
}

TEST(ModelCalendar, CancelledIsDoneAndDueWithoutStartWakesOnItsDay)
{
    ModelHarness h;
    std::unique_ptr<AppModel> model = h.start();
    const QDate day = h.clock->now().toLocalTime().date().addDays(3);
    const QByteArray text =
        QByteArray("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:t\r\n"
                   "BEGIN:VTODO\r\nUID:c\r\nSUMMARY:called off\r\nSTATUS:CANCELLED\r\nEND:VTODO\r\n"
                   "BEGIN:VTODO\r\nUID:d\r\nSUMMARY:due soon\r\nDUE;VALUE=DATE:") +
        day.toString(u"yyyyMMdd"_s).toLatin1() + "\r\nPRIORITY:2\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
    const ImportOutcome outcome = importCalendar(*model, ical::readCalendar(text));
    EXPECT_EQ(outcome.added, 2);
    const Thing* c = h.thingTitled(*model, u"called off"_s);
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->isDone());
    EXPECT_EQ(c->syncID(), u"c"_s);
    const Thing* d = h.thingTitled(*model, u"due soon"_s);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->snoozedUntil(), QDateTime(day, QTime(0, 0)).toUTC());
    // What we don't know goes out again.
    EXPECT_TRUE(exportCalendar(*model).contains("PRIORITY:2\r\n"));
}

TEST(ModelCalendar, AListThereIsNoRoomForGoesToTodayAndTheWordsSayItWasNotSkipped)
{
    ModelHarness h;
    std::unique_ptr<AppModel> model = h.start();
    for (const QString& name : {u"A"_s, u"B"_s, u"C"_s, u"D"_s})
        ASSERT_TRUE(model->createPile(name));
    const QByteArray text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:t\r\n"
                            "BEGIN:VTODO\r\nUID:f\r\nSUMMARY:fifth\r\nX-VORN-LIST:Garden\r\nEND:VTODO\r\n"
                            "BEGIN:VEVENT\r\nUID:e\r\nSUMMARY:party\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    const ImportOutcome outcome = importCalendar(*model, ical::readCalendar(text));
    EXPECT_EQ(outcome.added, 1);
    const Thing* t = h.thingTitled(*model, u"fifth"_s);
    ASSERT_TRUE(t);
    EXPECT_FALSE(t->pile());
    EXPECT_EQ(importToast(outcome).toStdString(),
              "Imported 1 thing. Skipped 1 item. No room for a fifth list.");
    EXPECT_EQ(describeImport(outcome).toStdString(),
              "Imported 1 thing. 1 item was left out: line 9 (an event, not a to-do). "
              "No room for a fifth list, so \"Garden\" went to Today.");
}

// A kill -9 after an import's things are saved and before their rich notes reach their files, the files
// held back by a notes folder that can't be made: the disk as it stands then (the store, its log, what
// waits beside it) is what a restart finds. No thing ever names a file that isn't there, the notes open
// as they were read meanwhile, and once the folder works each lands in its file and its thing names it.
TEST(ModelCalendar, AKillBeforeTheNotesReachTheirFilesLosesNoneAndNamesNoMissingFile)
{
    std::vector<ical::CalendarThing> in(3);
    for (std::size_t i = 0; i < in.size(); ++i) {
        in[i].uid = u"kill-%1"_s.arg(i);
        in[i].title = u"thing %1"_s.arg(i);
        in[i].note = u"note %1"_s.arg(i);
    }
    in[0].rtf = QByteArray("{\\rtf1\\ansi{\\b first} rich\\par}");
    in[2].rtf = QByteArray("{\\rtf1\\ansi third {\\i rich}\\par}");
    const QByteArray text = ical::writeCalendar(in, QDateTime(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC));

    ModelHarness before;
    QFile blocker(before.dir.filePath(u"blocker"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    before.launch.environment.insert(kNotesDirVariable, blocker.fileName() + u"/notes"_s);
    std::unique_ptr<AppModel> importing = before.start();
    ASSERT_EQ(importCalendar(*importing, ical::readCalendar(text)).added, 3);
    // Killed here: the files of the store as they are now are what the next start opens.
    ModelHarness after;
    after.manualTimers();
    ASSERT_TRUE(QDir().mkpath(after.launch.appDataDir));
    for (const QFileInfo& file : QDir(before.launch.appDataDir).entryInfoList(QDir::Files))
        ASSERT_TRUE(QFile::copy(file.filePath(), QDir(after.launch.appDataDir).filePath(file.fileName())));
    importing->settleNotes();
    for (const ical::CalendarThing& t : in) {
        const Thing* thing = before.thingTitled(*importing, t.title);
        ASSERT_TRUE(thing);
        EXPECT_FALSE(thing->noteID());
        EXPECT_EQ(importing->noteContent(thing->id()).rtf, t.rtf);
    }

    std::unique_ptr<AppModel> model = after.start();
    ASSERT_TRUE(model);
    const auto expectLanded = [&](bool landed) {
        for (const ical::CalendarThing& t : in) {
            SCOPED_TRACE(t.title.toStdString());
            const Thing* thing = after.thingTitled(*model, t.title);
            ASSERT_TRUE(thing);
            if (thing->noteID()) {
                const QString file = QDir(model->notesDir()).filePath(*thing->noteID() + u".rtf"_s);
                ASSERT_TRUE(QFile::exists(file)) << "a thing names a file that isn't there";
            }
            EXPECT_EQ(thing->note(), t.note);
            EXPECT_EQ(thing->noteID().has_value(), landed && t.rtf.has_value());
            EXPECT_EQ(model->noteContent(thing->id()).rtf, t.rtf);
        }
    };
    expectLanded(false);
    after.timers->advance(after.launch.intervals.saveRetryMaxMSecs);
    expectLanded(true);
    EXPECT_FALSE(QFile::exists(QDir(after.launch.appDataDir).filePath(u"pending-notes.json"_s)));
}
