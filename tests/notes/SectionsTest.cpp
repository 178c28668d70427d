#include "notes/Sections.h"
#include "NoteTestSupport.h"
#include "notes/NoteEditing.h"
#include "notes/NoteFormats.h"
#include "notes/NoteFormatting.h"
#include "notes/ParagraphStyler.h"
#include "notes/RichText.h"
#include "notes/SectionFolding.h"
#include "notes/Typography.h"
#include "support/TestSupport.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

using namespace vorn::notes;
using namespace Qt::StringLiterals;

namespace {

// A note wired like the view wires it. Lines starting "T:", "H:" or "S:" are a title, heading or
// subheading; the rest body text.
struct Note {
    QTextDocument document;
    NoteEditing editing{document};
    SectionFolding folding{document};
    QTextCursor cursor{&document};
    int changes = 0;

    explicit Note(const QStringList& lines)
    {
        for (int i = 0; i < lines.size(); ++i) {
            const QString& line = lines[i];
            const qsizetype kind = u"THS"_s.indexOf(line.left(1));
            const bool marked = kind >= 0 && line.mid(1, 1) == u":"_s;
            const QTextCharFormat format =
                Typography::roleFormat(marked ? TextRole(kind) : TextRole::body, std::nullopt, false);
            cursor.insertText((marked ? line.mid(2) : line) + (i + 1 < lines.size() ? u"\n"_s : u""_s),
                              format);
        }
        ParagraphStyler::applyAll(document);
        document.clearUndoRedoStacks();
        folding.installUnfold(editing);
        editing.didEdit = [this] { folding.afterEdit(cursor.position()); };
        folding.onSectionsChanged = [this] { ++changes; };
        folding.load();
    }
    int at(int paragraph) const { return document.findBlockByNumber(paragraph).position(); }
    // Types at the caret as the view does: change check, insert, after-edit sequence.
    void type(const QString& text)
    {
        editing.shouldChange(cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart(), text);
        cursor.insertText(text, editing.typingFormat());
        editing.afterEdit();
    }
    // The text under each range, separators shown as '/'.
    QString textOf(const std::vector<Sections::Range>& ranges) const
    {
        QStringList out;
        for (const Sections::Range& r : ranges)
            out << document.toRawText().mid(r.position, r.length).replace(QChar::ParagraphSeparator, u'/');
        return out.join(u'|');
    }
    // What folded sections hide.
    QString runs() const { return textOf(Sections::hiddenRuns(document)); }
    QString runs(int property) const { return textOf(Sections::runs(document, property)); }
    // The folded headings' paragraphs.
    QString foldedHeadings() const
    {
        std::vector<Sections::Range> ranges;
        const std::vector<Sections::Heading> list = Sections::headings(document);
        for (int ordinal : collapsed())
            ranges.push_back(list[std::size_t(ordinal)].range());
        return textOf(ranges);
    }
    QList<int> collapsible() const { return Sections::collapsibleOrdinals(document); }
    QList<int> collapsed() const { return Sections::collapsedOrdinals(document); }
};

const QStringList outline = {u"H:A"_s, u"a1"_s, u"S:B"_s, u"b1"_s, u"H:C"_s, u"c1"_s};

TEST(Sections, foldingHidesTheBodyUpToTheNextHeadingOfTheSameOrAHigherLevel)
{
    const struct {
        QStringList lines;
        QList<int> folds, ranks;
        QString hidden;
    } cases[] = {
        {outline, {0}, {1, 2, 1}, u"a1/B/b1/"_s},
        {outline, {1}, {1, 2, 1}, u"b1/"_s},
        {outline, {0, 1}, {1, 2, 1}, u"a1/B/b1/"_s},
        {outline, {2}, {1, 2, 1}, u"c1"_s},
        {{u"T:T"_s, u"x"_s, u"H:A"_s, u"y"_s, u"T:U"_s, u"z"_s}, {0}, {0, 1, 0}, u"x/A/y/"_s},
        {{u"T:T"_s, u"x"_s, u"H:A"_s, u"y"_s, u""_s}, {0}, {0, 1}, u"x/A/y/"_s},
        {{u"H:A"_s, u"H:  "_s, u"H:\u200E"_s, u"H:"_s, u"x"_s}, {0}, {1}, u"  /\u200E//x"_s},
        {{u"S:A"_s, u"S:B"_s}, {0}, {2, 2}, u""_s},
    };
    for (const auto& c : cases) {
        Note note(c.lines);
        QTextCursor caret(&note.document);
        for (int fold : c.folds)
            note.folding.toggleFolded(fold, caret);
        QList<int> ranks;
        for (const Sections::Heading& h : Sections::headings(note.document))
            ranks << h.rank;
        EXPECT_EQ(ranks, c.ranks) << c.lines.join(u'/').toStdString();
        EXPECT_EQ(note.runs(), c.hidden) << c.lines.join(u'/').toStdString();
        EXPECT_EQ(note.collapsed(), c.folds);
        EXPECT_EQ(note.changes, c.folds.size());
    }
}

TEST(Sections, hiddenBlocksTakeNoSpaceAndComeBackWhenUnfolded)
{
    Note note({u"T:T"_s, u"x"_s, u"H:A"_s, u"y"_s, u""_s});
    const auto height = [&](int n) {
        return note.document.documentLayout()->blockBoundingRect(note.document.findBlockByNumber(n)).height();
    };
    const double full = note.document.size().height();
    note.folding.toggleFolded(0, note.cursor);
    EXPECT_GT(height(0), 0);
    for (int n = 1; n < 5; ++n)
        EXPECT_EQ(height(n), 0) << n;
    EXPECT_LT(note.document.size().height(), height(0) + 20);
    note.folding.toggleFolded(0, note.cursor);
    for (int n = 1; n < 4; ++n)
        EXPECT_GT(height(n), 0) << n;
    EXPECT_EQ(note.document.size().height(), full);
}

TEST(Sections, canonicalFormFollowsWhatTheHeadingsAreNow)
{
    // A folded "Abc" has [from, to) replaced by text typed in a role.
    const struct {
        int from, to;
        TextRole typing;
        QString text;
        QList<int> collapsible;
        QString collapsibleText;
        QList<int> collapsed;
        QString hidden;
    } cases[] = {
        // split off an empty line
        {3, 3, TextRole::body, u"\n"_s, {0}, u"Abc/"_s, {0}, u"/a1/B/b1/"_s},
        // split into two headings: the fold stays with the first, whose section is now empty
        {1, 1, TextRole::body, u"\n"_s, {0, 1}, u"A/bc/"_s, {0}, u""_s},
        // lost its size
        {0, 3, TextRole::body, u"Abc"_s, {}, u""_s, {}, u""_s},
        // lost its text
        {0, 3, TextRole::heading, u" \u200E"_s, {}, u""_s, {}, u""_s},
        // typed without the attributes
        {1, 1, TextRole::heading, u"x"_s, {0}, u"Axbc/"_s, {0}, u"a1/B/b1/"_s},
    };
    for (const auto& c : cases) {
        Note note({u"H:Abc"_s, u"a1"_s, u"S:B"_s, u"b1"_s, u"H:C"_s});
        note.folding.toggleFolded(0, note.cursor);
        note.cursor.setPosition(c.from);
        note.cursor.setPosition(c.to, QTextCursor::KeepAnchor);
        note.editing.setTypingFormat(Typography::roleFormat(c.typing, std::nullopt, false));
        note.type(c.text);
        const std::string name = c.text.toStdString() + " at " + std::to_string(c.from);
        EXPECT_EQ(note.collapsible(), c.collapsible) << name;
        EXPECT_EQ(note.collapsed(), c.collapsed) << name;
        EXPECT_EQ(note.runs(NoteProperty::collapsible), c.collapsibleText) << name;
        EXPECT_EQ(note.runs(), c.hidden) << name;
        EXPECT_EQ(note.folding.lastHidden(), Sections::hiddenRuns(note.document)) << name;
        const int steps = note.document.availableUndoSteps();
        Sections::reapplyHidden(note.document); // already in form: nothing to write
        EXPECT_EQ(note.document.availableUndoSteps(), steps) << name;
    }
}

TEST(Sections, anEditAwayFromSectionsOnlyMovesThemAndOneNearThemIsReadAgain)
{
    // p0 [0,3) A [3,5) a1 [5,8) B [8,10) b1 [10,13) " C" [13,16) c1 [16,18); A open, B folded.
    const struct {
        int from, to;
        TextRole typing;
        QString text;
        QString hidden;
        int headings, changes;
    } cases[] = {
        {1, 1, TextRole::body, u"x"_s, u"b1/"_s, 3, 0},         // before every heading
        {6, 6, TextRole::body, u"\n"_s, u"b1/"_s, 3, 0},        // a new line in the open body
        {17, 17, TextRole::body, u"x"_s, u"b1/"_s, 3, 0},       // after the folded body
        {7, 8, TextRole::body, u""_s, u""_s, 2, 1},             // a1 takes in B's line: B is gone
        {9, 9, TextRole::heading, u"x"_s, u"b1/"_s, 3, 0},      // typed at the end of B's line
        {0, 2, TextRole::heading, u"P0"_s, u"b1/"_s, 4, 0},     // a new heading before them all
        {13, 14, TextRole::body, u" "_s, u"b1/ C/c1"_s, 2, 1},  // C no longer ends B's body
        {14, 15, TextRole::heading, u""_s, u"b1/ /c1"_s, 2, 1}, // nor once its text is gone
        {15, 15, TextRole::body, u"\nx"_s, u"b1/"_s, 3, 0},     // a body line after C
    };
    for (const auto& c : cases) {
        Note note({u"p0"_s, u"H:A"_s, u"a1"_s, u"H:B"_s, u"b1"_s, u"H: C"_s, u"c1"_s});
        note.folding.toggleFolded(0, note.cursor);
        note.folding.toggleFolded(0, note.cursor);
        note.folding.toggleFolded(1, note.cursor);
        note.folding.load(); // as a note opened this way: its first keystroke need not read it all again
        note.changes = 0;
        const std::string name = c.text.toStdString() + " at " + std::to_string(c.from);
        for (const int keystroke : {0, 1}) {
            if (keystroke == 0) {
                note.cursor.setPosition(c.from);
                note.cursor.setPosition(c.to, QTextCursor::KeepAnchor);
                note.editing.setTypingFormat(Typography::roleFormat(c.typing, std::nullopt, false));
                note.type(c.text);
            } else {
                // A second keystroke builds on what the first one left.
                note.cursor.setPosition(1);
                note.editing.setTypingFormat(Typography::bodyTypingFormat());
                note.type(u"y"_s);
            }
            EXPECT_EQ(note.runs(), c.hidden) << name << " keystroke " << keystroke;
            EXPECT_EQ(note.folding.lastHidden(), Sections::hiddenRuns(note.document)) << name;
            EXPECT_EQ(note.folding.headings(), Sections::headings(note.document)) << name;
            EXPECT_EQ(int(note.folding.headings().size()), c.headings) << name;
            EXPECT_EQ(note.changes, c.changes) << name << ": moving a run is no change to save";
            const int steps = note.document.availableUndoSteps();
            Sections::reapplyHidden(note.document);
            EXPECT_EQ(note.document.availableUndoSteps(), steps) << name << ": left out of form";
        }
    }

    // A change the change check never saw (Qt moves dragged text partly on its own): the next keystroke
    // reads everything again. Here body text in front of C makes it no heading, so B's body grows.
    Note note({u"p0"_s, u"H:A"_s, u"a1"_s, u"H:B"_s, u"b1"_s, u"H: C"_s, u"c1"_s});
    note.folding.toggleFolded(1, note.cursor);
    note.folding.load();
    QTextCursor unseen(&note.document);
    unseen.setPosition(13);
    unseen.insertText(u"x"_s, Typography::bodyTypingFormat());
    note.cursor.setPosition(0);
    note.type(u"y"_s);
    EXPECT_EQ(note.runs(), u"b1/x C/c1"_s);
    EXPECT_EQ(note.folding.lastHidden(), Sections::hiddenRuns(note.document));
}

TEST(Sections, aKeystrokeInALongFoldedNoteCostsTheSameAsInAShortOne)
{
    QStringList lines;
    for (int i = 0; i < 10'000; ++i)
        lines << (i % 100 ? u"line %1 of the body"_s.arg(i) : u"H:Section %1"_s.arg(i));
    Note note(lines);
    NoteComment state;
    for (int s = 0; s < 100; ++s) {
        state.collapsible << s;
        if (s != 50)
            state.collapsed << s;
    }
    Sections::applyState(note.document, state);
    note.folding.load();
    note.cursor.setPosition(note.at(5'050) + 4);
    const qint64 start = vorn::test::threadCpuMSecs();
    for (int i = 0; i < 200; ++i)
        note.type(i % 10 == 9 ? u"\n"_s : u"x"_s);
    const qint64 ms = vorn::test::threadCpuMSecs() - start;
    EXPECT_LT(ms, 1500) << "a walk over the whole note per keystroke takes several seconds here under ASan";
    EXPECT_EQ(note.folding.lastHidden(), Sections::hiddenRuns(note.document));
    EXPECT_EQ(note.folding.lastHidden().size(), 99u);
}

TEST(Sections, stateSurvivesSavingAndOutOfRangeOrdinalsChangeNothing)
{
    const struct {
        NoteComment state;
        QList<int> collapsible, collapsed;
        QString hidden;
    } cases[] = {
        {{{0, 2}, {1}, {}}, {0, 1, 2}, {1}, u"b1/"_s},
        {{{}, {0, 1}, {}}, {0, 1}, {0, 1}, u"a1/B/b1/"_s},
        {{{7, -1}, {7}, {}}, {}, {}, u""_s},
    };
    for (const auto& c : cases) {
        Note note(outline);
        Sections::applyState(note.document, c.state);
        note.folding.load();
        EXPECT_EQ(note.collapsible(), c.collapsible);
        EXPECT_EQ(note.collapsed(), c.collapsed);
        EXPECT_EQ(note.runs(), c.hidden);
        EXPECT_EQ(note.folding.sectionsActive(), !c.collapsible.isEmpty());

        const QByteArray saved = RichText::encode(note.document, {note.collapsible(), note.collapsed(), {}});
        std::optional<RichText::Decoded> back = RichText::decode(saved);
        ASSERT_TRUE(back);
        EXPECT_TRUE(Sections::hiddenRuns(*back->text).empty()) << "the RTF itself must not carry the state";
        Sections::applyState(*back->text, back->sections);
        EXPECT_EQ(Sections::collapsibleOrdinals(*back->text), c.collapsible);
        EXPECT_EQ(Sections::collapsedOrdinals(*back->text), c.collapsed);
        EXPECT_EQ(Sections::hiddenRuns(*back->text), Sections::hiddenRuns(note.document));
    }
}

TEST(Sections, anEditTouchingFoldedTextUnfoldsWhatItTouchesFirst)
{
    // outline: A [0,2) a1 [2,5) B [5,7) b1 [7,10) C [10,12) c1 [12,14); A and B folded.
    const struct {
        int position, length;
        QList<int> collapsed;
    } cases[] = {
        {2, 0, {1}},     // typing just after A's line break
        {3, 1, {1}},     // inside a1: B's body is elsewhere
        {8, 0, {}},      // inside b1: both bodies hold it
        {9, 1, {}},      // deleting backwards from C's start
        {10, 0, {0, 1}}, // C's start is not hidden
        {0, 1, {0, 1}},  // the heading line itself
    };
    for (const auto& c : cases) {
        Note note(outline);
        note.folding.toggleFolded(0, note.cursor);
        note.folding.toggleFolded(1, note.cursor);
        const int changes = note.changes;
        note.editing.shouldChange(c.position, c.length, u"x"_s);
        EXPECT_EQ(note.collapsed(), c.collapsed) << c.position << "+" << c.length;
        EXPECT_EQ(note.folding.lastHidden(), Sections::hiddenRuns(note.document)) << c.position;
        EXPECT_EQ(note.changes, changes) << "saved with the edit";
    }
}

TEST(Sections, aCaretNeverRestsOnFoldedText)
{
    Note note(outline); // A folded: [2,10) hidden; C folded: [12,14) hidden up to the end
    note.folding.toggleFolded(0, note.cursor);
    note.folding.toggleFolded(2, note.cursor);
    const struct {
        int proposed, old, expected;
    } cases[] = {{2, 1, 10},   {5, 1, 10},  {9, 10, 1}, {4, 11, 1},   {2, 2, 1},    {12, 11, 11},
                 {13, 14, 11}, {10, 1, 10}, {1, 0, 1},  {14, 11, 11}, {14, 14, 11}, {11, 11, 11}};
    for (const auto& c : cases)
        EXPECT_EQ(note.folding.adjustedForHidden(c.proposed, c.old), c.expected)
            << c.proposed << " from " << c.old;

    // Folding with the caret inside the body takes it to the heading line.
    note.folding.toggleFolded(0, note.cursor);
    note.cursor.setPosition(6);
    note.folding.toggleFolded(0, note.cursor);
    EXPECT_EQ(note.cursor.position(), 1);
}

TEST(Sections, theCommandMakesHeadingsCollapsibleAtOnceOrOnceTheLineHasText)
{
    Note note({u"a1"_s, u""_s, u"b1"_s});
    note.cursor.setPosition(0);
    note.folding.toggleCollapsibleSection(note.editing, note.cursor);
    EXPECT_EQ(note.document.begin().begin().fragment().charFormat().intProperty(QTextFormat::FontPixelSize),
              21);
    EXPECT_EQ(note.collapsible(), QList<int>{0});
    EXPECT_TRUE(note.folding.sectionsActive());
    note.folding.toggleFolded(0, note.cursor);
    note.folding.toggleCollapsibleSection(note.editing, note.cursor);
    EXPECT_TRUE(note.collapsible().isEmpty());
    EXPECT_EQ(note.runs(), u""_s);
    EXPECT_EQ(note.changes, 3);

    // An empty line waits for its first visible character, unless the caret leaves it first.
    for (const bool leave : {false, true}) {
        Note empty({u"a1"_s, u""_s, u"b1"_s});
        empty.cursor.setPosition(3);
        empty.folding.toggleCollapsibleSection(empty.editing, empty.cursor);
        EXPECT_EQ(empty.folding.pendingSectionStart(), std::optional<int>(3));
        empty.type(u" \u200F"_s);
        EXPECT_EQ(empty.folding.pendingSectionStart(), std::optional<int>(3));
        if (leave) {
            empty.cursor.setPosition(0);
            empty.folding.afterEdit(0);
            empty.cursor.setPosition(5);
        }
        empty.type(u"x"_s);
        EXPECT_EQ(empty.collapsible(), leave ? QList<int>{} : QList<int>{0}) << leave;
        EXPECT_EQ(Sections::headings(empty.document).size(), 1u) << leave;
        EXPECT_FALSE(empty.folding.pendingSectionStart()) << leave;
    }
}

TEST(Sections, foldsAreNoStepOfTheHistoryAndAttributesJoinTheEditThatMadeThem)
{
    Note note(outline);
    Sections::applyState(note.document, {{0, 1, 2}, {}, {}}); // the chevrons show
    note.folding.load();
    note.cursor.setPosition(note.at(5));
    note.cursor.movePosition(QTextCursor::EndOfBlock);
    note.type(u"!"_s);
    const int steps = note.document.availableUndoSteps();
    for (const int fold : {0, 1, 0}) {
        note.folding.toggleFolded(fold, note.cursor);
        EXPECT_EQ(note.document.availableUndoSteps(), steps) << "fold " << fold;
    }
    ASSERT_EQ(note.collapsed(), QList<int>{1});
    // Undo takes back the edit before the folds; the section stays folded.
    note.document.undo();
    note.folding.load();
    EXPECT_EQ(vorn::notes::test::paragraphs(note.document).last(), u"c1"_s);
    EXPECT_EQ(note.collapsed(), QList<int>{1});
    EXPECT_EQ(note.runs(), u"b1/"_s);
    EXPECT_EQ(note.folding.lastHidden(), Sections::hiddenRuns(note.document));

    // Completing a pending section joins the edit that completed it. (Qt can join onto an edit made in an
    // edit block, as replacing a selection is; not onto a lone keystroke.)
    Note empty({u"a1"_s, u""_s, u"b1"_s});
    empty.cursor.setPosition(3);
    empty.folding.toggleCollapsibleSection(empty.editing, empty.cursor);
    empty.type(u" "_s);
    empty.cursor.setPosition(3, QTextCursor::KeepAnchor);
    empty.type(u"x"_s);
    ASSERT_EQ(empty.collapsible(), QList<int>{0});
    empty.document.undo();
    empty.folding.load();
    EXPECT_EQ(vorn::notes::test::paragraphs(empty.document), QStringList({u"a1"_s, u" "_s, u"b1"_s}));
    EXPECT_FALSE(empty.folding.sectionsActive());
    EXPECT_EQ(empty.runs(NoteProperty::collapsible), u""_s);
}

} // namespace
