#pragma once

// Helpers of the tests that run on the real Windows API (under Wine).

#include "platform/win32/WideText.h"

#include <string>
#include <windows.h>

namespace talvoren::test {

// A host path as a Windows path: Wine shows the host's "/" as drive Z:.
std::u16string windowsPath(const std::string& hostPath);

// A registry key of one test, removed with its subkeys in both registry
// views before the test and after it.
class TScratchKey {
public:
    TScratchKey(HKEY root, std::u16string path);
    ~TScratchKey();
    TScratchKey(const TScratchKey&) = delete;
    TScratchKey& operator=(const TScratchKey&) = delete;

    const std::u16string& path() const { return fPath; }

private:
    void remove();

    HKEY fRoot;
    std::u16string fPath;
};

// Whether `path` exists below `root` in the registry view `view`
// (KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0 for the process's own).
bool keyExists(HKEY root, const std::u16string& path, REGSAM view);

using platform::win32::wide;

} // namespace talvoren::test
