// A note's text: writing and reading it as RTF, normalising what was read, and restyling after a
// keystroke, which must cost the same in a long note as in a short one.
#include "notes/MarkerEdits.h"
#include "notes/NoteEditing.h"
#include "notes/ParagraphStyler.h"
#include "notes/RichText.h"
#include "notes/SectionFolding.h"
#include "notes/Sections.h"
#include "notes/Typography.h"

#include <QGuiApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>

using namespace vorn::notes;

namespace {

// A realistic long note: headings, checklists, numbered and bulleted lists, prose, dividers, some Hebrew.
QString noteText(int paragraphs)
{
    static const QString kinds[] = {
        QStringLiteral("\u2610\tcall the landlord about the heating, item %1"),
        QStringLiteral("%1.\tnumbered step with a few words"),
        QStringLiteral("\u2022\tbullet point that says something short %1"),
        QStringLiteral(
            "Plain prose paragraph %1 that runs on for a while, like notes do when people think aloud."),
        QStringLiteral("\u05E9\u05DC\u05D5\u05DD %1 \u05E2\u05D5\u05DC\u05DD"),
        QString(),
        QString(12, QChar(0x2500)),
    };
    QStringList lines;
    lines.reserve(paragraphs);
    for (int i = 0; i < paragraphs; ++i)
        lines << (kinds[i % 7].contains(u"%1") ? kinds[i % 7].arg(i) : kinds[i % 7]);
    return lines.join(u'\n');
}

// Some headings with bold and italic runs, so the RTF carries several fonts and traits.
std::unique_ptr<QTextDocument> richNote(int paragraphs)
{
    auto note = RichText::plain(noteText(paragraphs));
    QTextCharFormat heading;
    heading.setProperty(QTextFormat::FontPixelSize, 21);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    int i = 0;
    for (QTextBlock block = note->begin(); block.isValid(); block = block.next(), ++i) {
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        if (i % 50 == 3)
            cursor.mergeCharFormat(heading);
        else if (i % 5 == 3 && block.length() > 12) {
            cursor.setPosition(block.position() + 6);
            cursor.setPosition(block.position() + 11, QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(bold);
        }
    }
    RichText::normalize(*note);
    return note;
}

// Sized by paragraphs: 7,400 make about 1 MB of RTF, 21,845 about 1 MB of text (800,000 characters).
void BM_Encode(benchmark::State& state)
{
    const auto note = richNote(int(state.range(0)));
    qsizetype size = 0;
    for (auto _ : state) {
        const QByteArray rtf = RichText::encode(*note);
        size = rtf.size();
        benchmark::DoNotOptimize(rtf.constData());
    }
    state.counters["rtf_bytes"] = double(size);
    state.counters["text_chars"] = double(note->characterCount());
}

void BM_Decode(benchmark::State& state)
{
    const auto note = richNote(int(state.range(0)));
    const QByteArray rtf = RichText::encode(*note);
    for (auto _ : state) {
        auto decoded = RichText::decode(rtf);
        benchmark::DoNotOptimize(decoded->text.get());
    }
    state.counters["rtf_bytes"] = double(rtf.size());
    state.counters["text_chars"] = double(note->characterCount());
}

// One character typed into the middle paragraph, then the restyle the editor runs after it.
void BM_RestyleAfterKeystroke(benchmark::State& state)
{
    const auto note = RichText::plain(noteText(int(state.range(0))));
    QTextBlock middle = note->findBlockByNumber(int(state.range(0)) / 2);
    while (middle.text().isEmpty())
        middle = middle.next();
    const int at = middle.position() + 1;
    int visited = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTextCursor cursor(note.get());
        cursor.setPosition(at);
        cursor.insertText(QStringLiteral("x"));
        state.ResumeTiming();
        visited = ParagraphStyler::apply(*note, at, 1);
        state.PauseTiming();
        cursor.deletePreviousChar();
        state.ResumeTiming();
    }
    state.counters["paragraphs_visited"] = double(visited);
}

// A keystroke in a long note with folded sections: the change check, the insert and the whole
// after-edit sequence (restyle, then sections brought into form and the hidden runs compared).
void BM_KeystrokeWithFoldedSections(benchmark::State& state)
{
    const int paragraphs = int(state.range(0));
    QStringList lines;
    for (int i = 0; i < paragraphs; ++i)
        lines << (i % (paragraphs / 100) == 0 ? QStringLiteral("Section %1").arg(i)
                                              : QStringLiteral("line %1 of text").arg(i));
    const auto note = RichText::plain(lines.join(u'\n'));
    QTextCharFormat heading = Typography::roleFormat(TextRole::heading, std::nullopt, false);
    NoteComment sections;
    int ordinal = 0;
    for (QTextBlock block = note->begin(); block.isValid(); block = block.next()) {
        if (!block.text().startsWith(u"Section"))
            continue;
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.setCharFormat(heading);
        sections.collapsed << ordinal++;
    }
    sections.collapsed.removeLast(); // the last section stays open: typing goes there
    Sections::applyState(*note, sections);
    NoteEditing editing(*note);
    SectionFolding folding(*note);
    folding.installUnfold(editing);
    folding.load();
    QTextCursor cursor(note.get());
    cursor.movePosition(QTextCursor::End);
    for (auto _ : state) {
        const int at = cursor.position();
        cursor.beginEditBlock();
        editing.shouldChange(at, 0, QStringLiteral("x"));
        cursor.insertText(QStringLiteral("x"), editing.typingFormat());
        editing.afterEdit();
        folding.afterEdit(cursor.position());
        cursor.endEditBlock();
    }
    state.counters["hidden_runs"] = double(folding.lastHidden().size());
}

void BM_NormaliseLoaded10k(benchmark::State& state)
{
    const QByteArray rtf = RichText::encode(*richNote(10'000));
    for (auto _ : state) {
        state.PauseTiming();
        auto decoded = RichText::decode(rtf);
        state.ResumeTiming();
        RichText::normalize(*decoded->text);
        benchmark::DoNotOptimize(decoded->text.get());
    }
}

} // namespace

// What Return in a numbered item of a 10,000-paragraph note asks of the numbering: reading the whole
// note (range 0, as before) or only the edited paragraph's runs (range 1).
void BM_RenumberAfterReturn(benchmark::State& state)
{
    const auto note = RichText::plain(noteText(10'000));
    QTextBlock item = note->findBlockByNumber(5'000);
    while (!item.text().contains(u".\t"))
        item = item.next();
    const int at = item.position();
    const bool local = state.range(0) == 1;
    size_t found = 0;
    for (auto _ : state) {
        const auto replacements = local ? renumberingFrom(*note, at) : renumbering(*note);
        found = replacements.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["replacements"] = double(found);
}

BENCHMARK(BM_Encode)->Arg(7'400)->Arg(21'845)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Arg(7'400)->Arg(21'845)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RestyleAfterKeystroke)->Arg(1'000)->Arg(10'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeystrokeWithFoldedSections)->Arg(1'000)->Arg(10'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenumberAfterReturn)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NormaliseLoaded10k)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
