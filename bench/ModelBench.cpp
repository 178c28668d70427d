// Model benchmarks: composing Today's rows, the tab counts, the next sort key and a drag reorder; the
// exports and imports.
#include "family/FamilyStore.h"
#include "family/NoteFiles.h"
#include "ical/CalendarScan.h"
#include "ical/Libical.h"
#include "ical/Parallel.h"
#include "model/Constants.h"
#include "model/Launch.h"
#include "model/ModelCalendar.h"
#include "model/ModelExchange.h"
#include "transfer/exchange/MarkdownExport.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

using namespace vorn;

namespace {

double threadCpuMSecs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000 + double(t.tv_nsec) / 1e6;
}

// A model in memory holding `count` things spread over the lists the way a long-used app has them.
struct Fixture {
    explicit Fixture(int count, bool allToday = false, bool syncs = false)
    {
        launch.arguments = {QStringLiteral("bench")};
        if (!syncs)
            launch.environment.insert(kTestHarnessVariable, QStringLiteral("bench"));
        launch.useSessionBus = false;
        launch.clock = std::make_shared<FixedClock>(QDateTime(QDate(2026, 3, 10), QTime(9, 30), Qt::UTC));
        launch.appDataDir = dir.filePath(QStringLiteral("data"));
        launch.sharedDataDir = dir.filePath(QStringLiteral("shared"));
        launch.tempDir = dir.path();
        launch.settingsPath = dir.filePath(QStringLiteral("settings.json"));
        QString error;
        auto store = makeStore(launch, &error);
        store->setAutosaveDelay(0);
        model = makeModel(launch, std::move(store));
        Store& s = model->store();
        UndoRegistrationPause pause(s.undoManager());
        const QDateTime now = launch.clock->now();
        Pile* pile = s.insert(Pile::make(QStringLiteral("Groceries"), now));
        for (int i = 0; i < count; ++i) {
            const QDateTime created = now.addSecs(-count + i);
            Thing* t = s.insert(Thing::make(QStringLiteral("Thing %1").arg(i), created));
            if (allToday)
                continue;
            switch (i % 5) {
            case 1:
                t->setSnoozedUntil(now.addDays(1 + i % 9));
                break;
            case 2:
                t->setDoneAt(created);
                break;
            case 3:
                t->setPile(pile);
                break;
            default:
                break; // Today
            }
        }
        model->refreshPiles();
    }
    QTemporaryDir dir;
    Launch launch;
    std::unique_ptr<AppModel> model;
};

void BM_TodayRows(benchmark::State& state)
{
    Fixture f(int(state.range(0)));
    size_t rows = 0;
    for (auto _ : state) {
        auto r = f.model->rows(Source::today, true);
        rows = r.size();
        benchmark::DoNotOptimize(r.data());
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_TodayRows)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_AllTabCounts(benchmark::State& state)
{
    Fixture f(int(state.range(0)));
    const Source pile = Source::pile(f.model->piles().front()->id());
    for (auto _ : state) {
        int total = 0;
        for (const Source& s : {Source::today, Source::later, Source::doneIsh, pile, pile})
            total += f.model->count(s);
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_AllTabCounts)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_NextSortKey(benchmark::State& state)
{
    Fixture f(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(f.model->nextSortKey(Source::today));
}
BENCHMARK(BM_NextSortKey)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_DropReorder(benchmark::State& state)
{
    Fixture f(int(state.range(0)), true);
    f.model->store().undoManager().disableRegistration();
    const std::vector<Thing*> things = f.model->allThings();
    int i = 0;
    for (auto _ : state) {
        // Move one row from near the top to near the bottom and back.
        const RowID id = RowID::thing(things[size_t(i++ % 10)]->id());
        f.model->beginDrag(id);
        benchmark::DoNotOptimize(f.model->drop(int(things.size()) - 5, Source::today));
    }
}
BENCHMARK(BM_DropReorder)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_MirrorUnchanged(benchmark::State& state)
{
    Fixture f(int(state.range(0)), false, true);
    f.model->familySync().schedule();
    f.model->familySync().flush(); // the first mirror writes every row
    for (auto _ : state) {
        f.model->familySync().schedule();
        f.model->familySync().flush();
    }
}
BENCHMARK(BM_MirrorUnchanged)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_MirrorOneChanged(benchmark::State& state)
{
    Fixture f(int(state.range(0)), false, true);
    f.model->familySync().schedule();
    f.model->familySync().flush();
    Thing* t = f.model->allThings().front();
    int i = 0;
    for (auto _ : state) {
        t->setTitle(QStringLiteral("renamed %1").arg(++i));
        f.model->familySync().schedule();
        f.model->familySync().flush();
    }
}
BENCHMARK(BM_MirrorOneChanged)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_RefreshFromFamily(benchmark::State& state)
{
    Fixture f(int(state.range(0)), false, true);
    f.model->familySync().schedule();
    f.model->familySync().flush();
    for (auto _ : state)
        f.model->familySync().refresh();
}
BENCHMARK(BM_RefreshFromFamily)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Runs the event loop for up to `msecs` (or until `done`) with a 2 ms timer standing in for key presses,
// and puts its worst lateness and the longest stretch of the thread's own work between two ticks in the
// counters. Lateness counts the machine's other work too; the CPU time is what held the thread, busy
// machine or not.
void probeKeys(benchmark::State& state, int msecs, const std::function<bool()>& done = {})
{
    std::vector<double> lateness;
    double worstCpu = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    double lastCpu = threadCpuMSecs();
    QEventLoop loop;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const double cpu = threadCpuMSecs();
        lateness.push_back(double(now - last) / 1e6 - 2.0);
        worstCpu = std::max(worstCpu, cpu - lastCpu);
        last = now;
        lastCpu = cpu;
        if (done && done())
            loop.quit();
    });
    QTimer::singleShot(msecs, &loop, &QEventLoop::quit);
    last = clock.nsecsElapsed();
    probe.start(2);
    loop.exec();
    std::sort(lateness.begin(), lateness.end());
    state.counters["worst_ms"] = lateness.back();
    state.counters["p99_ms"] = lateness[size_t(double(lateness.size()) * 0.99)];
    state.counters["ticks"] = double(lateness.size());
    state.counters["worst_cpu_ms"] = worstCpu;
}

// The window's thread while the planner writes one of our rows every 100 ms for three seconds and
// broadcasts each write. One iteration; the counters are the figures.
void BM_MainThreadWhilePlannerWrites(benchmark::State& state)
{
    Fixture f(int(state.range(0)), false, true);
    f.model->familySync().schedule();
    f.model->familySync().flush();
    f.model->familySync().refresh(); // every row of ours compared once, as at start
    std::vector<QString> ids;
    for (const Thing* t : f.model->allThings())
        ids.push_back(t->syncID());
    FamilyStore planner(f.launch.familyStorePath());
    FamilySync& sync = f.model->familySync();

    for (auto _ : state) {
        std::atomic<bool> stop = false;
        std::thread writer([&] {
            for (int i = 0; !stop; ++i) {
                planner.setTitle(ids[size_t(i * 7919) % ids.size()], QStringLiteral("from there %1").arg(i));
                QMetaObject::invokeMethod(
                    &sync, [&sync] { sync.noticed(); }, Qt::QueuedConnection);
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
        probeKeys(state, 3000);
        stop = true;
        writer.join();
    }
}
BENCHMARK(BM_MainThreadWhilePlannerWrites)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The window's thread while a background read hands over every row of ours to compare, as the planner
// renaming all of them at once does (and as the read after a start does). One iteration.
void BM_MainThreadWhileEveryRowIsCompared(benchmark::State& state)
{
    Fixture f(int(state.range(0)), false, true);
    FamilySync& sync = f.model->familySync();
    sync.schedule();
    sync.flush();
    sync.refresh();
    FamilyStore planner(f.launch.familyStorePath());
    for (auto _ : state) {
        state.PauseTiming();
        sync.refresh(); // nothing new: none compared, until the read below
        std::vector<SharedThing> rows = planner.allThings();
        for (SharedThing& r : rows)
            r.title += QStringLiteral(" (planned)");
        planner.upsertAll(rows);
        state.ResumeTiming();
        sync.refreshInBackground();
        probeKeys(state, 20000, [&] { return sync.lastOwnRowsCompared() >= int(rows.size()); });
        state.counters["compared"] = sync.lastOwnRowsCompared();
    }
}
BENCHMARK(BM_MainThreadWhileEveryRowIsCompared)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Every list out as Markdown, and that document read and added to an empty store as one undo step.
void BM_ExportMarkdown(benchmark::State& state)
{
    Fixture f(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(writeMarkdown(exportLists(*f.model)));
}
BENCHMARK(BM_ExportMarkdown)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ImportMarkdown(benchmark::State& state)
{
    const QString text = [&] {
        Fixture f(int(state.range(0)));
        return writeMarkdown(exportLists(*f.model));
    }();
    for (auto _ : state) {
        state.PauseTiming();
        auto empty = std::make_unique<Fixture>(0);
        state.ResumeTiming();
        const ImportOutcome outcome = importLists(*empty->model, readImport(text));
        benchmark::DoNotOptimize(outcome.added);
        state.PauseTiming();
        empty.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportMarkdown)->Arg(10000)->Unit(benchmark::kMillisecond);

// Every list out as one .ics, and that file read and added to an empty store as one undo step: things
// with two steps each, a plain note on every other one and a rich one on every tenth.
struct CalendarFixture : Fixture {
    explicit CalendarFixture(int count) : Fixture(count)
    {
        Store& s = model->store();
        UndoRegistrationPause pause(s.undoManager());
        const QByteArray rtf = "{\\rtf1\\ansi{\\b Bring} the forms and two photos\\par}";
        const NoteFolder notes(model->notesDir());
        int i = 0;
        const std::vector<Thing*> things = s.thingsBySortKey();
        for (Thing* t : things) {
            s.insert(Step::make(QStringLiteral("First step of %1").arg(i), t, t->createdAt()));
            s.insert(Step::make(QStringLiteral("Second step"), t, t->createdAt().addMSecs(1)));
            if (i % 2 == 0)
                t->setNote(
                    QStringLiteral("Bring the forms and two photos.\nAsk about the fee, and the queue."));
            if (i % 10 == 0) {
                const QString stem = NoteFolder::newStem();
                notes.write(stem, rtf);
                t->setNoteID(stem);
            }
            ++i;
        }
        s.save();
    }
};

void BM_ExportCalendar(benchmark::State& state)
{
    CalendarFixture f(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(exportCalendar(*f.model));
}
BENCHMARK(BM_ExportCalendar)->Arg(10000)->Unit(benchmark::kMillisecond);

// Reading the file and adding what it holds: what `--import FILE.ics` and File > Import… take.
void BM_ImportCalendar(benchmark::State& state)
{
    const QByteArray text = [&] {
        CalendarFixture f(int(state.range(0)));
        return exportCalendar(*f.model);
    }();
    double notesMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Arg 1: a home that mirrors its things into the family file, as the app's does.
        auto empty = std::make_unique<Fixture>(0, false, state.range(1) != 0);
        state.ResumeTiming();
        const ImportOutcome outcome = importCalendar(*empty->model, ical::readCalendar(text));
        benchmark::DoNotOptimize(outcome.added);
        state.PauseTiming();
        // The things are there and saved; the rich notes go on reaching their files, and their things
        // naming them: how long that still takes, apart.
        QElapsedTimer landing;
        landing.start();
        empty->model->settleNotes();
        notesMs += double(landing.nsecsElapsed()) / 1e6;
        empty.reset();
        state.ResumeTiming();
    }
    state.counters["bytes"] = double(text.size());
    state.counters["notes_after_ms"] = notesMs / double(state.iterations());
}
BENCHMARK(BM_ImportCalendar)->Args({10000, 0})->Args({10000, 1})->Unit(benchmark::kMillisecond);

// The floor under the import's note files: the same rich notes (one thing in ten) made by a bare loop,
// each file created, written and synced, in a fresh folder of the same temporary place. Creating a
// file costs more where many were deleted a moment ago (as this benchmark's own runs do).
void BM_ImportCalendarNoteFilesFloor(benchmark::State& state)
{
    const QByteArray rtf = "{\\rtf1\\ansi{\\b Bring} the forms and two photos\\par}";
    for (auto _ : state) {
        state.PauseTiming();
        auto dir = std::make_unique<QTemporaryDir>();
        state.ResumeTiming();
        for (int i = 0; i < state.range(0) / 10; ++i) {
            const QByteArray path = QFile::encodeName(dir->filePath(NoteFolder::newStem() + u".rtf"));
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            benchmark::DoNotOptimize(::write(fd, rtf.constData(), size_t(rtf.size())));
            ::fsync(fd);
            ::close(fd);
        }
        const int folder = ::open(QFile::encodeName(dir->path()).constData(), O_RDONLY | O_DIRECTORY);
        ::fsync(folder);
        ::close(folder);
        state.PauseTiming();
        dir.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportCalendarNoteFilesFloor)->Arg(10000)->Unit(benchmark::kMillisecond);

// The part of each that is libical's and the mapping's, without the model.
void BM_ReadCalendarOnly(benchmark::State& state)
{
    const QByteArray text = [&] {
        CalendarFixture f(int(state.range(0)));
        return exportCalendar(*f.model);
    }();
    for (auto _ : state)
        benchmark::DoNotOptimize(ical::readCalendar(text).things.size());
}
BENCHMARK(BM_ReadCalendarOnly)->Arg(10000)->Unit(benchmark::kMillisecond);

// The floor under that reading: libical's parse of the same text and nothing made of it, the text whole
// on one thread or cut into parts as the reader cuts it (one per core), side by side. Arg 1 is how the
// text reaches libical: 0 its own string reader (icalparser_parse_string), 1 a line at a time as the
// reader hands it over.
void BM_ReadCalendarLibicalFloor(benchmark::State& state)
{
    const QByteArray text = [&] {
        CalendarFixture f(10000);
        return exportCalendar(*f.model);
    }();
    const int parts = state.range(0) == 0 ? ical::detail::partsForCores() : int(state.range(0));
    const std::vector<ical::detail::TextPart> cut =
        ical::detail::splitText(text, ical::detail::scanText(text), parts);
    const bool byLine = state.range(1) == 1;
    icaltimezone_get_utc_timezone();
    for (auto _ : state) {
        ical::detail::inParallel(int(cut.size()), [&](int k) {
            const QByteArray& part = cut[std::size_t(k)].text;
            if (byLine)
                benchmark::DoNotOptimize(ical::detail::parseText(part).get());
            else
                icalcomponent_free(icalparser_parse_string(part.constData()));
        });
    }
    state.counters["parts"] = double(cut.size());
}
BENCHMARK(BM_ReadCalendarLibicalFloor)
    ->Args({1, 0})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond);

void BM_WriteCalendarOnly(benchmark::State& state)
{
    CalendarFixture f(int(state.range(0)));
    const std::vector<ical::CalendarThing> things = calendarThings(*f.model);
    const QDateTime stamp = f.launch.clock->now();
    for (auto _ : state)
        benchmark::DoNotOptimize(ical::writeCalendar(things, stamp));
}
BENCHMARK(BM_WriteCalendarOnly)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
