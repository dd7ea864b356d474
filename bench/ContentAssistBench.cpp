// Path completion in a folder of 10 000 entries on the emulated machine: the
// listing of the core (one folder, sorted) and the popup refill that a
// keystroke costs in the window. The listing runs on the interface thread on
// every keystroke that updates the completion, so both bound how responsive
// typing stays.

#include "edit/ContentAssist.h"
#include "platform/Platform.h"
#include "tests/support/HostProcess.h"
#include "ui/ContentAssistPopup.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace {

using namespace talvoren;
namespace fs = std::filesystem;

constexpr int kEntries = 10000;

class TBigFolder {
public:
    TBigFolder()
    {
        fPrefix = fs::temp_directory_path() / ("talvoren-bench-ca-" + std::to_string(std::random_device{}()));
        test::setHostVariable("TALVOREN_PREFIX", fPrefix.string());
        fPlatform = platform::createPlatform();
        const fs::path big = fPrefix / "drive_c" / "big";
        fs::create_directories(big);
        for (int i = 0; i < kEntries; ++i) {
            // Mixed case, files and folders, in no sorted order.
            const int n = (i * 7919) % kEntries;
            const std::string name = (n % 3 ? "file" : "Folder") + std::to_string(n);
            if (n % 3) {
                std::ofstream(big / (name + ".txt")) << "x";
            } else {
                fs::create_directory(big / name);
            }
        }
        // A folder changed moments ago is read afresh on every look-up; the
        // folders a user completes in were made long before.
        std::this_thread::sleep_for(std::chrono::milliseconds(3100));
    }
    ~TBigFolder()
    {
        fPlatform.reset();
        std::error_code ec;
        fs::remove_all(fPrefix, ec);
    }
    platform::IPlatform& platform() { return *fPlatform; }

private:
    fs::path fPrefix;
    std::unique_ptr<platform::IPlatform> fPlatform;
};

TBigFolder& Folder()
{
    static TBigFolder folder;
    return folder;
}

// The typed text: the whole folder, one in ten entries, one entry.
const char16_t* const kTyped[] = {u"C:\\big\\", u"C:\\big\\file1", u"C:\\big\\Folder9999"};

void BM_ListPathEntries(benchmark::State& state)
{
    platform::IPlatform& p = Folder().platform();
    const std::u16string typed = kTyped[state.range(0)];
    size_t rows = 0;
    for (auto _ : state) {
        rows = ListPathEntries(p.fileSystem(), p.locale(), typed).size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_ListPathEntries)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

class TNoVariables : public IVariablesGetter {
public:
    std::vector<std::u16string> GetVariablesStartedWith(const std::u16string&) override { return {}; }
    std::vector<std::u16string> GetResolvedVariablesStartedWith(const std::u16string&) override { return {}; }
};

// A keystroke in the editor: list the folder and refill the popup's list.
void BM_PopupRefill(benchmark::State& state)
{
    platform::IPlatform& p = Folder().platform();
    TNoVariables none;
    QLineEdit edit;
    edit.setText(QString::fromStdU16String(kTyped[state.range(0)]));
    edit.setCursorPosition(int(edit.text().size()));
    TContentAssist assist(p, none, &edit);
    for (auto _ : state) {
        assist.Initialize(1, TContentAssistType::Path);
        assist.UpdatePopup();
        QCoreApplication::processEvents();
    }
    state.counters["rows"] = double(assist.list()->count());
}
BENCHMARK(BM_PopupRefill)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

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
