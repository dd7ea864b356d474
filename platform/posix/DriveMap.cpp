#include "platform/posix/DriveMap.h"

#include "platform/Ascii.h"
#include "platform/Utf.h"
#include "platform/posix/CaseFold.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace talvoren::platform::posix {

namespace {
bool isSeparator(char16_t c)
{
    return c == u'\\' || c == u'/';
}

char16_t upperLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
}

std::vector<std::u16string> splitComponents(std::u16string_view text)
{
    std::vector<std::u16string> parts;
    std::u16string current;
    for (char16_t c : text) {
        if (isSeparator(c)) {
            parts.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    parts.push_back(std::move(current));
    return parts;
}

bool exists(const std::string& path)
{
    struct stat st { };
    return stat(path.c_str(), &st) == 0;
}
} // namespace

bool isValidComponent(const std::u16string& name)
{
    if (name.empty()) {
        return false;
    }
    for (char16_t c : name) {
        if (c < 32 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*') {
            return false;
        }
    }
    return true;
}

std::optional<TWindowsPath> parseWindowsPath(const std::u16string& input)
{
    std::u16string_view path = input;
    if (path.size() >= 4 && isSeparator(path[0]) && isSeparator(path[1]) && path[2] == u'?' && isSeparator(path[3])) {
        path.remove_prefix(4); // "\\?\C:\..." is a plain local path without length limit
        if (path.size() >= 4 && foldUpper(path.substr(0, 4)) == u"UNC\\") {
            return std::nullopt;
        }
    } else if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        return std::nullopt; // network or device path: there is no network here
    }
    if (path.empty()) {
        return std::nullopt;
    }

    TWindowsPath result;
    std::vector<std::u16string> parts;
    if (path.size() >= 2 && isAsciiLetter(path[0]) && path[1] == u':') {
        result.drive = upperLetter(path[0]);
        path.remove_prefix(2);
    } else if (isSeparator(path[0])) {
        result.drive = u'C';
    } else {
        // Relative to the working folder, which the host's is, seen on Z:.
        std::error_code ec;
        const std::string cwd = std::filesystem::current_path(ec).string();
        result.drive = u'Z';
        for (auto& part : splitComponents(fromUtf8(cwd))) {
            parts.push_back(std::move(part));
        }
    }
    for (auto& part : splitComponents(path)) {
        parts.push_back(std::move(part));
    }
    result.trailingSeparator = !path.empty() && isSeparator(path.back());

    for (auto& part : parts) {
        if (part.empty() || part == u".") {
            continue;
        }
        if (part == u"..") {
            if (!result.components.empty()) {
                result.components.pop_back();
            }
            continue;
        }
        // Win32 drops trailing dots and blanks of a name ("dir. " is "dir").
        while (!part.empty() && (part.back() == u'.' || part.back() == u' ')) {
            part.pop_back();
        }
        if (!part.empty()) {
            result.components.push_back(std::move(part));
        }
    }
    return result;
}

TDriveMap::TDriveMap(std::filesystem::path prefix)
    : fPrefix(std::move(prefix))
{
}

std::optional<std::string> TDriveMap::driveRoot(char16_t drive) const
{
    drive = upperLetter(drive);
    if (drive < u'A' || drive > u'Z') {
        return std::nullopt;
    }
    const char lower = static_cast<char>(drive - u'A' + 'a');
    const std::filesystem::path devices = fPrefix / "dosdevices";
    const std::string link = (devices / (std::string(1, lower) + ":")).string();
    if (exists(link)) {
        return link;
    }
    if (!exists(devices.string())) {
        if (drive == u'C') {
            return (fPrefix / "drive_c").string();
        }
        if (drive == u'Z') {
            return std::string("/");
        }
    }
    return std::nullopt;
}

std::optional<std::u16string> TDriveMap::lookup(const std::string& hostDir, const std::u16string& name) const
{
    if (!isValidComponent(name)) {
        return std::nullopt;
    }
    const std::string exact = hostDir + (hostDir.ends_with('/') ? "" : "/") + toUtf8(name);
    if (exists(exact)) {
        return name;
    }
    return fFolderNames.find(hostDir, foldUpper(name));
}

std::optional<TDriveMap::TResolved> TDriveMap::resolve(const std::u16string& path) const
{
    const auto parsed = parseWindowsPath(path);
    if (!parsed) {
        return std::nullopt;
    }
    return resolve(*parsed);
}

std::optional<TDriveMap::TResolved> TDriveMap::resolve(const TWindowsPath& path) const
{
    const auto root = driveRoot(path.drive);
    if (!root || !exists(*root)) {
        return std::nullopt;
    }
    TResolved result{*root, std::u16string(1, path.drive) + u":"};
    // Most paths are typed in their stored case: when the literal path exists,
    // every component matches exactly (which the look-up below prefers), so one
    // stat answers instead of one per component.
    {
        TResolved literal = result;
        bool valid = true;
        for (const auto& component : path.components) {
            if (!isValidComponent(component)) {
                valid = false;
                break;
            }
            literal.host += (literal.host.ends_with('/') ? "" : "/") + toUtf8(component);
            literal.windows += u"\\" + component;
        }
        if (valid && !path.components.empty() && exists(literal.host)) {
            return literal;
        }
    }
    for (const auto& component : path.components) {
        const auto stored = lookup(result.host, component);
        if (!stored) {
            return std::nullopt;
        }
        result.host += (result.host.ends_with('/') ? "" : "/") + toUtf8(*stored);
        result.windows += u"\\" + *stored;
    }
    if (path.components.empty()) {
        result.windows += u"\\";
    }
    return result;
}

std::u16string TDriveMap::toWindows(const std::filesystem::path& hostPath) const
{
    std::error_code ec;
    const auto absolute = std::filesystem::weakly_canonical(hostPath, ec);
    const auto driveC = std::filesystem::weakly_canonical(fPrefix / "drive_c", ec);
    const std::string host = absolute.string();
    const std::string c = driveC.string();
    std::u16string result;
    std::string rest;
    if (!c.empty() && (host == c || host.starts_with(c + "/"))) {
        result = u"C:";
        rest = host.substr(c.size());
    } else {
        result = u"Z:";
        rest = host;
    }
    std::u16string tail = fromUtf8(rest);
    std::replace(tail.begin(), tail.end(), u'/', u'\\');
    if (tail.empty()) {
        tail = u"\\";
    }
    return result + tail;
}

} // namespace talvoren::platform::posix
