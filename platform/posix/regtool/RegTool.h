#pragma once

// The emulated machine's "reg" command: query, add and delete keys and
// values with the syntax and the output of Windows' reg.exe, so scripts and
// tests can inspect and prepare a prefix's registry from the shell.

#include "platform/Platform.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace talvoren::platform::posix {

class TRegTool {
public:
    // Asked before a value is overwritten or something is deleted without
    // /f; true means go ahead.
    using TConfirm = std::function<bool(const std::string& question)>;

    TRegTool(IRegistry& registry, std::ostream& out, std::ostream& err, TConfirm confirm);

    // Runs one command line (without the program name); the exit code: 0
    // on success, 1 on failure.
    int run(const std::vector<std::u16string>& args);

private:
    struct TKeyName {
        RootKey root = RootKey::LocalMachine;
        std::u16string path; // below the root, without leading or trailing "\"
        std::u16string display; // HKEY_... long form, as reg.exe shows it
    };

    int query(const std::vector<std::u16string>& args);
    int add(const std::vector<std::u16string>& args);
    int remove(const std::vector<std::u16string>& args);

    bool parseKey(const std::u16string& text, TKeyName& key);
    void printValue(IRegistryKey& key, const std::u16string& name);
    void queryTree(IRegistryKey& key, const TKeyName& name, bool recurse, bool nested);
    uint32_t deleteTree(const TKeyName& name);
    int fail(const std::string& message);
    int failCode(uint32_t code);
    int syntax(const char* command);

    IRegistry& fRegistry;
    std::ostream& fOut;
    std::ostream& fErr;
    TConfirm fConfirm;
};

// Data as reg.exe shows it: strings up to the first null, multi-strings
// joined by "\0", numbers in hex (0x...), anything else as hex bytes.
std::u16string formatRegData(const RegValue& value);
std::u16string regTypeName(uint32_t type);

} // namespace talvoren::platform::posix
