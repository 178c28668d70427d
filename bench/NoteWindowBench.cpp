// note_window_bench: typing into a long note, and pasting a big text, in a real window.
//
//   note_window_bench [--keys N] [--paste-mb M] [--skip-empty] [--skip-long]
//
// A 640 x 520 window holds the note editor as the note sheet does, showing a note of about 10,000
// paragraphs (headings every 100 paragraphs, collapsible and folded, one open section in the middle
// holding the caret), loaded by the editor from its RTF. Each key (a, Return, Backspace) is timed from
// QTest::keyClick to the end of the viewport's next paint. Then M MB of plain text is pasted (the
// clipboard, then Ctrl+V) into an empty note and into the long one, timed up to the next paint.
// Run it under a real display or xvfb-run for the figures that count; the offscreen platform works too.

#include "NoteBodyText.h"
#include "notes/NoteEditing.h"
#include "notes/NoteFormatting.h"
#include "notes/RichText.h"
#include "notes/Sections.h"
#include "notes/Typography.h"
#include "notes/editor/NoteEditor.h"
#include "notes/view/NoteTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <span>
#include <vector>

using namespace vorn::notes;

namespace {

constexpr int kSectionLength = 100; // a heading and 99 body paragraphs
constexpr int kFoldedSections = 100;

// Counts paints of one widget, to time an input up to the repaint it causes.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
    int count = 0;
};

// 101 sections of 100 paragraphs: every one folded but the middle one, which stays open for typing.
QByteArray encodedNote(int* openSection)
{
    const int sections = kFoldedSections + 1;
    *openSection = sections / 2;
    QStringList lines;
    for (int s = 0; s < sections; ++s) {
        lines << QStringLiteral("Section %1").arg(s);
        for (int i = 1; i < kSectionLength; ++i)
            lines << vorn::bench::noteBodyLine(s * kSectionLength + i);
    }
    auto note = RichText::plain(lines.join(u'\n'));
    const QTextCharFormat heading = Typography::roleFormat(TextRole::heading, std::nullopt, false);
    for (int s = 0; s < sections; ++s) {
        QTextCursor cursor(note->findBlockByNumber(s * kSectionLength));
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.setCharFormat(heading);
    }
    RichText::normalize(*note);
    NoteComment state;
    for (int s = 0; s < sections; ++s) {
        state.collapsible << s;
        if (s != *openSection)
            state.collapsed << s;
    }
    return RichText::encode(*note, state);
}

struct Window {
    QWidget window;
    NoteEditor* editor = nullptr;
    NoteTextView* view = nullptr;

    Window()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        editor = new NoteEditor;
        view = &editor->textView();
        layout->addWidget(editor);
        window.resize(640, 520);
    }

    bool load(const QByteArray& rtf)
    {
        editor->load(rtf, QString());
        return !view->document()->isEmpty();
    }

    bool show()
    {
        window.show();
        window.activateWindow();
        view->setFocus();
        if (!QTest::qWaitForWindowExposed(&window))
            return false;
        QTest::qWait(100);
        return true;
    }
};

// Runs events until the widget has been painted again (or a 5 s guard passes); the milliseconds since
// `timer` started.
double untilPainted(const PaintCounter& paints, int before, const QElapsedTimer& timer)
{
    while (paints.count == before && timer.elapsed() < 5000)
        QCoreApplication::processEvents();
    return double(timer.nsecsElapsed()) / 1e6;
}

struct KeyFigures {
    double median = 0;
    double max = 0;
    double lateCount = 0; // keys over 16 ms
};

KeyFigures timeKeys(Window& w, Qt::Key key, char character, int count)
{
    PaintCounter paints(w.view->viewport());
    std::vector<double> ms;
    ms.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        QTest::qWait(1); // lets the previous key's deferred work settle, as between real keystrokes
        const int before = paints.count;
        QElapsedTimer timer;
        timer.start();
        if (character)
            QTest::keyClick(w.view, character);
        else
            QTest::keyClick(w.view, key);
        ms.push_back(untilPainted(paints, before, timer));
    }
    std::sort(ms.begin(), ms.end());
    KeyFigures f;
    f.median = ms[ms.size() / 2];
    f.max = ms.back();
    f.lateCount = double(std::count_if(ms.begin(), ms.end(), [](double v) { return v >= 16; }));
    return f;
}

// Every marker the note knows, long dividers, right-to-left and plain lines, up to `bytes` of UTF-8.
QString pasteText(qsizetype bytes)
{
    const QString divider(400, QChar(0x2500));
    const QString lines[] = {
        QStringLiteral("\u2022\tbullet pasted from somewhere else"),
        QStringLiteral("1.\tfirst numbered step"),
        QStringLiteral("\u2610\tan open checkbox item"),
        QStringLiteral("\u2611\ta ticked checkbox item"),
        divider,
        QStringLiteral(
            "\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD, \u05D6\u05D5 \u05E9\u05D5\u05E8\u05D4 "
            "\u05D1\u05E2\u05D1\u05E8\u05D9\u05EA"),
        QStringLiteral("A plain line of prose with nothing special about it at all."),
        QString(),
    };
    QString out;
    qsizetype size = 0;
    for (int i = 0; size < bytes; ++i) {
        const QString& line = lines[i % std::size(lines)];
        out += line;
        out += u'\n';
        size += line.toUtf8().size() + 1;
    }
    return out;
}

double timePaste(Window& w, const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    PaintCounter paints(w.view->viewport());
    const int before = paints.count;
    QElapsedTimer timer;
    timer.start();
    QTest::keyClick(w.view, Qt::Key_V, Qt::ControlModifier);
    return untilPainted(paints, before, timer);
}

// The caret into the middle of a prose paragraph of the open section.
void placeCaret(Window& w, int openSection)
{
    QTextBlock block =
        w.view->document()->findBlockByNumber(openSection * kSectionLength + kSectionLength / 2);
    while (block.isValid() && !block.text().startsWith(u"Plain"))
        block = block.next();
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + block.length() / 2);
    w.view->setTextCursor(cursor);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // No caret blinking: its repaints would end a wait that belongs to a key.
    QApplication::setCursorFlashTime(0);
    const QStringList args = QCoreApplication::arguments();
    const auto valueAfter = [&](const char* flag, int fallback) {
        const qsizetype at = args.indexOf(QString::fromLatin1(flag));
        return at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
    };
    const int keys = valueAfter("--keys", 200);
    const int pasteMb = valueAfter("--paste-mb", 5);

    int openSection = 0;
    const QByteArray rtf = encodedNote(&openSection);
    std::printf("platform: %s; note: %d paragraphs, %d folded sections, %.1f MB of RTF\n",
                qPrintable(QGuiApplication::platformName()), (kFoldedSections + 1) * kSectionLength,
                kFoldedSections, double(rtf.size()) / 1e6);

    {
        Window w;
        QElapsedTimer load;
        load.start();
        if (!w.load(rtf) || !w.show()) {
            std::fprintf(stderr, "the note did not load or show\n");
            return 1;
        }
        std::printf("load and first paint: %.0f ms (includes a 100 ms settling wait)\n",
                    double(load.nsecsElapsed()) / 1e6);
        placeCaret(w, openSection);
        QTest::qWait(50);
        std::printf("\n%-10s %6s %10s %10s %8s\n", "key", "keys", "median", "max", ">=16ms");
        const struct {
            const char* name;
            Qt::Key key;
            char character;
        } kinds[] = {
            {"a", Qt::Key_A, 'a'}, {"Return", Qt::Key_Return, 0}, {"Backspace", Qt::Key_Backspace, 0}};
        for (const auto& kind : keys > 0 ? std::span(kinds) : std::span(kinds).first(0)) {
            const KeyFigures f = timeKeys(w, kind.key, kind.character, keys);
            std::printf("%-10s %6d %7.2f ms %7.2f ms %8.0f\n", kind.name, keys, f.median, f.max, f.lateCount);
            std::fflush(stdout);
        }
    }

    const QString text = pasteText(qsizetype(pasteMb) * 1024 * 1024);
    std::printf("\npaste of %d MB (%lld characters, %lld lines):\n", pasteMb,
                static_cast<long long>(text.size()), static_cast<long long>(text.count(u'\n')));
    {
        // The same paste without a window: the note's own work, without Qt laying the text out.
        QTextDocument note;
        NoteEditing editing(note);
        QTextCursor cursor(&note);
        QElapsedTimer timer;
        timer.start();
        NoteFormatting::pastePlain(editing, cursor, text);
        std::printf("  no window (engine):   %8.0f ms\n", double(timer.nsecsElapsed()) / 1e6);
    }
    {
        // Qt's floor: a bare text edit of the same size takes the same paste and lays it all out to show
        // its end, with no note formats at all.
        QTextEdit bare;
        bare.setAcceptRichText(false);
        bare.resize(640, 520);
        bare.show();
        if (!QTest::qWaitForWindowExposed(&bare))
            return 1;
        QGuiApplication::clipboard()->setText(text);
        PaintCounter paints(bare.viewport());
        const int before = paints.count;
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(&bare, Qt::Key_V, Qt::ControlModifier);
        std::printf("  into a bare QTextEdit: %7.0f ms\n", untilPainted(paints, before, timer));
        std::fflush(stdout);
    }
    if (!args.contains(QStringLiteral("--skip-empty"))) {
        Window w;
        if (!w.show())
            return 1;
        std::printf("  into an empty note:   %8.0f ms\n", timePaste(w, text));
        std::fflush(stdout);
    }
    if (!args.contains(QStringLiteral("--skip-long"))) {
        Window w;
        if (!w.load(rtf) || !w.show())
            return 1;
        placeCaret(w, openSection);
        QTest::qWait(50);
        std::printf("  into the long note:   %8.0f ms\n", timePaste(w, text));
    }
    return 0;
}
