// The review a save shows first, for a save of 2000 changed variables of ten
// elements each (elements moved, added and removed, a tenth retyped, every
// hundredth changed by another program as well): the time from the save
// command to the dialog on screen, that is working out the review against
// the registry, building the dialog and its first paint. It must stay well
// under 100 ms.

#include "base/EnvStore.h"
#include "bench/BenchMachine.h"
#include "model/ETree.h"
#include "model/SaveReview.h"
#include "platform/Platform.h"
#include "ui/dialogs/FormSaveReview.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <string>

namespace {

using namespace talvoren;
using bench::TBenchMachine;

constexpr int kVariables = 2000;
constexpr int kElements = 10;

std::u16string N(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

std::u16string ListValue(int variable, bool edited)
{
    std::u16string value;
    for (int e = 0; e < kElements; ++e) {
        // Edited: the order reversed, one element gone and a new one.
        const int index = edited ? kElements - 1 - e : e;
        if (edited && index == 4) {
            continue;
        }
        value += (value.empty() ? u"" : u";")
            + N("C:\\Data\\V" + std::to_string(variable) + "\\" + std::to_string(index));
    }
    return edited ? value + u";C:\\New\\" + N(std::to_string(variable)) : value;
}

struct TBench {
    TBenchMachine machine;
    TETree tree{machine.platform()};

    TBench()
    {
        auto store = OpenScopeForWriting(machine.platform(), CurrentUserScope());
        for (int v = 0; v < kVariables; ++v) {
            store->WriteString(N("LIST_" + std::to_string(v)), ListValue(v, false));
        }
        tree.LoadFromRegistry(CurrentUserScope());
        for (int v = 0; v < kVariables; ++v) {
            TENode* variable = tree.FindVariable(N("LIST_" + std::to_string(v)));
            tree.SetVariableValue(variable, ListValue(v, true));
            if (v % 10 == 0) {
                tree.SetVariableType(variable, kDataTypeExpandString);
            }
            if (v % 100 == 0) {
                store->WriteString(N("LIST_" + std::to_string(v)), u"changed outside");
            }
        }
    }
};

TBench& Bench()
{
    static TBench bench;
    return bench;
}

void BM_OpenReview(benchmark::State& state)
{
    TBench& b = Bench();
    size_t rows = 0;
    size_t conflicts = 0;
    for (auto _ : state) {
        TSaveReview none;
        TSaveReview user = ReviewSave(b.tree);
        TfrmSaveReview form(none, user);
        form.show();
        QCoreApplication::processEvents(); // the first paint
        rows = user.entries.size();
        conflicts = user.ConflictCount();
    }
    state.counters["variables"] = double(rows);
    state.counters["conflicts"] = double(conflicts);
}
BENCHMARK(BM_OpenReview)->Unit(benchmark::kMillisecond);

// The review alone, without the window.
void BM_ComputeReview(benchmark::State& state)
{
    TBench& b = Bench();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReviewSave(b.tree));
    }
}
BENCHMARK(BM_ComputeReview)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
