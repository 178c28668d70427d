#include "NoteTestSupport.h"
#include "notes/MarkerEdits.h"
#include "notes/NoteEditing.h"
#include "notes/ParagraphMarkers.h"
#include "notes/Typography.h"

#include <QTextCursor>

#include <gtest/gtest.h>

using namespace vorn::notes;
using namespace Qt::StringLiterals;
using vorn::notes::test::paragraphs;

namespace {

struct ParseCase {
    const char* name;
    QString text;
    ParagraphInfo expected;
};

TEST(ParagraphMarkers, parseRecognisesEachKindByItsLeadingCharactersOnly)
{
    const QString rules7 = QString(7, QChar(0x2500));
    const QString rules8 = QString(8, QChar(0x2500));
    const ParseCase cases[] = {
        {"ticked item", u"\u2611\tBuy milk\n"_s, {ParagraphKind::checkbox(true), 0, 2}},
        {"unticked item", u"\u2610\tx"_s, {ParagraphKind::checkbox(false), 0, 2}},
        {"rtl bullet", u"\u200F\u2022\t\u05E9\u05DC\u05D5\u05DD"_s, {ParagraphKind::bullet(), 1, 2}},
        {"bullet at the end of the note", u"\u2022\t"_s, {ParagraphKind::bullet(), 0, 2}},
        {"glyph without tab", u"\u2022 text"_s, {ParagraphKind::plain(), 0, 0}},
        {"space before marker", u" \u2022\tx"_s, {ParagraphKind::plain(), 0, 0}},
        {"number 12", u"12.\tword"_s, {ParagraphKind::numbered(12), 0, 4}},
        {"leading zeros", u"007.\tx"_s, {ParagraphKind::numbered(7), 0, 5}},
        {"six digits", u"999999.\tx"_s, {ParagraphKind::numbered(999999), 0, 8}},
        {"seven digits", u"1234567.\tword"_s, {ParagraphKind::plain(), 0, 0}},
        {"number then space", u"1. x"_s, {ParagraphKind::plain(), 0, 0}},
        {"digit alone", u"1"_s, {ParagraphKind::plain(), 0, 0}},
        {"digit and stop at the end", u"1."_s, {ParagraphKind::plain(), 0, 0}},
        {"seven rules", rules7 + u'\n', {ParagraphKind::plain(), 0, 0}},
        {"eight rules", rules8 + u'\n', {ParagraphKind::divider(), 0, 8}},
        {"rules with CRLF", u"\u200E"_s + rules8 + u"\r\n"_s, {ParagraphKind::divider(), 1, 8}},
        {"rules and a letter", rules8 + u'x', {ParagraphKind::plain(), 0, 0}},
        {"empty", QString(), {ParagraphKind::plain(), 0, 0}},
        {"only a mark", u"\u200E"_s, {ParagraphKind::plain(), 1, 0}},
        {"marks only, then line break", u"\u200E\u200F\n"_s, {ParagraphKind::plain(), 2, 0}},
    };
    for (const ParseCase& c : cases) {
        const ParagraphInfo info = ParagraphMarkers::parse(c.text);
        EXPECT_EQ(info, c.expected) << c.name;
        EXPECT_EQ(info.contentStart(), c.expected.markerStart + c.expected.markerLength) << c.name;
    }
}

TEST(ParagraphMarkers, everyMarkerParsesBackAsItsKindAndLength)
{
    const ParagraphKind kinds[] = {ParagraphKind::checkbox(false), ParagraphKind::checkbox(true),
                                   ParagraphKind::numbered(1),     ParagraphKind::numbered(4711),
                                   ParagraphKind::bullet(),        ParagraphKind::divider()};
    for (const ParagraphKind kind : kinds) {
        const QString marker = ParagraphMarkers::marker(kind);
        const QString paragraph = kind.is(ParagraphKind::Case::divider) ? marker : marker + u"text"_s;
        const ParagraphInfo info = ParagraphMarkers::parse(paragraph);
        EXPECT_EQ(info.kind, kind) << marker.toStdString();
        EXPECT_EQ(info.markerLength, marker.size());
    }
    EXPECT_EQ(ParagraphMarkers::marker(ParagraphKind::numbered(1)), u"1.\t"_s);
    EXPECT_EQ(ParagraphMarkers::divider().size(), 300);
    EXPECT_TRUE(ParagraphMarkers::marker(ParagraphKind::plain()).isEmpty());

    EXPECT_EQ(ParagraphMarkers::nextItem(ParagraphKind::checkbox(true)), ParagraphKind::checkbox(false));
    EXPECT_EQ(ParagraphMarkers::nextItem(ParagraphKind::numbered(9)), ParagraphKind::numbered(10));
    EXPECT_EQ(ParagraphMarkers::nextItem(ParagraphKind::bullet()), ParagraphKind::bullet());
    EXPECT_EQ(ParagraphMarkers::nextItem(ParagraphKind::divider()), ParagraphKind::plain());
}

TEST(ParagraphMarkers, renumberCountsEachRunFromOne)
{
    struct Case {
        QString before;
        QString after;
    } cases[] = {
        {u"1.\ta\n1.\tb\n1.\tc"_s, u"1.\ta\n2.\tb\n3.\tc"_s},
        {u"3.\ta\n4.\tb\nplain\n9.\tc"_s, u"1.\ta\n2.\tb\nplain\n1.\tc"_s},
        {u"999999.\ta\n5.\tb"_s, u"1.\ta\n2.\tb"_s},
        {u"\u200F7.\ta\n\n2.\tb\n\u2022\tc\n4.\td"_s, u"\u200F1.\ta\n\n1.\tb\n\u2022\tc\n1.\td"_s},
    };
    for (const Case& c : cases) {
        QTextDocument document;
        document.setPlainText(c.before);
        NoteEditing editing(document);
        editing.renumber();
        EXPECT_EQ(document.toPlainText(), c.after) << c.before.toStdString();
    }
}

// After an edit in one paragraph of a note that was in step, renumbering from there changes exactly what
// renumbering the whole note would: the edited run from that paragraph on, or the run after it.
TEST(ParagraphMarkers, renumberingFromAnEditedParagraphMatchesTheWholeNote)
{
    struct Case {
        const char* what;
        QString text; // the note just after the edit
        int editedBlock;
    } cases[] = {
        {"an item added in the middle", u"1.\ta\n2.\tb\n3.\tnew\n3.\tc\n4.\td\nplain\n1.\tz"_s, 2},
        {"an item added at the end", u"1.\ta\n2.\tb\n3.\tnew"_s, 2},
        {"an item made plain splits the list", u"1.\ta\nb\n3.\tc\n4.\td\n\n1.\tz"_s, 1},
        {"the first item made plain", u"a\n2.\tb\n3.\tc"_s, 0},
        {"a plain line made an item joins two lists", u"1.\ta\n1.\tx\n1.\tb\n2.\tc"_s, 1},
        {"an item in the second of two lists", u"1.\ta\n2.\tb\n\u2022\tc\n1.\td\n1.\tnew\n2.\te"_s, 4},
        {"the last item made plain", u"1.\ta\n2.\tb\nc"_s, 2},
        {"an item after a typed number", u"a\n5.\tb\n2.\t"_s, 2},
        {"a plain line after a typed number", u"7.\ta\nb\n4.\tc"_s, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTextDocument document;
        document.setPlainText(c.text);
        const int position = document.findBlockByNumber(c.editedBlock).position();
        const auto whole = renumbering(document);
        const auto local = renumberingFrom(document, position);
        ASSERT_EQ(local.size(), whole.size());
        for (size_t i = 0; i < whole.size(); ++i) {
            EXPECT_EQ(local[i].position, whole[i].position);
            EXPECT_EQ(local[i].length, whole[i].length);
            EXPECT_EQ(local[i].text, whole[i].text);
        }
    }
}

TEST(ParagraphMarkers, renumberedDigitsKeepTheFormatOfTheFirstDigitAndUndoAsOneStep)
{
    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.insertText(u"1.\ta\n"_s);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setFontUnderline(true);
    cursor.insertText(u"17"_s, bold);
    cursor.insertText(u".\tb\n5.\tc"_s, QTextCharFormat());

    NoteEditing editing(document);
    QTextCursor group(&document);
    group.beginEditBlock();
    editing.renumber();
    group.endEditBlock();
    EXPECT_EQ(paragraphs(document), (QStringList{u"1.\ta"_s, u"2.\tb"_s, u"3.\tc"_s}));
    const QTextCharFormat digit = *charFormatAt(document, document.findBlockByNumber(1).position());
    EXPECT_EQ(digit.fontWeight(), QFont::Bold);
    EXPECT_FALSE(digit.fontUnderline()) << "a marker is never underlined";

    document.undo();
    EXPECT_EQ(paragraphs(document), (QStringList{u"1.\ta"_s, u"17.\tb"_s, u"5.\tc"_s}));
}

TEST(ParagraphMarkers, toggleSwapsOnlyTheCheckboxGlyph)
{
    QTextDocument document;
    document.setPlainText(u"\u2610\tBuy milk\nplain"_s);
    const QTextBlock item = document.firstBlock();
    ASSERT_TRUE(toggleCheckbox(document, item));
    EXPECT_EQ(document.firstBlock().text(), u"\u2611\tBuy milk"_s);
    ASSERT_TRUE(toggleCheckbox(document, document.firstBlock()));
    EXPECT_EQ(document.firstBlock().text(), u"\u2610\tBuy milk"_s);
    EXPECT_FALSE(toggleCheckbox(document, document.lastBlock()));
    EXPECT_EQ(document.lastBlock().text(), u"plain"_s);
}

} // namespace
