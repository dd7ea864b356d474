#include "tests/support/HostProcess.h"

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

namespace talvoren::test {

void setHostVariable(const std::string& name, const std::optional<std::string>& value)
{
    if (value) {
        setenv(name.c_str(), value->c_str(), 1);
    } else {
        unsetenv(name.c_str());
    }
}

ProcessResult runProcess(const std::string& commandLine)
{
    ProcessResult result;
    std::fflush(nullptr);
    FILE* pipe = popen(commandLine.c_str(), "r");
    if (!pipe) {
        return result;
    }
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.output.append(buffer, n);
    }
    const int status = pclose(pipe);
    if (status == -1) {
        result.exitCode = -1;
    } else if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else {
        result.exitCode = 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    }
    return result;
}

} // namespace talvoren::test
