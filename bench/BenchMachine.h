#pragma once

// A throwaway emulated machine for a benchmark run, in a temporary prefix
// that is removed at the end.

#include "platform/Platform.h"
#include "tests/support/HostProcess.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>

namespace talvoren::bench {

namespace fs = std::filesystem;

class TBenchMachine {
public:
    TBenchMachine()
    {
        fPrefix = fs::temp_directory_path() / ("talvoren-bench-" + std::to_string(std::random_device{}()));
        test::setHostVariable("TALVOREN_PREFIX", fPrefix.string());
        fPlatform = platform::createPlatform();
    }
    ~TBenchMachine()
    {
        fPlatform.reset();
        std::error_code ec;
        fs::remove_all(fPrefix, ec);
    }

    platform::IPlatform& platform() { return *fPlatform; }
    void MakeFolder(const std::string& relative)
    {
        if (fs::create_directories(fPrefix / "drive_c" / relative)) {
            fLastChange = std::chrono::system_clock::now();
        }
    }

    // The folders of a real machine were made long before the window opens;
    // a folder changed moments ago is read afresh on every look-up.
    void Settle() { std::this_thread::sleep_until(fLastChange + std::chrono::milliseconds(3100)); }

private:
    fs::path fPrefix;
    std::chrono::system_clock::time_point fLastChange{};
    std::unique_ptr<platform::IPlatform> fPlatform;
};

} // namespace talvoren::bench
