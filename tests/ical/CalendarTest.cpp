#include "ical/CalendarScan.h"
#include "ical/CalendarTodo.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>

#include <libical/ical.h>

#include <gtest/gtest.h>

#include <map>

using namespace vorn;
using namespace vorn::ical;
using namespace Qt::StringLiterals;

namespace {

const QDateTime kStamp(QDate(2026, 12, 9), QTime(16, 0), Qt::UTC);
const QDateTime kCreated(QDate(2026, 11, 2), QTime(8, 30, 5), Qt::UTC);

QByteArray crlf(const QByteArray& text)
{
    return text.split('\n').join("\r\n");
}

CalendarThing thing(const QString& uid, const QString& title)
{
    CalendarThing t;
    t.uid = uid;
    t.title = title;
    t.created = kCreated;
    return t;
}

// What a read gives back of what was written: the kept text and LAST-MODIFIED are the reader's own.
CalendarThing withoutKept(CalendarThing t)
{
    t.kept.clear();
    t.modified.reset();
    return t;
}

QByteArray withoutStamps(QByteArray text)
{
    static const QRegularExpression stamp(QStringLiteral("DTSTAMP:[0-9TZ]+\r\n"));
    return QString::fromUtf8(text).remove(stamp).toUtf8();
}

// libical's own reading, every complaint it leaves in the tree counted.
int libicalComplaints(const QByteArray& text)
{
    icalcomponent* root = icalparser_parse_string(text.constData());
    if (!root)
        return -1;
    int complaints = icalcomponent_count_errors(root);
    icalcomponent_free(root);
    return complaints;
}

// The value of the first property of this name in the VTODO of this UID, as libical reads it.
QString valueIn(const QByteArray& text, const QString& uid, const char* name)
{
    icalcomponent* root = icalparser_parse_string(text.constData());
    QString out = QStringLiteral("<none>");
    for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_VTODO_COMPONENT); c;
         c = icalcomponent_get_next_component(root, ICAL_VTODO_COMPONENT)) {
        if (QString::fromUtf8(icalcomponent_get_uid(c)) != uid)
            continue;
        for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_ANY_PROPERTY); p;
             p = icalcomponent_get_next_property(c, ICAL_ANY_PROPERTY)) {
            if (qstricmp(icalproperty_get_property_name(p), name) == 0) {
                out = QString::fromUtf8(icalproperty_get_value_as_string(p));
                break;
            }
        }
    }
    icalcomponent_free(root);
    return out;
}

struct RoundTrip {
    const char* name;
    CalendarThing thing;
};

std::vector<RoundTrip> roundTrips()
{
    std::vector<RoundTrip> out;
    out.push_back({"plain", thing(QStringLiteral("A-1"), QStringLiteral("Water the plants"))});
    {
        CalendarThing t = thing(QStringLiteral("A-2"), QStringLiteral("Call Mo, then; maybe \\ not"));
        t.done = true;
        t.doneAt = QDateTime(QDate(2026, 12, 1), QTime(18, 4, 2), Qt::UTC);
        out.push_back({"done on a day, title with the characters TEXT escapes", t});
    }
    {
        CalendarThing t = thing(QStringLiteral("A-3"), QStringLiteral("Tax forms"));
        t.wake = QDateTime(QDate(2026, 12, 14), QTime(7, 0), Qt::UTC);
        t.zs = 3;
        out.push_back({"snoozed to a wake time, three snoozes", t});
    }
    {
        CalendarThing t = thing(QStringLiteral("A-4"), QStringLiteral("Learn the cello"));
        t.someday = true;
        out.push_back({"someday", t});
    }
    {
        CalendarThing t =
            thing(QStringLiteral("A-5"), QStringLiteral("Füße wärmen — 日本語 ") + QString(200, u'x'));
        t.order = 17;
        t.list = QStringLiteral("Haus, Hof; Garten ☘");
        out.push_back({"long non-ASCII title folded, order, a list of the user's", t});
    }
    {
        CalendarThing t = thing(QStringLiteral("A-6"), QStringLiteral("Notes"));
        t.note = QStringLiteral("line one, with a comma\nline two; semicolon\n\n\\backslash ünï");
        out.push_back({"plain note over lines", t});
    }
    {
        CalendarThing t = thing(QStringLiteral("A-7"), QStringLiteral("Rich"));
        t.note = QStringLiteral("bold words");
        t.rtf = QByteArray("{\\rtf1\\ansi{\\b bold} words\\par}\n") + QByteArray(3000, 'r');
        out.push_back({"rich note", t});
    }
    {
        CalendarThing t = thing(QStringLiteral("A-8"), QStringLiteral("Pack"));
        t.steps.push_back({QStringLiteral("S-1"), QStringLiteral("socks, warm"), false, std::nullopt});
        t.steps.push_back({QStringLiteral("S-2"), QStringLiteral("shoes"), true,
                           QDateTime(QDate(2026, 12, 2), QTime(9, 0), Qt::UTC)});
        t.steps.push_back({QStringLiteral("S-3"), QStringLiteral("hat"), false, std::nullopt});
        out.push_back({"steps, one done, in their order", t});
    }
    {
        CalendarThing t = thing(QStringLiteral("A-9"), QStringLiteral("Done with steps"));
        t.done = true;
        t.doneAt = kCreated.addDays(3);
        t.list = QStringLiteral("Work");
        t.steps.push_back({QStringLiteral("S-9"), QStringLiteral("only"), true, kCreated.addDays(2)});
        out.push_back({"done in a list, its step done", t});
    }
    return out;
}

} // namespace

TEST(CalendarTest, everyFieldComesBackFromItsOwnFile)
{
    std::vector<CalendarThing> all;
    for (const RoundTrip& c : roundTrips())
        all.push_back(c.thing);
    const QByteArray text = writeCalendar(all, kStamp);
    const CalendarRead read = readCalendar(text);
    EXPECT_TRUE(read.problems.empty()) << read.problems.front().what.toStdString();
    ASSERT_EQ(read.things.size(), all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(roundTrips()[i].name);
        EXPECT_EQ(withoutKept(read.things[i]), all[i]);
        // Nothing of ours needs keeping: the fields write it again as it was.
        EXPECT_TRUE(read.things[i].kept.isEmpty());
    }
}

TEST(CalendarTest, ourFilesAreStrictICalendar)
{
    std::vector<CalendarThing> all;
    for (const RoundTrip& c : roundTrips())
        all.push_back(c.thing);
    const QByteArray text = writeCalendar(all, kStamp);
    EXPECT_EQ(libicalComplaints(text), 0);
    EXPECT_TRUE(text.startsWith("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:"));
    EXPECT_FALSE(text.contains("freeassociation"));
    EXPECT_FALSE(text.contains("TZID"));
    for (const QByteArray& line : text.split('\n')) {
        if (line.isEmpty())
            continue;
        EXPECT_TRUE(line.endsWith('\r')) << line.constData();
        EXPECT_LE(line.size() - 1, 75) << line.constData(); // octets, before the CRLF
        // A fold never cuts a character in two.
        EXPECT_TRUE(QString::fromUtf8(line).toUtf8() == line) << line.constData();
    }
    // Someday is no date to other programs; steps name their thing.
    EXPECT_EQ(valueIn(text, QStringLiteral("A-4"), "DTSTART"), QStringLiteral("<none>"));
    EXPECT_EQ(valueIn(text, QStringLiteral("A-4"), "X-VORN-SOMEDAY"), QStringLiteral("TRUE"));
    EXPECT_EQ(valueIn(text, QStringLiteral("S-2"), "RELATED-TO"), QStringLiteral("A-8"));
    EXPECT_EQ(valueIn(text, QStringLiteral("S-2"), "STATUS"), QStringLiteral("COMPLETED"));
    EXPECT_EQ(valueIn(text, QStringLiteral("S-2"), "PERCENT-COMPLETE"), QStringLiteral("100"));
    EXPECT_EQ(valueIn(text, QStringLiteral("A-1"), "STATUS"), QStringLiteral("NEEDS-ACTION"));
    EXPECT_EQ(valueIn(text, QStringLiteral("A-1"), "COMPLETED"), QStringLiteral("<none>"));
    EXPECT_EQ(valueIn(text, QStringLiteral("A-1"), "LAST-MODIFIED"), QStringLiteral("<none>"));
    EXPECT_EQ(valueIn(text, QStringLiteral("A-3"), "DTSTART"), QStringLiteral("20261214T070000Z"));
}

// Debian's python3-icalendar reads what we write: every property parses, every to-do has what the
// standard requires of it.
TEST(CalendarTest, pythonsIcalendarReadsOurFilesWithoutAComplaint)
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import icalendar")}) != 0)
        GTEST_SKIP() << "python3-icalendar is not installed (scripts/ensure-packages installs it)";
    std::vector<CalendarThing> all;
    for (const RoundTrip& c : roundTrips())
        all.push_back(c.thing);
    auto verdict = [&python](const QByteArray& text) {
        QProcess check;
        check.start(python, {QStringLiteral("-c"), QStringLiteral(R"(
import sys, icalendar
cal = icalendar.Calendar.from_ical(sys.stdin.buffer.read())
problems = [f"{c.name}: {c.errors}" for c in cal.walk() if c.errors]
todos = [c for c in cal.walk("VTODO")]
problems += [f"{c.get('UID')} lacks {p}" for c in todos for p in ("UID", "DTSTAMP", "SUMMARY") if p not in c]
problems += [f"{c.get('UID')}: {p} is not UTC" for c in todos for p in ("DTSTART", "COMPLETED", "CREATED")
             if p in c and str(c.decoded(p).utcoffset()) != "0:00:00"]
print(len(todos))
print(chr(10).join(problems))
)")});
        check.write(text);
        check.closeWriteChannel();
        EXPECT_TRUE(check.waitForFinished(30000));
        EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardError().toStdString();
        return QString::fromUtf8(check.readAllStandardOutput()).trimmed().split(u'\n');
    };
    const QStringList lines = verdict(writeCalendar(all, kStamp));
    EXPECT_EQ(lines.value(0), QString::number(all.size() + 4)); // with the four steps
    EXPECT_EQ(lines.size(), 1) << lines.join(u'\n').toStdString();
    // It does complain: a to-do without DTSTAMP and with a floating start.
    const QStringList bad =
        verdict(crlf("BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:t\nBEGIN:VTODO\nUID:u\nSUMMARY:s\n"
                     "DTSTART:20261210T090000\nEND:VTODO\nEND:VCALENDAR\n"));
    EXPECT_EQ(bad, QStringList({QStringLiteral("1"), QStringLiteral("u lacks DTSTAMP"),
                                QStringLiteral("u: DTSTART is not UTC")}));
}

TEST(CalendarTest, aFileReadAndWrittenUnchangedIsTheSameApartFromDTSTAMP)
{
    std::vector<CalendarThing> all;
    for (const RoundTrip& c : roundTrips())
        all.push_back(c.thing);
    const QByteArray first = writeCalendar(all, kStamp);
    const QByteArray second = writeCalendar(readCalendar(first).things, kStamp.addDays(5));
    EXPECT_EQ(withoutStamps(second).toStdString(), withoutStamps(first).toStdString());
    EXPECT_NE(second, first);
}

namespace {

// A to-do as another app writes it, with much we have no field for.
const QByteArray kForeign = crlf(R"(BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//Elsewhere//Tasks 1.0//EN
BEGIN:VTIMEZONE
TZID:Europe/Berlin
BEGIN:STANDARD
DTSTART:19701025T030000
RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU
TZOFFSETFROM:+0200
TZOFFSETTO:+0100
END:STANDARD
BEGIN:DAYLIGHT
DTSTART:19700329T020000
RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU
TZOFFSETFROM:+0100
TZOFFSETTO:+0200
END:DAYLIGHT
END:VTIMEZONE
BEGIN:VTODO
UID:foreign-1
DTSTAMP:20261101T100000Z
CREATED:20261101T100000Z
LAST-MODIFIED:20261102T100000Z
SUMMARY:Renew the passport
DTSTART;TZID=Europe/Berlin:20261210T090000
DUE;TZID=Europe/Berlin:20261220T170000
PRIORITY:1
CATEGORIES:Papers
RRULE:FREQ=YEARLY;INTERVAL=10
GEO:52.520008;13.404954
CLASS:PRIVATE
URL;LINK-KIND=office:https://example.invalid/passport
LOCATION:
X-MOZ-GENERATION:4
X-APPLE-SORT-ORDER:5
X-ELSEWHERE-COLOUR;X-SHADE=dark:teal
BEGIN:VALARM
ACTION:DISPLAY
DESCRIPTION:Passport!
TRIGGER;RELATED=START:-PT15M
END:VALARM
END:VTODO
BEGIN:VTODO
UID:foreign-2
DTSTAMP:20261101T100000Z
SUMMARY:Photo booth
RELATED-TO;RELTYPE=PARENT:foreign-1
STATUS:IN-PROCESS
PERCENT-COMPLETE:40
PRIORITY:5
END:VTODO
END:VCALENDAR
)");

const char* const kUnmapped[] = {"DUE", "PRIORITY",         "CATEGORIES",        "RRULE", "GEO", "CLASS",
                                 "URL", "X-MOZ-GENERATION", "X-ELSEWHERE-COLOUR"};

} // namespace

TEST(CalendarTest, aForeignToDoKeepsEveryPropertyWeDontMapThroughAChange)
{
    CalendarRead read = readCalendar(kForeign);
    ASSERT_TRUE(read.problems.empty()) << read.problems.front().what.toStdString();
    ASSERT_EQ(read.things.size(), 1u);
    CalendarThing& t = read.things[0];
    EXPECT_EQ(t.title, QStringLiteral("Renew the passport"));
    EXPECT_EQ(t.wake, QDateTime(QDate(2026, 12, 10), QTime(8, 0), Qt::UTC)); // 09:00 in Berlin
    EXPECT_EQ(t.order, 5);
    ASSERT_EQ(t.steps.size(), 1u);
    EXPECT_EQ(t.steps[0].title, QStringLiteral("Photo booth"));
    EXPECT_FALSE(t.steps[0].done);

    // Renamed and its step ticked here, then written again.
    t.title = QStringLiteral("Renew the passport soon");
    t.steps[0].done = true;
    const QByteArray out = writeCalendar(read.things, kStamp);
    EXPECT_EQ(libicalComplaints(out), 0);
    for (const char* name : kUnmapped) {
        SCOPED_TRACE(name);
        EXPECT_NE(valueIn(out, QStringLiteral("foreign-1"), name), QStringLiteral("<none>"));
        EXPECT_EQ(valueIn(out, QStringLiteral("foreign-1"), name),
                  valueIn(kForeign, QStringLiteral("foreign-1"), name));
    }
    // Byte for byte where libical writes values as they came.
    for (const char* line : {"PRIORITY:1\r\n", "RRULE:FREQ=YEARLY;INTERVAL=10\r\n", "CLASS:PRIVATE\r\n",
                             "DUE;TZID=Europe/Berlin:20261220T170000\r\n", "X-MOZ-GENERATION:4\r\n",
                             "X-ELSEWHERE-COLOUR;X-SHADE=dark:teal\r\n", "TRIGGER;RELATED=START:-PT15M\r\n",
                             "BEGIN:VALARM\r\n", "TZID:Europe/Berlin\r\n", "PRIORITY:5\r\n",
                             "URL;LINK-KIND=office:https://example.invalid/passport\r\n"})
        EXPECT_TRUE(out.contains(line)) << line;
    // libical's notes on the empty LOCATION it dropped are not written as the item's.
    EXPECT_FALSE(out.contains("X-LIC")) << out.toStdString();
    // The start stays in its zone (the same second), the zone goes with it, and the change is dated.
    EXPECT_TRUE(out.contains("DTSTART;TZID=Europe/Berlin:20261210T090000\r\n"));
    EXPECT_EQ(out.count("BEGIN:VTIMEZONE"), 1);
    EXPECT_EQ(valueIn(out, QStringLiteral("foreign-1"), "LAST-MODIFIED"), QStringLiteral("20261209T160000Z"));
    EXPECT_EQ(valueIn(out, QStringLiteral("foreign-1"), "SUMMARY"),
              QStringLiteral("Renew the passport soon"));
    EXPECT_EQ(valueIn(out, QStringLiteral("foreign-2"), "STATUS"), QStringLiteral("COMPLETED"));
    EXPECT_EQ(valueIn(out, QStringLiteral("foreign-2"), "PERCENT-COMPLETE"), QStringLiteral("100"));
    EXPECT_EQ(valueIn(out, QStringLiteral("foreign-2"), "RELATED-TO"), QStringLiteral("foreign-1"));
    EXPECT_FALSE(out.contains("freeassociation"));

    // Read and written with nothing changed, it keeps its LAST-MODIFIED.
    const QByteArray same = writeCalendar(readCalendar(kForeign).things, kStamp);
    EXPECT_EQ(valueIn(same, QStringLiteral("foreign-1"), "LAST-MODIFIED"),
              QStringLiteral("20261102T100000Z"));
    EXPECT_EQ(valueIn(same, QStringLiteral("foreign-2"), "STATUS"), QStringLiteral("IN-PROCESS"));
    EXPECT_EQ(valueIn(same, QStringLiteral("foreign-2"), "PERCENT-COMPLETE"), QStringLiteral("40"));
}

TEST(CalendarTest, timesReadAsOtherProgramsMeanThem)
{
    struct Case {
        const char* name;
        const char* lines; // inside the VTODO
        std::optional<QDateTime> wake;
        bool done;
    };
    const QDateTime berlinNine(QDate(2026, 12, 10), QTime(8, 0), Qt::UTC);
    const Case cases[] = {
        {"UTC", "DTSTART:20261210T080000Z", berlinNine, false},
        {"a zone without its VTIMEZONE, by its name", "DTSTART;TZID=Europe/Berlin:20261210T090000",
         berlinNine, false},
        // libical's own zones stop their summer times after 2582; the writer goes by the IANA rules.
        {"a zone without its VTIMEZONE, far ahead", "DTSTART;TZID=America/New_York:26260701T160000",
         QDateTime(QDate(2626, 7, 1), QTime(20, 0), Qt::UTC), false},
        // A zone given inside the item (as a broken file can leave it) is the one the time means.
        {"a zone the item carries inside it",
         "DTSTART;TZID=America/New_York:20261210T090000\nBEGIN:VTIMEZONE\nTZID:America/New_York\n"
         "BEGIN:STANDARD\nDTSTART:19700101T000000\nTZOFFSETFROM:-0300\nTZOFFSETTO:-0300\nEND:STANDARD\n"
         "END:VTIMEZONE",
         QDateTime(QDate(2026, 12, 10), QTime(12, 0), Qt::UTC), false},
        {"floating: this machine's time", "DTSTART:20261210T090000",
         QDateTime(QDate(2026, 12, 10), QTime(9, 0)), false},
        {"a day alone", "DTSTART;VALUE=DATE:20261210", QDateTime(QDate(2026, 12, 10), QTime(0, 0)), false},
        {"due with no start: that day", "DUE:20261212T150000Z",
         QDateTime(QDateTime(QDate(2026, 12, 12), QTime(15, 0), Qt::UTC).toLocalTime().date(), QTime(0, 0)),
         false},
        {"a start wins over a due", "DTSTART:20261210T080000Z\nDUE:20261212T150000Z", berlinNine, false},
        {"cancelled is done", "STATUS:CANCELLED", std::nullopt, true},
        {"completed by its time alone", "COMPLETED:20261201T100000Z", std::nullopt, true},
        {"in progress is not done", "STATUS:IN-PROCESS\nPERCENT-COMPLETE:60", std::nullopt, false},
        {"a time that can't be is no wake, then or later", "DUE;TZID=UTC:20261212T206000Z", std::nullopt,
         false},
        // Only the second is written out again: reading the first would read another thing the next time.
        {"a start that can't be, then one that can", "DTSTART:20262418T080000Z\nDTSTART:20261210T080000Z",
         berlinNine, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray text =
            crlf(QByteArray(QByteArray("BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:t\nBEGIN:VTODO\n"
                                       "UID:u\nSUMMARY:s\nDTSTAMP:20261101T000000Z\n") +
                            c.lines + "\nEND:VTODO\nEND:VCALENDAR\n"));
        const CalendarRead read = readCalendar(text);
        ASSERT_EQ(read.things.size(), 1u);
        EXPECT_TRUE(read.problems.empty());
        EXPECT_EQ(read.things[0].wake, c.wake);
        EXPECT_EQ(read.things[0].done, c.done);
        // Written again, no time names a zone the file doesn't carry.
        const QByteArray out = writeCalendar(read.things, kStamp);
        EXPECT_FALSE(out.contains(";TZID=")) << out.constData();
        EXPECT_EQ(libicalComplaints(out), 0);
        EXPECT_EQ(readCalendar(out).things.at(0).wake, c.wake) << out.constData();
    }
}

namespace {

QByteArray folded10MB()
{
    QByteArray out;
    const QByteArray piece = QByteArray(70, 'z') + "\n ";
    while (out.size() < 10 * 1024 * 1024)
        out += piece;
    return out + 'z';
}

} // namespace

TEST(CalendarTest, itemsThatCantBeReadAreReportedWhereTheyAreAndTheRestIsRead)
{
    struct Case {
        const char* name;
        QByteArray item;
        const char* what;
    };
    const Case cases[] = {
        {"no UID", "BEGIN:VTODO\nSUMMARY:nameless\nEND:VTODO\n", "without a UID"},
        {"no SUMMARY", "BEGIN:VTODO\nUID:x-1\nEND:VTODO\n", "without a title"},
        {"an event", "BEGIN:VEVENT\nUID:x-2\nSUMMARY:party\nDTSTART:20261210T080000Z\nEND:VEVENT\n",
         "an event"},
        {"a UID twice", "BEGIN:VTODO\nUID:good-1\nSUMMARY:again\nEND:VTODO\n",
         "second to-do with the UID good-1"},
        {"a broken fold", "BEGIN:VTODO\nUID:x-3\nSUMMARY:a line cut\nin two without its space\nEND:VTODO\n",
         "can't be read"},
        {"a 10 MB property",
         "BEGIN:VTODO\nUID:x-4\nSUMMARY:big\nX-BIG:" + QByteArray(10 * 1024 * 1024, 'z') + "\nEND:VTODO\n",
         "too big"},
        {"a 10 MB property folded",
         "BEGIN:VTODO\nUID:x-5\nSUMMARY:big\nDESCRIPTION:" + folded10MB() + "\nEND:VTODO\n", "too big"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray text =
            crlf(QByteArray("BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:t\n"
                            "BEGIN:VTODO\nUID:good-1\nSUMMARY:first\nEND:VTODO\n" +
                            c.item + "BEGIN:VTODO\nUID:good-2\nSUMMARY:last\nEND:VTODO\nEND:VCALENDAR\n"));
        const CalendarRead read = readCalendar(text);
        ASSERT_EQ(read.problems.size(), 1u);
        EXPECT_EQ(read.problems[0].line, 8);
        EXPECT_TRUE(read.problems[0].what.contains(QLatin1String(c.what)))
            << read.problems[0].what.toStdString();
        ASSERT_EQ(read.things.size(), 2u);
        EXPECT_EQ(read.things[0].title, QStringLiteral("first"));
        EXPECT_EQ(read.things[1].title, QStringLiteral("last"));
    }
}

TEST(CalendarTest, subtasksBecomeStepsOfTheTopToDoAndOrphansStayThings)
{
    const QByteArray text = crlf(R"(BEGIN:VCALENDAR
VERSION:2.0
PRODID:t
BEGIN:VTODO
UID:kid-b
SUMMARY:second
RELATED-TO:top
X-APPLE-SORT-ORDER:2
END:VTODO
BEGIN:VTODO
UID:top
SUMMARY:Move house
END:VTODO
BEGIN:VTODO
UID:grandkid
SUMMARY:third
RELATED-TO;RELTYPE=PARENT:kid-b
X-APPLE-SORT-ORDER:3
END:VTODO
BEGIN:VTODO
UID:kid-a
SUMMARY:first
RELATED-TO;RELTYPE=PARENT:top
X-APPLE-SORT-ORDER:1
END:VTODO
BEGIN:VTODO
UID:orphan
SUMMARY:parent elsewhere
RELATED-TO:not-in-this-file
END:VTODO
BEGIN:VTODO
UID:sibling
SUMMARY:a sibling is no parent
RELATED-TO;RELTYPE=SIBLING:top
END:VTODO
END:VCALENDAR
)");
    const CalendarRead read = readCalendar(text);
    EXPECT_TRUE(read.problems.empty());
    ASSERT_EQ(read.things.size(), 3u);
    EXPECT_EQ(read.things[0].uid, QStringLiteral("top"));
    std::vector<QString> steps;
    for (const CalendarStep& s : read.things[0].steps)
        steps.push_back(s.title);
    EXPECT_EQ(steps, (std::vector<QString>{QStringLiteral("first"), QStringLiteral("second"),
                                           QStringLiteral("third")}));
    EXPECT_EQ(read.things[1].uid, QStringLiteral("orphan"));
    EXPECT_EQ(read.things[2].uid, QStringLiteral("sibling"));
}

namespace {

QByteArray foreignFile(const char* name)
{
    QFile file(QStringLiteral(VORN_ICAL_DATA "/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

// Of every VTODO, by UID: each property we have no field for as "NAME:value" (libical's reading of
// the value), and each component inside it (an alarm) by the values of its properties.
std::map<QString, QStringList> unmapped(const QByteArray& text)
{
    static const QSet<QString> ours{u"UID"_s,         u"SUMMARY"_s,          u"CREATED"_s,
                                    u"DTSTAMP"_s,     u"LAST-MODIFIED"_s,    u"STATUS"_s,
                                    u"COMPLETED"_s,   u"PERCENT-COMPLETE"_s, u"DTSTART"_s,
                                    u"DESCRIPTION"_s, u"RELATED-TO"_s,       u"X-APPLE-SORT-ORDER"_s};
    std::map<QString, QStringList> out;
    icalcomponent* root = icalparser_parse_string(text.constData());
    std::vector<icalcomponent*> todos;
    if (icalcomponent_isa(root) == ICAL_VTODO_COMPONENT)
        todos.push_back(root);
    for (icalcomponent* cal = icalcomponent_get_first_component(root, ICAL_ANY_COMPONENT); cal;
         cal = icalcomponent_get_next_component(root, ICAL_ANY_COMPONENT)) {
        if (icalcomponent_isa(cal) == ICAL_VTODO_COMPONENT)
            todos.push_back(cal);
        for (icalcomponent* c = icalcomponent_get_first_component(cal, ICAL_VTODO_COMPONENT); c;
             c = icalcomponent_get_next_component(cal, ICAL_VTODO_COMPONENT))
            todos.push_back(c);
    }
    for (icalcomponent* c : todos) {
        QStringList& lines = out[QString::fromUtf8(icalcomponent_get_uid(c))];
        for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_ANY_PROPERTY); p;
             p = icalcomponent_get_next_property(c, ICAL_ANY_PROPERTY)) {
            const QString name = QString::fromUtf8(icalproperty_get_property_name(p));
            if (!ours.contains(name) && !name.startsWith(u"X-VORN-"_s))
                lines << name + u':' + QString::fromUtf8(icalproperty_get_value_as_string(p));
        }
        for (icalcomponent* sub = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); sub;
             sub = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT)) {
            QStringList inside;
            for (icalproperty* p = icalcomponent_get_first_property(sub, ICAL_ANY_PROPERTY); p;
                 p = icalcomponent_get_next_property(sub, ICAL_ANY_PROPERTY))
                inside << QString::fromUtf8(icalproperty_get_property_name(p)) + u':' +
                              QString::fromUtf8(icalproperty_get_value_as_string(p));
            inside.sort();
            lines << QString::fromUtf8(icalcomponent_kind_to_string(icalcomponent_isa(sub))) + u'{' +
                         inside.join(u'|') + u'}';
        }
        lines.sort();
    }
    icalcomponent_free(root);
    return out;
}

struct Expected {
    QString title;
    std::vector<QString> steps;
    bool done = false;
    std::optional<QDateTime> wake;
};

QDateTime utc(int y, int m, int d, int h, int min)
{
    return QDateTime(QDate(y, m, d), QTime(h, min), Qt::UTC);
}

QDateTime localMidnight(int y, int m, int d)
{
    return QDateTime(QDate(y, m, d), QTime(0, 0));
}

} // namespace

// Made by scripts/interop-calendar with todoman, python3-icalendar and python3-caldav: each reads as
// its program meant it, and written out again keeps every property and alarm we have no field for.
TEST(CalendarTest, filesOtherProgramsWroteReadAsMeantAndKeepWhatWeDontMap)
{
    struct Case {
        const char* file;
        std::vector<Expected> things;
    };
    const Case cases[] = {
        {"todoman.ics",
         {{u"Pass verlängern — Termin buchen"_s, {}, false, utc(2026, 12, 14, 8, 0)},
          {u"Call the landlord about the heating"_s, {}, true, std::nullopt},
          {u"Fix the bike's back light"_s, {}, false, localMidnight(2026, 12, 20)}}},
        {"icalendar-subtasks.ics",
         {{u"Umzug nach Köln vorbereiten 🚚"_s,
           {u"Kartons besorgen"_s, u"Wagen mieten"_s, u"Ummelden beim Bürgeramt"_s},
           false,
           std::nullopt}}},
        {"icalendar-alarms-repeat.ics", {{u"Water the plants"_s, {}, false, utc(2026, 12, 12, 8, 0)}}},
        {"icalendar-timezone.ics",
         {{u"Call the New York office"_s, {}, false, utc(2026, 12, 15, 14, 30)}, // EST
          {u"Summer review"_s, {}, false, utc(2026, 7, 10, 20, 0)},              // EDT
          {u"Due on a day alone"_s, {}, false, localMidnight(2026, 12, 24)}}},
        {"caldav-helper.ics", {{u"Plan the garden"_s, {u"Order seeds"_s}, false, std::nullopt}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QByteArray text = foreignFile(c.file);
        const CalendarRead read = readCalendar(text);
        EXPECT_TRUE(read.problems.empty()) << read.problems.front().what.toStdString();
        ASSERT_EQ(read.things.size(), c.things.size());
        for (const Expected& want : c.things) {
            // todoman's files come in the order of their random names.
            const auto found = std::find_if(read.things.begin(), read.things.end(),
                                            [&](const CalendarThing& t) { return t.title == want.title; });
            ASSERT_NE(found, read.things.end()) << want.title.toStdString();
            const CalendarThing& got = *found;
            std::vector<QString> steps;
            for (const CalendarStep& s : got.steps)
                steps.push_back(s.title);
            EXPECT_EQ(steps, want.steps) << want.title.toStdString();
            EXPECT_EQ(got.done, want.done) << want.title.toStdString();
            // The landlord's due day is one todoman set a day after it ran: only its being there counts.
            if (want.title.startsWith(u"Call the landlord"_s))
                EXPECT_TRUE(got.wake.has_value());
            else
                EXPECT_EQ(got.wake, want.wake) << want.title.toStdString();
        }

        const QByteArray out = writeCalendar(read.things, kStamp);
        EXPECT_EQ(libicalComplaints(out), 0);
        EXPECT_FALSE(out.contains("X-LIC"));
        EXPECT_EQ(unmapped(out), unmapped(text));
        // A zone named is a zone carried.
        static const QRegularExpression tzid(u";TZID=([^;:]+)"_s);
        for (auto m = tzid.globalMatch(QString::fromUtf8(out)); m.hasNext();) {
            const QString zone = m.next().captured(1);
            EXPECT_TRUE(out.contains(("TZID:" + zone + "\r\n").toUtf8())) << zone.toStdString();
        }
        // Read again, it is what was read the first time.
        std::vector<CalendarThing> again = readCalendar(out).things;
        ASSERT_EQ(again.size(), read.things.size());
        for (std::size_t i = 0; i < again.size(); ++i)
            EXPECT_EQ(withoutKept(again[i]), withoutKept(read.things[i]));
    }
}

namespace {

QByteArray zone(const char* tzid, const char* offset)
{
    return QByteArray("BEGIN:VTIMEZONE\nTZID:") + tzid + "\nBEGIN:STANDARD\nDTSTART:19700101T000000\n" +
           "TZOFFSETFROM:" + offset + "\nTZOFFSETTO:" + offset + "\nEND:STANDARD\nEND:VTIMEZONE\n";
}

QByteArray todo(const QByteArray& uid, const QByteArray& lines = {})
{
    return "BEGIN:VTODO\nUID:" + uid + "\nSUMMARY:" + uid + "\n" + lines + "END:VTODO\n";
}

int lineOf(const QByteArray& text, const QByteArray& what)
{
    return int(text.left(text.indexOf(what)).count('\n')) + 1;
}

} // namespace

TEST(CalendarTest, aCalendarReadInPartsReadsAsInOnePiece)
{
    // Zones that aren't IANA names: a part without its copy of them would read the times as floating.
    const QByteArray head = "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:t\n" + zone("Office", "+0300");
    const QByteArray office = "DTSTART;TZID=Office:20261210T090000\n";
    const QByteArray later = "DTSTART;TZID=Later:20261210T090000\n";
    struct Case {
        const char* name;
        QByteArray text;
        bool cut;
    };
    const Case cases[] = {
        {"zones on both sides of the cut",
         crlf(head + todo("t1") + todo("t2", later) + todo("t3") + todo("t4") + todo("t5") + todo("t6") +
              todo("t7", office) + todo("t8") + zone("Later", "+0100") + "END:VCALENDAR\n"),
         true},
        {"a step across the cut and a problem after it",
         crlf(head + todo("t1") + todo("t2") + todo("t3") + todo("t4") + todo("t5") +
              "BEGIN:VTODO\nSUMMARY:nameless\nEND:VTODO\n" + todo("t6") + todo("s1", "RELATED-TO:t1\n") +
              "END:VCALENDAR\n"),
         true},
        {"two calendars are read in one piece",
         crlf(head + todo("t1") + todo("t2") + "END:VCALENDAR\n" + head + todo("t3") + "END:VCALENDAR\n"),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(detail::splitText(c.text, detail::scanText(c.text), 2).size() > 1, c.cut);
        const CalendarRead whole = readCalendar(c.text, 1);
        for (int parts : {2, 3, 4}) {
            SCOPED_TRACE(parts);
            const CalendarRead cut = readCalendar(c.text, parts);
            EXPECT_EQ(cut.things, whole.things);
            EXPECT_EQ(cut.problems, whole.problems);
        }
        QStringList titles;
        for (const CalendarThing& t : whole.things)
            titles << t.title;
        EXPECT_EQ(titles.first(), u"t1"_s);
    }
    const CalendarRead zones = readCalendar(cases[0].text, 2);
    ASSERT_EQ(zones.things.size(), 8u);
    EXPECT_EQ(zones.things[1].wake, QDateTime(QDate(2026, 12, 10), QTime(8, 0), Qt::UTC));
    EXPECT_EQ(zones.things[6].wake, QDateTime(QDate(2026, 12, 10), QTime(6, 0), Qt::UTC));
    EXPECT_TRUE(zones.things[6].kept.contains(u"TZID:Office"_s));
    const CalendarRead steps = readCalendar(cases[1].text, 2);
    ASSERT_EQ(steps.things.size(), 6u);
    ASSERT_EQ(steps.things[0].steps.size(), 1u);
    EXPECT_EQ(steps.things[0].steps[0].uid, u"s1"_s);
    ASSERT_EQ(steps.problems.size(), 1u);
    EXPECT_EQ(steps.problems[0].line, lineOf(cases[1].text, "BEGIN:VTODO\r\nSUMMARY:nameless"));
}

TEST(CalendarTest, aCalendarWrittenInRunsIsTheSameText)
{
    // Things of a foreign file, two of them keeping zones of their own, with steps.
    const QByteArray head = "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:t\n" + zone("Office", "+0300");
    std::vector<CalendarThing> things =
        readCalendar(crlf(head + todo("t1") + todo("t2", "DTSTART;TZID=Later:20261210T090000\n") +
                          todo("t3") + todo("t4", "DTSTART;TZID=Office:20261210T090000\n") +
                          todo("t5", "PRIORITY:1\n") + zone("Later", "+0100") + "END:VCALENDAR\n"))
            .things;
    ASSERT_EQ(things.size(), 5u);
    for (CalendarThing& t : things)
        t.steps.push_back({t.uid + u"-step"_s, u"a step"_s, false, std::nullopt});
    const QByteArray whole = writeCalendar(things, kStamp, 1);
    for (int parts : {2, 3, 5}) {
        SCOPED_TRACE(parts);
        EXPECT_EQ(writeCalendar(things, kStamp, parts), whole);
    }
    EXPECT_EQ(whole.count("BEGIN:VTIMEZONE"), 2);
    EXPECT_EQ(whole.count("BEGIN:VTODO"), 10);
    EXPECT_EQ(libicalComplaints(whole), 0);
}
