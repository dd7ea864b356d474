// The options' save on exit in registry mode on the emulated machine, with
// a long exclusion list (100 000 names): unchanged, one entry changed, and
// every entry changed (one transaction either way), and the load at start.
// The exit is bounded by the unchanged save: it must stay far below the
// 100 ms a closing window can take without being noticed.

#include "base/Text.h"
#include "bench/BenchMachine.h"
#include "platform/Platform.h"
#include "settings/Options.h"
#include "tests/support/HostProcess.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

namespace {

using namespace talvoren;
namespace fs = std::filesystem;

// No settings file beside the benchmark: registry mode.
class TNoIniFile : public IIniFileStore {
public:
    std::optional<std::vector<uint8_t>> ReadAll(const std::u16string&) override { return std::nullopt; }
    bool WriteAll(const std::u16string&, const std::vector<uint8_t>&) override { return false; }
};

using bench::TBenchMachine;

TBenchMachine& Machine()
{
    static TBenchMachine machine;
    return machine;
}

TNoIniFile gFiles;

// Options loaded from a registry that holds `count` exclusions.
std::unique_ptr<TOptions> Stored(size_t count)
{
    {
        TOptions seed(Machine().platform(), gFiles);
        seed.Load();
        TExclusions& list = seed.GetExclusions();
        list.Clear();
        for (size_t i = 0; i < count; ++i) {
            list.Add(u"SOME_VARIABLE_" + u16(std::to_string(i)), i % 2 == 0, i % 3 == 0);
        }
        seed.Save();
    }
    auto options = std::make_unique<TOptions>(Machine().platform(), gFiles);
    options->Load();
    return options;
}

void BM_SaveUnchanged(benchmark::State& state)
{
    auto options = Stored(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        options->Save();
    }
    state.counters["exclusions"] = static_cast<double>(options->GetExclusions().Count());
}
BENCHMARK(BM_SaveUnchanged)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SaveOneChanged(benchmark::State& state)
{
    auto options = Stored(static_cast<size_t>(state.range(0)));
    TExclusions& list = options->GetExclusions();
    bool split = true;
    for (auto _ : state) {
        split = !split;
        list.Remove(u"SOME_VARIABLE_7");
        list.Add(u"SOME_VARIABLE_7", split, true);
        options->Save();
    }
}
BENCHMARK(BM_SaveOneChanged)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SaveAllChanged(benchmark::State& state)
{
    const auto count = static_cast<size_t>(state.range(0));
    auto options = Stored(count);
    TExclusions& list = options->GetExclusions();
    bool flip = false;
    for (auto _ : state) {
        state.PauseTiming();
        flip = !flip;
        list.Clear();
        for (size_t i = 0; i < count; ++i) {
            list.Add(u"SOME_VARIABLE_" + u16(std::to_string(i)), (i % 2 == 0) != flip, i % 3 == 0);
        }
        state.ResumeTiming();
        options->Save();
    }
}
BENCHMARK(BM_SaveAllChanged)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Load(benchmark::State& state)
{
    Stored(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        TOptions options(Machine().platform(), gFiles);
        options.Load();
        benchmark::DoNotOptimize(options.GetExclusions().Count());
    }
}
BENCHMARK(BM_Load)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
