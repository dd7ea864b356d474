#pragma once

// Facts of the host process itself, below the emulated or real Windows
// machine: which of the two this build runs on, and the host's own
// environment block (where TALVOREN_PREFIX and the display live). The
// program's own logic reads the machine through Platform.h.

#include <optional>
#include <string>

namespace talvoren::platform {

// True when this build runs on the emulated machine (the posix backend).
extern const bool kEmulatedMachine;

// The host's own environment variables, as bytes (UTF-8 on Linux).
std::optional<std::string> hostVariable(const std::string& name);

} // namespace talvoren::platform
