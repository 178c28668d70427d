// Store benchmarks: open a large store, save one change in it, read all things sorted.
#include "store/Store.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace vorn;

namespace {

const QDateTime kStart = QDateTime(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC);

// A store file with `things` things of three steps each, built once per size.
QString fixture(int things)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench-%1.sqlite").arg(things));
    if (QFile::exists(path))
        return path;
    QString error;
    auto store = Store::open(path, &error);
    store->setAutosaveDelay(0);
    UndoRegistrationPause pause(store->undoManager());
    for (int i = 0; i < things; ++i) {
        Thing* t = store->insert(Thing::make(
            QStringLiteral("Thing number %1 with a title of usual length").arg(i), kStart.addSecs(i)));
        if (i % 3 == 0)
            t->setDoneAt(kStart.addSecs(i + 60));
        if (i % 5 == 0)
            t->setNote(QStringLiteral("a short note"));
        for (int s = 0; s < 3; ++s)
            store->insert(Step::make(QStringLiteral("step %1").arg(s), t, kStart.addSecs(i + s)));
    }
    store->save();
    return path;
}

void BM_OpenStore(benchmark::State& state)
{
    const QString path = fixture(int(state.range(0)));
    for (auto _ : state) {
        QString error;
        auto store = Store::open(path, &error);
        benchmark::DoNotOptimize(store->thingCount());
        store->setAutosaveDelay(0);
    }
    state.counters["things"] = double(state.range(0));
}
BENCHMARK(BM_OpenStore)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_SaveOneChangedField(benchmark::State& state)
{
    const QString path = fixture(int(state.range(0)));
    QString error;
    auto store = Store::open(path, &error);
    store->setAutosaveDelay(0);
    std::vector<Thing*> things = store->thingsBySortKey();
    int i = 0;
    for (auto _ : state) {
        things[size_t(i) % things.size()]->setTitle(QStringLiteral("renamed %1").arg(i));
        benchmark::DoNotOptimize(store->save());
        ++i;
    }
    store->undoManager().removeAllActions();
}
BENCHMARK(BM_SaveOneChangedField)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_FetchAllSorted(benchmark::State& state)
{
    const QString path = fixture(int(state.range(0)));
    QString error;
    auto store = Store::open(path, &error);
    store->setAutosaveDelay(0);
    std::vector<Thing*> things = store->thingsBySortKey();
    Thing* first = things.front();
    double step = 1.0;
    for (auto _ : state) {
        // A sort key change invalidates the order, so each read pays for a full sort
        // (the change itself costs well under a microsecond).
        first->setSortKey(first->sortKey() + step);
        step = -step;
        benchmark::DoNotOptimize(store->thingsBySortKey().data());
    }
    store->undoManager().removeAllActions();
}
BENCHMARK(BM_FetchAllSorted)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_FetchAllSortedUnchanged(benchmark::State& state)
{
    const QString path = fixture(int(state.range(0)));
    QString error;
    auto store = Store::open(path, &error);
    store->setAutosaveDelay(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(store->thingsBySortKey().data());
}
BENCHMARK(BM_FetchAllSortedUnchanged)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace
