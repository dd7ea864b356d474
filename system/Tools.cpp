#include "system/Tools.h"

#include "base/EnvStore.h"
#include "base/Error.h"
#include "base/Translation.h"
#include "model/PathChecks.h"
#include "model/RegFile.h"
#include "platform/Platform.h"
#include "platform/Utf.h"
#include "system/ToolsUser.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

namespace talvoren {

const char16_t kAdminProbeKey[] = u"\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char16_t kAdminProbeValue[] = u"check_for_admin_access";

namespace {
std::optional<bool> gAdminAccess;
}

bool ProbeAdminAccess(platform::IRegistry& registry)
{
    // Opening for setting values asks the registry's own access check (on
    // the emulated machine: the machine hive writable and its write lock to
    // be had) without writing anything a killed process could leave behind.
    std::unique_ptr<platform::IRegistryKey> key;
    if (registry.openKey(platform::RootKey::LocalMachine, kAdminProbeKey,
                         platform::access::kQueryValue | platform::access::kSetValue, false, key)
        != platform::error::kSuccess) {
        return false;
    }
    // Earlier versions probed by writing this value; one left by a process
    // killed in between goes now.
    platform::RegValue leftover;
    if (key->queryValue(kAdminProbeValue, leftover) == platform::error::kSuccess) {
        key->deleteValue(kAdminProbeValue);
    }
    return true;
}

bool CheckForAdminAccess(platform::IPlatform& platform)
{
    if (!gAdminAccess) {
        gAdminAccess = ProbeAdminAccess(platform.registry());
    }
    return *gAdminAccess;
}

void ResetAdminAccessProbe()
{
    gAdminAccess.reset();
}

bool RunAsAdmin(platform::IShell& shell, const std::u16string& executable, uintptr_t ownerWindow)
{
    return shell.execute(u"runas", executable, u"", ownerWindow);
}

std::u16string EscapeBackslashes(const std::u16string& text)
{
    std::u16string result;
    result.reserve(text.size());
    for (const char16_t c : text) {
        result += c;
        if (c == u'\\') {
            result += c;
        }
    }
    return result;
}

namespace {

// A quoted name or string as the registry editor reads it back: backslashes
// doubled and double quotes escaped, else a quote would end the text early
// and the editor would drop the value on import.
std::u16string quoted(const std::u16string& text)
{
    std::u16string result;
    for (const char16_t c : EscapeBackslashes(text)) {
        if (c == u'"') {
            result += u'\\';
        }
        result += c;
    }
    return u'"' + result + u'"';
}

void appendHex(std::string& line, const std::vector<uint8_t>& bytes)
{
    char digits[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        if (i > 0) {
            line += ',';
        }
        line += digits;
    }
}

std::string valueLine(platform::ILocale& locale, const std::u16string& name, uint32_t type, const std::u16string& data,
                      bool& exact)
{
    std::string line;
    std::string bytes;
    exact = true;
    if (name.empty()) {
        line = "@=";
    } else {
        exact = locale.toAnsi(quoted(name), bytes) && exact;
        line = bytes + '=';
    }
    exact = locale.toAnsi(data, bytes) && exact;
    if (type == platform::regtype::kSz) {
        std::string escaped;
        locale.toAnsi(quoted(data), escaped);
        line += escaped;
    } else {
        // Empty data is "hex(2):00": the editor refuses a list that starts
        // with a comma and would drop the value.
        line += "hex(2):";
        appendHex(line, std::vector<uint8_t>(bytes.begin(), bytes.end()));
        line += bytes.empty() ? "00" : ",00";
    }
    if (exact) {
        return line;
    }
    // Kept out of the import, but kept: see the header.
    std::vector<uint8_t> wideName;
    std::vector<uint8_t> wideData;
    platform::appendUtf16Le(wideName, name);
    platform::appendRegString(wideData, data);
    std::string note = "; The next value holds characters outside the ANSI code page; its name and data as UTF-16LE:";
    note += "\r\n; name=hex:";
    appendHex(note, wideName);
    note += type == platform::regtype::kSz ? " data=hex(1):" : " data=hex(2):";
    appendHex(note, wideData);
    return note;
}

void writeOrFail(std::ostream& out, const std::string& text)
{
    out << text;
    if (!out) {
        throw TError(tr("File I/O error"));
    }
}

} // namespace

void ExportRegistryValues(platform::IRegistry& registry, platform::ILocale& locale, platform::RootKey root,
                          const std::u16string& keyPath, std::ostream& out, std::vector<std::u16string>* inexact)
{
    std::unique_ptr<platform::IRegistryKey> key;
    if (registry.openKey(root, keyPath, platform::access::kRead, false, key) != platform::error::kSuccess || !key) {
        return; // a key that is not there gives a section without values
    }
    for (const std::u16string& name : key->valueNames()) {
        platform::RegValue value;
        if (key->queryValue(name, value) != platform::error::kSuccess) {
            continue;
        }
        if (value.type != platform::regtype::kSz && value.type != platform::regtype::kExpandSz) {
            continue;
        }
        bool exact = true;
        const std::string line = valueLine(locale, name, value.type, platform::fromUtf16Le(value.data), exact);
        if (!exact && inexact) {
            inexact->push_back(name);
        }
        writeOrFail(out, line + "\r\n");
    }
}

void ExportRegistryKey(platform::IPlatform& platform, platform::RootKey root, std::u16string keyPath,
                       const std::u16string& header, bool append, const std::u16string& fileName,
                       std::vector<std::u16string>* inexact)
{
    if (!keyPath.empty() && keyPath.back() == u'\\') {
        keyPath.pop_back();
    }
    if (!keyPath.empty() && keyPath.front() == u'\\') {
        keyPath.erase(0, 1);
    }
    std::ofstream out(std::filesystem::path(fileName),
                      std::ios::binary | (append ? std::ios::app : std::ios::trunc) | std::ios::out);
    if (!out) {
        throw TError(tr("File I/O error"));
    }
    if (!append) {
        writeOrFail(out, "REGEDIT4\r\n");
    }
    std::string headerBytes;
    platform.locale().toAnsi(header, headerBytes);
    writeOrFail(out, "\r\n" + headerBytes + "\r\n");
    ExportRegistryValues(platform.registry(), platform.locale(), root, keyPath, out, inexact);
    out.flush();
    if (!out) {
        throw TError(tr("File I/O error"));
    }
}

namespace {

// The string values of one key with their exact bytes, in enumeration order.
std::vector<TRegFileValue> storedValues(platform::IRegistry& registry, platform::RootKey root,
                                        const std::u16string& keyPath)
{
    std::vector<TRegFileValue> values;
    std::unique_ptr<platform::IRegistryKey> key;
    if (registry.openKey(root, keyPath, platform::access::kRead, false, key) != platform::error::kSuccess || !key) {
        return values;
    }
    for (const std::u16string& name : key->valueNames()) {
        platform::RegValue value;
        if (key->queryValue(name, value) != platform::error::kSuccess
            || (value.type != platform::regtype::kSz && value.type != platform::regtype::kExpandSz)) {
            continue;
        }
        values.push_back({name, false, value.type, value.data});
    }
    return values;
}

bool holdsBreakOrNull(const std::u16string& text)
{
    return text.find_first_of(std::u16string(u"\r\n\0", 3)) != std::u16string::npos;
}

const char16_t kSystemEnvironmentPath[] = u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

} // namespace

bool HeldExactlyByRegedit4(platform::ILocale& locale, const TRegFileValue& value)
{
    // An import stores the text it reads plus one terminating null, so the
    // bytes must be exactly that: even, ending in the one null.
    const std::vector<uint8_t>& data = value.Data;
    if (data.size() < 2 || data.size() % 2 != 0 || data[data.size() - 1] != 0 || data[data.size() - 2] != 0) {
        return false;
    }
    std::u16string text = platform::fromUtf16Le(data, 0, false);
    text.pop_back();
    std::string ansi;
    return !holdsBreakOrNull(text) && !holdsBreakOrNull(value.Name) && locale.toAnsi(text, ansi)
        && locale.toAnsi(value.Name, ansi);
}

bool BackupEnvironment(platform::IPlatform& platform, bool adminAccess, const UserInfo& user,
                       const std::u16string& fileName, std::vector<std::u16string>* inexact)
{
    // Imported, the user section lands in the importing account's key.
    const std::u16string userHeader = u"; User: " + user.Name + u"\r\n[HKEY_CURRENT_USER\\Environment]";
    platform::RootKey userRoot = platform::RootKey::CurrentUser;
    std::u16string userPath = u"Environment";
    if (adminAccess) {
        if (LoadUserHive(platform, user) != platform::error::kSuccess) {
            return false;
        }
        userRoot = platform::RootKey::Users;
        userPath = user.Sid + u"\\Environment";
    }
    std::vector<TRegFileKey> keys(2);
    keys[0].Comments = {u"User: " + user.Name};
    keys[0].Path = u"HKEY_CURRENT_USER\\Environment";
    keys[0].Values = storedValues(platform.registry(), userRoot, userPath);
    keys[1].Comments = {u"System variables"};
    keys[1].Path = u"HKEY_LOCAL_MACHINE\\" + std::u16string(kSystemEnvironmentPath);
    keys[1].Values = storedValues(platform.registry(), platform::RootKey::LocalMachine, kSystemEnvironmentPath);
    std::vector<std::u16string> notHeld;
    for (const TRegFileKey& key : keys) {
        for (const TRegFileValue& value : key.Values) {
            if (!HeldExactlyByRegedit4(platform.locale(), value)) {
                notHeld.push_back(value.Name);
            }
        }
    }
    if (notHeld.empty()) {
        std::vector<std::u16string> late; // changed by another program since the read above
        ExportRegistryKey(platform, userRoot, userPath, userHeader, false, fileName, &late);
        ExportRegistryKey(platform, platform::RootKey::LocalMachine, kSystemEnvironmentPath,
                          u"; System variables\r\n[HKEY_LOCAL_MACHINE\\" + std::u16string(kSystemEnvironmentPath)
                              + u"]",
                          true, fileName, &late);
        if (late.empty()) {
            return true;
        }
        keys[0].Values = storedValues(platform.registry(), userRoot, userPath);
        keys[1].Values = storedValues(platform.registry(), platform::RootKey::LocalMachine, kSystemEnvironmentPath);
        notHeld = late;
    }
    // The Unicode script holds every value exactly; the whole file takes it.
    const std::vector<uint8_t> bytes = EncodeRegFileV5(keys);
    std::ofstream out(std::filesystem::path(fileName), std::ios::binary | std::ios::trunc | std::ios::out);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
        throw TError(tr("File I/O error"));
    }
    if (inexact) {
        *inexact = notHeld;
    }
    return true;
}

std::u16string DefaultBackupFileName(int year, int month, int day, int hour, int minute, int second)
{
    char text[32];
    std::snprintf(text, sizeof text, "backup_%02d%02d%02d_%02d%02d%02d.reg", year % 100, month, day, hour, minute,
                  second);
    return platform::fromUtf8(text);
}

std::u16string ExplorerParameters(const std::u16string& path, platform::IFileSystem& fs)
{
    if (FolderExists(path, fs)) {
        return path;
    }
    if (PathExists(path, fs)) {
        return u"/select, \"" + path + u"\"";
    }
    const size_t separator = path.find_last_of(u"\\/");
    std::u16string folder = separator == std::u16string::npos ? std::u16string() : path.substr(0, separator);
    while (!folder.empty() && folder.back() == u'\\') {
        folder.pop_back();
    }
    return folder;
}

} // namespace talvoren
