#include "platform/posix/PosixFileSystem.h"

#include "platform/Utf.h"
#include "platform/posix/CaseFold.h"
#include "platform/posix/DriveMap.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace talvoren::platform::posix {

namespace {
class TNoCriticalErrors : public ICriticalErrorGuard { };

// POSIX knows no share modes: the file is written and read through the one
// descriptor that made it, in a folder only the user can enter, and sealed
// read-only, so that what is read is what was written.
class TPosixNewFile : public INewFile {
public:
    explicit TPosixNewFile(int fd)
        : fFd(fd)
    {
    }
    ~TPosixNewFile() override { ::close(fFd); }

    bool write(const char* data, size_t size) override
    {
        while (size > 0 && !fSealed) {
            const ssize_t written = ::write(fFd, data, size);
            if (written <= 0) {
                return false;
            }
            data += written;
            size -= size_t(written);
        }
        return size == 0;
    }
    bool seal() override
    {
        fSealed = ::fsync(fFd) == 0 && ::fchmod(fFd, S_IRUSR) == 0 && ::lseek(fFd, 0, SEEK_SET) == 0;
        return fSealed;
    }
    int64_t read(char* data, size_t size) override { return fSealed ? int64_t(::read(fFd, data, size)) : -1; }

private:
    int fFd;
    bool fSealed = false;
};

uint32_t attributesOf(const std::string& host, const std::u16string& name)
{
    struct stat st { };
    if (stat(host.c_str(), &st) != 0) {
        return kInvalidFileAttributes;
    }
    uint32_t attributes = S_ISDIR(st.st_mode) ? attr::kDirectory : attr::kArchive;
    if (!(st.st_mode & S_IWUSR)) {
        attributes |= attr::kReadOnly;
    }
    if (!name.empty() && name.front() == u'.') {
        attributes |= attr::kHidden;
    }
    return attributes;
}

bool hasWildcard(const std::u16string& text)
{
    return text.find_first_of(u"*?") != std::u16string::npos;
}

bool matchFolded(std::u16string_view pattern, std::u16string_view name)
{
    // Iterative glob with one backtracking point per `*`.
    size_t p = 0, n = 0, star = std::u16string_view::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            mark = n;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') {
        ++p;
    }
    return p == pattern.size();
}
} // namespace

bool matchesWildcard(const std::u16string& pattern, const std::u16string& name)
{
    const std::u16string p = foldUpper(pattern);
    const std::u16string n = foldUpper(name);
    if (matchFolded(p, n)) {
        return true;
    }
    // As on Windows, an extension wildcard also accepts a name without one.
    return p.size() >= 2 && p.ends_with(u".*") && n.find(u'.') == std::u16string::npos
        && matchFolded(std::u16string_view(p).substr(0, p.size() - 2), n);
}

TPosixFileSystem::TPosixFileSystem(const TDriveMap& drives, std::u16string tempFolder)
    : fDrives(drives)
    , fTempFolder(std::move(tempFolder))
{
}

uint32_t TPosixFileSystem::attributes(const std::u16string& path)
{
    const auto parsed = parseWindowsPath(path);
    if (!parsed) {
        return kInvalidFileAttributes;
    }
    const auto resolved = fDrives.resolve(*parsed);
    if (!resolved) {
        return kInvalidFileAttributes;
    }
    const std::u16string name = parsed->components.empty() ? std::u16string() : parsed->components.back();
    const uint32_t attributes = attributesOf(resolved->host, name);
    // "file\" names a folder that is not there.
    if (parsed->trailingSeparator && attributes != kInvalidFileAttributes && !(attributes & attr::kDirectory)) {
        return kInvalidFileAttributes;
    }
    return attributes;
}

std::u16string TPosixFileSystem::windowsPathOf(const std::u16string& dialogPath)
{
    return fDrives.toWindows(std::filesystem::path(toUtf8(dialogPath)));
}

std::u16string TPosixFileSystem::dialogPathOf(const std::u16string& windowsPath)
{
    const auto resolved = fDrives.resolve(windowsPath);
    return resolved ? fromUtf8(resolved->host) : std::u16string();
}

std::vector<FindEntry> TPosixFileSystem::find(const std::u16string& pattern, size_t maxEntries)
{
    std::vector<FindEntry> entries;
    auto parsed = parseWindowsPath(pattern);
    if (!parsed || parsed->components.empty() || parsed->trailingSeparator) {
        return entries;
    }
    const std::u16string last = parsed->components.back();
    parsed->components.pop_back();
    const auto folder = fDrives.resolve(*parsed);
    if (!folder) {
        return entries;
    }
    if (!hasWildcard(last)) {
        const auto stored = fDrives.lookup(folder->host, last);
        if (stored) {
            const uint32_t attributes = attributesOf(folder->host + "/" + toUtf8(*stored), *stored);
            if (attributes != kInvalidFileAttributes && maxEntries > 0) {
                entries.push_back({*stored, attributes});
            }
        }
        return entries;
    }
    DIR* dir = opendir(folder->host.c_str());
    if (!dir) {
        return entries;
    }
    std::vector<std::pair<std::u16string, FindEntry>> found;
    while (dirent* entry = readdir(dir)) {
        const std::u16string name = fromUtf8(entry->d_name);
        if (name == u"." || name == u".." || !matchesWildcard(last, name)) {
            continue;
        }
        const uint32_t attributes = attributesOf(folder->host + "/" + entry->d_name, name);
        if (attributes != kInvalidFileAttributes) {
            found.push_back({foldUpper(name), FindEntry{name, attributes}});
        }
    }
    closedir(dir);
    // NTFS lists a folder ordered by upper-cased names.
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& item : found) {
        if (entries.size() >= maxEntries) {
            break;
        }
        entries.push_back(std::move(item.second));
    }
    return entries;
}

std::optional<std::u16string> TPosixFileSystem::shortPathName(const std::u16string&)
{
    return std::nullopt;
}

std::u16string TPosixFileSystem::tempFolder()
{
    return fTempFolder;
}

std::unique_ptr<ICriticalErrorGuard> TPosixFileSystem::suppressCriticalErrors()
{
    return std::make_unique<TNoCriticalErrors>();
}

std::string TPosixFileSystem::hostOfEntry(const std::u16string& path) const
{
    auto parsed = parseWindowsPath(path);
    if (!parsed || parsed->components.empty() || !isValidComponent(parsed->components.back())) {
        return {};
    }
    const std::u16string last = parsed->components.back();
    parsed->components.pop_back();
    const auto folder = fDrives.resolve(*parsed);
    return folder ? folder->host + (folder->host.ends_with('/') ? "" : "/") + toUtf8(last) : std::string();
}

bool TPosixFileSystem::createNewFolder(const std::u16string& path)
{
    const std::string host = hostOfEntry(path);
    return !host.empty() && ::mkdir(host.c_str(), S_IRWXU) == 0;
}

std::unique_ptr<INewFile> TPosixFileSystem::createNewFile(const std::u16string& path)
{
    const std::string host = hostOfEntry(path);
    const int fd = host.empty()
        ? -1
        : ::open(host.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    return fd < 0 ? nullptr : std::make_unique<TPosixNewFile>(fd);
}

bool TPosixFileSystem::deleteFile(const std::u16string& path)
{
    const std::string host = hostOfEntry(path);
    return !host.empty() && ::unlink(host.c_str()) == 0;
}

bool TPosixFileSystem::removeFolder(const std::u16string& path)
{
    std::u16string folder = path;
    while (folder.size() > 3 && (folder.back() == u'\\' || folder.back() == u'/')) {
        folder.pop_back();
    }
    const std::string host = hostOfEntry(folder);
    return !host.empty() && ::rmdir(host.c_str()) == 0;
}

std::optional<std::vector<uint8_t>> TPosixFileSystem::readFile(const std::u16string& path)
{
    const std::string host = hostOfEntry(path);
    const int fd = host.empty() ? -1 : ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    char buffer[65536];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    ::close(fd);
    return got < 0 ? std::nullopt : std::optional<std::vector<uint8_t>>(std::move(bytes));
}

} // namespace talvoren::platform::posix
