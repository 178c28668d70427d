#include "calsync/ThingMerge.h"
#include "calsync/KeptText.h"
#include "calsync/Things.h"
#include "notes/rtf/RtfDocument.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace vorn;
using namespace vorn::calsync;
using namespace vorn::calsync::test;
using Edit = std::function<void(CalendarThing&)>;
using O = MergeOutcome;

TEST(ThingMerge, eachFieldTakesTheChangedSideAndOnBothTheLaterOne)
{
    const std::function<void(CalendarThing&, int)> fields[] = {
        // value 0 is the base's
        [](auto& t, int v) { t.title = v ? QStringLiteral("Paint %1").arg(v) : t.title; },
        [](auto& t, int v) { t.done = v, t.doneAt = v ? std::optional(kBase.addDays(v)) : std::nullopt; },
        [](auto& t, int v) { t.someday = v == 2, t.wake = v == 1 ? std::optional(kLate) : std::nullopt; }};
    // ours, theirs, theirs changed at (ours at kEarly), the winning value
    const std::tuple<int, int, QDateTime, int> cases[] = {
        {0, 0, kLate, 0}, {1, 0, kLate, 1}, {0, 2, kBase, 2},  {1, 1, kBase, 1},
        {1, 2, kBase, 1}, {1, 2, kLate, 2}, {1, 2, kEarly, 2}, {1, 2, QDateTime(), 2}};
    for (const auto& set : fields) {
        for (const auto& [o, t, theirsAt, wins] : cases) {
            SCOPED_TRACE(testing::Message() << (&set - fields) << ": " << o << t << " wins " << wins);
            CalendarThing base = baseThing(), ours = base, theirs = server(base, theirsAt), expected = base;
            set(ours, o), set(theirs, t), set(expected, wins);
            const MergeResult r = merge(base, ours, theirs, kEarly);
            const bool titleLost = &set == fields && o && t && o != t;
            if (titleLost)
                expected.note += u"\n\n" + keptTitleLine((wins == 1 ? theirs : ours).title);
            EXPECT_TRUE(sameFields(*r.thing, expected));
            EXPECT_EQ(r.thing->kept, theirs.kept);
            EXPECT_EQ(r.outcome, titleLost ? O::Merged : wins == 1 && o != t ? O::KeepOurs : O::KeepTheirs);
        }
    }
}

TEST(ThingMerge, stepsMergeByTheirIdAndAnEditOutlivesADelete)
{
    auto add = [](const char* s) { return [=](CalendarThing& t) { t.steps.push_back({s, s, false, {}}); }; };
    auto drop = [](int i) { return [=](CalendarThing& t) { t.steps.erase(t.steps.begin() + i); }; };
    auto retitle = [](int i) { return [=](CalendarThing& t) { t.steps[std::size_t(i)].title += u'!'; }; };
    const Edit none = [](auto&) {}, swapLast = [](auto&t) { std::swap(t.steps[1], t.steps[2]); };
    const Edit firstToEnd = [](auto& t) { std::rotate(t.steps.begin(), t.steps.begin() + 1, t.steps.end()); };
    const Edit bothEdits = [](auto& t) { t.steps[0].title += u'?', t.steps[0].done = true; };
    const std::tuple<Edit, Edit, const char*> cases[] = {
        // ours, theirs, then the steps | the note's end
        {add("Mine"), add("Theirs"), "Measure,Drive,Pay,Mine,Theirs|White"},
        {drop(1), retitle(1), "Measure,Drive!,Pay|White"},
        {retitle(2), drop(2), "Measure,Drive,Pay!|White"},
        {drop(0), none, "Drive,Pay|White"},
        {firstToEnd, add("Theirs"), "Drive,Pay,Theirs,Measure|White"},
        {firstToEnd, swapLast, "Measure,Pay,Drive|White"},
        {retitle(0), bothEdits, "Measure!+,Drive,Pay|Step also titled: Measure?"}};
    for (const auto& [ours, theirs, expected] : cases) {
        SCOPED_TRACE(expected);
        CalendarThing base = baseThing(), o = base, t = server(base);
        ours(o), theirs(t);
        const CalendarThing m = *merge(base, o, t, kLate).thing;
        EXPECT_EQ(steps(m) + u'|' + m.note.section(QStringLiteral("\n\n"), -1), QString::fromUtf8(expected));
    }
}

// Our PUT got there, the other side wrote over it, and we edited the same fields again: a field the
// server holds as we sent it is ours, so our newer edit wins without a conflict. One it doesn't hold so
// (the PUT never got there, or the other side changed it) meets ours as before.
TEST(ThingMerge, whatTheServerHoldsAsWeSentItIsAgreed)
{
    auto title = [](const char* v) { return [=](CalendarThing& t) { t.title = v; }; };
    auto tick = [](int i, bool done) {
        return [=](CalendarThing& t) { t.steps[std::size_t(i)].done = done; };
    };
    const Edit none = [](auto&) {}, done = [](auto&t) { t.done = true; };
    const Edit addMine = [](auto& t) { t.steps.push_back({"Mine", "Mine", false, {}}); };
    const Edit dropMine = [](auto& t) { t.steps.pop_back(); };
    const std::tuple<Edit, Edit, Edit, const char*> cases[] = {
        // sent, then theirs over what we sent, then ours over what we sent: title|steps|note's end
        {title("Paint 1"), done, title("Paint 2"), "Paint 2+|Measure,Drive,Pay|White"},
        {tick(0, true), done, tick(0, false), "Buy paint+|Measure,Drive,Pay|White"},
        {addMine, done, dropMine, "Buy paint+|Measure,Drive,Pay|White"},
        {title("Paint 1"), title("Paint 3"), title("Paint 2"),
         "Paint 2|Measure,Drive,Pay|Also titled: Paint 3"},
        {none, none, title("Paint 2"), "Paint 2|Measure,Drive,Pay|White"},
    };
    for (const auto& [sentEdit, theirEdit, ourEdit, expected] : cases) {
        SCOPED_TRACE(expected);
        const CalendarThing base = baseThing();
        CalendarThing sent = base;
        sentEdit(sent);
        CalendarThing theirs = server(sent), ours = sent;
        theirEdit(theirs), ourEdit(ours);
        const CalendarThing m = *merge(baseAfterSend(base, sent, theirs), ours, theirs, kLate).thing;
        EXPECT_EQ(m.title + (m.done ? "+" : "") + u'|' + steps(m) + u'|' + m.note.section("\n\n", -1),
                  QString::fromUtf8(expected));
    }
    CalendarThing made = baseThing(), later = server(made);
    later.steps.pop_back();
    EXPECT_EQ(steps(*baseAfterSend(std::nullopt, made, later)), QStringLiteral("Measure,Drive"));
    EXPECT_EQ(baseAfterSend(std::nullopt, std::nullopt, later), std::nullopt);
}

// The rich copy shows what the plain text shows, in the body's look; a merge made again adds nothing.
TEST(ThingMerge, aLosingNoteIsKeptInBothCopiesOfTheNoteOnce)
{
    rtf::CharProps body, heading;
    body.pointSize = 13, heading.pointSize = 20;
    rtf::Document doc;
    doc.paragraphs = {{{}, {{"Paint", heading}}}, {{}, {{"Grey, with a sheen", body}}}};
    CalendarThing base = baseThing(), ours = base, theirs = server(base);
    ours.note = "Blue\nsecond line", theirs.note = "Paint\nGrey, with a sheen", theirs.rtf = rtf::write(doc);
    const MergeResult r = merge(base, ours, theirs, kBase);
    ASSERT_EQ(r.outcome, O::Merged);
    EXPECT_EQ(r.thing->note, theirs.note + u"\n\n" + keptNoteLines(ours.note));
    const rtf::Document rich = rtf::read(*r.thing->rtf).value();
    QStringList lines;
    for (const rtf::Paragraph& p : rich.paragraphs)
        lines << (p.runs.empty() ? QString() : p.runs[0].text);
    EXPECT_EQ(lines.join(u'\n'), r.thing->note);
    EXPECT_EQ(rich.paragraphs.back().runs[0].props, body);
    EXPECT_EQ(merge(base, ours, server(*r.thing), kBase).thing->note, r.thing->note);
    ours = base, ours.rtf = rtf::write(doc); // only the look changed here: no text of its own to keep
    EXPECT_EQ(merge(base, ours, theirs, kBase).thing->note, theirs.note);
    ours.note.clear(), ours.rtf.reset(); // emptied here: nothing either
    EXPECT_EQ(merge(base, ours, theirs, kBase).thing->note, theirs.note);
}

// Random edits: one side's edits alone come through whole; with edits on both, no new text is lost.
TEST(ThingMerge, randomEditsLoseNoText)
{
    std::mt19937 random(29);
    auto coin = [&](int in) { return std::uniform_int_distribution<int>(0, in - 1)(random) == 0; };
    int n = 0;
    auto edit = [&](CalendarThing t) {
        const QString mark = QStringLiteral(" #%1").arg(++n);
        t.title += coin(2) ? mark : QString();
        t.note = coin(2) ? (coin(4) ? QString() : t.note + mark) : t.note;
        t.done = coin(3) != t.done;
        t.order = coin(3) ? std::optional<qint64>(n) : t.order, t.zs += coin(3);
        t.list = coin(4) ? "List" + mark : t.list;
        if (coin(3))
            t.steps.push_back({"N" + mark, "Step" + mark, false, {}});
        if (coin(3) && !t.steps.empty())
            t.steps.erase(t.steps.begin() + n % qsizetype(t.steps.size()));
        if (coin(3) && !t.steps.empty())
            t.steps[std::size_t(n) % t.steps.size()].title += mark, t.steps[0].done = coin(2);
        return t;
    };
    for (int i = 0; i < 400; ++i) {
        SCOPED_TRACE(i);
        const CalendarThing base = edit(baseThing()), x = edit(base), y = server(edit(base));
        EXPECT_TRUE(sameFields(*merge(base, x, server(base, kBase), kLate).thing, x));
        EXPECT_EQ(merge(base, base, y, kLate).thing, y);
        const CalendarThing m = *merge(base, x, y, coin(2) ? kLate : kBase).thing;
        const QString all = m.title + u'\n' + m.note + u'\n' + steps(m);
        for (const CalendarThing* side : {&x, &y}) {
            QStringList added{side->title, side->note};
            for (const CalendarStep& s : side->steps)
                if (std::find(base.steps.begin(), base.steps.end(), s) == base.steps.end())
                    added << s.title;
            for (const QString& text : added)
                EXPECT_TRUE(all.contains(text) || text == base.title || text == base.note)
                    << qPrintable(text);
        }
    }
}
