#include "notes/editor/NoteEditor.h"

#include "notes/ParagraphMarkers.h"
#include "notes/RichText.h"
#include "notes/Sections.h"
#include "notes/Typography.h"
#include "notes/format/FormatControl.h"
#include "notes/format/FormatPopover.h"
#include "notes/view/NoteTextView.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <gtest/gtest.h>

using namespace vorn::notes;

namespace {

QString t(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

struct NoteEditorTest : ::testing::Test {
    void SetUp() override
    {
        QObject::connect(&editor, &NoteEditor::edited, &editor, [this] { ++changes; });
        editor.resize(640, 480);
        editor.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
        QApplication::setActiveWindow(&editor);
        editor.focusText();
    }
    QTextDocument& note() const { return *editor.textView().document(); }
    QString paragraphs() const { return note().toPlainText(); }
    int caret() const { return editor.textView().textCursor().position(); }
    void type(const QString& keys) { QTest::keyClicks(&editor.textView(), keys); }

    NoteEditor editor;
    int changes = 0;
};

// A note with a folded section, as the app saves it.
QByteArray foldedNote()
{
    NoteEditor source;
    source.load(std::nullopt, t("Plan\nfirst\n•\tmilk\nEnd"));
    QTextDocument& doc = *source.textView().document();
    QTextCursor heading(&doc);
    source.textView().setTextCursor(heading);
    source.textView().formatHeading();
    source.textView().toggleCollapsibleSection();
    Sections::setCollapsed(doc, 0, true);
    return *source.rtf();
}

TEST_F(NoteEditorTest, LoadingReportsNoChangeStartsAFreshHistoryAndPutsTheCaretAtTheEnd)
{
    const QByteArray rich = foldedNote();
    editor.load(rich, t("Plan\nfirst\n•\tmilk\nEnd"));
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(note().isUndoAvailable());
    // The end is folded away: the caret waits at the end of the heading line, where typing shows.
    EXPECT_EQ(caret(), t("Plan").size());
    // The folded section came back folded, so the body does not show.
    EXPECT_FALSE(note().findBlock(t("Plan\n").size()).isVisible());
    EXPECT_EQ(Sections::collapsedOrdinals(note()), QList<int>{0});

    // Typed text is a change, and undo takes back only what was typed since the load.
    type(t("!"));
    EXPECT_GE(changes, 1);
    QTest::keyClick(&editor.textView(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(editor.plainText(), t("Plan\nfirst\n•\tmilk\nEnd"));
    EXPECT_FALSE(note().isUndoAvailable());

    // An empty note types body text from its first character.
    changes = 0;
    editor.load(std::nullopt, QString());
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(caret(), 0);
    type(t("a"));
    EXPECT_EQ(Typography::role(note().begin().begin().fragment().charFormat()), TextRole::body);
    EXPECT_EQ(note().begin().begin().fragment().charFormat().intProperty(QTextFormat::FontPixelSize),
              Typography::size(TextRole::body));
}

TEST_F(NoteEditorTest, AFileThatIsMissingCutShortOrNotRtfOpensFromThePlainCopy)
{
    const QString plain = t("Plan\nfirst\n☐\tmilk\n☑\teggs");
    const QByteArray whole = foldedNote();
    const struct {
        const char* name;
        std::optional<QByteArray> rtf;
    } cases[] = {
        {"missing", std::nullopt},
        {"not rtf", QByteArray("just some bytes")},
        {"cut short", whole.left(whole.size() * 2 / 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        editor.load(c.rtf, plain);
        EXPECT_EQ(editor.plainText(), plain);
        EXPECT_EQ(changes, 0);
    }
    // Without a plain copy, what could be read of a cut-short file is better than nothing.
    editor.load(whole.left(whole.size() * 2 / 3), QString());
    EXPECT_TRUE(editor.plainText().startsWith(t("Plan")));
}

TEST_F(NoteEditorTest, WideEditorsCentreAColumnOfReadingWidthThatClicksStillHit)
{
    const struct {
        int width;
        int inset;
    } cases[] = {{1000, 180}, {600, 44}, {728, 44}, {900, 130}};
    editor.load(std::nullopt, t("Plan the week\n☐\tmilk"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        editor.textView().setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        editor.resize(c.width, 480);
        QCoreApplication::processEvents();
        EXPECT_EQ(editor.horizontalInset(), c.inset);
        // The first line starts at the inset and the column is never wider than the reading width.
        const QRect start = editor.textView().cursorRect(QTextCursor(&note()));
        EXPECT_NEAR(start.left(), c.inset, 2);
        EXPECT_LE(note().textWidth() - 2 * NoteTextView::kTextInset, NoteEditor::maxReadingWidth + 1);
    }
    // A click on the checkbox in the centred column ticks it.
    const QTextBlock item = note().lastBlock();
    QTextCursor at(item);
    const QRect box = editor.textView().cursorRect(at);
    QTest::mouseClick(editor.textView().viewport(), Qt::LeftButton, {}, box.center() + QPoint(4, 0));
    EXPECT_EQ(note().lastBlock().text(), t("☑\tmilk"));
}

TEST_F(NoteEditorTest, ADividerEndsWhereTheTextColumnEnds)
{
    editor.resize(1000, 480);
    editor.load(std::nullopt, t("above\n") + ParagraphMarkers::divider() + t("\nbelow"));
    QCoreApplication::processEvents();
    ASSERT_EQ(editor.horizontalInset(), 180);
    NoteTextView& view = editor.textView();
    const QImage shown = view.viewport()->grab().toImage();
    const QColor background = view.viewport()->palette().color(QPalette::Base);
    const QRect line =
        view.document()
            ->documentLayout()
            ->blockBoundingRect(note().findBlockByNumber(1))
            .translated(-view.horizontalScrollBar()->value(), -view.verticalScrollBar()->value())
            .toRect();
    const int columnRight = 1000 - 180;
    int inside = 0;
    int outside = 0;
    for (int y = std::max(0, line.top()); y <= line.bottom() && y < shown.height(); ++y) {
        for (int x = 180; x < columnRight - 1; ++x)
            inside += shown.pixelColor(x, y) != background;
        for (int x = columnRight + 1; x < shown.width() - 30; ++x)
            outside += shown.pixelColor(x, y) != background;
    }
    EXPECT_GT(inside, 100) << "the rule is drawn across the column";
    EXPECT_EQ(outside, 0) << "the rule runs on past the column";
}

TEST_F(NoteEditorTest, UndoAndRedoLeaveTheCaretAtTheEditAndShowIt)
{
    QStringList lines;
    for (int i = 1; i <= 80; ++i)
        lines << t("line %1").arg(i);
    editor.load(std::nullopt, lines.join(u'\n'));
    QCoreApplication::processEvents();
    NoteTextView& view = editor.textView();
    QTextCursor near(note().findBlockByNumber(75));
    near.movePosition(QTextCursor::EndOfBlock);
    view.setTextCursor(near);
    view.ensureCursorVisible();
    const int edit = near.position();
    type(t("xyz"));
    QTest::keyClick(&view, Qt::Key_Return);
    type(t("next"));
    const auto shownAtTheEdit = [&](const char* when) {
        SCOPED_TRACE(when);
        EXPECT_GE(view.textCursor().position(), edit);
        EXPECT_LE(view.textCursor().position(), edit + 10);
        EXPECT_GT(view.verticalScrollBar()->value(), 0);
        EXPECT_TRUE(view.viewport()->rect().contains(view.cursorRect())) << "the edit is out of sight";
    };
    QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(paragraphs().contains(t("line 76xyz\n\nline 77\n")));
    shownAtTheEdit("undo");
    QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(paragraphs().contains(t("line 76\nline 77\n")));
    shownAtTheEdit("undo to the start");
    view.verticalScrollBar()->setValue(0);
    QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    shownAtTheEdit("redo");
}

TEST_F(NoteEditorTest, ShortcutsPerformTheCommandsTheTooltipsName)
{
    const struct {
        QKeySequence keys;
        const char* expected; // the note after the shortcut, with "milk" selected
    } cases[] = {
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_8), "•\tmilk"},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_9), "1.\tmilk"},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L), "☐\tmilk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        editor.load(std::nullopt, t("milk"));
        QTest::keySequence(&editor.textView(), c.keys);
        EXPECT_EQ(paragraphs(), t(c.expected));
    }
    editor.load(std::nullopt, t("milk"));
    QTextCursor all(&note());
    all.select(QTextCursor::Document);
    editor.textView().setTextCursor(all);
    for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::Key_B), QKeySequence(Qt::CTRL | Qt::Key_I),
                                     QKeySequence(Qt::CTRL | Qt::Key_U)})
        QTest::keySequence(&editor.textView(), keys);
    const NoteTextView::FormattingState state = editor.textView().formattingState();
    EXPECT_TRUE(state.bold && state.italic && state.underline);
    QTest::keySequence(&editor.textView(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
    type(t("after"));
    // What follows a divider is body text again, not the divider's small faint print.
    ASSERT_EQ(note().blockCount(), 3);
    EXPECT_EQ(note().lastBlock().text(), t("after"));
    EXPECT_EQ(note().lastBlock().begin().fragment().charFormat().intProperty(QTextFormat::FontPixelSize),
              Typography::size(TextRole::body));
    EXPECT_EQ(noteCommandTooltip(NoteCommand::checklist), t("Checklist (Ctrl+Shift+L)"));
}

TEST_F(NoteEditorTest, TheFormatPopoverOpensBelowItsAnchorAndFollowsTheCaret)
{
    QPushButton anchor(t("Aa"), &editor);
    anchor.setGeometry(500, 10, 30, 22);
    anchor.show();
    editor.load(std::nullopt, t("Plan\n•\tmilk"));
    editor.showFormat(&anchor);
    FormatPopover* popover = editor.formatPopover();
    ASSERT_TRUE(popover);
    EXPECT_TRUE(popover->isVisible());
    EXPECT_GE(popover->geometry().top(), anchor.mapToGlobal(QPoint(0, anchor.height())).y());
    EXPECT_TRUE(popover->control(NoteCommand::bullets)->isOn());
    editor.textView().setTextCursor(QTextCursor(&note()));
    EXPECT_FALSE(popover->control(NoteCommand::bullets)->isOn());
    QTest::mouseClick(popover->control(NoteCommand::heading), Qt::LeftButton);
    EXPECT_EQ(Typography::role(note().begin().begin().fragment().charFormat()), TextRole::heading);
    EXPECT_GE(changes, 1);
}

} // namespace
