#pragma once

// Facts and services of the host process itself, below the emulated or real
// Windows machine: its own environment block (where TALVOREN_PREFIX lives),
// and running other commands. Tests and companion tools use these; the
// program's own logic reads the machine through Platform.h.

#include <optional>
#include <string>

namespace talvoren::platform {

// True when this build runs on the emulated machine (the posix backend).
extern const bool kEmulatedMachine;

// The host's own environment variables, as bytes (UTF-8 on Linux).
std::optional<std::string> hostVariable(const std::string& name);
void setHostVariable(const std::string& name, const std::optional<std::string>& value);

struct ProcessResult {
    int exitCode = -1; // -1 when the command could not be started
    std::string output; // standard output, as bytes
};

// Runs a command line through the system's command interpreter (/bin/sh or
// cmd.exe) and collects its standard output.
ProcessResult runProcess(const std::string& commandLine);

} // namespace talvoren::platform
