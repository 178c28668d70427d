#include "notes/view/NoteTextView.h"

#include "notes/MarkerEdits.h"
#include "notes/ParagraphMarkers.h"
#include "notes/RichText.h"
#include "notes/Typography.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

using namespace vorn::notes;
// Readable failures: gtest prints a QString as its UTF-16 bytes otherwise.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

QStringList paragraphs(const QTextDocument& document)
{
    QStringList out;
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next())
        out << b.text();
    return out;
}

const QString kDivider = ParagraphMarkers::divider();

// Counts the repaints of the whole visible area the view asks for.
class CountingView : public NoteTextView {
public:
    int repaints = 0;

protected:
    void repaintVisibleArea() override
    {
        ++repaints;
        NoteTextView::repaintVisibleArea();
    }
};

struct Caret {
    int paragraph;
    int offset; // -1: the paragraph's end
};

class NoteTextViewTest : public ::testing::Test {
public:
    void SetUp() override
    {
        view.resize(420, 360);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    void load(const QString& text)
    {
        std::unique_ptr<QTextDocument> note = RichText::plain(text);
        note->setParent(&view);
        note->clearUndoRedoStacks();
        view.setNoteDocument(note.release());
    }

    int position(Caret at) const
    {
        const QTextBlock block = view.document()->findBlockByNumber(at.paragraph);
        return block.position() + (at.offset < 0 ? block.length() - 1 : at.offset);
    }

    void place(Caret at)
    {
        QTextCursor cursor = view.textCursor();
        cursor.setPosition(position(at));
        view.setTextCursor(cursor);
    }

    void select(int from, int to)
    {
        QTextCursor cursor = view.textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        view.setTextCursor(cursor);
    }

    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(&view, k, modifiers);
    }

    // Text as a keyboard layout types it; QTest's own clicks know only ASCII.
    void type(const QString& text)
    {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(&view, &press);
        }
    }

    void undo() { key(Qt::Key_Z, Qt::ControlModifier); }

    QStringList lines() const { return paragraphs(*view.document()); }

    // The styler's work shows in the view: list items, and only they, carry the list indent.
    void expectIndentsFollowMarkers() const
    {
        for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next()) {
            const bool list = ParagraphMarkers::parse(b.text()).kind.isList();
            const QTextBlockFormat style = b.blockFormat();
            const qreal indent = std::max(style.leftMargin(), style.rightMargin());
            EXPECT_EQ(indent, list ? 24 : 0) << b.text().toStdString();
        }
    }

    // Where a paragraph's character is drawn, in viewport coordinates.
    QRectF characterRect(int paragraph, int offset) const
    {
        const QTextBlock block = view.document()->findBlockByNumber(paragraph);
        const QTextLine line = block.layout()->lineForTextPosition(offset);
        const QPointF origin = view.document()->documentLayout()->blockBoundingRect(block).topLeft();
        const qreal a = line.cursorToX(offset);
        const qreal b = line.cursorToX(offset + 1);
        const QPointF scroll(view.horizontalScrollBar()->value(), view.verticalScrollBar()->value());
        return QRectF(origin.x() + std::min(a, b), origin.y() + line.y(), std::abs(b - a), line.height())
            .translated(-scroll);
    }

    CountingView view;
};

QString t(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

struct ReturnCase {
    const char* name;
    QString text;
    Caret caret;
    int returns;
    QStringList expected;
    Caret expectedCaret;
};

TEST_F(NoteTextViewTest, ReturnInListsContinuesEndsOrBreaksAndUndoesAsOneStepEach)
{
    const std::vector<ReturnCase> cases = {
        {"numbered item continues and renumbers the run",
         t("1.\tone\n2.\ttwo\n3.\tthree"),
         {0, -1},
         1,
         {t("1.\tone"), t("2.\t"), t("3.\ttwo"), t("4.\tthree")},
         {1, 3}},
        {"ticked checkbox continues unticked", t("☑\tdone"), {0, -1}, 1, {t("☑\tdone"), t("☐\t")}, {1, 2}},
        {"bullet continues", t("•\ta  "), {0, -1}, 1, {t("•\ta  "), t("•\t")}, {1, 2}},
        {"empty item ends the list without a new line",
         t("•\ta\n•\t \nafter"),
         {1, -1},
         1,
         {t("•\ta"), t(" "), t("after")},
         {1, 1}},
        {"empty numbered item splits the run, which renumbers",
         t("1.\ta\n2.\t\n3.\tc"),
         {1, -1},
         1,
         {t("1.\ta"), t(""), t("1.\tc")},
         {1, 0}},
        {"second Return after ending the list is an ordinary line",
         t("•\ta\n•\t"),
         {1, -1},
         2,
         {t("•\ta"), t(""), t("")},
         {2, 0}},
        {"between the glyph and its TAB an ordinary line break",
         t("•\ta"),
         {0, 1},
         1,
         {t("•"), t("\ta")},
         {1, 0}},
        {"Return before the marker is an ordinary line break",
         t("•\ta"),
         {0, 0},
         1,
         {t(""), t("•\ta")},
         {1, 0}},
    };
    for (const ReturnCase& c : cases) {
        SCOPED_TRACE(c.name);
        load(c.text);
        place(c.caret);
        for (int i = 0; i < c.returns; ++i)
            key(Qt::Key_Return);
        EXPECT_EQ(lines(), c.expected);
        EXPECT_EQ(view.textCursor().position(), position(c.expectedCaret));
        expectIndentsFollowMarkers();
        for (int i = 0; i < c.returns; ++i)
            undo();
        EXPECT_EQ(lines(), paragraphs(*RichText::plain(c.text)));
    }
}

TEST_F(NoteTextViewTest, ReturnAtTheEndOfAHeadingTypesBodyTextInTheHeadingsDirection)
{
    struct Case {
        const char* name;
        QString heading;
        QString typed;
        Qt::LayoutDirection direction;
    };
    for (const Case& c : {Case{"left to right", t("Plans"), t("x"), Qt::LeftToRight},
                          Case{"right to left", t("שלום"), t("ש"), Qt::RightToLeft}}) {
        SCOPED_TRACE(c.name);
        load(c.heading + u"\nbelow");
        place({0, 0});
        view.formatHeading();
        ASSERT_EQ(view.formattingState().role, TextRole::heading);
        place({0, -1});
        key(Qt::Key_Return);
        EXPECT_EQ(lines(), (QStringList{c.heading, QString(), t("below")}));
        EXPECT_EQ(view.document()->findBlockByNumber(1).blockFormat().layoutDirection(), c.direction);
        EXPECT_EQ(view.formattingState().role, TextRole::body);
        EXPECT_FALSE(view.formattingState().bold);

        type(c.typed);
        const QTextCharFormat typed = charFormatAt(*view.document(), position({1, 0})).value();
        EXPECT_EQ(typed.fontPointSize(), Typography::bodySize);
        EXPECT_FALSE(Typography::isBold(typed));
        EXPECT_EQ(view.document()->findBlockByNumber(1).blockFormat().layoutDirection(), c.direction);
        EXPECT_EQ(Typography::role(charFormatAt(*view.document(), 0).value()), TextRole::heading);
    }
}

TEST_F(NoteTextViewTest, ReturnOnTheLastLineAfterADividerTypesLeftToRightBody)
{
    load(t("שלום\n") + kDivider);
    place({1, -1});
    key(Qt::Key_Return);
    const QTextBlock last = view.document()->lastBlock();
    ASSERT_EQ(lines().size(), 3);
    EXPECT_EQ(last.blockFormat().layoutDirection(), Qt::LeftToRight);
    EXPECT_FALSE(last.blockFormat().nonBreakableLines());
    EXPECT_EQ(view.formattingState().role, TextRole::body);
    EXPECT_EQ(view.currentCharFormat().fontPointSize(), Typography::bodySize);
}

struct BackspaceCase {
    const char* name;
    QString text;
    Caret caret;
    QStringList expected;
    Caret expectedCaret;
};

TEST_F(NoteTextViewTest, BackspaceRemovesMarkersAndDividersAsOneStepEach)
{
    const std::vector<BackspaceCase> cases = {
        {"after a checkbox marker: the text stays", t("☐\ttask"), {0, 2}, {t("task")}, {0, 0}},
        {"after a number: the rest renumbers",
         t("1.\ta\n2.\tb\n3.\tc"),
         {1, 3},
         {t("1.\ta"), t("b"), t("1.\tc")},
         {1, 0}},
        {"anywhere on a divider",
         t("above\n") + kDivider + t("\nbelow"),
         {1, 10},
         {t("above"), t("below")},
         {1, 0}},
        {"at the start of the line after a divider",
         t("above\n") + kDivider + t("\nbelow"),
         {2, 0},
         {t("above"), t("below")},
         {1, 0}},
        {"inside the item's text: one character", t("•\tab"), {0, 4}, {t("•\ta")}, {0, 3}},
        {"between glyph and TAB: one character, no longer a list", t("•\tab"), {0, 1}, {t("\tab")}, {0, 0}},
    };
    for (const BackspaceCase& c : cases) {
        SCOPED_TRACE(c.name);
        load(c.text);
        place(c.caret);
        key(Qt::Key_Backspace);
        EXPECT_EQ(lines(), c.expected);
        EXPECT_EQ(view.textCursor().position(), position(c.expectedCaret));
        expectIndentsFollowMarkers();
        undo();
        EXPECT_EQ(lines(), paragraphs(*RichText::plain(c.text)));
    }
}

TEST_F(NoteTextViewTest, ACheckboxTogglesOnlyOnAClickOnOrBesideItsGlyph)
{
    struct Case {
        const char* name;
        QString text;
        bool readOnly;
        std::function<QPointF(const QRectF& glyph, const QRectF& text)> where;
        QString expected;
    };
    const QString open = t("☐\tbuy milk");
    const QString ticked = t("☑\tbuy milk");
    const std::vector<Case> cases = {
        {"on the glyph ticks", open, false, [](const QRectF& g, const QRectF&) { return g.center(); },
         ticked},
        {"on a ticked glyph unticks", ticked, false,
         [](const QRectF& g, const QRectF&) { return g.center(); }, open},
        {"4 px left of the glyph", open, false,
         [](const QRectF& g, const QRectF&) { return QPointF(g.left() - 4, g.center().y()); }, ticked},
        {"4 px right of the glyph", open, false,
         [](const QRectF& g, const QRectF&) { return QPointF(g.right() + 4, g.center().y()); }, ticked},
        {"well past the glyph, on the TAB", open, false,
         [](const QRectF& g, const QRectF&) { return QPointF(g.right() + 9, g.center().y()); }, open},
        {"on the item's text", open, false, [](const QRectF&, const QRectF& s) { return s.center(); }, open},
        {"read-only ignores it", open, true, [](const QRectF& g, const QRectF&) { return g.center(); }, open},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load(c.text + u"\nnext");
        view.setReadOnly(c.readOnly);
        const QPointF point = c.where(characterRect(0, 0), characterRect(0, 4));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, point.toPoint());
        EXPECT_EQ(lines().front(), c.expected);
        expectIndentsFollowMarkers();
        if (c.expected != c.text) {
            undo();
            EXPECT_EQ(lines().front(), c.text);
        }
        view.setReadOnly(false);
    }
}

TEST_F(NoteTextViewTest, TypingANumberAndTabMakesANumberedItemThatKeepsItsNumberUntilRenumbered)
{
    load(t("a\nb"));
    place({1, 0});
    QTest::keyClicks(&view, t("5."));
    key(Qt::Key_Tab);
    EXPECT_EQ(lines(), (QStringList{t("a"), t("5.\tb")}));
    expectIndentsFollowMarkers();
    // The marker's TAB carries the text to the list indent.
    const QTextBlock item = view.document()->findBlockByNumber(1);
    const QTextLine line = item.layout()->lineAt(0);
    EXPECT_NEAR(line.cursorToX(3), 24, 0.5);

    undo();
    EXPECT_EQ(lines(), (QStringList{t("a"), t("b")}));
    EXPECT_EQ(view.document()->findBlockByNumber(1).blockFormat().leftMargin(), 0);

    place({1, 0});
    QTest::keyClicks(&view, t("5."));
    key(Qt::Key_Tab);
    place({1, -1});
    key(Qt::Key_Return);
    EXPECT_EQ(lines(), (QStringList{t("a"), t("1.\tb"), t("2.\t")}));
}

TEST_F(NoteTextViewTest, PasteIsPlainTextWhoseMarkersBecomeListsAndUndoesAsOneStep)
{
    load(t("start"));
    place({0, -1});
    auto* mime = new QMimeData;
    mime->setHtml(t("<b>bold</b>"));
    mime->setText(t("\r\n•\tone\r\n1.\ttwo"));
    QApplication::clipboard()->setMimeData(mime);
    const int before = view.repaints;
    key(Qt::Key_V, Qt::ControlModifier);

    EXPECT_EQ(lines(), (QStringList{t("start"), t("•\tone"), t("1.\ttwo")}));
    expectIndentsFollowMarkers();
    for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it)
            EXPECT_FALSE(Typography::isBold(it.fragment().charFormat())) << b.text().toStdString();
    }
    EXPECT_EQ(view.repaints, before + 1);
    undo();
    EXPECT_EQ(lines(), (QStringList{t("start")}));
}

TEST_F(NoteTextViewTest, TheWholeViewRepaintsOnlyWhenLineBreaksChange)
{
    struct Case {
        const char* name;
        std::function<void(NoteTextViewTest&)> edit;
        int repaints;
    };
    const std::vector<Case> cases = {
        {"typing within a line", [](NoteTextViewTest& f) { QTest::keyClick(&f.view, Qt::Key_X); }, 0},
        {"deleting within a line", [](NoteTextViewTest& f) { QTest::keyClick(&f.view, Qt::Key_Backspace); },
         0},
        {"bold over a selection",
         [](NoteTextViewTest& f) {
             f.select(0, 3);
             f.view.toggleBold();
         },
         0},
        {"Return", [](NoteTextViewTest& f) { QTest::keyClick(&f.view, Qt::Key_Return); }, 1},
        {"typing over a selection with a line break",
         [](NoteTextViewTest& f) {
             f.select(2, 8);
             QTest::keyClick(&f.view, Qt::Key_X);
         },
         1},
        {"Backspace joining two lines",
         [](NoteTextViewTest& f) {
             f.place({1, 0});
             QTest::keyClick(&f.view, Qt::Key_Backspace);
         },
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load(t("first\nsecond"));
        place({0, 3});
        const int before = view.repaints;
        c.edit(*this);
        EXPECT_EQ(view.repaints - before, c.repaints);
        EXPECT_FALSE(view.editing().linesChanged());
    }
}

TEST_F(NoteTextViewTest, ADividerNeverWidensTheView)
{
    load(t("text\n") + kDivider + t("\nmore"));
    place({1, -1});
    view.ensureCursorVisible();
    QApplication::processEvents();
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(view.horizontalScrollBar()->value(), 0);
    EXPECT_EQ(view.document()->findBlockByNumber(1).layout()->lineCount(), 1);
}

TEST_F(NoteTextViewTest, FormattingStateReadsTheParagraphAndTheSelectionOrTypingFormat)
{
    load(t("Title\n☑\tdone\nplain"));
    place({0, 0});
    view.formatTitle();
    select(position({2, 0}), position({2, 3}));
    view.toggleBold();
    view.toggleUnderline();

    struct Case {
        const char* name;
        int from;
        int to;
        TextRole role;
        ParagraphKind kind;
        bool bold;
        bool underline;
    };
    const int plain = position({2, 0});
    for (const Case& c : {
             Case{"caret in the title", 2, 2, TextRole::title, ParagraphKind::plain(), true, false},
             Case{"caret in the checklist item", plain - 2, plain - 2, TextRole::body,
                  ParagraphKind::checkbox(true), false, false},
             Case{"selection on bold underlined text", plain, plain + 2, TextRole::body,
                  ParagraphKind::plain(), true, true},
             Case{"selection after it", plain + 3, plain + 5, TextRole::body, ParagraphKind::plain(), false,
                  false},
         }) {
        SCOPED_TRACE(c.name);
        select(c.from, c.to);
        const NoteTextView::FormattingState state = view.formattingState();
        EXPECT_EQ(state.role, c.role);
        EXPECT_EQ(state.kind, c.kind);
        EXPECT_EQ(state.bold, c.bold);
        EXPECT_EQ(state.underline, c.underline);
        EXPECT_FALSE(state.collapsible);
    }
}

TEST_F(NoteTextViewTest, WritingToolsLeaveMarkersAndDividersAlone)
{
    load(t("plain\n•\titem\n") + kDivider + t("\n12.\tx"));
    const int divider = position({2, 0});
    const int last = position({3, 0});
    std::vector<std::pair<int, int>> found;
    for (const NoteEditing::Range& r : view.writingToolsIgnoredRanges(0, view.document()->characterCount()))
        found.emplace_back(r.position, r.length);
    EXPECT_EQ(found,
              (std::vector<std::pair<int, int>>{{6, 2}, {divider, int(kDivider.size()) + 1}, {last, 4}}));
    EXPECT_TRUE(view.writingToolsIgnoredRanges(0, 3).empty());
}

} // namespace
