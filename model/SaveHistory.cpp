#include "model/SaveHistory.h"

#include "base/Error.h"
#include "base/Text.h"
#include "base/Translation.h"
#include "model/RegFile.h"
#include "platform/Utf.h"
#include "settings/Options.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace talvoren {

namespace {

// The comment lines an entry is listed by; English, as they are read back.
constexpr char16_t kTimeTag[] = u"Talvoren history: ";
constexpr char16_t kScopeTag[] = u"Scope: ";
constexpr char16_t kUserTag[] = u"User: ";
constexpr char16_t kByTag[] = u"By: ";
constexpr char16_t kByWindow[] = u"window";
constexpr char16_t kByCommandLine[] = u"command line";

std::u16string ascii(const char* text)
{
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

std::u16string folderOf(const std::u16string& path)
{
    const size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

bool isFolder(platform::IFileSystem& files, const std::u16string& path)
{
    const uint32_t attributes = files.attributes(path);
    return attributes != platform::kInvalidFileAttributes && (attributes & platform::attr::kDirectory);
}

// The text lines of a script's file (UTF-16LE with its byte order mark).
std::vector<std::u16string> textLines(const std::vector<uint8_t>& bytes)
{
    std::vector<std::u16string> lines;
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) {
        return lines;
    }
    std::u16string line;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const char16_t c = char16_t(bytes[i] | (bytes[i + 1] << 8));
        if (c == u'\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != u'\r') {
            line += c;
        }
    }
    lines.push_back(line);
    return lines;
}

} // namespace

std::optional<Scope> ScopeOfRegPath(const std::u16string& path)
{
    const std::u16string upper = asciiUpper(path);
    for (const Scope& scope : {SystemScope(), CurrentUserScope()}) {
        if (upper == asciiUpper(ScopePath(scope))) {
            return scope;
        }
    }
    return std::nullopt;
}

std::vector<THistoryValue> ReadBeforeState(platform::IRegistry& registry, const Scope& scope,
                                           const std::vector<std::u16string>& names)
{
    std::unique_ptr<platform::IRegistryKey> key;
    registry.openKey(scope.root, scope.key, platform::access::kQueryValue, false, key);
    std::vector<THistoryValue> values;
    for (const auto& name : names) {
        platform::RegValue value;
        if (key && key->queryValue(name, value) == platform::error::kSuccess) {
            values.push_back({name, std::move(value)});
        } else {
            values.push_back({name, std::nullopt});
        }
    }
    return values;
}

TSaveHistory::TSaveHistory(platform::IPlatform& platform)
    : fPlatform(platform)
{
    const std::u16string exe = platform.system().executablePath();
    const uint32_t ini = platform.fileSystem().attributes(ChangeFileExt(exe, u".ini"));
    if (ini != platform::kInvalidFileAttributes && !(ini & platform::attr::kDirectory)) {
        fFolder = folderOf(exe) + u"History\\"; // portable: beside the settings file
    } else {
        std::u16string local = platform.environment().variable(u"LOCALAPPDATA");
        if (!local.empty() && local.back() != u'\\') {
            local += u'\\';
        }
        fFolder = local.empty() ? std::u16string() : local + u"Talvoren\\History\\";
    }
}

bool TSaveHistory::MakeFolder()
{
    if (fFolder.empty()) {
        return false;
    }
    auto& files = fPlatform.fileSystem();
    if (isFolder(files, fFolder)) {
        return true;
    }
    // Each missing level from the top; an existing one refuses, which is fine.
    for (size_t at = fFolder.find(u'\\', 3); at != std::u16string::npos; at = fFolder.find(u'\\', at + 1)) {
        const std::u16string level = fFolder.substr(0, at);
        if (!isFolder(files, level)) {
            files.createNewFolder(level);
        }
    }
    return isFolder(files, fFolder);
}

std::vector<std::u16string> TSaveHistory::Files()
{
    std::vector<std::u16string> names;
    if (fFolder.empty()) {
        return names;
    }
    for (const auto& entry : fPlatform.fileSystem().find(fFolder + u"*.reg")) {
        if (!(entry.attributes & platform::attr::kDirectory)) {
            names.push_back(entry.name);
        }
    }
    // The names begin with the time, fixed width: their order is the time's.
    std::sort(names.begin(), names.end());
    return names;
}

void TSaveHistory::Record(const Scope& scope, const std::vector<THistoryValue>& before, THistorySource source)
{
    if (before.empty()) {
        return;
    }
    if (!MakeFolder()) {
        throw TError(trFormat("The save history cannot be kept in '%s'; nothing was written", fFolder));
    }
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const int millis
        = int(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
    if (const std::tm* converted = std::localtime(&seconds)) {
        local = *converted;
    }
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    char fileStem[64];
    std::snprintf(fileStem, sizeof fileStem, "%04d%02d%02d-%02d%02d%02d-%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millis);

    TRegFileKey key;
    key.Path = ScopePath(scope);
    platform::AccountInfo account;
    auto& accounts = fPlatform.accounts();
    const std::u16string user = accounts.lookupSid(accounts.currentUserSid(), account)
        ? (account.domain.empty() ? account.name : account.domain + u"\\" + account.name)
        : fPlatform.environment().variable(u"USERNAME");
    key.Comments
        = {kTimeTag + ascii(stamp),
           kScopeTag + std::u16string(scope.root == platform::RootKey::LocalMachine ? u"System" : u"User"),
           kUserTag + user, kByTag + std::u16string(source == THistorySource::Window ? kByWindow : kByCommandLine)};
    for (const auto& value : before) {
        TRegFileValue line;
        line.Name = value.name;
        line.Deleted = !value.before;
        if (value.before) {
            line.Type = value.before->type;
            line.Data = value.before->data;
        }
        key.Values.push_back(std::move(line));
    }
    const std::vector<uint8_t> bytes = EncodeRegFileV5({key});

    // A name of its own even for two entries in one millisecond.
    auto& files = fPlatform.fileSystem();
    std::unique_ptr<platform::INewFile> file;
    for (int n = 0; n < 100 && !file; ++n) {
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, "-%02d.reg", n);
        file = files.createNewFile(fFolder + ascii(fileStem) + ascii(suffix));
    }
    // Sealing flushes: only an entry on the disk lets the write go ahead.
    if (!file || !file->write(reinterpret_cast<const char*>(bytes.data()), bytes.size()) || !file->seal()) {
        throw TError(trFormat("The save history cannot be kept in '%s'; nothing was written", fFolder));
    }
    file.reset();

    const auto names = Files();
    for (size_t i = 0; i + kKeep < names.size(); ++i) {
        files.deleteFile(fFolder + names[i]);
    }
}

std::vector<THistoryEntry> TSaveHistory::List()
{
    std::vector<THistoryEntry> entries;
    auto names = Files();
    std::reverse(names.begin(), names.end());
    for (const auto& name : names) {
        THistoryEntry entry;
        entry.file = fFolder + name;
        const auto bytes = fPlatform.fileSystem().readFile(entry.file);
        if (!bytes) {
            continue;
        }
        bool dated = false;
        for (const auto& line : textLines(*bytes)) {
            if (!line.starts_with(u"; ")) {
                continue;
            }
            const std::u16string_view text = std::u16string_view(line).substr(2);
            auto tagged = [&](std::u16string_view tag) {
                return text.starts_with(tag);
            };
            if (tagged(kTimeTag)) {
                entry.time = std::u16string(text.substr(std::char_traits<char16_t>::length(kTimeTag)));
                dated = true;
            } else if (tagged(kScopeTag)) {
                entry.system = text.substr(std::char_traits<char16_t>::length(kScopeTag)) == u"System";
            } else if (tagged(kUserTag)) {
                entry.user = std::u16string(text.substr(std::char_traits<char16_t>::length(kUserTag)));
            } else if (tagged(kByTag)) {
                entry.window = text.substr(std::char_traits<char16_t>::length(kByTag)) == kByWindow;
            }
        }
        TRegFileContent content;
        TRegFileError error;
        if (!dated || !ParseRegFile(*bytes, fPlatform.locale(), content, error)) {
            continue; // not one of ours, or damaged
        }
        for (const auto& key : content.Keys) {
            for (const auto& value : key.Values) {
                entry.names.push_back(value.Name);
            }
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool TSaveHistory::Read(const THistoryEntry& entry, TRegFileContent& content, TRegFileError& error)
{
    const auto bytes = fPlatform.fileSystem().readFile(entry.file);
    if (!bytes) {
        error.Line = 0;
        error.Reason = trFormat("Cannot read '%s'", entry.file);
        return false;
    }
    return ParseRegFile(*bytes, fPlatform.locale(), content, error);
}

} // namespace talvoren
