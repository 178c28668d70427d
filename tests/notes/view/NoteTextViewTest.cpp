#include "notes/view/NoteTextView.h"

#include "notes/MarkerEdits.h"
#include "notes/NoteText.h"
#include "notes/ParagraphMarkers.h"
#include "notes/RichText.h"
#include "notes/Sections.h"
#include "notes/Typography.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QGlyphRun>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string_view>
#include <utility>

using namespace vorn::notes;

// Readable failures: gtest prints a QString as its UTF-16 bytes otherwise.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

QString t(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// Paragraphs as one string, "\n" between them, so a table's row fits on one line.
QString text(const QTextDocument& document)
{
    QStringList out;
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next())
        out << b.text();
    return out.join(u'\n');
}

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
protected:
    void SetUp() override
    {
        view.resize(420, 360);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    // Loads a note (its markers already lists and dividers) with the caret at `at`.
    void load(const QString& note, Caret at = {0, 0})
    {
        std::unique_ptr<QTextDocument> document = RichText::plain(note);
        document->setParent(&view);
        document->clearUndoRedoStacks();
        view.setNoteDocument(document.release());
        select(position(at), position(at));
    }

    int position(Caret at) const
    {
        const QTextBlock block = view.document()->findBlockByNumber(at.paragraph);
        return block.position() + (at.offset < 0 ? block.length() - 1 : at.offset);
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
    void undo() { key(Qt::Key_Z, Qt::ControlModifier); }
    QString note() const { return text(*view.document()); }

    // Text as a keyboard layout types it; QTest's own clicks know only ASCII.
    void type(const QString& typed)
    {
        for (QChar c : typed) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(&view, &press);
        }
    }

    // The restyle shows in the view: list items, and only they, carry the list indent.
    void expectIndentsFollowMarkers() const
    {
        for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next()) {
            const QTextBlockFormat style = b.blockFormat();
            const bool list = ParagraphMarkers::parse(b.text()).kind.isList();
            EXPECT_EQ(std::max(style.leftMargin(), style.rightMargin()), list ? 24 : 0)
                << b.text().toStdString();
        }
    }

    CountingView view;
};

TEST_F(NoteTextViewTest, ReturnInListsContinuesEndsOrBreaksAndUndoesAsOneStepEach)
{
    struct Case {
        const char* name;
        const char* before;
        Caret caret;
        int returns;
        const char* after;
        Caret caretAfter;
    };
    for (const Case& c : {
             Case{"number continues, run renumbers",
                  "1.\tone\n2.\ttwo\n3.\tx",
                  {0, -1},
                  1,
                  "1.\tone\n2.\t\n3.\ttwo\n4.\tx",
                  {1, 3}},
             Case{"ticked checkbox continues unticked", "☑\tdone", {0, -1}, 1, "☑\tdone\n☐\t", {1, 2}},
             Case{"bullet continues", "•\ta  ", {0, -1}, 1, "•\ta  \n•\t", {1, 2}},
             Case{"blank item ends the list, no new line", "•\ta\n•\t \nz", {1, -1}, 1, "•\ta\n \nz", {1, 1}},
             Case{"empty number splits the run", "1.\ta\n2.\t\n3.\tc", {1, -1}, 1, "1.\ta\n\n1.\tc", {1, 0}},
             Case{"second Return is an ordinary line", "•\ta\n•\t", {1, -1}, 2, "•\ta\n\n", {2, 0}},
             Case{"between glyph and TAB: a line break", "•\ta", {0, 1}, 1, "•\n\ta", {1, 0}},
             Case{"before the marker: a line break", "•\ta", {0, 0}, 1, "\n•\ta", {1, 0}},
         }) {
        SCOPED_TRACE(c.name);
        load(t(c.before), c.caret);
        for (int i = 0; i < c.returns; ++i)
            key(Qt::Key_Return);
        EXPECT_EQ(note(), t(c.after));
        EXPECT_EQ(view.textCursor().position(), position(c.caretAfter));
        expectIndentsFollowMarkers();
        for (int i = 0; i < c.returns; ++i)
            undo();
        EXPECT_EQ(note(), t(c.before));
    }
}

TEST_F(NoteTextViewTest, ReturnAtTheEndOfAHeadingTypesBodyTextInTheHeadingsDirection)
{
    struct Case {
        const char* heading;
        const char* typed;
        Qt::LayoutDirection direction;
    };
    for (const Case& c : {Case{"Plans", "x", Qt::LeftToRight}, Case{"שלום", "ש", Qt::RightToLeft}}) {
        SCOPED_TRACE(c.heading);
        load(t(c.heading) + u"\nbelow");
        view.formatHeading();
        select(position({0, -1}), position({0, -1}));
        key(Qt::Key_Return);
        const QTextBlock added = view.document()->findBlockByNumber(1);
        EXPECT_EQ(note(), t(c.heading) + u"\n\nbelow");
        EXPECT_EQ(added.blockFormat().layoutDirection(), c.direction);
        EXPECT_EQ(view.formattingState().role, TextRole::body);
        EXPECT_FALSE(view.formattingState().bold);

        type(t(c.typed));
        const QTextCharFormat typed = charFormatAt(*view.document(), added.position()).value();
        EXPECT_EQ(typed.intProperty(QTextFormat::FontPixelSize), Typography::bodySize);
        EXPECT_FALSE(Typography::isBold(typed));
        EXPECT_EQ(added.blockFormat().layoutDirection(), c.direction);
        EXPECT_EQ(Typography::role(charFormatAt(*view.document(), 0).value()), TextRole::heading);
    }
}

TEST_F(NoteTextViewTest, BackspaceRemovesMarkersAndDividersAsOneStepEach)
{
    const QString divided = t("above\n") + ParagraphMarkers::divider() + t("\nbelow");
    struct Case {
        const char* name;
        QString before;
        Caret caret;
        const char* after;
        Caret caretAfter;
    };
    for (const Case& c : {
             Case{"after a checkbox marker: text stays", t("☐\ttask"), {0, 2}, "task", {0, 0}},
             Case{"after a number: the rest renumbers",
                  t("1.\ta\n2.\tb\n3.\tc"),
                  {1, 3},
                  "1.\ta\nb\n1.\tc",
                  {1, 0}},
             Case{"anywhere on a divider", divided, {1, 10}, "above\nbelow", {1, 0}},
             Case{"at the start of the line after a divider", divided, {2, 0}, "above\nbelow", {1, 0}},
             Case{"inside an item's text: one character", t("•\tab"), {0, 4}, "•\ta", {0, 3}},
             Case{"between glyph and TAB: one character", t("•\tab"), {0, 1}, "\tab", {0, 0}},
         }) {
        SCOPED_TRACE(c.name);
        load(c.before, c.caret);
        key(Qt::Key_Backspace);
        EXPECT_EQ(note(), t(c.after));
        EXPECT_EQ(view.textCursor().position(), position(c.caretAfter));
        expectIndentsFollowMarkers();
        undo();
        EXPECT_EQ(note(), c.before);
    }
}

TEST_F(NoteTextViewTest, ACheckboxTogglesOnlyOnAClickOnOrBesideItsGlyph)
{
    enum class At { glyph, fourLeft, fourRight, nineRight, text };
    struct Case {
        const char* name;
        const char* before;
        bool readOnly;
        At at;
        const char* after;
    };
    for (const Case& c : {
             Case{"on the glyph ticks", "☐\tbuy", false, At::glyph, "☑\tbuy"},
             Case{"on a ticked glyph unticks", "☑\tbuy", false, At::glyph, "☐\tbuy"},
             Case{"4 px left of the glyph", "☐\tbuy", false, At::fourLeft, "☑\tbuy"},
             Case{"4 px right of the glyph", "☐\tbuy", false, At::fourRight, "☑\tbuy"},
             Case{"9 px right, on the TAB", "☐\tbuy", false, At::nineRight, "☐\tbuy"},
             Case{"on the item's text", "☐\tbuy", false, At::text, "☐\tbuy"},
             Case{"read-only ignores it", "☐\tbuy", true, At::glyph, "☐\tbuy"},
         }) {
        SCOPED_TRACE(c.name);
        load(t(c.before) + u"\nnext");
        view.setReadOnly(c.readOnly);
        // Where the glyph and the item's second letter are drawn, in viewport coordinates.
        const QTextBlock item = view.document()->begin();
        const QTextLine line = item.layout()->lineAt(0);
        const QPointF origin = view.document()->documentLayout()->blockBoundingRect(item).topLeft();
        const qreal left = origin.x() + line.cursorToX(0);
        const qreal right = origin.x() + line.cursorToX(1);
        const qreal y = origin.y() + line.y() + line.height() / 2;
        const qreal x = c.at == At::glyph       ? (left + right) / 2
                        : c.at == At::fourLeft  ? left - 4
                        : c.at == At::fourRight ? right + 4
                        : c.at == At::nineRight ? right + 9
                                                : origin.x() + (line.cursorToX(3) + line.cursorToX(4)) / 2;
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPointF(x, y).toPoint());
        EXPECT_EQ(note(), t(c.after) + u"\nnext");
        if (c.after != std::string_view(c.before)) {
            undo();
            EXPECT_EQ(note(), t(c.before) + u"\nnext");
        }
        view.setReadOnly(false);
    }
}

TEST_F(NoteTextViewTest, TypingANumberAndTabMakesANumberedItemThatKeepsItsNumberUntilRenumbered)
{
    load(t("a\nb"), {1, 0});
    QTest::keyClicks(&view, t("5."));
    key(Qt::Key_Tab);
    EXPECT_EQ(note(), t("a\n5.\tb"));
    expectIndentsFollowMarkers();
    // The marker's TAB carries the text to the list indent.
    EXPECT_NEAR(view.document()->findBlockByNumber(1).layout()->lineAt(0).cursorToX(3), 24, 0.5);
    undo();
    EXPECT_EQ(note(), t("a\nb"));
    expectIndentsFollowMarkers();

    select(position({1, 0}), position({1, 0}));
    QTest::keyClicks(&view, t("5."));
    key(Qt::Key_Tab);
    select(position({1, -1}), position({1, -1}));
    key(Qt::Key_Return);
    EXPECT_EQ(note(), t("a\n1.\tb\n2.\t"));
}

TEST_F(NoteTextViewTest, PasteIsPlainTextWhoseMarkersBecomeListsAndUndoesAsOneStep)
{
    load(t("start"), {0, -1});
    auto* mime = new QMimeData;
    mime->setHtml(t("<b>bold</b>"));
    mime->setText(t("\r\n•\tone\r\n1.\ttwo"));
    QApplication::clipboard()->setMimeData(mime);
    key(Qt::Key_V, Qt::ControlModifier);

    EXPECT_EQ(note(), t("start\n•\tone\n1.\ttwo"));
    expectIndentsFollowMarkers();
    for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it)
            EXPECT_FALSE(Typography::isBold(it.fragment().charFormat())) << b.text().toStdString();
    }
    undo();
    EXPECT_EQ(note(), t("start"));
}

TEST_F(NoteTextViewTest, TheWholeViewRepaintsOnlyWhenLineBreaksChange)
{
    struct Case {
        const char* name;
        int from;
        int to;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int repaints;
    };
    QApplication::clipboard()->setText(t("pasted\nlines"));
    for (const Case& c : {
             Case{"typing within a line", 3, 3, Qt::Key_X, Qt::NoModifier, 0},
             Case{"deleting within a line", 3, 3, Qt::Key_Backspace, Qt::NoModifier, 0},
             Case{"Return", 3, 3, Qt::Key_Return, Qt::NoModifier, 1},
             Case{"typing over a selected line break", 2, 8, Qt::Key_X, Qt::NoModifier, 1},
             Case{"Backspace joining two lines", 6, 6, Qt::Key_Backspace, Qt::NoModifier, 1},
             Case{"pasting lines", 3, 3, Qt::Key_V, Qt::ControlModifier, 1},
         }) {
        SCOPED_TRACE(c.name);
        load(t("first\nsecond"));
        select(c.from, c.to);
        const int before = view.repaints;
        key(c.key, c.modifiers);
        EXPECT_NE(note(), t("first\nsecond"));
        EXPECT_EQ(view.repaints - before, c.repaints);
        EXPECT_FALSE(view.editing().linesChanged());
    }
}

TEST_F(NoteTextViewTest, TextIsSizedInThePixelsOfTheIndentsSoItemsOneToTwelveLineUp)
{
    QStringList items;
    for (int n = 1; n <= 12; ++n)
        items << QString::number(n) + u".\titem";
    load(t("Body line\n") + items.join(u'\n'));
    // Body text is drawn 15 px high, in the same pixels as the 24 px list indent.
    const QList<QGlyphRun> body = view.document()->begin().layout()->lineAt(0).glyphRuns();
    ASSERT_FALSE(body.isEmpty());
    EXPECT_EQ(body.front().rawFont().pixelSize(), Typography::bodySize);
    // "10." to "12." fit before the first tab stop as "1." does: every item's text starts at the indent.
    for (int n = 1; n <= 12; ++n) {
        const QTextBlock item = view.document()->findBlockByNumber(n);
        const int text = ParagraphMarkers::parse(item.text()).contentStart();
        EXPECT_NEAR(item.layout()->lineAt(0).cursorToX(text), 24, 0.5) << n;
    }
}

TEST_F(NoteTextViewTest, ReturnInAHeadingSizedItemGoesOnInThatSize)
{
    for (const auto& [name, command] : {std::pair{"heading", &NoteTextView::formatHeading},
                                        std::pair{"title", &NoteTextView::formatTitle}}) {
        SCOPED_TRACE(name);
        load(t("before\n•\tbig"), {1, -1});
        (view.*command)();
        const int size =
            charFormatAt(*view.document(), position({1, 0}))->intProperty(QTextFormat::FontPixelSize);
        ASSERT_GT(size, Typography::bodySize);
        key(Qt::Key_Return);
        type(t("x"));
        EXPECT_EQ(note(), t("before\n•\tbig\n•\tx"));
        const QTextBlock added = view.document()->findBlockByNumber(2);
        for (auto it = added.begin(); !it.atEnd(); ++it)
            EXPECT_EQ(it.fragment().charFormat().intProperty(QTextFormat::FontPixelSize), size)
                << it.fragment().text().toStdString();
    }
}

TEST_F(NoteTextViewTest, BackspaceAndDeleteTakeAWholeEmoji)
{
    for (const char* emoji : {"🇩🇪", "👍🏽", "👩‍👩‍👧", "e\u0301"}) {
        SCOPED_TRACE(emoji);
        const QString around = t("a") + t(emoji) + t("b");
        const int after = 1 + int(t(emoji).size());
        load(around, {0, after});
        key(Qt::Key_Backspace);
        EXPECT_EQ(note(), t("ab"));
        EXPECT_EQ(view.textCursor().position(), 1);
        undo();
        EXPECT_EQ(note(), around);

        select(1, 1);
        key(Qt::Key_Delete);
        EXPECT_EQ(note(), t("ab"));
        EXPECT_EQ(view.textCursor().position(), 1);
    }
}

TEST_F(NoteTextViewTest, PastingOnlyRtfInsertsItsFormattedText)
{
    for (const char* type : {"text/rtf", "application/rtf"}) {
        SCOPED_TRACE(type);
        load(t("start\n"), {1, 0});
        auto* mime = new QMimeData;
        mime->setData(QString::fromLatin1(type), "{\\rtf1\\ansi\\fs42 Big\\par\\fs30 plain {\\b bold}}");
        QApplication::clipboard()->setMimeData(mime);
        key(Qt::Key_V, Qt::ControlModifier);

        ASSERT_EQ(note(), t("start\nBig\nplain bold"));
        EXPECT_EQ(Typography::role(*charFormatAt(*view.document(), position({1, 0}))), TextRole::heading);
        EXPECT_EQ(Typography::role(*charFormatAt(*view.document(), position({2, 0}))), TextRole::body);
        EXPECT_FALSE(Typography::isBold(*charFormatAt(*view.document(), position({2, 0}))));
        EXPECT_TRUE(Typography::isBold(*charFormatAt(*view.document(), position({2, 7}))));
        undo();
        EXPECT_EQ(note(), t("start\n"));
    }
}

TEST_F(NoteTextViewTest, APastedDividerIsFaintAndThinAtOnce)
{
    load(t("start"), {0, -1});
    QApplication::clipboard()->setText(t("\n") + ParagraphMarkers::divider() + t("\nafter"));
    key(Qt::Key_V, Qt::ControlModifier);
    const QTextBlock rule = view.document()->findBlockByNumber(1);
    ASSERT_TRUE(isDivider(rule));
    for (auto it = rule.begin(); !it.atEnd(); ++it)
        EXPECT_EQ(it.fragment().charFormat(), Typography::dividerFormat());
    EXPECT_EQ(Typography::role(*charFormatAt(*view.document(), position({2, 0}))), TextRole::body);
}

TEST_F(NoteTextViewTest, ADividerNeverWidensTheView)
{
    load(t("text\n") + ParagraphMarkers::divider() + t("\nmore"), {1, -1});
    view.ensureCursorVisible();
    QApplication::processEvents();
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(view.horizontalScrollBar()->value(), 0);
    EXPECT_EQ(view.document()->findBlockByNumber(1).layout()->lineCount(), 1);
}

} // namespace

namespace {

// A note of two headings with a body between them; the first heading is collapsible.
class NoteSectionsTest : public NoteTextViewTest {
protected:
    void SetUp() override
    {
        NoteTextViewTest::SetUp();
        load(t("Plans\nbody one\nbody two\nNext\nlast words"), {3, 0});
        view.formatHeading();
        select(0, 0);
        view.formatHeading();
        view.toggleCollapsibleSection();
    }
    bool shown(int paragraph) const { return view.document()->findBlockByNumber(paragraph).isVisible(); }
    int caretParagraph() const { return view.textCursor().block().blockNumber(); }
    void clickChevron()
    {
        const std::vector<NoteTextView::Chevron> chevrons = view.chevrons();
        ASSERT_EQ(chevrons.size(), 1u);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, chevrons[0].rect.center().toPoint());
    }
};

TEST_F(NoteSectionsTest, aChevronClickFoldsTheBodyArrowsSkipItAndAnotherClickOpensIt)
{
    ASSERT_EQ(view.chevrons().size(), 1u);
    const NoteTextView::Chevron open = view.chevrons()[0];
    EXPECT_FALSE(open.collapsed);
    EXPECT_LT(open.rect.right(), 44) << "in the margin, left of the text";
    const qreal fullHeight = view.document()->size().height();
    int saves = 0;
    QObject::connect(&view, &NoteTextView::sectionsChanged, &view, [&] { ++saves; });

    clickChevron();
    EXPECT_TRUE(view.chevrons()[0].collapsed);
    EXPECT_EQ(saves, 1) << "a fold is saved like an edit";
    EXPECT_FALSE(shown(1));
    EXPECT_FALSE(shown(2));
    EXPECT_TRUE(shown(3));
    EXPECT_LT(view.document()->size().height(), fullHeight) << "folded text takes no space";
    EXPECT_EQ(note(), t("Plans\nbody one\nbody two\nNext\nlast words")) << "folding keeps the text";

    select(5, 5); // end of the heading line
    key(Qt::Key_Down);
    EXPECT_EQ(caretParagraph(), 3) << "down jumps over the folded body";
    key(Qt::Key_Up);
    EXPECT_EQ(caretParagraph(), 0) << "up lands on the heading line";

    // Making everything bold touches the folded body: it opens first, and the edit is what gets saved.
    key(Qt::Key_A, Qt::ControlModifier);
    view.toggleBold();
    ASSERT_EQ(view.chevrons().size(), 1u);
    EXPECT_FALSE(view.chevrons()[0].collapsed);
    EXPECT_TRUE(shown(1) && shown(2));
    EXPECT_EQ(saves, 1);
    // Undo takes back the bold; the section stays open, as opening it was no edit.
    undo();
    EXPECT_FALSE(Typography::isBold(*charFormatAt(*view.document(), position({1, 0}))));
    EXPECT_FALSE(view.chevrons()[0].collapsed);
    EXPECT_TRUE(shown(1) && shown(2));

    clickChevron();
    EXPECT_TRUE(view.chevrons()[0].collapsed);
    EXPECT_FALSE(shown(1));
    EXPECT_EQ(saves, 2);
}

TEST_F(NoteSectionsTest, ctrlZAfterAFoldTakesBackTheLastEditAndLeavesTheFold)
{
    select(position({4, -1}), position({4, -1}));
    type(t("!"));
    const int steps = view.document()->availableUndoSteps();
    for (const bool folded : {true, false, true}) {
        clickChevron();
        EXPECT_EQ(view.chevrons()[0].collapsed, folded);
        EXPECT_EQ(view.document()->availableUndoSteps(), steps) << "a fold is no edit";
    }
    undo();
    EXPECT_EQ(note(), t("Plans\nbody one\nbody two\nNext\nlast words"));
    EXPECT_TRUE(view.chevrons()[0].collapsed);
    EXPECT_FALSE(shown(1) || shown(2));
    EXPECT_TRUE(view.textCursor().block().isVisible());
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(note(), t("Plans\nbody one\nbody two\nNext\nlast words!"));
    EXPECT_TRUE(view.chevrons()[0].collapsed);
}

TEST_F(NoteSectionsTest, upFromBelowAFoldedBodyLandsAtTheEndOfItsHeading)
{
    clickChevron();
    for (const int offset : {0, 2, -1}) {
        SCOPED_TRACE(offset);
        select(position({3, offset}), position({3, offset}));
        key(Qt::Key_Up);
        EXPECT_EQ(view.textCursor().position(), position({0, -1}));
    }
    // Nothing folded in between: Up keeps its column.
    select(position({4, 2}), position({4, 2}));
    key(Qt::Key_Up);
    EXPECT_EQ(caretParagraph(), 3);
    EXPECT_NE(view.textCursor().position(), position({3, -1}));
}

TEST_F(NoteSectionsTest, aFoldedSectionComesBackFolded)
{
    clickChevron();
    const NoteComment sections{Sections::collapsibleOrdinals(*view.document()),
                               Sections::collapsedOrdinals(*view.document()), std::nullopt};
    EXPECT_EQ(sections.write(), t("collapsible=0;collapsed=0"));
    std::optional<RichText::Decoded> again = RichText::decode(RichText::encode(*view.document(), sections));
    ASSERT_TRUE(again.has_value());
    Sections::applyState(*again->text, again->sections);
    again->text->setParent(&view);
    view.setNoteDocument(again->text.release());
    ASSERT_EQ(view.chevrons().size(), 1u);
    EXPECT_TRUE(view.chevrons()[0].collapsed);
    EXPECT_FALSE(shown(1));
}

// The last section, "Next", folded: its body runs to the very end of the text.
class LastSectionFoldedTest : public NoteSectionsTest {
protected:
    void SetUp() override
    {
        NoteSectionsTest::SetUp();
        view.toggleCollapsibleSection(); // "Plans" plain again
        select(position({3, 0}), position({3, 0}));
        view.toggleCollapsibleSection();
        clickChevron();
        ASSERT_FALSE(shown(4));
    }
    int end() const { return position({4, -1}); }
};

TEST_F(LastSectionFoldedTest, typingNeverLandsInTheHiddenEndOfTheText)
{
    const struct {
        const char* how;
        std::function<void()> move;
    } cases[] = {
        {"caret put at the end", [this] { select(end(), end()); }},
        {"Ctrl+End", [this] { key(Qt::Key_End, Qt::ControlModifier); }},
        {"Down from the heading",
         [this] {
             select(position({3, -1}), position({3, -1}));
             key(Qt::Key_Down);
         }},
        {"a redo that folds again",
         [this] {
             undo();
             ASSERT_TRUE(shown(4));
             select(end(), end());
             key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
             ASSERT_FALSE(shown(4));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        SetUp();
        c.move();
        EXPECT_TRUE(view.textCursor().block().isVisible()) << "the caret sits in folded text";
        type(t("x"));
        const QTextBlock typed = view.document()->findBlock(view.textCursor().position());
        EXPECT_TRUE(typed.text().contains(u'x'));
        EXPECT_TRUE(typed.isVisible()) << "typed into folded text: " << typed.text().toStdString();
    }
}

} // namespace
