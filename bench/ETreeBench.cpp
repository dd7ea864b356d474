// Validation and undo of both environment trees on the emulated machine:
// a typical machine (60 variables, a PATH of 80 elements with a few missing
// folders) and large ones (up to 2000 variables and 20000 elements with
// references between them). Verify runs five times a second on the
// interface thread, so its cost bounds how responsive the window stays.

#include "base/EnvStore.h"
#include "base/Text.h"
#include "bench/BenchMachine.h"
#include "edit/UndoStack.h"
#include "model/ETree.h"
#include "model/EffectiveEnvironment.h"
#include "platform/Platform.h"
#include "settings/Exclusions.h"
#include "tests/support/HostProcess.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>

namespace {

using namespace talvoren;
namespace fs = std::filesystem;

using bench::TBenchMachine;

TBenchMachine& Machine()
{
    static TBenchMachine machine;
    return machine;
}

std::u16string N(const std::string& text)
{
    return u16(text);
}

// Both trees as the window holds them: the user tree resolves against the
// system tree, both share one exclusion list, read-only variables included.
struct TTrees {
    TExclusions exclusions;
    TETree system{Machine().platform()};
    TETree user{Machine().platform()};

    TTrees()
    {
        system.SetExclusions(&exclusions);
        user.SetExclusions(&exclusions);
        user.SetResolvingTree(&system);
        system.LoadFromRegistry(platform::RootKey::LocalMachine, u"\\Nothing\\Here");
        user.LoadFromRegistry(platform::RootKey::CurrentUser, u"\\Nothing\\Here");
    }

    size_t Elements() const
    {
        return system.NodeCount() - system.VariableCount() + user.NodeCount() - user.VariableCount();
    }
};

std::unique_ptr<TTrees> TypicalTrees()
{
    auto trees = std::make_unique<TTrees>();
    for (int i = 0; i < 75; ++i) {
        Machine().MakeFolder("Program Files/App" + std::to_string(i) + "/bin");
    }
    Machine().MakeFolder("Windows/System32/Wbem");
    trees->system.AddVariable(u"SystemRoot", u"C:\\Windows", kDataTypeString, true);
    trees->system.AddVariable(u"ProgramFiles", u"C:\\Program Files", kDataTypeString, true);
    std::u16string path = u"%SystemRoot%\\system32;%SystemRoot%;%SystemRoot%\\System32\\Wbem";
    for (int i = 0; i < 77; ++i) {
        // Five of the folders do not exist.
        const std::string app = i % 16 == 15 ? "Gone" + std::to_string(i) : "App" + std::to_string(i % 75);
        path += (i % 2 ? u";%ProgramFiles%\\" : u";C:\\Program Files\\") + N(app) + u"\\bin";
    }
    trees->system.AddVariable(u"Path", path, kDataTypeExpandString, false);
    trees->system.AddVariable(u"PATHEXT", u".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC", kDataTypeString,
                              false);
    for (int i = 0; i < 28; ++i) {
        trees->system.AddVariable(N("SYS_VAR_" + std::to_string(i)), u"%SystemRoot%\\System32", kDataTypeExpandString,
                                  false);
    }
    trees->user.AddVariable(u"USERPROFILE", u"C:\\Users\\me", kDataTypeString, true);
    trees->user.AddVariable(u"Path", u"%USERPROFILE%\\AppData\\Local\\Microsoft\\WindowsApps;", kDataTypeExpandString,
                            false);
    trees->user.AddVariable(u"TEMP", u"%USERPROFILE%\\AppData\\Local\\Temp", kDataTypeExpandString, false);
    for (int i = 0; i < 25; ++i) {
        trees->user.AddVariable(N("USER_VAR_" + std::to_string(i)), N("value " + std::to_string(i)), kDataTypeString,
                                false);
    }
    Machine().Settle();
    return trees;
}

// `variables` in all, half per tree, ten elements per variable: a tenth of
// the variables name one base folder each, the rest are lists that refer to
// the bases of both trees, hold plain folders and a few missing ones. With
// `distinct` every element names a folder of its own (below a base), so no
// probe of a pass can be shared with another element.
std::unique_ptr<TTrees> LargeTrees(int variables, bool distinct = false)
{
    auto trees = std::make_unique<TTrees>();
    const int perTree = variables / 2;
    const int bases = perTree / 10;
    for (int t = 0; t < 2; ++t) {
        TETree& tree = t == 0 ? trees->system : trees->user;
        const std::string side = t == 0 ? "S" : "U";
        for (int b = 0; b < bases; ++b) {
            const std::string folder = "Data/" + side + std::to_string(b);
            Machine().MakeFolder(folder + "/bin");
            Machine().MakeFolder(folder + "/lib");
            tree.AddVariable(N("BASE_" + side + std::to_string(b)), N("C:\\Data\\" + side + std::to_string(b)),
                             kDataTypeString, false);
        }
        // The bases have one element each; the lists make up the rest.
        const int lists = perTree - bases;
        const int elementsPerList = (perTree * 10 - bases + lists - 1) / lists;
        for (int v = 0; v < lists; ++v) {
            std::u16string value;
            for (int e = 0; e < elementsPerList; ++e) {
                const int b = (v * 7 + e * 13) % bases;
                std::u16string element;
                const std::string own = side + std::to_string(v) + "_" + std::to_string(e);
                switch (e % 5) {
                case 0:
                case 1: {
                    const std::string refSide = e % 5 == 0 ? "S" : side;
                    const std::string ref = "%BASE_" + refSide + std::to_string(b) + "%";
                    const std::string sub = e % 5 == 0 ? "bin" : "lib";
                    if (distinct) {
                        Machine().MakeFolder("Data/" + refSide + std::to_string(b) + "/" + own);
                    }
                    element = N(ref + "\\" + (distinct ? own : sub));
                    break;
                }
                case 2:
                    if (distinct) {
                        Machine().MakeFolder("Data/" + side + std::to_string(b) + "/" + own);
                    }
                    element = N("C:\\Data\\" + side + std::to_string(b) + "\\" + (distinct ? own : "bin"));
                    break;
                case 3:
                    element = e % 10 == 3 && v % 10 == 0 ? N("C:\\Data\\missing" + std::to_string(v))
                                                         : N("%BASE_" + side + std::to_string(b) + "%");
                    break;
                default:
                    element = N("tool-option-" + std::to_string(e));
                    break;
                }
                value += (e ? u";" : u"") + element;
            }
            tree.AddVariable(N("LIST_" + side + std::to_string(v)), value, kDataTypeExpandString, false);
        }
    }
    Machine().Settle();
    return trees;
}

void BM_VerifyTypical(benchmark::State& state)
{
    auto trees = TypicalTrees();
    for (auto _ : state) {
        trees->system.Verify();
        trees->user.Verify();
    }
    state.counters["variables"] = static_cast<double>(trees->system.VariableCount() + trees->user.VariableCount());
    state.counters["elements"] = static_cast<double>(trees->Elements());
    state.counters["flagged"] = trees->system.IsValid(trees->system.FindVariable(u"Path")) ? 0 : 1;
}
BENCHMARK(BM_VerifyTypical)->Unit(benchmark::kMillisecond);

// What a new process gets, as the Effective tab builds it at each refresh.
void BM_EffectiveEnvironmentTypical(benchmark::State& state)
{
    auto trees = TypicalTrees();
    for (auto _ : state) {
        const TEffectiveEnvironment environment(trees->system, trees->user);
        benchmark::DoNotOptimize(environment.Variables().data());
    }
}
BENCHMARK(BM_EffectiveEnvironmentTypical)->Unit(benchmark::kMicrosecond);

// "Which program runs" over the typical Path: every folder probed for every
// extension of PATHEXT.
void BM_WhichProgramTypical(benchmark::State& state)
{
    auto trees = TypicalTrees();
    const TEffectiveEnvironment environment(trees->system, trees->user);
    auto& fs = Machine().platform().fileSystem();
    size_t hits = 0;
    for (auto _ : state) {
        hits = FindPrograms(environment, u"notthere", fs).size();
    }
    state.counters["folders"] = static_cast<double>(environment.PathElements().size());
    state.counters["hits"] = static_cast<double>(hits);
}
BENCHMARK(BM_WhichProgramTypical)->Unit(benchmark::kMillisecond);

// Verify of both large trees; the complexity fit is over their elements.
void VerifyLargeTrees(benchmark::State& state, bool distinct)
{
    auto trees = LargeTrees(static_cast<int>(state.range(0)), distinct);
    for (auto _ : state) {
        trees->system.Verify();
        trees->user.Verify();
    }
    const size_t elements = trees->Elements();
    state.SetComplexityN(static_cast<int64_t>(elements));
    state.counters["elements"] = static_cast<double>(elements);
}

void BM_VerifyLarge(benchmark::State& state)
{
    VerifyLargeTrees(state, false);
}
BENCHMARK(BM_VerifyLarge)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// The worst case for the emulated file system: every element its own folder.
void BM_VerifyLargeDistinct(benchmark::State& state)
{
    VerifyLargeTrees(state, true);
}
BENCHMARK(BM_VerifyLargeDistinct)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_PushLarge(benchmark::State& state)
{
    auto trees = LargeTrees(2000);
    TUndoStack stack;
    for (auto _ : state) {
        stack.Push(trees->system, trees->user);
        state.PauseTiming();
        stack.Clear(); // an unbounded history would measure the allocator
        state.ResumeTiming();
    }
    state.counters["elements"] = static_cast<double>(trees->Elements());
}
BENCHMARK(BM_PushLarge)->Unit(benchmark::kMillisecond);

void BM_UndoRedoLarge(benchmark::State& state)
{
    auto trees = LargeTrees(2000);
    TUndoStack stack;
    stack.Push(trees->system, trees->user);
    trees->user.SetVariableValue(trees->user.Variable(0), u"edited");
    for (auto _ : state) {
        stack.Undo();
        stack.Redo();
        stack.Redo();
    }
    state.counters["elements"] = static_cast<double>(trees->Elements());
}
BENCHMARK(BM_UndoRedoLarge)->Unit(benchmark::kMillisecond);

// The large trees written to the machine's two environment keys and loaded
// back, as the window holds them after start. Made once: filling the keys
// costs one transaction per value.
struct TStoredTrees {
    std::unique_ptr<TTrees> trees = LargeTrees(2000);

    TStoredTrees()
    {
        for (TETree* tree : {&trees->system, &trees->user}) {
            const Scope scope = tree == &trees->system ? SystemScope() : CurrentUserScope();
            auto store = OpenScopeForWriting(Machine().platform(), scope);
            for (const auto& name : store->GetValueNames()) {
                store->DeleteValue(name);
            }
            for (TENode* variable : tree->Variables()) {
                store->WriteExpandString(tree->GetVariableName(variable), tree->GetVariableValue(variable));
            }
            store->CloseKey();
            tree->LoadFromRegistry(scope);
        }
    }
};

TStoredTrees& StoredTrees()
{
    static TStoredTrees stored;
    return stored;
}

// The timer's poll of both watches while nothing changes.
void BM_WatchPollLarge(benchmark::State& state)
{
    TTrees& trees = *StoredTrees().trees;
    for (auto _ : state) {
        benchmark::DoNotOptimize(trees.system.PollRegistryChange());
        benchmark::DoNotOptimize(trees.user.PollRegistryChange());
    }
}
BENCHMARK(BM_WatchPollLarge)->Unit(benchmark::kMicrosecond);

// One poll after another program wrote a value of the user key: the key's
// values are read again to tell whether it was this key that changed.
void BM_WatchPollAfterChangeLarge(benchmark::State& state)
{
    TTrees& trees = *StoredTrees().trees;
    auto other = platform::createPlatform();
    TEnvStore store(other->registry(), platform::RootKey::CurrentUser);
    store.OpenKey(kUserEnvironmentKey, false);
    int n = 0;
    bool seen = true;
    for (auto _ : state) {
        state.PauseTiming();
        store.WriteString(u"BENCH_OUTSIDE", N(std::to_string(++n)));
        state.ResumeTiming();
        seen = seen && trees.user.PollRegistryChange();
    }
    store.DeleteValue(u"BENCH_OUTSIDE");
    trees.user.PollRegistryChange();
    state.counters["seen"] = seen ? 1 : 0;
}
BENCHMARK(BM_WatchPollAfterChangeLarge)->Unit(benchmark::kMicrosecond);

// The comparison of every variable with what was loaded, and the look-up of
// loaded variables the tree no longer holds: a save with nothing to write.
void BM_SaveCompareLarge(benchmark::State& state)
{
    TTrees& trees = *StoredTrees().trees;
    size_t planned = 0;
    for (auto _ : state) {
        planned += trees.system.PrepareSave() != nullptr;
        planned += trees.user.PrepareSave() != nullptr;
    }
    benchmark::DoNotOptimize(planned);
}
BENCHMARK(BM_SaveCompareLarge)->Unit(benchmark::kMillisecond);

// Save of both large trees as the window runs it, one variable edited in each.
void BM_SaveLarge(benchmark::State& state)
{
    TTrees& trees = *StoredTrees().trees;
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++n;
        for (TETree* tree : {&trees.system, &trees.user}) {
            TENode* variable = tree->Variable(static_cast<size_t>(n) % tree->VariableCount());
            tree->SetVariableValue(variable, tree->GetVariableValue(variable) + u";x");
        }
        state.ResumeTiming();
        trees.system.SaveToRegistry();
        trees.user.SaveToRegistry();
        trees.system.PollRegistryChange(); // the window drops its own change
        trees.user.PollRegistryChange();
    }
}
BENCHMARK(BM_SaveLarge)->Unit(benchmark::kMillisecond);

} // namespace
