#include "platform/posix/FolderNames.h"

#include "platform/Utf.h"
#include "platform/posix/CaseFold.h"

#include <dirent.h>
#include <sys/stat.h>

namespace talvoren::platform::posix {

namespace {
std::optional<std::u16string> nameIn(const std::unordered_map<std::u16string, std::u16string>& byFold,
                                     const std::u16string& folded)
{
    const auto hit = byFold.find(folded);
    return hit == byFold.end() ? std::nullopt : std::optional(hit->second);
}

bool sameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}
} // namespace

TFolderNames::TFolderNames(std::function<time_t()> now)
    : fNow(std::move(now))
{
}

time_t TFolderNames::wallClockSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec;
}

bool TFolderNames::TStamp::operator==(const TStamp& other) const
{
    return device == other.device && inode == other.inode && sameTime(modified, other.modified)
        && sameTime(changed, other.changed);
}

std::optional<TFolderNames::TStamp> TFolderNames::stampOf(const std::string& hostDir)
{
    struct stat st { };
    if (stat(hostDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    return TStamp{st.st_dev, st.st_ino, st.st_mtim, st.st_ctim};
}

std::optional<std::unordered_map<std::u16string, std::u16string>> TFolderNames::read(const std::string& hostDir)
{
    DIR* dir = opendir(hostDir.c_str());
    if (!dir) {
        return std::nullopt;
    }
    std::unordered_map<std::u16string, std::u16string> byFold;
    while (dirent* entry = readdir(dir)) {
        std::u16string name = fromUtf8(entry->d_name);
        if (name == u"." || name == u"..") {
            continue;
        }
        auto [it, added] = byFold.try_emplace(foldUpper(name), name);
        if (!added && name < it->second) {
            it->second = std::move(name);
        }
    }
    closedir(dir);
    return byFold;
}

std::optional<std::u16string> TFolderNames::find(const std::string& hostDir, const std::u16string& folded)
{
    const auto stamp = stampOf(hostDir);
    if (!stamp) {
        return std::nullopt;
    }
    std::lock_guard lock(fMutex);
    auto cached = fListings.find(hostDir);
    if (cached == fListings.end() || !(cached->second.stamp == *stamp)) {
        if (cached != fListings.end()) {
            fListings.erase(cached);
        }
        const time_t now = fNow();
        auto names = read(hostDir);
        if (!names) {
            return std::nullopt;
        }
        const time_t trustedBefore = now - kTimestampSlackSeconds;
        const bool settled = stamp->modified.tv_sec < trustedBefore && stamp->changed.tv_sec < trustedBefore;
        if (!settled) {
            return nameIn(*names, folded);
        }
        if (fListings.size() >= kMaxFolders) {
            fListings.clear();
        }
        cached = fListings.emplace(hostDir, TListing{*stamp, std::move(*names)}).first;
    }
    return nameIn(cached->second.byFold, folded);
}

} // namespace talvoren::platform::posix
