#include "calsync/ThingMerge.h"
#include "calsync/KeptText.h"

#include "notes/rtf/RtfDocument.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace vorn;
using namespace vorn::calsync;
using ical::CalendarStep;
using ical::CalendarThing;

namespace {

const QDateTime kBase(QDate(2026, 12, 1), QTime(9, 0), Qt::UTC);
const QDateTime kEarly = kBase.addSecs(3600);
const QDateTime kLate = kBase.addSecs(7200);

CalendarThing baseThing()
{
    CalendarThing t;
    t.uid = QStringLiteral("T1");
    t.title = QStringLiteral("Buy paint");
    t.created = kBase;
    t.modified = kBase;
    t.note = QStringLiteral("White, matt");
    t.steps = {{QStringLiteral("S1"), QStringLiteral("Measure"), false, {}},
               {QStringLiteral("S2"), QStringLiteral("Drive"), false, {}},
               {QStringLiteral("S3"), QStringLiteral("Pay"), false, {}}};
    t.kept = QStringLiteral("BEGIN:VCALENDAR\r\n…PRIORITY:1…\r\n");
    return t;
}

// The server's copy: written later or earlier than our change at kEarly + 30 min.
CalendarThing server(CalendarThing t, const QDateTime& at)
{
    t.modified = at;
    t.kept = QStringLiteral("BEGIN:VCALENDAR\r\n…written by the phone…\r\n");
    return t;
}

QStringList stepTitles(const CalendarThing& t)
{
    QStringList out;
    for (const CalendarStep& s : t.steps)
        out << s.title;
    return out;
}

} // namespace

// Each field on its own: a change on one side wins, on both the later one, and a losing title is kept.
TEST(ThingMerge, eachFieldTakesTheChangedSideAndOnBothTheLaterOne)
{
    using Set = std::function<void(CalendarThing&, int)>; // 0: the base's value, 1 and 2: two others
    const std::vector<std::pair<const char*, Set>> fields = {
        {"title",
         [](CalendarThing& t, int v) { t.title = v ? QStringLiteral("Paint v%1").arg(v) : t.title; }},
        {"list", [](CalendarThing& t, int v) { t.list = v ? QStringLiteral("Home %1").arg(v) : QString(); }},
        {"done",
         [](CalendarThing& t, int v) {
             t.done = v != 0;
             t.doneAt = v ? std::optional(kBase.addDays(v)) : std::nullopt;
         }},
        {"wake",
         [](CalendarThing& t, int v) {
             t.someday = v == 2;
             t.wake = v == 1 ? std::optional(kBase.addDays(3)) : std::nullopt;
         }},
        {"order",
         [](CalendarThing& t, int v) { t.order = v ? std::optional<qint64>(v * 10) : std::nullopt; }},
    };
    struct Case {
        const char* name;
        int ours, theirs;
        QDateTime theirsAt; // invalid: the server's copy has no LAST-MODIFIED
        int wins;
    };
    const QDateTime oursAt = kEarly.addSecs(1800);
    const Case cases[] = {
        {"unchanged", 0, 0, kLate, 0},
        {"ours only", 1, 0, kLate, 1},
        {"theirs only", 0, 2, kEarly, 2},
        {"both the same", 1, 1, kEarly, 1},
        {"both, ours later", 1, 2, kEarly, 1},
        {"both, theirs later", 1, 2, kLate, 2},
        {"both, at the same second", 1, 2, oursAt, 2},
        {"both, theirs undated", 1, 2, QDateTime(), 2},
    };
    for (const auto& [field, set] : fields) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(field) + ": " + c.name);
            CalendarThing base = baseThing(), ours = base, expected = base;
            CalendarThing theirs = server(base, c.theirsAt);
            if (!c.theirsAt.isValid())
                theirs.modified.reset();
            set(ours, c.ours);
            set(theirs, c.theirs);
            set(expected, c.wins);
            const MergeResult r = merge(base, ours, theirs, oursAt);
            ASSERT_TRUE(r.thing);
            EXPECT_EQ(r.thing->kept, theirs.kept);
            const bool bothDiffer = c.ours && c.theirs && c.ours != c.theirs;
            if (bothDiffer && QString::fromLatin1(field) == u"title") {
                const CalendarThing& loser = c.wins == 1 ? theirs : ours;
                EXPECT_EQ(r.thing->title, expected.title);
                EXPECT_EQ(r.thing->note, base.note + u"\n\n" + keptTitleLine(loser.title));
                EXPECT_EQ(r.outcome, MergeOutcome::Merged);
                continue;
            }
            EXPECT_TRUE(sameFields(*r.thing, expected));
            EXPECT_EQ(r.outcome,
                      c.wins == 1 && c.ours != c.theirs ? MergeOutcome::KeepOurs : MergeOutcome::KeepTheirs);
        }
    }
}

TEST(ThingMerge, stepsMergeByTheirIdAndAnEditOutlivesADelete)
{
    using Edit = std::function<void(CalendarThing&)>;
    auto add = [](const char* uid, const char* title) {
        return [=](CalendarThing& t) {
            t.steps.push_back({QString::fromLatin1(uid), QString::fromLatin1(title), false, {}});
        };
    };
    auto drop = [](int i) { return [=](CalendarThing& t) { t.steps.erase(t.steps.begin() + i); }; };
    auto retitle = [](int i, const char* title) {
        return [=](CalendarThing& t) { t.steps[std::size_t(i)].title = QString::fromLatin1(title); };
    };
    auto moveFirstToEnd = [](CalendarThing& t) {
        std::rotate(t.steps.begin(), t.steps.begin() + 1, t.steps.end());
    };
    auto swapLastTwo = [](CalendarThing& t) { std::swap(t.steps[1], t.steps[2]); };
    const Edit none = [](CalendarThing&) {};
    struct Case {
        const char* name;
        Edit ours, theirs;
        QStringList titles;
    };
    const Case cases[] = {
        {"added on both sides",
         add("S4", "Mine"),
         add("S5", "Theirs"),
         {"Measure", "Drive", "Pay", "Mine", "Theirs"}},
        {"deleted here, edited there",
         drop(1),
         retitle(1, "Drive slowly"),
         {"Measure", "Drive slowly", "Pay"}},
        {"edited here, deleted there", retitle(2, "Pay cash"), drop(2), {"Measure", "Drive", "Pay cash"}},
        {"deleted here, unchanged there", drop(0), none, {"Drive", "Pay"}},
        {"reordered here only", moveFirstToEnd, add("S5", "Theirs"), {"Drive", "Pay", "Theirs", "Measure"}},
        {"reordered on both", moveFirstToEnd, swapLastTwo, {"Measure", "Pay", "Drive"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CalendarThing base = baseThing(), ours = base, theirs = server(base, kEarly);
        c.ours(ours);
        c.theirs(theirs);
        const MergeResult r = merge(base, ours, theirs, kLate);
        ASSERT_TRUE(r.thing);
        EXPECT_EQ(stepTitles(*r.thing), c.titles);
    }

    // A step retitled on both: the later title, the other kept in the note.
    CalendarThing base = baseThing(), ours = base, theirs = server(base, kEarly);
    ours.steps[0].title = QStringLiteral("Measure twice");
    theirs.steps[0].title = QStringLiteral("Measure the wall");
    theirs.steps[0].done = true;
    const MergeResult r = merge(base, ours, theirs, kLate);
    EXPECT_EQ(r.thing->steps[0].title, u"Measure twice");
    EXPECT_TRUE(r.thing->steps[0].done);
    EXPECT_TRUE(r.thing->note.endsWith(keptStepLine(QStringLiteral("Measure the wall"))));
}

TEST(ThingMerge, aThingDeletedOnOneSideAndEditedOnTheOtherKeepsTheEdit)
{
    const CalendarThing base = baseThing();
    CalendarThing edited = base;
    edited.steps[1].done = true;
    CalendarThing touched = server(base, kLate); // a field we don't read changed over there
    const std::optional<CalendarThing> gone;
    struct Case {
        const char* name;
        std::optional<CalendarThing> base, ours, theirs;
        MergeOutcome outcome;
    };
    const Case cases[] = {
        {"deleted here, unchanged there", base, gone, base, MergeOutcome::Delete},
        {"deleted here, edited there", base, gone, edited, MergeOutcome::KeepTheirs},
        {"deleted here, touched there", base, gone, touched, MergeOutcome::KeepTheirs},
        {"deleted there, unchanged here", base, base, gone, MergeOutcome::Delete},
        {"deleted there, edited here", base, edited, gone, MergeOutcome::KeepOurs},
        {"deleted on both", base, gone, gone, MergeOutcome::Delete},
        {"new here", gone, base, gone, MergeOutcome::KeepOurs},
        {"new there", gone, gone, base, MergeOutcome::KeepTheirs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MergeResult r = merge(c.base, c.ours, c.theirs, kLate);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.thing, c.outcome == MergeOutcome::KeepOurs     ? c.ours
                           : c.outcome == MergeOutcome::KeepTheirs ? c.theirs
                                                                   : std::nullopt);
    }
}

// The note's rich copy shows what the plain text shows, and a merge made again adds nothing again.
TEST(ThingMerge, aLosingNoteIsKeptInBothCopiesOfTheNoteOnce)
{
    rtf::CharProps body;
    body.fontFamily = QStringLiteral("Inter");
    body.pointSize = 13;
    rtf::CharProps heading = body;
    heading.pointSize = 20;
    rtf::Document doc;
    doc.paragraphs.push_back({{}, {{QStringLiteral("Paint"), heading}}});
    doc.paragraphs.push_back({{}, {{QStringLiteral("Grey, with a sheen"), body}}});
    CalendarThing base = baseThing(), ours = base, theirs = server(base, kEarly);
    ours.note = QStringLiteral("Blue\nsecond line");
    theirs.note = QStringLiteral("Paint\nGrey, with a sheen");
    theirs.rtf = rtf::write(doc);
    const MergeResult r = merge(base, ours, theirs, kBase);
    ASSERT_EQ(r.outcome, MergeOutcome::Merged);
    EXPECT_EQ(r.thing->note, theirs.note + u"\n\n" + keptNoteLines(ours.note));
    const std::optional<rtf::Document> rich = rtf::read(*r.thing->rtf);
    ASSERT_TRUE(rich);
    QStringList lines;
    for (const rtf::Paragraph& p : rich->paragraphs)
        lines << (p.runs.empty() ? QString() : p.runs[0].text);
    EXPECT_EQ(lines.join(u'\n'), r.thing->note);
    EXPECT_EQ(rich->paragraphs.back().runs[0].props.pointSize, 13);

    const MergeResult again = merge(base, ours, server(*r.thing, kEarly), kBase);
    EXPECT_EQ(again.thing->note, r.thing->note);
}

// Random edits on either side: one side's edits alone come through whole, and with edits on both no
// text either side wrote is lost.
TEST(ThingMerge, randomEditsLoseNoText)
{
    std::mt19937 random(29);
    auto coin = [&](int in) { return std::uniform_int_distribution<int>(0, in - 1)(random) == 0; };
    int serial = 0;
    auto edit = [&](CalendarThing t) {
        const QString mark = QStringLiteral(" #%1").arg(++serial);
        if (coin(2)) {
            t.title += mark;
        }
        if (coin(2)) {
            t.note = coin(4) ? QString() : t.note + mark;
        }
        if (coin(3)) {
            t.done = !t.done;
        }
        if (coin(3)) {
            t.order = serial;
        }
        if (coin(3)) {
            t.steps.push_back({QStringLiteral("N%1").arg(serial), QStringLiteral("Step") + mark, false, {}});
        }
        if (coin(3) && !t.steps.empty()) {
            t.steps.erase(t.steps.begin() + serial % qsizetype(t.steps.size()));
        }
        if (coin(3) && !t.steps.empty()) {
            t.steps[std::size_t(serial) % t.steps.size()].title += mark;
        }
        return t;
    };
    for (int i = 0; i < 400; ++i) {
        SCOPED_TRACE(i);
        const CalendarThing base = edit(baseThing());
        const CalendarThing x = edit(base), y = server(edit(base), kEarly);
        const MergeResult onlyOurs = merge(base, x, server(base, kBase), kLate);
        EXPECT_TRUE(sameFields(*onlyOurs.thing, x));
        EXPECT_EQ(merge(base, base, y, kLate).thing, y);

        const CalendarThing m = *merge(base, x, y, coin(2) ? kLate : kBase).thing;
        const QString all = m.title + u'\n' + m.note + u'\n' + stepTitles(m).join(u'\n');
        for (const CalendarThing* side : {&x, &y}) {
            if (side->title != base.title) {
                EXPECT_TRUE(all.contains(side->title));
            }
            if (side->note != base.note) {
                EXPECT_TRUE(all.contains(side->note));
            }
            for (const CalendarStep& s : side->steps) {
                const bool asInBase = std::any_of(base.steps.begin(), base.steps.end(),
                                                  [&](const CalendarStep& b) { return b == s; });
                if (!asInBase) {
                    EXPECT_TRUE(all.contains(s.title)) << s.title.toStdString();
                }
            }
        }
    }
}
