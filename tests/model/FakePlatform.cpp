#include "tests/model/FakePlatform.h"

#include "base/EnvStore.h"

#include <utility>

namespace talvoren::test {

using namespace platform;

namespace {
std::u16string parentOf(const std::u16string& path)
{
    const size_t slash = path.rfind(u'\\');
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
}

std::u16string lastComponent(const std::u16string& path)
{
    const size_t slash = path.rfind(u'\\');
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

// * and ? over already upper-cased texts.
bool wildcardMatch(const std::u16string& pattern, size_t p, const std::u16string& text, size_t t)
{
    while (p < pattern.size()) {
        if (pattern[p] == u'*') {
            for (size_t k = t; k <= text.size(); ++k) {
                if (wildcardMatch(pattern, p + 1, text, k)) {
                    return true;
                }
            }
            return false;
        }
        if (t >= text.size() || (pattern[p] != u'?' && pattern[p] != text[t])) {
            return false;
        }
        ++p;
        ++t;
    }
    return t == text.size();
}
} // namespace

class TFakePlatform::TGuard : public ICriticalErrorGuard {
public:
    explicit TGuard(int& alive)
        : fAlive(alive)
    {
        ++fAlive;
    }
    ~TGuard() override { --fAlive; }

private:
    int& fAlive;
};

// Answers true once after any write or delete in its key.
class TFakePlatform::TWatch : public IKeyWatch {
public:
    TWatch(TFakePlatform& owner, std::u16string id)
        : fOwner(owner)
        , fId(std::move(id))
        , fSeen(owner.fKeyChanges[fId])
    {
    }
    bool changed() override
    {
        const uint64_t now = fOwner.fKeyChanges[fId];
        return std::exchange(fSeen, now) != now;
    }

private:
    TFakePlatform& fOwner;
    std::u16string fId;
    uint64_t fSeen;
};

class TFakePlatform::TKeyHandle : public IRegistryKey {
public:
    TKeyHandle(TFakePlatform& owner, std::u16string id, uint32_t access)
        : fOwner(owner)
        , fId(std::move(id))
        , fAccess(access)
    {
    }

    std::vector<std::u16string> valueNames() override
    {
        std::vector<std::u16string> names;
        for (const auto& [name, value] : Key().values) {
            names.push_back(name);
        }
        return names;
    }

    std::vector<std::u16string> subKeyNames() override { return {}; }

    uint32_t queryValue(const std::u16string& name, RegValue& out) override
    {
        for (const auto& [stored, value] : Key().values) {
            if (upper(stored) == upper(name)) {
                out = value;
                return error::kSuccess;
            }
        }
        return error::kFileNotFound;
    }

    uint32_t setValue(const std::u16string& name, const RegValue& value) override
    {
        if ((fAccess & access::kSetValue) == 0 || fOwner.fFailingNames.count(name)) {
            return error::kAccessDenied;
        }
        for (auto& [stored, old] : Key().values) {
            if (upper(stored) == upper(name)) {
                old = value; // the registry keeps the first spelling
                ++fOwner.fKeyChanges[fId];
                return error::kSuccess;
            }
        }
        Key().values.emplace_back(name, value);
        ++fOwner.fKeyChanges[fId];
        return error::kSuccess;
    }

    uint32_t deleteValue(const std::u16string& name) override
    {
        if ((fAccess & access::kSetValue) == 0) {
            return error::kAccessDenied;
        }
        auto& values = Key().values;
        for (auto it = values.begin(); it != values.end(); ++it) {
            if (upper(it->first) == upper(name)) {
                values.erase(it);
                ++fOwner.fDeletes;
                ++fOwner.fKeyChanges[fId];
                return error::kSuccess;
            }
        }
        return error::kFileNotFound;
    }

private:
    TKey& Key() { return fOwner.fKeys[fId]; }

    TFakePlatform& fOwner;
    std::u16string fId;
    uint32_t fAccess;
};

TFakePlatform::TFakePlatform()
{
    CreateKey(RootKey::LocalMachine, kSystemEnvironmentKey);
    CreateKey(RootKey::CurrentUser, kUserEnvironmentKey);
}

TFakePlatform::~TFakePlatform() = default;

std::u16string TFakePlatform::upper(const std::u16string& text)
{
    std::u16string out(text);
    for (auto& c : out) {
        if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
            c = static_cast<char16_t>(c - 0x20);
        }
    }
    return out;
}

std::u16string TFakePlatform::keyId(RootKey root, const std::u16string& path)
{
    std::u16string trimmed = path;
    while (!trimmed.empty() && trimmed.front() == u'\\') {
        trimmed.erase(0, 1);
    }
    return std::u16string(1, static_cast<char16_t>(u'0' + static_cast<int>(root))) + u":" + upper(trimmed);
}

TFakePlatform::TKey* TFakePlatform::FindKey(RootKey root, const std::u16string& path)
{
    auto it = fKeys.find(keyId(root, path));
    return it == fKeys.end() ? nullptr : &it->second;
}

const TFakePlatform::TKey* TFakePlatform::FindKey(RootKey root, const std::u16string& path) const
{
    auto it = fKeys.find(keyId(root, path));
    return it == fKeys.end() ? nullptr : &it->second;
}

void TFakePlatform::CreateKey(RootKey root, const std::u16string& path)
{
    fKeys[keyId(root, path)];
}

void TFakePlatform::SetRawValue(RootKey root, const std::u16string& path, const std::u16string& name,
                                const RegValue& value)
{
    ++fKeyChanges[keyId(root, path)];
    auto& values = fKeys[keyId(root, path)].values;
    for (auto& [stored, old] : values) {
        if (upper(stored) == upper(name)) {
            old = value;
            return;
        }
    }
    values.emplace_back(name, value);
}

void TFakePlatform::SetValue(RootKey root, const std::u16string& path, const std::u16string& name, uint32_t type,
                             const std::u16string& text)
{
    SetRawValue(root, path, name, RegValue{type, EncodeRegString(text)});
}

std::vector<std::u16string> TFakePlatform::ValueNames(RootKey root, const std::u16string& path) const
{
    std::vector<std::u16string> names;
    if (const TKey* key = FindKey(root, path)) {
        for (const auto& [name, value] : key->values) {
            names.push_back(name);
        }
    }
    return names;
}

bool TFakePlatform::GetValue(RootKey root, const std::u16string& path, const std::u16string& name, RegValue& out) const
{
    if (const TKey* key = FindKey(root, path)) {
        for (const auto& [stored, value] : key->values) {
            if (upper(stored) == upper(name)) {
                out = value;
                return true;
            }
        }
    }
    return false;
}

class TFakePlatform::TUpdate : public IRegistryUpdate {
public:
    explicit TUpdate(size_t& committed)
        : fCommitted(committed)
    {
    }
    uint32_t commit() override
    {
        ++fCommitted;
        return error::kSuccess;
    }

private:
    size_t& fCommitted;
};

uint32_t TFakePlatform::beginUpdate(RootKey, const std::u16string&, std::unique_ptr<IRegistryUpdate>& update)
{
    if (fFailUpdates) {
        return error::kLockViolation;
    }
    ++fUpdatesBegun;
    update = std::make_unique<TUpdate>(fUpdatesCommitted);
    return error::kSuccess;
}

uint32_t TFakePlatform::openKey(RootKey root, const std::u16string& path, uint32_t access, bool create,
                                std::unique_ptr<IRegistryKey>& key)
{
    if (fFailOpenForWrite && (access & access::kSetValue)) {
        return error::kAccessDenied;
    }
    if (!FindKey(root, path)) {
        if (!create) {
            return error::kFileNotFound;
        }
        CreateKey(root, path);
    }
    key = std::make_unique<TKeyHandle>(*this, keyId(root, path), access);
    return error::kSuccess;
}

uint32_t TFakePlatform::deleteKey(RootKey root, const std::u16string& path)
{
    return fKeys.erase(keyId(root, path)) ? error::kSuccess : error::kFileNotFound;
}

uint32_t TFakePlatform::loadHive(const std::u16string&, const std::u16string&)
{
    return error::kNotSupported;
}

uint32_t TFakePlatform::watchKey(RootKey root, const std::u16string& path, std::unique_ptr<IKeyWatch>& watch)
{
    if (!FindKey(root, path)) {
        return error::kFileNotFound;
    }
    watch = std::make_unique<TWatch>(*this, keyId(root, path));
    return error::kSuccess;
}

uintptr_t TFakePlatform::broadcastSettingChange(const std::u16string&, uint32_t, uint32_t)
{
    return 1;
}

bool TFakePlatform::isWow64Process(uint32_t*)
{
    return false;
}

std::u16string TFakePlatform::executablePath()
{
    return u"C:\\Program Files\\Talvoren\\talvoren.exe";
}

std::vector<uint16_t> TFakePlatform::executableVersion()
{
    return {0, 1, 0, 1};
}

std::vector<std::u16string> TFakePlatform::arguments(int, char**)
{
    return {};
}

void TFakePlatform::AddFolder(const std::u16string& path)
{
    std::u16string current = path;
    while (!current.empty() && current.back() == u'\\') {
        current.pop_back();
    }
    while (!current.empty()) {
        fFolders.emplace(upper(current), lastComponent(current));
        current = parentOf(current);
    }
}

void TFakePlatform::AddFile(const std::u16string& path)
{
    AddFolder(parentOf(path));
    fFiles.emplace(upper(path), lastComponent(path));
}

void TFakePlatform::CountProbe()
{
    ++fProbes;
    if (fGuardsAlive == 0) {
        ++fUnguardedProbes;
    }
}

uint32_t TFakePlatform::attributes(const std::u16string& path)
{
    CountProbe();
    std::u16string key = upper(path);
    // "C:\Windows\" names the folder; "C:\" is the drive's root.
    if (key.size() > 3 && key.back() == u'\\') {
        key.pop_back();
    }
    if (key.size() == 3 && key[1] == u':' && key[2] == u'\\') {
        key.pop_back();
    }
    if (fFolders.count(key)) {
        return attr::kDirectory;
    }
    if (fFiles.count(key)) {
        return attr::kArchive;
    }
    return kInvalidFileAttributes;
}

std::vector<FindEntry> TFakePlatform::find(const std::u16string& pattern, size_t maxEntries)
{
    CountProbe();
    std::vector<FindEntry> out;
    // Like FindFirstFile: a pattern ending in "\" finds nothing.
    if (pattern.empty() || pattern.back() == u'\\') {
        return out;
    }
    const std::u16string key = upper(pattern);
    const std::u16string parent = parentOf(key);
    const std::u16string name = lastComponent(key);
    auto scan = [&](const std::map<std::u16string, std::u16string>& entries, uint32_t attributes) {
        for (const auto& [path, stored] : entries) {
            if (out.size() >= maxEntries) {
                return;
            }
            const auto shortName = fShortNames.find(path);
            const bool named = wildcardMatch(name, 0, lastComponent(path), 0)
                || (shortName != fShortNames.end() && wildcardMatch(name, 0, upper(shortName->second), 0));
            if (parentOf(path) == parent && named) {
                out.push_back({stored, attributes});
            }
        }
    };
    scan(fFolders, attr::kDirectory);
    scan(fFiles, attr::kArchive);
    return out;
}

std::optional<std::u16string> TFakePlatform::shortPathName(const std::u16string& path)
{
    if (attributes(path) == kInvalidFileAttributes || path.size() < 2 || path[1] != u':') {
        return std::nullopt;
    }
    std::u16string out = path.substr(0, 2);
    std::u16string prefix = out;
    size_t pos = 2;
    while (pos < path.size()) {
        size_t end = path.find(u'\\', pos + 1);
        end = end == std::u16string::npos ? path.size() : end;
        const std::u16string piece = path.substr(pos, end - pos); // with its leading separator
        prefix += piece;
        const auto found = fShortNames.find(upper(prefix));
        out += found == fShortNames.end() ? piece : u"\\" + found->second;
        pos = end;
    }
    return out;
}

std::u16string TFakePlatform::tempFolder()
{
    return u"C:\\Temp\\";
}

std::unique_ptr<ICriticalErrorGuard> TFakePlatform::suppressCriticalErrors()
{
    ++fGuardsMade;
    return std::make_unique<TGuard>(fGuardsAlive);
}

std::u16string TFakePlatform::variable(const std::u16string& name)
{
    for (const auto& [stored, value] : fEnvironment) {
        if (upper(stored) == upper(name)) {
            return value;
        }
    }
    return {};
}

std::u16string TFakePlatform::expand(const std::u16string& text)
{
    return text;
}

int TFakePlatform::compareNoCase(const std::u16string& a, const std::u16string& b)
{
    return upper(a).compare(upper(b));
}

std::u16string TFakePlatform::foldCase(const std::u16string& text)
{
    return upper(text);
}

bool TFakePlatform::lookupSid(const std::u16string&, AccountInfo&)
{
    return false;
}

std::u16string TFakePlatform::currentUserSid()
{
    return u"S-1-5-21-1-2-3-1000";
}

bool TFakePlatform::enablePrivilege(const std::u16string&)
{
    return false;
}

bool TFakePlatform::execute(const std::u16string&, const std::u16string&, const std::u16string&, uintptr_t)
{
    return false;
}

void TFakePlatform::messageBox(const std::u16string&, const std::u16string&) { }

} // namespace talvoren::test
