// What recording the save history adds to a save: one entry written and
// flushed before the first registry write, with the oldest pruned.

#include "base/EnvStore.h"
#include "bench/BenchMachine.h"
#include "model/SaveHistory.h"
#include "platform/Utf.h"

#include <benchmark/benchmark.h>

using namespace talvoren;

namespace {

bench::TBenchMachine& Machine()
{
    static bench::TBenchMachine machine;
    return machine;
}

// `state.range(0)` variables, of Path's typical length, recorded per entry;
// the folder holds the full 200 entries, so each round prunes one.
void BM_RecordHistory(benchmark::State& state)
{
    TSaveHistory history(Machine().platform());
    std::vector<THistoryValue> before;
    for (int64_t i = 0; i < state.range(0); ++i) {
        const std::u16string value = u"C:\\Program Files\\Tool" + platform::fromUtf8(std::to_string(i))
            + u"\\bin;%SystemRoot%\\system32;C:\\Users\\someone\\AppData\\Local\\Programs\\x";
        before.push_back({u"VAR_" + platform::fromUtf8(std::to_string(i)),
                          platform::RegValue{platform::regtype::kExpandSz, EncodeRegString(value)}});
    }
    for (auto _ : state) {
        history.Record(CurrentUserScope(), before, THistorySource::Window);
    }
}
BENCHMARK(BM_RecordHistory)->Arg(1)->Arg(2000)->Unit(benchmark::kMillisecond);

} // namespace
