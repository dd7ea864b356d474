#include "system/Tools.h"

#include "model/EnvStore.h"
#include "model/PathTests.h"
#include "platform/Platform.h"

#include <optional>

namespace talvoren {

const char16_t kAdminProbeKey[] = u"\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char16_t kAdminProbeValue[] = u"check_for_admin_access";

namespace {
std::optional<bool> gAdminAccess;
}

bool ProbeAdminAccess(platform::IRegistry& registry)
{
    TEnvStore store(registry, platform::RootKey::LocalMachine, platform::access::kAllAccess);
    // Whether the key opened and whether the delete worked are not looked
    // at: the write is the probe.
    store.OpenKey(kAdminProbeKey, true);
    bool result = true;
    try {
        store.WriteInteger(kAdminProbeValue, 1);
    } catch (const std::exception&) {
        result = false;
    }
    store.DeleteValue(kAdminProbeValue);
    store.CloseKey();
    return result;
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
