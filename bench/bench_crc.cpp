// CRC-32C throughput on 1 MiB, table path and instruction path.
#include "report/crc32c.h"

#include <benchmark/benchmark.h>

namespace {

const QByteArray buffer = [] {
    QByteArray bytes(1024 * 1024, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 131 + 7);
    return bytes;
}();

void BM_Crc32cTables(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Crc32c::withTables(buffer.constData(), size_t(buffer.size())));
    state.SetBytesProcessed(state.iterations() * buffer.size());
}
BENCHMARK(BM_Crc32cTables);

void BM_Crc32cInstruction(benchmark::State &state)
{
    if (!Crc32c::hasInstruction()) {
        state.SkipWithError("no SSE4.2 on this processor");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(Crc32c::withInstruction(buffer.constData(), size_t(buffer.size())));
    state.SetBytesProcessed(state.iterations() * buffer.size());
}
BENCHMARK(BM_Crc32cInstruction);

} // namespace

BENCHMARK_MAIN();
