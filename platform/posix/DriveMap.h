#pragma once

// Drive letters of the emulated machine and the look-up of Windows paths
// in the host file system. C: is the prefix's drive_c and Z: the host's
// root; prefix/dosdevices/<letter>: entries (symbolic links, as Wine keeps
// them) add or move letters. Look-ups ignore case the way Windows does and
// report the names in the case they are stored in.

#include "platform/posix/FolderNames.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace talvoren::platform::posix {

// A Windows path taken apart: drive letter (upper case) and the components
// after "." and ".." and trailing dots and blanks were dealt with.
struct TWindowsPath {
    char16_t drive = u'C';
    std::vector<std::u16string> components;
    bool trailingSeparator = false;
};

// Parses a local path ("X:\a", "X:", "\a" on C:, relative to the host's
// working folder, "\\?\X:\a"). Network and device paths give nothing.
std::optional<TWindowsPath> parseWindowsPath(const std::u16string& path);

// Whether a component is a name Windows could store (no control or
// reserved characters). Wildcards count as reserved.
bool isValidComponent(const std::u16string& name);

class TDriveMap {
public:
    explicit TDriveMap(std::filesystem::path prefix);

    // Host folder of a drive, or nothing for an unmapped letter.
    std::optional<std::string> driveRoot(char16_t drive) const;

    struct TResolved {
        std::string host; // host path, links not resolved
        std::u16string windows; // the Windows path in stored case
    };

    // An existing file or folder.
    std::optional<TResolved> resolve(const std::u16string& path) const;
    std::optional<TResolved> resolve(const TWindowsPath& path) const;

    // The entry of `hostDir` whose name equals `name` ignoring case (the
    // exact spelling first). Gives the stored name.
    std::optional<std::u16string> lookup(const std::string& hostDir, const std::u16string& name) const;

    // The Windows form of an absolute host path: its place on C: when it is
    // inside drive_c, else on Z:.
    std::u16string toWindows(const std::filesystem::path& hostPath) const;

    const std::filesystem::path& prefix() const { return fPrefix; }

private:
    std::filesystem::path fPrefix;
    mutable TFolderNames fFolderNames;
};

} // namespace talvoren::platform::posix
