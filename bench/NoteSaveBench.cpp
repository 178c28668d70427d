// note_save_bench: how long saving a note holds the main thread, and how long until it is on disk.
//
// A note sheet over a model of its own (its store and notes folder in a temporary folder) holds a note
// of the given size: sections of a heading and 99 paragraphs of lists, checklists and prose, as typed
// notes are, every section folded but the last. Each iteration types a character at the end and saves, as the
// sheet's timer does.
//   BM_SaveHoldsTheWindow/KB   the save() call alone: what the window waits (manual time)
//   BM_SaveToDisk/KB           save() until the file and the record hold it
// The counter main_cpu_ms is the main thread's CPU time in the save() call.

#include "NoteBodyText.h"
#include "model/Launch.h"
#include "notes/RichText.h"
#include "notes/Typography.h"
#include "notes/editor/NoteEditor.h"
#include "notes/view/NoteTextView.h"
#include "ui/note/NoteSheet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <ctime>
#include <map>
#include <memory>

using namespace vorn;

namespace {

// About `kilobytes` KB of text, a heading every 100 paragraphs.
QString noteText(int kilobytes)
{
    QStringList lines;
    qsizetype size = 0;
    for (int i = 0; size < qsizetype(kilobytes) * 1024; ++i) {
        lines << (i % 100 == 0 ? QStringLiteral("Section %1").arg(i / 100) : vorn::bench::noteBodyLine(i));
        size += lines.back().size() + 1;
    }
    return lines.join(u'\n');
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<NoteSheet> sheet;

    explicit Fixture(int kilobytes)
    {
        Launch launch;
        launch.arguments = {QStringLiteral("vorn-todo")};
        launch.environment = QProcessEnvironment();
        launch.appDataDir = dir.filePath(QStringLiteral("appdata"));
        launch.sharedDataDir = dir.filePath(QStringLiteral("shared/Vorn"));
        launch.tempDir = dir.filePath(QStringLiteral("tmp"));
        launch.settingsPath = dir.filePath(QStringLiteral("settings/vorn-todo.json"));
        launch.handoffPath = dir.filePath(QStringLiteral("handoff"));
        launch.useSessionBus = false;
        launch.syncsToFamily = false;
        QString error;
        model = makeModel(launch, makeStore(launch, &error));
        Thing* thing = model->add(QStringLiteral("long note"), Source::today);
        // Headings formatted as the editor makes them, saved once so that the sheet opens it from its file.
        auto note = notes::RichText::plain(noteText(kilobytes));
        const QTextCharFormat heading =
            notes::Typography::roleFormat(notes::TextRole::heading, std::nullopt, false);
        notes::NoteComment sections;
        for (QTextBlock block = note->begin(); block.isValid(); block = block.next()) {
            if (block.text().startsWith(QStringLiteral("Section "))) {
                QTextCursor cursor(block);
                cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
                cursor.setCharFormat(heading);
                sections.collapsible << int(sections.collapsible.size());
            }
        }
        // Every section folded but the last, where the typing goes: a long note as people keep one,
        // which the editor opens without laying out all of it.
        sections.collapsed = sections.collapsible.mid(0, sections.collapsible.size() - 1);
        notes::RichText::normalize(*note);
        model->saveNote(thing->id(), notes::RichText::encode(*note, sections), note->toPlainText());
        sheet = std::make_unique<NoteSheet>(*model, NoteTarget::thing(thing->id()), nullptr);
    }

    void type()
    {
        QTextCursor cursor(sheet->editor().textView().document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QStringLiteral("x"));
    }
};

// Made once per size, and gone before the application is.
std::map<int, std::unique_ptr<Fixture>> fixtures;

Fixture& fixture(int kilobytes)
{
    std::unique_ptr<Fixture>& f = fixtures[kilobytes];
    if (!f)
        f = std::make_unique<Fixture>(kilobytes);
    return *f;
}

void BM_SaveHoldsTheWindow(benchmark::State& state)
{
    Fixture& f = fixture(int(state.range(0)));
    double cpu = 0;
    for (auto _ : state) {
        f.type();
        const double cpuBefore = threadCpuMs();
        QElapsedTimer timer;
        timer.start();
        f.sheet->save();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        cpu += threadCpuMs() - cpuBefore;
        // Landed before the next one, untimed: every iteration saves into a quiet folder.
        state.PauseTiming();
        f.model->saveNow();
        state.ResumeTiming();
    }
    state.counters["main_cpu_ms"] = benchmark::Counter(cpu / double(state.iterations()));
}
// A fixed count: a 5 MB save takes about a second to land, and the time measured is a small part of it.
BENCHMARK(BM_SaveHoldsTheWindow)->Arg(16)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveHoldsTheWindow)
    ->Arg(5 * 1024)
    ->Iterations(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_SaveToDisk(benchmark::State& state)
{
    Fixture& f = fixture(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        f.type();
        state.ResumeTiming();
        f.sheet->save();
        f.model->saveNow();
    }
}
BENCHMARK(BM_SaveToDisk)->Arg(16)->Iterations(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveToDisk)->Arg(5 * 1024)->Iterations(4)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fixtures.clear();
    return 0;
}
