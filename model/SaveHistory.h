#pragma once

// The save history: before anything is written to an environment key, the
// values about to change are kept as they were, one registry script per
// write, so that every save and every command-line change can be taken
// back, by Talvoren or by Windows' own regedit.

#include "base/EnvStore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace talvoren {

struct TRegFileContent;
struct TRegFileError;

// One value as it was before a write: absent for one the write creates.
struct THistoryValue {
    std::u16string name;
    std::optional<platform::RegValue> before;
};

enum class THistorySource { Window, CommandLine };

// One entry as its file tells it.
struct THistoryEntry {
    std::u16string file; // full path
    std::u16string time; // "yyyy-mm-dd hh:mm:ss", local time
    bool system = false;
    std::u16string user; // who wrote it
    bool window = false; // else the command line
    std::vector<std::u16string> names;
};

class TSaveHistory {
public:
    explicit TSaveHistory(platform::IPlatform& platform);

    // %LOCALAPPDATA%\Talvoren\History\, or in portable mode (a settings
    // file beside the executable) a History folder beside it; with the
    // trailing "\".
    const std::u16string& Folder() const { return fFolder; }

    // Writes one entry holding `before` for `scope`, flushed to the disk,
    // and prunes the oldest beyond kKeep. Nothing for an empty list. Raises
    // TError, saying why, when the entry cannot be written: the caller then
    // writes nothing.
    void Record(const Scope& scope, const std::vector<THistoryValue>& before, THistorySource source);

    // The entries, newest first; a file that cannot be read is left out.
    std::vector<THistoryEntry> List();

    // The entry's values as a script states them.
    bool Read(const THistoryEntry& entry, TRegFileContent& content, TRegFileError& error);

    static constexpr size_t kKeep = 200;

private:
    std::vector<std::u16string> Files(); // oldest first
    bool MakeFolder();

    platform::IPlatform& fPlatform;
    std::u16string fFolder;
};

// The stored state of `names` in `scope` now, for Record.
std::vector<THistoryValue> ReadBeforeState(platform::IRegistry& registry, const Scope& scope,
                                           const std::vector<std::u16string>& names);

// The scope a script's key names: the current user's or the system's
// environment key; nothing for any other key.
std::optional<Scope> ScopeOfRegPath(const std::u16string& path);

} // namespace talvoren
