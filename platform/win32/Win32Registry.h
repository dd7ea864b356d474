#pragma once

// The registry on the Win32 API (advapi32).

#include "platform/Platform.h"

namespace talvoren::platform::win32 {

class TWin32Registry : public IRegistry {
public:
    uint32_t beginUpdate(RootKey root, const std::u16string& path, std::unique_ptr<IRegistryUpdate>& update) override;
    uint32_t beginBatch(RootKey root, const std::u16string& path, std::unique_ptr<IRegistryUpdate>& batch) override;
    uint32_t openKey(RootKey root, const std::u16string& path, uint32_t access, bool create,
                     std::unique_ptr<IRegistryKey>& key) override;
    uint32_t deleteKey(RootKey root, const std::u16string& path) override;
    uint32_t loadHive(const std::u16string& keyName, const std::u16string& file) override;
    uint32_t watchKey(RootKey root, const std::u16string& path, std::unique_ptr<IKeyWatch>& watch) override;
};

} // namespace talvoren::platform::win32
