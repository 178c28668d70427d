// Reading plain text off the clipboard: the paste must not hold up the window whatever was copied.
#include "transfer/Transfer.h"

#include <QRandomGenerator>
#include <QString>

#include <benchmark/benchmark.h>

using namespace vorn;

namespace {

// A long checklist as another program copies it: things, indented steps, bullets and numbered lines.
QString checklist(int lines)
{
    static const QString kinds[] = {
        QStringLiteral("- [ ] buy oat milk and bread %1\n"),
        QStringLiteral("    - [x] step number %1\n"),
        QStringLiteral("\u2022 bulleted line %1\n"),
        QStringLiteral("%1.\tnumbered line\r\n"),
    };
    QString text;
    text.reserve(qsizetype(lines) * 32);
    for (int i = 0; i < lines; ++i)
        text += kinds[i % 4].arg(i);
    return text;
}

void BM_Parse100kLines(benchmark::State& state)
{
    const QString text = checklist(100'000);
    std::size_t things = 0;
    for (auto _ : state) {
        const std::vector<TransferThing> parsed = Transfer::parse(text);
        things = parsed.size();
        benchmark::DoNotOptimize(parsed.data());
    }
    state.counters["things"] = double(things);
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}
BENCHMARK(BM_Parse100kLines)->Unit(benchmark::kMillisecond);

void BM_ParseFiveMegabyteLine(benchmark::State& state)
{
    const QString text(5 * 1024 * 1024, QLatin1Char('x'));
    for (auto _ : state) {
        const std::vector<TransferThing> parsed = Transfer::parse(text);
        benchmark::DoNotOptimize(parsed.data());
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}
BENCHMARK(BM_ParseFiveMegabyteLine)->Unit(benchmark::kMillisecond);

void BM_ParseBinaryJunk(benchmark::State& state)
{
    // 5 MB of random bytes, read as UTF-8 the way a paste reads the clipboard's text.
    QByteArray bytes(5 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator(11).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    const QString text = QString::fromUtf8(bytes);
    std::size_t things = 0;
    for (auto _ : state) {
        const std::vector<TransferThing> parsed = Transfer::parse(text);
        things = parsed.size();
        benchmark::DoNotOptimize(parsed.data());
    }
    state.counters["things"] = double(things);
}
BENCHMARK(BM_ParseBinaryJunk)->Unit(benchmark::kMillisecond);

} // namespace
