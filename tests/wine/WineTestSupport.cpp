#include "tests/wine/WineTestSupport.h"

#include "platform/Utf.h"

namespace talvoren::test {

std::u16string windowsPath(const std::string& hostPath)
{
    std::u16string path = platform::fromUtf8(hostPath);
    for (auto& c : path) {
        if (c == u'/') {
            c = u'\\';
        }
    }
    return !path.empty() && path.front() == u'\\' ? u"Z:" + path : path;
}

TScratchKey::TScratchKey(HKEY root, std::u16string path)
    : fRoot(root)
    , fPath(std::move(path))
{
    remove();
}

TScratchKey::~TScratchKey()
{
    remove();
}

void TScratchKey::remove()
{
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(fRoot, wide(fPath), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
            RegDeleteTreeW(key, nullptr);
            RegCloseKey(key);
            RegDeleteKeyExW(fRoot, wide(fPath), view, 0);
        }
    }
}

bool keyExists(HKEY root, const std::u16string& path, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, wide(path), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

} // namespace talvoren::test
