#include "platform/posix/PosixShell.h"

#include "platform/CommandLineSplitter.h"
#include "platform/Utf.h"
#include "platform/posix/CaseFold.h"
#include "platform/posix/DriveMap.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

// explorer.exe, by name or path: the host's file manager stands in for it.
bool isExplorer(const std::u16string& file)
{
    const std::u16string name = foldUpper(file.substr(file.find_last_of(u"\\/") + 1));
    return name == u"EXPLORER.EXE" || name == u"EXPLORER";
}

std::u16string unquoted(std::u16string text)
{
    while (!text.empty() && text.front() == u' ') {
        text.erase(0, 1);
    }
    if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') {
        return text.substr(1, text.size() - 2);
    }
    return text;
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
    if ((action.empty() || action == u"OPEN") && isExplorer(file)) {
        return openInExplorer(parameters);
    }
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

bool TPosixShell::openInExplorer(const std::u16string& parameters)
{
    // "/select, "file"" shows the file in its folder; a file manager opened
    // on that folder is the nearest the host offers.
    std::u16string target = parameters;
    const bool select = foldUpper(target.substr(0, 8)) == u"/SELECT,";
    target = unquoted(select ? target.substr(8) : target);
    const auto resolved = fDrives.resolve(target);
    const std::string opener = findInPath("xdg-open");
    if (!resolved || opener.empty()) {
        return false;
    }
    const std::string folder = select ? std::filesystem::path(resolved->host).parent_path().string() : resolved->host;
    return spawnDetached({opener, folder});
}

void TPosixShell::messageBox(const std::u16string& title, const std::u16string& text)
{
    std::fprintf(stderr, "%s\n%s\n", toUtf8(title).c_str(), toUtf8(text).c_str());
    std::fflush(stderr);
}

} // namespace talvoren::platform::posix
