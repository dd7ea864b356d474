#include "platform/posix/PosixShell.h"

#include "platform/CommandLineSplitter.h"
#include "platform/Utf.h"
#include "platform/posix/CaseFold.h"
#include "platform/posix/DriveMap.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace talvoren::platform::posix {

namespace {
std::string findInPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = dirs.substr(start, end - start);
        if (!dir.empty()) {
            const std::string candidate = dir + "/" + program;
            if (::access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        start = end + 1;
    }
    return {};
}

// Starts `args` detached (a grandchild that init adopts), so no zombie is
// left behind and the caller does not wait for the program.
bool spawnDetached(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        setsid();
        if (fork() == 0) {
            execv(argv[0], argv.data());
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
} // namespace

TPosixShell::TPosixShell(const TDriveMap& drives)
    : fDrives(drives)
{
}

bool TPosixShell::execute(const std::u16string& verb, const std::u16string& file, const std::u16string& parameters,
                          uintptr_t ownerWindow)
{
    const std::u16string action = foldUpper(verb);
    const auto resolved = fDrives.resolve(file);
    if (action.empty() || action == u"OPEN") {
        const std::string opener = findInPath("xdg-open");
        if (opener.empty()) {
            return false;
        }
        // A Windows path is opened as the host file; anything else (an
        // address) is handed over as it is.
        return spawnDetached({opener, resolved ? resolved->host : toUtf8(file)});
    }
    if (action == u"RUNAS") {
        const std::string elevator = findInPath("pkexec");
        if (elevator.empty() || !resolved) {
            return false;
        }
        std::vector<std::string> args{elevator, resolved->host};
        auto split = splitCommandLine(u"x " + parameters);
        for (size_t i = 1; i < split.size(); ++i) {
            args.push_back(toUtf8(split[i]));
        }
        return spawnDetached(args);
    }
    return false;
}

void TPosixShell::messageBox(const std::u16string& title, const std::u16string& text)
{
    std::fprintf(stderr, "%s\n%s\n", toUtf8(title).c_str(), toUtf8(text).c_str());
    std::fflush(stderr);
}

} // namespace talvoren::platform::posix
