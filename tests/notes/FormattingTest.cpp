#include "NoteTestSupport.h"
#include "notes/MarkerEdits.h"
#include "notes/NoteFormatting.h"
#include "notes/ParagraphMarkers.h"
#include "notes/ParagraphStyler.h"
#include "support/TestSupport.h"

#include <QTextCursor>

#include <gtest/gtest.h>

#include <functional>

using namespace vorn::notes;
using namespace Qt::StringLiterals;
using vorn::notes::test::paragraphs;
namespace F = vorn::notes::NoteFormatting;
using Case = ParagraphKind::Case;

namespace {

const QString rule = ParagraphMarkers::divider();
const QString hebrew = u"\u05E9\u05DC\u05D5\u05DD"_s;

// A styled note of body paragraphs without undo history. Text after a '*' is bold; dividers carry their
// own format.
struct Note {
    QTextDocument document;
    NoteEditing editing{document};
    QTextCursor cursor{&document};

    explicit Note(const QStringList& lines, int anchor = 0, int position = 0)
    {
        for (int i = 0; i < lines.size(); ++i) {
            const QString line = lines[i] + (i + 1 < lines.size() ? u"\n"_s : QString());
            const qsizetype star = line.indexOf(u'*');
            cursor.insertText(line.left(star),
                              lines[i] == rule ? Typography::dividerFormat() : editing.typingFormat());
            if (star >= 0)
                cursor.insertText(line.mid(star + 1), Typography::roleFormat(TextRole::body, true, false));
        }
        ParagraphStyler::applyAll(document);
        document.clearUndoRedoStacks();
        select(anchor, position);
    }
    void select(int anchor, int position)
    {
        cursor.setPosition(anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
    }
    QTextBlockFormat style(int n) const { return document.findBlockByNumber(n).blockFormat(); }
    QTextCharFormat at(int position) const { return *charFormatAt(document, position); }
    // One value per character of [from, to).
    QList<int> each(int from, int to, int (*value)(const QTextCharFormat&)) const
    {
        QList<int> out;
        for (int i = from; i < to; ++i)
            out << value(at(i));
        return out;
    }
};

TEST(NoteFormatting, listsGoOnEveryCoveredParagraphButDividersOrComeOffWhenAllHaveThem)
{
    const QString rtl = u"\u200F"_s;
    const struct {
        QStringList lines;
        Case kind;
        QStringList expected;
    } cases[] = {
        {{u"a"_s, u"b"_s, rule, u"c"_s},
         Case::bullet,
         {u"\u2022\ta"_s, u"\u2022\tb"_s, rule, u"\u2022\tc"_s}},
        {{u"\u2022\ta"_s, rule, u"\u2022\tb"_s}, Case::bullet, {u"a"_s, rule, u"b"_s}},
        {{u"\u2022\ta"_s, rtl + u"\u2022\t"_s + hebrew, rtl + hebrew, u"b"_s},
         Case::number,
         {u"1.\ta"_s, rtl + u"2.\t"_s + hebrew, rtl + u"3.\t"_s + hebrew, u"4.\tb"_s}},
        {{u"\u2611\ta"_s, u"\u2610\tb"_s}, Case::checkbox, {u"a"_s, u"b"_s}},
        {{u"\u2611\ta"_s, u"b"_s}, Case::checkbox, {u"\u2610\ta"_s, u"\u2610\tb"_s}},
        {{u"3.\ta"_s, u"7.\tb"_s}, Case::number, {u"a"_s, u"b"_s}},
        {{u"3.\ta"_s, QString(), u"b"_s}, Case::number, {u"1.\ta"_s, u"2.\t"_s, u"3.\tb"_s}},
        {{rule}, Case::bullet, {rule}},
    };
    for (const auto& c : cases) {
        Note note(c.lines, 0, int(c.lines.join(u'\n').size()));
        F::toggleList(note.editing, note.cursor, c.kind);
        EXPECT_EQ(paragraphs(note.document), c.expected) << c.lines.join(u'|').toStdString();
        for (int i = 0; i < c.expected.size(); ++i) {
            const bool item = ParagraphMarkers::parse(c.expected[i]).kind.isList();
            EXPECT_EQ(note.style(i).leftMargin() + note.style(i).rightMargin(), item ? 24 : 0) << i;
            EXPECT_EQ(note.style(i).layoutDirection() == Qt::RightToLeft, c.expected[i].startsWith(rtl)) << i;
        }
    }
}

TEST(NoteFormatting, toggleListKeepsTheSelectionOnTheSameText)
{
    const struct {
        QStringList lines;
        int anchor, position;
        int start, end;
    } cases[] = {
        {{u"hello"_s}, 2, 2, 4, 4},
        {{u"\u2022\ta"_s, u"\u2022\tb"_s}, 7, 7, 5, 5},
        {{u"\u2022\ta"_s, u"\u2022\tb"_s}, 4, 4, 4, 4}, // not into the paragraph before
        {{u"ab"_s, u"cd"_s, u"ef"_s}, 4, 1, 0, 8},
        {{u"\u2022\tab"_s, u"\u2022\tcd"_s}, 3, 8, 0, 4},
        {{u"ab"_s, u"cd"_s}, 0, 3, 0, 5}, // the next paragraph starts at the end: not covered
    };
    for (const auto& c : cases) {
        Note note(c.lines, c.anchor, c.position);
        F::toggleList(note.editing, note.cursor, Case::bullet);
        EXPECT_EQ(note.cursor.selectionStart(), c.start) << c.lines.join(u'|').toStdString();
        EXPECT_EQ(note.cursor.selectionEnd(), c.end) << c.lines.join(u'|').toStdString();
    }
}

TEST(NoteFormatting, aDividerFollowsTheCaretsParagraphOrReplacesABlankOne)
{
    const struct {
        QStringList lines;
        int caret;
        QStringList expected;
        int expectedCaret;
    } cases[] = {
        {{u"hello"_s, QString()}, 6, {u"hello"_s, rule, QString()}, 307},
        {{u"hello"_s}, 2, {u"hello"_s, rule, QString()}, 307},
        {{u"hello"_s, u"world"_s}, 1, {u"hello"_s, rule, u"world"_s}, 307},
        {{u" \t"_s, u"world"_s}, 0, {rule, u"world"_s}, 301},
        {{u"\u2022\titem"_s}, 6, {u"\u2022\titem"_s, rule, QString()}, 308},
        {{hebrew}, 0, {hebrew, rule, QString()}, 306},
    };
    for (const auto& c : cases) {
        Note note(c.lines, c.caret, c.caret);
        note.editing.setTypingFormat(Typography::roleFormat(TextRole::heading, std::nullopt, true));
        F::insertDivider(note.editing, note.cursor);
        EXPECT_EQ(paragraphs(note.document), c.expected) << c.lines.join(u'|').toStdString();
        EXPECT_EQ(note.cursor.position(), c.expectedCaret);
        const int at = int(c.expected.indexOf(rule));
        EXPECT_EQ(note.at(note.document.findBlockByNumber(at).position()), Typography::dividerFormat());
        EXPECT_EQ(note.style(at).layoutDirection(), Qt::LeftToRight);
        EXPECT_TRUE(note.style(at).nonBreakableLines());
        EXPECT_EQ(note.document.lastBlock().blockFormat().leftMargin(), 0) << "no list indent copied";
        EXPECT_EQ(note.editing.typingFormat(), Typography::bodyTypingFormat());
    }
}

TEST(NoteFormatting, aRoleResetsBoldKeepsItalicAndLeavesDividersAlone)
{
    const struct {
        QTextCharFormat before;
        TextRole role;
        int size, weight, italic;
        double kern;
    } cases[] = {
        {Typography::roleFormat(TextRole::heading, true, false), TextRole::body, 15, QFont::Normal, 0, 0},
        {Typography::roleFormat(TextRole::body, false, true), TextRole::heading, 21, QFont::DemiBold, 1,
         -0.3},
        {QTextCharFormat(), TextRole::title, 28, QFont::Bold, 0, -0.5},
    };
    for (const auto& c : cases) {
        Note note({u"a"_s, rule, QString()}, 0, 1);
        note.cursor.setCharFormat(c.before);
        note.select(0, 303);
        F::applyRole(note.editing, note.cursor, c.role);
        const QTextCharFormat a = note.at(0);
        EXPECT_EQ((QList<double>{double(a.intProperty(QTextFormat::FontPixelSize)), double(a.fontWeight()),
                                 double(a.fontItalic()), Typography::kern(a)}),
                  (QList<double>{double(c.size), double(c.weight), double(c.italic), c.kern}));
        EXPECT_TRUE(Typography::sameParagraphStyle(
            note.style(0), Typography::paragraphStyle(c.role, ParagraphKind::plain(), TextDirection::ltr)));
        EXPECT_EQ(note.at(2), Typography::dividerFormat());
    }
    Note caret({u"x"_s}, 1, 1);
    caret.editing.setTypingFormat(Typography::roleFormat(TextRole::body, true, true));
    F::applyRole(caret.editing, caret.cursor, TextRole::subheading);
    EXPECT_EQ(caret.at(0).intProperty(QTextFormat::FontPixelSize), 17);
    EXPECT_EQ(caret.editing.typingFormat(), Typography::roleFormat(TextRole::subheading, std::nullopt, true));
}

int weight(const QTextCharFormat& f)
{
    return f.hasProperty(QTextFormat::FontWeight) ? f.fontWeight() : -1;
}
int italic(const QTextCharFormat& f)
{
    return f.fontItalic();
}
int underline(const QTextCharFormat& f)
{
    return f.underlineStyle();
}

TEST(NoteFormatting, aTraitGoesOnEveryRunUnlessAllHaveItAndOtherwiseFlipsTheTypingFormat)
{
    Note note({u"pl*ab"_s}, 0, 4);
    F::toggleBold(note.editing, note.cursor);
    EXPECT_EQ(note.each(0, 4, weight), QList<int>(4, QFont::Bold));
    F::toggleBold(note.editing, note.cursor);
    EXPECT_EQ(note.each(0, 4, weight), QList<int>(4, QFont::Normal));
    note.select(2, 3);
    F::toggleItalic(note.editing, note.cursor);
    F::toggleUnderline(note.editing, note.cursor);
    note.select(0, 4);
    F::toggleItalic(note.editing, note.cursor);
    EXPECT_EQ(note.each(0, 4, italic), QList<int>(4, 1));
    F::toggleUnderline(note.editing, note.cursor);
    EXPECT_EQ(note.each(0, 4, underline), QList<int>(4, QTextCharFormat::SingleUnderline));
    F::toggleUnderline(note.editing, note.cursor);
    EXPECT_EQ(note.each(0, 4, underline), QList<int>(4, QTextCharFormat::NoUnderline));

    // A heading's bold is semibold; a run without a font is left alone.
    Note heading({u"ab"_s}, 0, 1);
    heading.cursor.setCharFormat(Typography::roleFormat(TextRole::heading, false, false));
    heading.select(1, 2);
    heading.cursor.setCharFormat(QTextCharFormat());
    heading.select(0, 2);
    F::toggleBold(heading.editing, heading.cursor);
    EXPECT_EQ(heading.each(0, 2, weight), (QList<int>{QFont::DemiBold, -1}));

    using Toggle = void (*)(NoteEditing&, QTextCursor&);
    const std::tuple<QTextCharFormat, Toggle, int (*)(const QTextCharFormat&), int, int> typing[] = {
        {QTextCharFormat(), F::toggleBold, weight, QFont::Bold, QFont::Normal},
        {Typography::roleFormat(TextRole::heading, std::nullopt, false), F::toggleBold, weight, QFont::Normal,
         QFont::DemiBold},
        {Typography::bodyTypingFormat(), F::toggleItalic, italic, 1, 0},
        {Typography::bodyTypingFormat(), F::toggleUnderline, underline, QTextCharFormat::SingleUnderline, 0},
    };
    for (const auto& [format, toggle, value, first, second] : typing) {
        Note empty({u"x"_s}, 1, 1);
        empty.editing.setTypingFormat(format);
        toggle(empty.editing, empty.cursor);
        EXPECT_EQ(value(empty.editing.typingFormat()), first);
        EXPECT_GE(empty.editing.typingFormat().intProperty(QTextFormat::FontPixelSize), 15);
        toggle(empty.editing, empty.cursor);
        EXPECT_EQ(value(empty.editing.typingFormat()), second);
        EXPECT_FALSE(empty.document.isUndoAvailable()) << "only the typing format changed";
    }
}

TEST(NoteFormatting, directionMarksAreInsertedReplacedAndDeletedAndTheStylerFollows)
{
    Note note({hebrew, u"abc"_s, u"42"_s}, 2, 7);
    const QString selected = note.cursor.selectedText();
    const Qt::LayoutDirection ltr = Qt::LeftToRight, rtl = Qt::RightToLeft;
    const std::tuple<F::Direction, QString, QList<Qt::LayoutDirection>> steps[] = {
        {F::Direction::rightToLeft, u"\u200F"_s, {rtl, rtl, rtl}},
        {F::Direction::leftToRight, u"\u200E"_s, {ltr, ltr, ltr}},
        {F::Direction::automatic, QString(), {rtl, ltr, ltr}},
    };
    for (const auto& [direction, mark, directions] : steps) {
        F::setDirection(note.editing, note.cursor, direction);
        EXPECT_EQ(paragraphs(note.document), (QStringList{mark + hebrew, mark + u"abc"_s, u"42"_s}));
        EXPECT_EQ(
            (QList<Qt::LayoutDirection>{note.style(0).layoutDirection(), note.style(1).layoutDirection(),
                                        note.style(2).layoutDirection()}),
            directions);
        EXPECT_EQ(note.cursor.selectedText().remove(u'\u200E').remove(u'\u200F'), selected);
    }
}

TEST(NoteFormatting, pastedPlainTextIsStyledAsParagraphsEvenAtFiveMegabytes)
{
    Note note({u"hello world"_s}, 6, 11);
    note.editing.setEditable(false);
    F::pastePlain(note.editing, note.cursor, u"\u2610\tmilk\r\n\u2022\teggs\rplain\n"_s);
    EXPECT_EQ(paragraphs(note.document),
              (QStringList{u"hello \u2610\tmilk"_s, u"\u2022\teggs"_s, u"plain"_s, QString()}));
    EXPECT_EQ(
        (QList<double>{note.style(0).leftMargin(), note.style(1).leftMargin(), note.style(2).leftMargin()}),
        (QList<double>{0, 24, 0}));
    EXPECT_EQ(note.at(13), note.editing.typingFormat());
    EXPECT_EQ(note.cursor.position(), note.document.characterCount() - 1);

    QString big;
    for (int i = 0; big.size() < 5'000'000; ++i)
        big += (i % 4 ? u"a plain line of text, number %1\n"_s : u"\u2022\tan item of a long list, %1\n"_s)
                   .arg(i);
    Note large({QString()});
    const qint64 start = vorn::test::threadCpuMSecs();
    F::pastePlain(large.editing, large.cursor, big);
    const qint64 ms = vorn::test::threadCpuMSecs() - start;
    EXPECT_LT(ms, 2500) << "about 1.5 s under ASan";
    EXPECT_EQ(large.document.characterCount() - 1, big.size());
    EXPECT_EQ(large.style(40000).leftMargin(), 24);
}

TEST(NoteFormatting, everyCommandIsOneUndoStepAndNothingWhileReadOnly)
{
    const std::pair<const char*, std::function<void(NoteEditing&, QTextCursor&)>> commands[] = {
        {"role", [](auto& e, auto& c) { F::applyRole(e, c, TextRole::title); }},
        {"bold", F::toggleBold},
        {"italic", F::toggleItalic},
        {"underline", F::toggleUnderline},
        {"numbers", [](auto& e, auto& c) { F::toggleList(e, c, Case::number); }},
        {"divider", F::insertDivider},
        {"rtl", [](auto& e, auto& c) { F::setDirection(e, c, F::Direction::rightToLeft); }},
        {"paste", [](auto& e, auto& c) { F::pastePlain(e, c, u"x\n\u2022\ty"_s); }},
    };
    for (const auto& [name, command] : commands) {
        for (const bool editable : {true, false}) {
            Note note({u"Some *bold"_s, u"\u2022\titem"_s, rule, hebrew + u" *x"_s, u"3.\tlast"_s}, 3, 30);
            const std::string before = note.document.toHtml().toStdString();
            note.editing.setEditable(editable);
            command(note.editing, note.cursor);
            if (!editable && std::string(name) != "paste") {
                EXPECT_EQ(note.document.toHtml().toStdString(), before) << name;
                continue;
            }
            EXPECT_NE(note.document.toHtml().toStdString(), before) << name;
            note.document.undo();
            EXPECT_EQ(note.document.toHtml().toStdString(), before) << name;
            EXPECT_FALSE(note.document.isUndoAvailable()) << name << ": more than one step";
        }
    }
}

} // namespace
