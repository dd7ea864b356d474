// The inspector's refresh on the large trees (2000 variables, ten elements
// each): what one timer tick costs for the focused node, and that a node
// that stays as it is sends the grid nothing and gets no repaint, while a
// node that changes on every tick is repainted every time.

#include "model/ETree.h"
#include "platform/Platform.h"
#include "tests/support/HostProcess.h"
#include "ui/Inspector.h"

#include <QApplication>
#include <QEvent>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <random>
#include <string>

namespace {

using namespace talvoren;
namespace fs = std::filesystem;

constexpr int kVariablesPerTree = 1000;
constexpr int kElements = 10;

std::u16string N(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

// Counts the paints of a widget.
class TPaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// Both trees on an emulated machine, the user tree resolving against the
// system tree; a tenth of the elements name folders that do not exist.
struct TBench {
    fs::path prefix;
    std::unique_ptr<platform::IPlatform> machine;
    std::unique_ptr<TETree> system;
    std::unique_ptr<TETree> user;
    TInspector inspector;
    TInspectorGrid grid{{[this](int row, int col) { return inspector.Cells(row, col); },
                         [this](int row, int col) {
                             return col == 1 ? inspector.Image(row) : -1;
                         }}};
    TPaintCounter paints;
    int gridSignals = 0;

    TBench()
    {
        prefix = fs::temp_directory_path() / ("talvoren-bench-insp-" + std::to_string(std::random_device{}()));
        test::setHostVariable("TALVOREN_PREFIX", prefix.string());
        machine = platform::createPlatform();
        system = std::make_unique<TETree>(*machine);
        user = std::make_unique<TETree>(*machine);
        user->SetResolvingTree(system.get());
        for (int t = 0; t < 2; ++t) {
            TETree& tree = t ? *user : *system;
            const std::string side = t ? "U" : "S";
            for (int v = 0; v < kVariablesPerTree; ++v) {
                std::u16string value;
                for (int e = 0; e < kElements; ++e) {
                    const std::string folder = "Data\\" + side + std::to_string(v % 50) + "\\" + std::to_string(e);
                    fs::create_directories(prefix / "drive_c" / "Data" / (side + std::to_string(v % 50))
                                           / std::to_string(e));
                    std::string element = e == 3 ? "C:\\missing\\" + std::to_string(v)
                        : e % 2                  ? "%BASE_S%\\" + folder
                                                 : "C:\\" + folder;
                    value += (e ? u";" : u"") + N(element);
                }
                tree.AddVariable(N("LIST_" + side + std::to_string(v)), value, kDataTypeExpandString, false);
            }
        }
        system->AddVariable(u"BASE_S", u"C:", kDataTypeString, false);
        system->Verify();
        user->Verify();
        inspector.SetGrid(&grid);
        grid.resize(800, 200);
        grid.show();
        grid.viewport()->installEventFilter(&paints);
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
            QObject::connect(&grid.gridModel(), signal, [this] { ++gridSignals; });
        }
        QObject::connect(&grid.gridModel(), &QAbstractItemModel::dataChanged, [this] { ++gridSignals; });
    }
    ~TBench()
    {
        grid.hide();
        user.reset();
        system.reset();
        machine.reset();
        std::error_code ec;
        fs::remove_all(prefix, ec);
    }

    // One tick's refresh, with the paints it causes.
    void Refresh()
    {
        RefreshInspector(inspector, user.get(), true);
        QCoreApplication::processEvents();
    }
};

TBench& Bench()
{
    static TBench bench;
    return bench;
}

// The nodes that the benchmarks focus: a variable with an error (its
// expanded value is long), and an element whose path forms are looked up.
TENode* FocusedNode(int which)
{
    TETree& tree = *Bench().user;
    TENode* variable = tree.FindVariable(u"LIST_U500");
    return which == 0 ? variable : variable->Child(2);
}

void Report(benchmark::State& state, int paints, int sent)
{
    state.counters["paints/tick"] = benchmark::Counter(paints, benchmark::Counter::kAvgIterations);
    state.counters["gridSignals/tick"] = benchmark::Counter(sent, benchmark::Counter::kAvgIterations);
    state.counters["rows"] = Bench().inspector.RowCount();
}

// The same focused node tick after tick: no signal to the grid, no paint.
void BM_RefreshUnchanged(benchmark::State& state)
{
    TBench& b = Bench();
    TENode* node = FocusedNode(static_cast<int>(state.range(0)));
    b.user->ActivateNode(node);
    b.Refresh();
    b.Refresh();
    const int paints = b.paints.paints;
    const int sent = b.gridSignals;
    for (auto _ : state) {
        b.Refresh();
    }
    Report(state, b.paints.paints - paints, b.gridSignals - sent);
}
BENCHMARK(BM_RefreshUnchanged)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The focus moving between two variables on every tick: every tick
// repaints, for comparison.
void BM_RefreshChanging(benchmark::State& state)
{
    TBench& b = Bench();
    TETree& tree = *b.user;
    TENode* nodes[2] = {tree.FindVariable(u"LIST_U500"), tree.FindVariable(u"LIST_U501")};
    const int paints = b.paints.paints;
    const int sent = b.gridSignals;
    int n = 0;
    for (auto _ : state) {
        tree.ActivateNode(nodes[++n % 2]);
        b.Refresh();
    }
    Report(state, b.paints.paints - paints, b.gridSignals - sent);
}
BENCHMARK(BM_RefreshChanging)->Unit(benchmark::kMicrosecond);

// A whole tick of the window: both trees verified, then the refresh.
void BM_TickLarge(benchmark::State& state)
{
    TBench& b = Bench();
    TENode* node = FocusedNode(0);
    b.user->ActivateNode(node);
    b.Refresh();
    const int paints = b.paints.paints;
    const int sent = b.gridSignals;
    for (auto _ : state) {
        b.system->Verify();
        b.user->Verify();
        b.Refresh();
    }
    Report(state, b.paints.paints - paints, b.gridSignals - sent);
    state.counters["variables"] = double(b.system->VariableCount() + b.user->VariableCount());
}
BENCHMARK(BM_TickLarge)->Unit(benchmark::kMillisecond);

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
