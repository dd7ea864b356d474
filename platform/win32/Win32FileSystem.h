#pragma once

// The file system on the Win32 API.

#include "platform/Platform.h"

namespace talvoren::platform::win32 {

class TWin32FileSystem : public IFileSystem {
public:
    uint32_t attributes(const std::u16string& path) override;
    std::vector<FindEntry> find(const std::u16string& pattern, size_t maxEntries = SIZE_MAX) override;
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
};

} // namespace talvoren::platform::win32
