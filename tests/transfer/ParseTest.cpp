// Reading checklists out of plain text: what other programs put on the clipboard.
#include "support/TestSupport.h"
#include "transfer/Transfer.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace vorn;
using namespace Qt::StringLiterals;

namespace {

// One thing as a line of text: "[x] title {[ ] step, [x] step}", easy to compare and to read in a failure.
std::string describe(const std::vector<TransferThing>& things)
{
    QStringList out;
    for (const TransferThing& t : things) {
        QString line = (t.done ? u"[x] "_s : u"[ ] "_s) + t.title;
        if (!t.steps.empty()) {
            QStringList steps;
            for (const TransferStep& s : t.steps)
                steps << (s.done ? u"[x] "_s : u"[ ] "_s) + s.title;
            line += u" {"_s + steps.join(u", "_s) + u'}';
        }
        out << line;
    }
    return out.join(u" | "_s).toStdString();
}

} // namespace

TEST(Parse, linesBecomeThingsAndStepsByTheirMarkers)
{
    const struct {
        const char* name;
        QString text;
        QString expected;
    } cases[] = {
        {"ticked thing with an indented unticked step", u"- [x] Pack\n    - [ ] socks"_s,
         u"[x] Pack {[ ] socks}"_s},
        {"tab indent and a ticked step", u"Trip\n\t- [x] book\n\t- [ ] pack"_s,
         u"[ ] Trip {[x] book, [ ] pack}"_s},
        {"an indented box as the first line is a thing", u"    - [ ] first"_s, u"[ ] first"_s},
        {"three spaces are no indent", u"a\n   - [ ] b"_s, u"[ ] a | [ ] b"_s},
        {"indented bullets are things, not steps", u"a\n    - b\n    \u2022 c"_s, u"[ ] a | [ ] b | [ ] c"_s},
        {"\"*\" with an upper-case box is a bullet", u"* [X] Caps"_s, u"[ ] [X] Caps"_s},
        {"\"*\" with a lower-case box is ticked", u"* [x] lower\n* [ ] open"_s, u"[x] lower | [ ] open"_s},
        {"\"- [X]\" is ticked", u"- [X] big"_s, u"[x] big"_s},
        {"a dash without a space keeps the dash", u"-abc"_s, u"[ ] -abc"_s},
        {"a dash and spaces alone make nothing", u"-   \n\n  \n"_s, u""_s},
        {"an empty box makes nothing", u"- [ ]\n- [x]   \n\u2610"_s, u""_s},
        {"a box without a space is a bullet with the box", u"- [x]done"_s, u"[ ] [x]done"_s},
        {"ballot boxes", u"\u2610 open\n\u2611 closed"_s, u"[ ] open | [x] closed"_s},
        {"a tab after the marker", u"- [x]\tTabbed\n*\tstar"_s, u"[x] Tabbed | [ ] star"_s},
        {"a no-break space after the marker", u"\u2022\u00A0a"_s, u"[ ] a"_s},
        {"numbered with a tab", u"1.\tFirst\n-2.\tSecond\n+3.\tThird"_s,
         u"[ ] First | [ ] Second | [ ] Third"_s},
        {"a letter for a number keeps the line", u"a.\tFirst"_s, u"[ ] a.\tFirst"_s},
        {"no dot, no number or a space instead of a tab", u"1\tx\n.\ty\n1. z"_s,
         u"[ ] 1\tx | [ ] .\ty | [ ] 1. z"_s},
        {"a number too big for an integer", u"99999999999999999999.\tbig"_s,
         u"[ ] 99999999999999999999.\tbig"_s},
        {"em-dash dividers make nothing", u"a\n\u2014\u2014\u2014\n  \u2014  \nb"_s, u"[ ] a | [ ] b"_s},
        {"only dividers", u"\u2014\n\u2014\u2014\n- \u2014\u2014"_s, u""_s},
        {"direction marks around the line", u"\u200F- [ ] buy\u200F\n\u200E - [x] paid"_s,
         u"[ ] buy | [x] paid"_s},
        {"a direction mark is no title", u"- \u200E\n\u200F"_s, u""_s},
        {"blanks inside a title stay", u"  plan   the  trip  "_s, u"[ ] plan   the  trip"_s},
        // Checklists as other programs copy them.
        {"Markdown task list", u"- [ ] a\n- [x] b\n    - [ ] sub"_s, u"[ ] a | [x] b {[ ] sub}"_s},
        {"bulleted list", u"\u2022 a\n\u2022 b"_s, u"[ ] a | [ ] b"_s},
        {"numbered list from an editor", u"1.\tFirst\n2.\tSecond"_s, u"[ ] First | [ ] Second"_s},
        {"word processor on Windows", u"\u2022\tMilk\r\n\u2022\tEggs\r\n"_s, u"[ ] Milk | [ ] Eggs"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(describe(Transfer::parse(c.text)), c.expected.toStdString());
    }
}

TEST(Parse, everyNewlineKindSplitsLines)
{
    const QString text = u"a\nb\rc\r\nd\u000Be\u000Cf\u0085g\u2028h\u2029i\r\n\r\n\n\rj"_s;
    EXPECT_EQ(describe(Transfer::parse(text)),
              "[ ] a | [ ] b | [ ] c | [ ] d | [ ] e | [ ] f | [ ] g | [ ] h | [ ] i | [ ] j");
    // A CR LF is one break, so an indented step after it still finds its thing.
    EXPECT_EQ(describe(Transfer::parse(u"a\r\n    - [x] s\r\n"_s)), "[ ] a {[x] s}");
}

TEST(Parse, junkNeverCrashesAndKeepsItsLines)
{
    QRandomGenerator random(7);
    // Random UTF-16 units, lone surrogates included, and random bytes read as UTF-8.
    QString units(200'000, Qt::Uninitialized);
    for (QChar& c : units)
        c = QChar(char16_t(random.bounded(0x10000)));
    QByteArray bytes(1'000'000, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);

    // Lone surrogates around a marker: the line is text, not a checklist item.
    const QString lone = QChar(0xD800) + u"- [ ] "_s + QChar(0xDC00);
    for (const QString& text : {units, QString::fromUtf8(bytes), lone, QString(QChar(0xDBFF))}) {
        for (const TransferThing& t : Transfer::parse(text)) {
            EXPECT_FALSE(t.title.isEmpty());
            EXPECT_FALSE(t.title.contains(u'\n') || t.title.contains(u'\r') || t.title.contains(u'\u2028'));
        }
    }
    const std::vector<TransferThing> parsed = Transfer::parse(lone);
    ASSERT_EQ(parsed.size(), 1u);
    EXPECT_TRUE(parsed[0].title == lone && !parsed[0].done);
}

TEST(Parse, aHundredThousandLinesAndAFiveMegabyteLineStayQuick)
{
    QString lines;
    for (int i = 0; i < 100'000; ++i)
        lines += (i % 3 == 0 ? u"- [x] thing "_s : u"    - [ ] step "_s) + QString::number(i) + u'\n';
    const QString oneLine(5 * 1024 * 1024, u'x');

    const qint64 start = vorn::test::threadCpuMSecs();
    const std::vector<TransferThing> many = Transfer::parse(lines);
    const std::vector<TransferThing> one = Transfer::parse(oneLine);
    // The Release figure is in bench/TransferBench.cpp; this only catches work that grows out of hand,
    // with room for the sanitizers. Processor time, not the wall clock, so a loaded machine can't fail it.
    EXPECT_LT(vorn::test::threadCpuMSecs() - start, 3000);

    ASSERT_EQ(many.size(), 33'334u);
    EXPECT_EQ(many[1].title, u"thing 3"_s);
    ASSERT_EQ(many[1].steps.size(), 2u);
    EXPECT_EQ(many[1].steps[1].title, u"step 5"_s);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].title.size(), oneLine.size());
}
