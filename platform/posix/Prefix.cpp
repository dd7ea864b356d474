#include "platform/posix/Prefix.h"

#include "platform/posix/MachineLayout.h"
#include "platform/posix/PrefixSeeder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <random>
#include <stdexcept>
#include <unistd.h>

namespace talvoren::platform::posix {

namespace fs = std::filesystem;

namespace {
bool isEmptyFolder(const fs::path& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec) && fs::is_empty(path, ec);
}
} // namespace

fs::path TPrefix::location()
{
    if (const char* prefix = std::getenv("TALVOREN_PREFIX"); prefix && *prefix) {
        return fs::absolute(prefix);
    }
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data && data[0] == '/') {
        return fs::path(data) / "talvoren";
    }
    const char* home = std::getenv("HOME");
    std::string homeDir = home && *home ? home : "";
    if (homeDir.empty()) {
        if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
            homeDir = pw->pw_dir;
        }
    }
    if (homeDir.empty()) {
        throw std::runtime_error("No place for the emulated machine: set TALVOREN_PREFIX or HOME");
    }
    return fs::path(homeDir) / ".local" / "share" / "talvoren";
}

TPrefix::TPrefix(fs::path root)
    : fRoot(std::move(root))
{
}

fs::path TPrefix::machineHive() const
{
    return fRoot / layout::kMachineHiveFile;
}

fs::path TPrefix::driveC() const
{
    return fRoot / layout::kDriveC;
}

fs::path TPrefix::messagesLog() const
{
    return fRoot / layout::kMessagesLog;
}

void TPrefix::ensureSeeded() const
{
    std::error_code ec;
    if (fs::exists(machineHive(), ec)) {
        return;
    }
    if (fs::exists(fRoot, ec) && !isEmptyFolder(fRoot)) {
        throw std::runtime_error("The folder " + fRoot.string() + " is not an emulated Windows machine (it has no "
                                 + layout::kMachineHiveFile + "); choose another TALVOREN_PREFIX");
    }
    const fs::path parent = fRoot.parent_path();
    fs::create_directories(parent, ec);
    if (ec) {
        throw std::runtime_error("Cannot create the folder " + parent.string() + ": " + ec.message());
    }
    std::random_device random;
    const fs::path build = parent
        / ("." + fRoot.filename().string() + ".seed-" + std::to_string(getpid()) + "-" + std::to_string(random()));
    fs::create_directory(build, ec);
    if (ec) {
        throw std::runtime_error("Cannot create the folder " + build.string() + ": " + ec.message());
    }
    try {
        TPrefixSeeder(build).seed(TSeedFacts::fromHost());
    } catch (...) {
        fs::remove_all(build, ec);
        throw;
    }
    // rename() replaces nothing but an empty folder: of two processes
    // seeding at once, one wins and the other's prefix is thrown away.
    if (std::rename(build.c_str(), fRoot.c_str()) != 0) {
        const int renameError = errno;
        fs::remove_all(build, ec);
        if (!fs::exists(machineHive(), ec)) {
            throw std::runtime_error("Cannot create the emulated machine in " + fRoot.string() + ": "
                                     + std::strerror(renameError));
        }
    }
}

} // namespace talvoren::platform::posix
