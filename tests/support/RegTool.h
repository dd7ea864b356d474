#pragma once

// Drives the machine's reg command (reg.exe on Windows, talvoren-reg on the
// emulated machine) the way a user's script would, to seed and read values.

#include <optional>
#include <string>

namespace talvoren::test {

struct RegEntry {
    std::string type; // "REG_SZ", "REG_EXPAND_SZ", ...
    std::string data; // as reg query prints it
};

class RegTool {
public:
    explicit RegTool(std::string command);

    // reg add KEY /v NAME /t TYPE /d DATA /f; returns the exit code.
    int add(const std::string& key, const std::string& name, const std::string& type, const std::string& data);

    // reg query KEY /v NAME; nothing when the value does not exist.
    std::optional<RegEntry> query(const std::string& key, const std::string& name);

    // reg delete KEY /v NAME /f; returns the exit code.
    int remove(const std::string& key, const std::string& name);

private:
    std::string fCommand;
};

} // namespace talvoren::test
