#pragma once

// The file system of the emulated machine: Windows paths looked up through
// the drive map. There are no short (8.3) names and no network.

#include "platform/Platform.h"

namespace talvoren::platform::posix {

class TDriveMap;

class TPosixFileSystem : public IFileSystem {
public:
    TPosixFileSystem(const TDriveMap& drives, std::u16string tempFolder);

    uint32_t attributes(const std::u16string& path) override;
    std::vector<FindEntry> find(const std::u16string& pattern, size_t maxEntries) override;
    std::optional<std::u16string> shortPathName(const std::u16string& path) override;
    std::u16string windowsPathOf(const std::u16string& dialogPath) override;
    std::u16string dialogPathOf(const std::u16string& windowsPath) override;
    std::u16string tempFolder() override;
    std::unique_ptr<ICriticalErrorGuard> suppressCriticalErrors() override;
    bool createNewFolder(const std::u16string& path) override;
    std::unique_ptr<INewFile> createNewFile(const std::u16string& path) override;
    bool deleteFile(const std::u16string& path) override;
    bool removeFolder(const std::u16string& path) override;
    std::optional<std::vector<uint8_t>> readFile(const std::u16string& path) override;

private:
    // The host path of `path` whose folder exists and whose last part may
    // not (yet); empty when there is none.
    std::string hostOfEntry(const std::u16string& path) const;

    const TDriveMap& fDrives;
    std::u16string fTempFolder;
};

// Windows wildcard matching of one name: `*` any run, `?` one character,
// letters compared without case; "x.*" also matches "x".
bool matchesWildcard(const std::u16string& pattern, const std::u16string& name);

} // namespace talvoren::platform::posix
