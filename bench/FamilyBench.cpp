// Family store benchmarks over a file of 10,000 rows: the full mirror when nothing changed, the full
// mirror when one thing changed, and reading every row.
#include "family/FamilyStore.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace vorn;

namespace {

constexpr int kRows = 10000;

// Things as the mirror sends them: every third planned for today, every fourth with steps, every fifth
// with a note.
std::vector<SharedThing> mirrorRecords()
{
    std::vector<SharedThing> things;
    things.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        SharedThing t;
        t.id = QStringLiteral("8c6f1d2e-0000-4000-8000-%1").arg(i, 12, 10, QLatin1Char('0'));
        t.title = QStringLiteral("Thing number %1 with a title of usual length").arg(i);
        t.done = i % 7 == 0;
        if (i % 3 == 0)
            t.day = QStringLiteral("2026-03-10");
        t.zs = i % 4;
        if (i % 4 == 0)
            t.steps = {{QStringLiteral("first step"), true},
                       {QStringLiteral("second step"), false},
                       {QStringLiteral("third step"), false}};
        if (i % 5 == 0) {
            t.note = QStringLiteral("a short note\nwith two lines");
            t.noteID = QStringLiteral("note-%1").arg(i);
        }
        t.sourceApp = QStringLiteral("todo");
        things.push_back(std::move(t));
    }
    return things;
}

// A family file already holding the mirror, built once.
QString fixture()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("family.db"));
        FamilyStore store(p);
        store.upsertAll(mirrorRecords());
        return p;
    }();
    return path;
}

// Argument 0: one upsert() per thing; 1: the whole mirror in one upsertAll().
void mirror(FamilyStore& store, const std::vector<SharedThing>& things, bool batched)
{
    if (batched) {
        store.upsertAll(things);
        return;
    }
    for (const SharedThing& t : things)
        store.upsert(t);
}

void BM_MirrorUnchanged(benchmark::State& state)
{
    FamilyStore store(fixture());
    const std::vector<SharedThing> things = mirrorRecords();
    for (auto _ : state)
        mirror(store, things, state.range(0) != 0);
    state.counters["writes"] = double(store.writes());
    state.SetLabel(state.range(0) ? "upsertAll" : "upsert each");
}
BENCHMARK(BM_MirrorUnchanged)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_MirrorOneChanged(benchmark::State& state)
{
    FamilyStore store(fixture());
    std::vector<SharedThing> things = mirrorRecords();
    int round = 0;
    for (auto _ : state) {
        things[size_t(round) % things.size()].title = QStringLiteral("renamed in round %1").arg(round);
        ++round;
        mirror(store, things, state.range(0) != 0);
    }
    state.SetLabel(state.range(0) ? "upsertAll" : "upsert each");
}
BENCHMARK(BM_MirrorOneChanged)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_AllThings(benchmark::State& state)
{
    FamilyStore store(fixture());
    size_t rows = 0;
    for (auto _ : state) {
        const std::vector<SharedThing> things = store.allThings();
        rows = things.size();
        benchmark::DoNotOptimize(things.data());
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_AllThings)->Unit(benchmark::kMillisecond);

} // namespace
