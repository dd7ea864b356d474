#pragma once

// Running other commands and changing the host's own environment block, for
// the suites that drive the real executables (talvoren, talvoren-reg, reg,
// regedit) as a user or a script would.

#include <optional>
#include <string>

namespace talvoren::test {

// Sets or (nullopt) removes one of the host's environment variables.
void setHostVariable(const std::string& name, const std::optional<std::string>& value);

struct ProcessResult {
    int exitCode = -1; // -1 when the command could not be started
    std::string output; // standard output, as bytes
};

// Runs a command line through the system's command interpreter (/bin/sh or
// cmd.exe) and collects its standard output.
ProcessResult runProcess(const std::string& commandLine);

} // namespace talvoren::test
