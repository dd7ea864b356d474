#pragma once

// The user's preferences for the whole program, kept in one of three places
// decided once by Load: the registry ("Software\Talvoren" under
// HKEY_CURRENT_USER), an INI file beside the executable (USB mode), or such a
// file with the read-only attribute (CD mode: read, never written).

#include "settings/Exclusions.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace talvoren {

namespace platform {
class IPlatform;
}

class TEnvStore;
class TIniFile;

// Where the bytes of a settings file live. The program reaches the file by
// its Windows path; tests give an in-memory store.
class IIniFileStore {
public:
    virtual ~IIniFileStore() = default;

    // The whole content, or nothing when the file cannot be read.
    virtual std::optional<std::vector<uint8_t>> ReadAll(const std::u16string& path) = 0;

    // Replaces the content; false when it cannot be written.
    virtual bool WriteAll(const std::u16string& path, const std::vector<uint8_t>& bytes) = 0;
};

// The layout of the main window's toolbars and panels: one group of named
// values per component, stored as INI section "Toolbars_<name>" or as the
// registry subkey <name> of the settings key. The window decides the values.
class TToolbarLayout {
public:
    using Value = std::variant<int32_t, std::u16string>;
    struct Entry {
        std::u16string name;
        Value value;
    };
    struct Group {
        std::u16string name;
        std::vector<Entry> entries;
    };

    void SetInteger(const std::u16string& group, const std::u16string& name, int32_t value);
    void SetString(const std::u16string& group, const std::u16string& name, const std::u16string& value);

    // A stored text that reads as a number counts as one, and the reverse.
    std::optional<int32_t> Integer(const std::u16string& group, const std::u16string& name) const;
    std::optional<std::u16string> String(const std::u16string& group, const std::u16string& name) const;

    const std::vector<Group>& Groups() const { return fGroups; }
    void Clear() { fGroups.clear(); }

private:
    void Set(const std::u16string& group, const std::u16string& name, Value value);
    const Entry* Find(const std::u16string& group, const std::u16string& name) const;

    std::vector<Group> fGroups;
};

class TOptions {
public:
    // Touches no storage; Load decides the mode.
    TOptions(platform::IPlatform& platform, IIniFileStore& files);
    ~TOptions();

    TOptions(const TOptions&) = delete;
    TOptions& operator=(const TOptions&) = delete;

    // Decides the mode and reads every setting, the exclusions and the
    // toolbar layout. Unreadable values take their defaults; never throws.
    void Load();

    // Writes everything to the place Load chose; nothing in CD mode. A
    // failure raises TError.
    void Save();

    TExclusions& GetExclusions() { return *exclusions; }
    TToolbarLayout& toolbarLayout() { return fLayout; }

    bool isUSB() const { return fUSB; }
    bool isCD() const { return fCD; }
    // The settings file or key exists but could not be read (too large,
    // locked, no rights): the defaults are in use, and Save writes nothing,
    // so that what is stored is never replaced by them.
    bool isUnreadable() const { return fUnreadable; }
    const std::u16string& language() const { return fLanguage; }
    void setLanguage(const std::u16string& value) { fLanguage = value; }

    // The settings file of the running executable: its path with the
    // extension replaced by ".ini".
    std::u16string IniFilePath() const;

    bool onExitConfirmation = false;
    bool onDeleteConfirmation = false;
    bool isAnimation = true;
    bool checkForUpdates = true;
    bool showInformation = true;
    bool showReadonly = true;
    // Every save first shows what it will write, and asks there about values
    // another program changed; off, those are asked one by one.
    bool reviewBeforeSave = true;
    std::u16string skin = u"Default";
    int32_t left = -1;
    int32_t top = -1;
    int32_t width = -1;
    int32_t height = -1;
    bool isMaximized = false;
    int32_t id = 0;

    // Reads one stored value by the rules of the mode (defined in the source).
    class TReader;

private:
    void LoadValues(TReader& reader);
    void LoadExclusions(const std::vector<std::u16string>& names, TReader& reader);
    void LoadLayoutFromIni(const TIniFile& ini);
    void LoadLayoutFromRegistry();
    void SaveToIni();
    void SaveToRegistry();

    // What the registry holds of the exclusions, as Load read it and Save
    // last wrote it: the stored spelling and flags per name. Save writes
    // only what differs from it.
    struct TStoredExclusion {
        std::u16string name;
        uint8_t flags = 0;
    };
    using TStoredExclusions
        = std::unordered_map<std::u16string, TStoredExclusion, TExclusionsComparer::Hash, TExclusionsComparer::Equal>;
    struct TExclusionChanges {
        std::vector<std::u16string> gone; // deleted values
        std::vector<std::pair<std::u16string, uint8_t>> written;
    };
    // Writes the exclusions that differ from the record; the record follows
    // once the whole save has gone through.
    TExclusionChanges SaveExclusionsToRegistry();

    platform::IPlatform& fPlatform;
    IIniFileStore& fFiles;
    TStoredExclusions fStored;
    bool fExclusionsChanged = false; // since the load or the last save
    bool fUnreadable = false;
    std::unique_ptr<TExclusions> exclusions;
    std::unique_ptr<TEnvStore> fReg;
    std::u16string fLanguage = u"English";
    TToolbarLayout fLayout;
    bool fUSB = false;
    bool fCD = false;
};

// The program-wide options of this run; null before the main window made
// them and after it freed them.
TOptions* GlobalOptions();
void SetGlobalOptions(TOptions* options);

// Seconds from 1970-01-01 00:00 to `now` in local time (not UTC), rounded to
// the nearest second: the default installation id.
int32_t LocalSecondsSince1970(std::chrono::system_clock::time_point now);

// The path with its extension (after the last "." of the last component)
// replaced by `extension`, or `extension` appended when there is none.
std::u16string ChangeFileExt(const std::u16string& path, const std::u16string& extension);

extern const char16_t kSettingsKey[]; // "Software\Talvoren" under HKEY_CURRENT_USER

} // namespace talvoren
