#pragma once

// The names in host folders by their upper-case fold, kept between look-ups,
// so that asking for a name the folder holds in no case costs one stat of the
// folder instead of a read of all its entries (validation asks for the same
// missing folders five times a second, and C:\Windows\System32 is large).
//
// A listing is reused only while the folder keeps its identity and its change
// times, and only when those times lay clearly before the listing was read:
// file systems stamp times coarsely, so an entry added in the same tick as the
// listing would otherwise leave the times unchanged and go unseen.

#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <unordered_map>

namespace talvoren::platform::posix {

class TFolderNames {
public:
    // `now` gives the wall-clock seconds that file times are compared with.
    explicit TFolderNames(std::function<time_t()> now = wallClockSeconds);

    // The entry of `hostDir` whose fold is `folded`; the smallest spelling
    // when the host keeps several that differ in case only.
    std::optional<std::u16string> find(const std::string& hostDir, const std::u16string& folded);

    // Folders kept at most; the whole cache starts over past it.
    static constexpr size_t kMaxFolders = 512;
    // How far before the listing the folder's times must lie to trust it.
    static constexpr time_t kTimestampSlackSeconds = 2;

    static time_t wallClockSeconds();

private:
    struct TStamp {
        dev_t device = 0;
        ino_t inode = 0;
        timespec modified{};
        timespec changed{};
        bool operator==(const TStamp& other) const;
    };
    struct TListing {
        TStamp stamp;
        std::unordered_map<std::u16string, std::u16string> byFold;
    };

    static std::optional<TStamp> stampOf(const std::string& hostDir);
    static std::optional<std::unordered_map<std::u16string, std::u16string>> read(const std::string& hostDir);

    std::function<time_t()> fNow;
    std::mutex fMutex;
    std::unordered_map<std::string, TListing> fListings;
};

} // namespace talvoren::platform::posix
