// SplitValue and CleanupValue on values of 500, 5000 and 50000 elements.
// Output: Google Benchmark's table; the "Complexity" rows (BigO, RMS) say
// how the time grows with the element count (N).

#include "model/NodeInfo.h"
#include "platform/HostEnvironment.h"
#include "platform/Platform.h"
#include "tests/support/HostProcess.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <memory>

using namespace talvoren;

namespace {

// Every fifth element repeats an earlier one in another case, and every
// tenth is empty, as a long-grown PATH might.
std::u16string makeValue(int elements)
{
    std::u16string value;
    for (int i = 0; i < elements; ++i) {
        if (i > 0) {
            value += u';';
        }
        if (i % 10 == 9) {
            continue;
        }
        if (i % 5 == 4) {
            value += u"c:\\PROGRAM FILES\\TOOL" + std::u16string(1, u'A' + (i / 5) % 26) + u"\\BIN";
        } else {
            std::u16string n;
            for (int k = i; k > 0; k /= 10) {
                n.insert(n.begin(), static_cast<char16_t>(u'0' + k % 10));
            }
            value += u"C:\\Program Files\\Tool" + n + u"\\bin";
        }
    }
    return value;
}

platform::IPlatform& machine()
{
    static std::unique_ptr<platform::IPlatform> instance = [] {
        if (platform::kEmulatedMachine && !platform::hostVariable("TALVOREN_PREFIX")) {
            const auto prefix = std::filesystem::temp_directory_path() / "talvoren-bench-prefix";
            test::setHostVariable("TALVOREN_PREFIX", prefix.string());
        }
        return platform::createPlatform();
    }();
    return *instance;
}

void BM_SplitValue(benchmark::State& state)
{
    const std::u16string value = makeValue(static_cast<int>(state.range(0)));
    std::vector<std::u16string> list;
    for (auto _ : state) {
        SplitValue(value, list);
        benchmark::DoNotOptimize(list.data());
    }
    state.SetComplexityN(state.range(0));
}

void BM_CleanupValue(benchmark::State& state)
{
    const std::u16string value = makeValue(static_cast<int>(state.range(0)));
    auto& locale = machine().locale();
    for (auto _ : state) {
        auto result = CleanupValue(value, locale);
        benchmark::DoNotOptimize(result.data());
    }
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(BM_SplitValue)->Arg(500)->Arg(5000)->Arg(50000)->Complexity(benchmark::oN);
BENCHMARK(BM_CleanupValue)->Arg(500)->Arg(5000)->Arg(50000)->Complexity(benchmark::oN);
