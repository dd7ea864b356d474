#include "settings/Options.h"

#include "base/EnvStore.h"
#include "base/Error.h"
#include "base/Text.h"
#include "base/Translation.h"
#include "platform/Platform.h"
#include "settings/IniFile.h"

#include <cmath>
#include <ctime>

namespace talvoren {

const char16_t kSettingsKey[] = u"Software\\Talvoren";

namespace {

const char16_t kSection[] = u"Talvoren";
const char16_t kExclusionsSection[] = u"Exclusions";
const char16_t kExclusionsKey[] = u"Software\\Talvoren\\Exclusions";
const char16_t kToolbarPrefix[] = u"Toolbars_";

TOptions* gOptions = nullptr;

// Days from 1970-01-01 to a civil date (proleptic Gregorian calendar).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

uint8_t exclusionFlags(const TExclusion& entry)
{
    return (entry.isSplit() ? 0 : 1) | (entry.isCheck() ? 0 : 2);
}

// Writes a value only when the key does not hold it already, so that a save
// of unchanged settings changes nothing in the store.
void writeIfChanged(TEnvStore& store, const std::u16string& name, int32_t value)
{
    try {
        if (store.GetDataType(name) == platform::regtype::kDword && store.ReadInteger(name) == value) {
            return;
        }
    } catch (const std::exception&) {
        // unreadable: written anew
    }
    store.WriteInteger(name, value);
}

void writeIfChanged(TEnvStore& store, const std::u16string& name, const std::u16string& value)
{
    try {
        if (store.GetDataType(name) == platform::regtype::kSz && store.ReadString(name) == value) {
            return;
        }
    } catch (const std::exception&) {
        // unreadable: written anew
    }
    store.WriteString(name, value);
}

} // namespace

TOptions* GlobalOptions()
{
    return gOptions;
}

void SetGlobalOptions(TOptions* options)
{
    gOptions = options;
}

int32_t LocalSecondsSince1970(std::chrono::system_clock::time_point now)
{
    using namespace std::chrono;
    const auto sinceEpoch = now.time_since_epoch();
    const auto wholeSeconds = duration_cast<seconds>(sinceEpoch);
    auto millis = duration_cast<milliseconds>(sinceEpoch - wholeSeconds).count();
    std::time_t t = static_cast<std::time_t>(wholeSeconds.count());
    if (millis < 0) {
        --t;
        millis += 1000;
    }
    const std::tm* local = std::localtime(&t);
    if (!local) {
        return static_cast<int32_t>(t);
    }
    int64_t secs = daysFromCivil(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday) * 86400
        + local->tm_hour * 3600 + local->tm_min * 60 + local->tm_sec;
    // Nearest second, halves to even, as the date arithmetic it mirrors.
    if (millis > 500 || (millis == 500 && (secs & 1))) {
        ++secs;
    }
    return static_cast<int32_t>(secs);
}

std::u16string ChangeFileExt(const std::u16string& path, const std::u16string& extension)
{
    const size_t dot = path.find_last_of(u".\\:/");
    if (dot != std::u16string::npos && path[dot] == u'.') {
        return path.substr(0, dot) + extension;
    }
    return path + extension;
}

// ---------------------------------------------------------------------------
// Toolbar layout

void TToolbarLayout::Set(const std::u16string& group, const std::u16string& name, Value value)
{
    auto g = std::find_if(fGroups.begin(), fGroups.end(),
                          [&](const Group& candidate) { return equalsAsciiNoCase(candidate.name, group); });
    if (g == fGroups.end()) {
        fGroups.push_back(Group{group, {}});
        g = std::prev(fGroups.end());
    }
    for (Entry& entry : g->entries) {
        if (equalsAsciiNoCase(entry.name, name)) {
            entry.value = std::move(value);
            return;
        }
    }
    g->entries.push_back(Entry{name, std::move(value)});
}

void TToolbarLayout::SetInteger(const std::u16string& group, const std::u16string& name, int32_t value)
{
    Set(group, name, value);
}

void TToolbarLayout::SetString(const std::u16string& group, const std::u16string& name, const std::u16string& value)
{
    Set(group, name, value);
}

const TToolbarLayout::Entry* TToolbarLayout::Find(const std::u16string& group, const std::u16string& name) const
{
    for (const Group& g : fGroups) {
        if (!equalsAsciiNoCase(g.name, group)) {
            continue;
        }
        for (const Entry& entry : g.entries) {
            if (equalsAsciiNoCase(entry.name, name)) {
                return &entry;
            }
        }
    }
    return nullptr;
}

std::optional<int32_t> TToolbarLayout::Integer(const std::u16string& group, const std::u16string& name) const
{
    const Entry* entry = Find(group, name);
    if (!entry) {
        return std::nullopt;
    }
    if (const auto* number = std::get_if<int32_t>(&entry->value)) {
        return *number;
    }
    return ParseIniInteger(std::get<std::u16string>(entry->value));
}

std::optional<std::u16string> TToolbarLayout::String(const std::u16string& group, const std::u16string& name) const
{
    const Entry* entry = Find(group, name);
    if (!entry) {
        return std::nullopt;
    }
    if (const auto* number = std::get_if<int32_t>(&entry->value)) {
        return u16(std::to_string(*number));
    }
    return std::get<std::u16string>(entry->value);
}

// ---------------------------------------------------------------------------
// Reading one value: the same rules over either store, every failure giving
// the default.

class TOptions::TReader {
public:
    virtual ~TReader() = default;
    virtual int32_t ReadInteger(const std::u16string& name, int32_t def) = 0;
    virtual std::u16string ReadString(const std::u16string& name, const std::u16string& def) = 0;
    bool ReadBool(const std::u16string& name, bool def) { return ReadInteger(name, def ? 1 : 0) != 0; }
};

namespace {

class TIniReader : public TOptions::TReader {
public:
    TIniReader(const TIniFile& ini, std::u16string section)
        : fIni(ini)
        , fSection(std::move(section))
    {
    }
    int32_t ReadInteger(const std::u16string& name, int32_t def) override
    {
        return fIni.ReadInteger(fSection, name, def);
    }
    // An empty value is a value: only a missing key gives the default.
    std::u16string ReadString(const std::u16string& name, const std::u16string& def) override
    {
        return fIni.ReadString(fSection, name, def);
    }
    void SetSection(std::u16string section) { fSection = std::move(section); }

private:
    const TIniFile& fIni;
    std::u16string fSection;
};

class TRegistryReader : public TOptions::TReader {
public:
    explicit TRegistryReader(TEnvStore& store)
        : fStore(store)
    {
    }
    int32_t ReadInteger(const std::u16string& name, int32_t def) override
    {
        try {
            return fStore.ReadInteger(name);
        } catch (const std::exception&) {
            return def;
        }
    }
    std::u16string ReadString(const std::u16string& name, const std::u16string& def) override
    {
        try {
            const std::u16string value = fStore.ReadString(name);
            return value.empty() ? def : value;
        } catch (const std::exception&) {
            return def;
        }
    }

private:
    TEnvStore& fStore;
};

} // namespace

// ---------------------------------------------------------------------------

TOptions::TOptions(platform::IPlatform& platform, IIniFileStore& files)
    : fPlatform(platform)
    , fFiles(files)
{
}

TOptions::~TOptions()
{
    fReg.reset();
    exclusions.reset();
}

std::u16string TOptions::IniFilePath() const
{
    return ChangeFileExt(fPlatform.system().executablePath(), u".ini");
}

void TOptions::Load()
{
    const std::u16string iniPath = IniFilePath();
    const uint32_t attributes = fPlatform.fileSystem().attributes(iniPath);
    const bool iniExists
        = attributes != platform::kInvalidFileAttributes && (attributes & platform::attr::kDirectory) == 0;
    exclusions = std::make_unique<TExclusions>();

    if (iniExists) {
        // An unreadable file reads as an empty one: defaults, never a stop,
        // and never a save over it.
        const auto bytes = fFiles.ReadAll(iniPath);
        fUnreadable = !bytes;
        const TIniFile ini = TIniFile::Parse(bytes.value_or(std::vector<uint8_t>{}));
        LoadLayoutFromIni(ini);
        if (attributes & platform::attr::kReadOnly) {
            fCD = true;
        } else {
            fUSB = true;
        }
        TIniReader reader(ini, kSection);
        LoadValues(reader);
        reader.SetSection(kExclusionsSection);
        LoadExclusions(ini.ReadSection(kExclusionsSection), reader);
        return;
    }

    LoadLayoutFromRegistry();
    fReg = std::make_unique<TEnvStore>(fPlatform.registry(), platform::RootKey::CurrentUser);
    // A key that is missing is a first start; one that is there but cannot
    // be read keeps what it holds.
    auto open = [this](const std::u16string& path) {
        if (!fReg->OpenKeyReadOnly(path) && fReg->LastError() != platform::error::kFileNotFound
            && fReg->LastError() != platform::error::kPathNotFound) {
            fUnreadable = true;
        }
    };
    open(kSettingsKey);
    {
        TRegistryReader reader(*fReg);
        LoadValues(reader);
    }
    fReg->CloseKey();
    open(kExclusionsKey);
    TRegistryReader reader(*fReg);
    LoadExclusions(fReg->GetValueNames(), reader);
    fReg->CloseKey();
    for (size_t i = 0; i < exclusions->Count(); ++i) {
        const std::u16string name = exclusions->GetKey(i);
        fStored.emplace(name, TStoredExclusion{name, exclusionFlags(exclusions->GetValue(i))});
    }
    // From now on every change of the list is one the next save compares.
    exclusions->AddOnChange([this] { fExclusionsChanged = true; });
}

void TOptions::LoadValues(TReader& reader)
{
    id = reader.ReadInteger(u"id", LocalSecondsSince1970(std::chrono::system_clock::now()));
    onExitConfirmation = reader.ReadBool(u"onExitConfirmation", false);
    onDeleteConfirmation = reader.ReadBool(u"onDeleteConfirmation", false);
    checkForUpdates = reader.ReadBool(u"checkForUpdates", true);
    isAnimation = reader.ReadBool(u"isAnimation", true);
    left = reader.ReadInteger(u"left", -1);
    top = reader.ReadInteger(u"top", -1);
    width = reader.ReadInteger(u"width", -1);
    height = reader.ReadInteger(u"height", -1);
    isMaximized = reader.ReadBool(u"isMaximized", false);
    showInformation = reader.ReadBool(u"showInformation", true);
    showReadonly = reader.ReadBool(u"showReadOnly", true);
    reviewBeforeSave = reader.ReadBool(u"reviewBeforeSave", true);
    skin = reader.ReadString(u"skin", u"Default");
    fLanguage = reader.ReadString(u"language", u"English");
}

void TOptions::LoadExclusions(const std::vector<std::u16string>& names, TReader& reader)
{
    for (const auto& name : names) {
        // A hand-edited file may list a name twice in another letter case;
        // the list takes the first and loading goes on.
        if (exclusions->ContainsKey(name)) {
            continue;
        }
        const int32_t flags = reader.ReadInteger(name, 0);
        exclusions->Add(name, (flags & 1) == 0, (flags & 2) == 0);
    }
}

void TOptions::LoadLayoutFromIni(const TIniFile& ini)
{
    const std::u16string prefix = kToolbarPrefix;
    for (const auto& section : ini.Sections()) {
        if (section.size() <= prefix.size() || !equalsAsciiNoCase(section.substr(0, prefix.size()), prefix)) {
            continue;
        }
        const std::u16string group = section.substr(prefix.size());
        for (const auto& key : ini.ReadSection(section)) {
            const std::u16string text = ini.ReadString(section, key, u"");
            if (auto number = ParseIniInteger(text)) {
                fLayout.SetInteger(group, key, *number);
            } else {
                fLayout.SetString(group, key, text);
            }
        }
    }
}

void TOptions::LoadLayoutFromRegistry()
{
    TEnvStore settings(fPlatform.registry(), platform::RootKey::CurrentUser);
    if (!settings.OpenKeyReadOnly(kSettingsKey)) {
        return; // first start: the toolbars keep their designed layout
    }
    const auto groups = settings.GetKeyNames();
    settings.CloseKey();
    for (const auto& group : groups) {
        if (equalsAsciiNoCase(group, kExclusionsSection)) {
            continue;
        }
        TEnvStore key(fPlatform.registry(), platform::RootKey::CurrentUser);
        if (!key.OpenKeyReadOnly(std::u16string(kSettingsKey) + u"\\" + group)) {
            continue;
        }
        for (const auto& name : key.GetValueNames()) {
            try {
                const uint32_t type = key.GetDataType(name);
                if (type == platform::regtype::kDword) {
                    fLayout.SetInteger(group, name, key.ReadInteger(name));
                } else if (type == platform::regtype::kSz || type == platform::regtype::kExpandSz) {
                    fLayout.SetString(group, name, key.ReadString(name));
                }
            } catch (const std::exception&) {
                // a damaged value is left out; the component keeps its default
            }
        }
    }
}

void TOptions::Save()
{
    if (fCD || fUnreadable) {
        return;
    }
    if (fUSB) {
        SaveToIni();
    } else {
        SaveToRegistry();
    }
}

void TOptions::SaveToIni()
{
    const std::u16string path = IniFilePath();
    // Read afresh; a file that is there but cannot be read now is not
    // replaced by what this run knows of it.
    const auto bytes = fFiles.ReadAll(path);
    if (!bytes && fPlatform.fileSystem().attributes(path) != platform::kInvalidFileAttributes) {
        throw TError(trFormat("Unable to read %s", path));
    }
    TIniFile ini = TIniFile::Parse(bytes.value_or(std::vector<uint8_t>{}));
    ini.WriteBool(kSection, u"onExitConfirmation", onExitConfirmation);
    ini.WriteBool(kSection, u"onDeleteConfirmation", onDeleteConfirmation);
    ini.WriteBool(kSection, u"checkForUpdates", checkForUpdates);
    ini.WriteBool(kSection, u"isAnimation", isAnimation);
    ini.WriteBool(kSection, u"showInformation", showInformation);
    ini.WriteBool(kSection, u"showReadOnly", showReadonly);
    ini.WriteBool(kSection, u"reviewBeforeSave", reviewBeforeSave);
    ini.WriteString(kSection, u"skin", skin);
    ini.WriteBool(kSection, u"isMaximized", isMaximized);
    ini.WriteInteger(kSection, u"left", left);
    ini.WriteInteger(kSection, u"top", top);
    ini.WriteInteger(kSection, u"width", width);
    ini.WriteInteger(kSection, u"height", height);
    ini.WriteString(kSection, u"language", fLanguage);
    ini.WriteInteger(kSection, u"id", id);

    for (const auto& group : fLayout.Groups()) {
        const std::u16string section = kToolbarPrefix + group.name;
        for (const auto& entry : group.entries) {
            if (const auto* number = std::get_if<int32_t>(&entry.value)) {
                ini.WriteInteger(section, entry.name, *number);
            } else {
                ini.WriteString(section, entry.name, std::get<std::u16string>(entry.value));
            }
        }
    }

    ini.EraseSection(kExclusionsSection);
    for (size_t i = 0; i < exclusions->Count(); ++i) {
        ini.WriteInteger(kExclusionsSection, exclusions->GetKey(i), exclusionFlags(exclusions->GetValue(i)));
    }

    if (!fFiles.WriteAll(path, ini.Serialize())) {
        throw TError(trFormat("Unable to write to %s", path));
    }
}

void TOptions::SaveToRegistry()
{
    // One batch: on the emulated machine all of the save or none of it is
    // kept, also when the process is killed halfway; on Windows each write
    // lands by itself, and only what changed is written.
    std::unique_ptr<platform::IRegistryUpdate> batch;
    const uint32_t begun = fPlatform.registry().beginBatch(platform::RootKey::CurrentUser, kSettingsKey, batch);
    if (begun == platform::error::kLockViolation) {
        throw TError(tr("Error writing to the registry, the registry key is locked by another process"));
    }
    if (begun != platform::error::kSuccess && begun != platform::error::kNotSupported) {
        throw TError(trFormat("Unable to write to %s", std::u16string(u"HKEY_CURRENT_USER\\") + kSettingsKey));
    }

    if (!fReg) {
        fReg = std::make_unique<TEnvStore>(fPlatform.registry(), platform::RootKey::CurrentUser);
    }
    TEnvStore& reg = *fReg;
    reg.OpenKey(kSettingsKey, true);
    writeIfChanged(reg, u"onExitConfirmation", onExitConfirmation);
    writeIfChanged(reg, u"onDeleteConfirmation", onDeleteConfirmation);
    writeIfChanged(reg, u"checkForUpdates", checkForUpdates);
    writeIfChanged(reg, u"isAnimation", isAnimation);
    writeIfChanged(reg, u"showInformation", showInformation);
    writeIfChanged(reg, u"showReadOnly", showReadonly);
    writeIfChanged(reg, u"reviewBeforeSave", reviewBeforeSave);
    writeIfChanged(reg, u"skin", skin);
    writeIfChanged(reg, u"isMaximized", isMaximized);
    writeIfChanged(reg, u"left", left);
    writeIfChanged(reg, u"top", top);
    writeIfChanged(reg, u"width", width);
    writeIfChanged(reg, u"height", height);
    writeIfChanged(reg, u"language", fLanguage);
    writeIfChanged(reg, u"id", id);
    reg.CloseKey();

    TExclusionChanges changes = SaveExclusionsToRegistry();

    for (const auto& group : fLayout.Groups()) {
        TEnvStore key(fPlatform.registry(), platform::RootKey::CurrentUser);
        key.OpenKey(std::u16string(kSettingsKey) + u"\\" + group.name, true);
        for (const auto& entry : group.entries) {
            if (const auto* number = std::get_if<int32_t>(&entry.value)) {
                writeIfChanged(key, entry.name, *number);
            } else {
                writeIfChanged(key, entry.name, std::get<std::u16string>(entry.value));
            }
        }
    }

    if (batch) {
        const uint32_t committed = batch->commit();
        if (committed != platform::error::kSuccess) {
            // Nothing of the batch was kept; the record still says what is stored.
            if (committed == platform::error::kLockViolation) {
                throw TError(tr("Error writing to the registry, the registry key is locked by another process"));
            }
            throw TError(trFormat("Unable to write to %s", std::u16string(u"HKEY_CURRENT_USER\\") + kSettingsKey));
        }
    }
    // Only a save that went through changes the record: after a failure the
    // next save compares with what is really stored (on Windows writing
    // again what has landed already changes nothing).
    for (const auto& name : changes.gone) {
        fStored.erase(name);
    }
    for (const auto& [name, flags] : changes.written) {
        fStored.insert_or_assign(name, TStoredExclusion{name, flags});
    }
    fExclusionsChanged = false;
}

TOptions::TExclusionChanges TOptions::SaveExclusionsToRegistry()
{
    TEnvStore& reg = *fReg;
    if (!reg.OpenKey(kExclusionsKey, false)) {
        fStored.clear(); // gone since the load: everything is written anew
        fExclusionsChanged = true;
        reg.OpenKey(kExclusionsKey, true);
    }
    TExclusionChanges changes;
    if (!fExclusionsChanged) {
        reg.CloseKey();
        return changes; // a long list left alone costs nothing to save
    }
    // What the list no longer holds, or holds in another spelling, goes
    // first: a value keeps the spelling it was created with.
    auto& gone = changes.gone;
    auto& changed = changes.written;
    for (const auto& [key, stored] : fStored) {
        if (!exclusions->ContainsKey(stored.name)) {
            gone.push_back(stored.name);
        }
    }
    for (size_t i = 0; i < exclusions->Count(); ++i) {
        std::u16string name = exclusions->GetKey(i);
        const uint8_t flags = exclusionFlags(exclusions->GetValue(i));
        const auto stored = fStored.find(name);
        if (stored != fStored.end() && stored->second.flags == flags && stored->second.name == name) {
            continue;
        }
        if (stored != fStored.end() && stored->second.name != name) {
            gone.push_back(stored->second.name);
        }
        changed.emplace_back(std::move(name), flags);
    }
    for (const auto& name : gone) {
        reg.DeleteValue(name);
    }
    for (const auto& [name, flags] : changed) {
        reg.WriteInteger(name, flags);
    }
    reg.CloseKey();
    return changes;
}

} // namespace talvoren
