#include "platform/posix/PosixSystem.h"

#include "platform/StandardError.h"
#include "platform/Utf.h"
#include "platform/posix/DriveMap.h"

#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace talvoren::platform::posix {

TPosixSystem::TPosixSystem(std::filesystem::path messagesLog, const TDriveMap& drives)
    : fMessagesLog(std::move(messagesLog))
    , fDrives(drives)
{
}

uintptr_t TPosixSystem::broadcastSettingChange(const std::u16string& area, uint32_t flags, uint32_t timeoutMs)
{
    char stamp[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    const std::string line = std::string(stamp) + " WM_SETTINGCHANGE " + toUtf8(area)
        + " flags=" + std::to_string(flags) + " timeout=" + std::to_string(timeoutMs) + "\n";
    // One write() on an O_APPEND file: lines of concurrent processes never mix.
    const int fd = ::open(fMessagesLog.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return 0;
    }
    const ssize_t written = ::write(fd, line.data(), line.size());
    ::close(fd);
    return written == static_cast<ssize_t>(line.size()) ? 1 : 0;
}

bool TPosixSystem::isWow64Process(uint32_t* lastError)
{
    return false;
}

std::u16string TPosixSystem::executablePath()
{
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return {};
    }
    return fDrives.toWindows(self);
}

std::vector<uint16_t> TPosixSystem::executableVersion()
{
    return {TALVOREN_VERSION_MAJOR, TALVOREN_VERSION_MINOR, TALVOREN_VERSION_PATCH, TALVOREN_VERSION_TWEAK};
}

std::vector<std::u16string> TPosixSystem::arguments(int argc, char** argv)
{
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) {
        // Bytes that are not UTF-8 stay detectable, so that the command
        // line refuses them instead of naming some other variable.
        args.push_back(fromUtf8KeepingInvalid(argv[i]));
    }
    return args;
}

namespace {

bool writeAll(int fd, const std::u16string& text)
{
    const std::string bytes = toUtf8(text);
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0) {
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

bool TPosixSystem::writeOutput(const std::u16string& text)
{
    return writeAll(STDOUT_FILENO, text);
}

} // namespace talvoren::platform::posix

namespace talvoren::platform {

bool writeStandardError(const std::u16string& text)
{
    return posix::writeAll(STDERR_FILENO, text);
}

} // namespace talvoren::platform
