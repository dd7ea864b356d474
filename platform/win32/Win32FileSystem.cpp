#include "platform/win32/Win32FileSystem.h"

#include "platform/win32/WideText.h"

#include <algorithm>
#include <vector>
#include <windows.h>

namespace talvoren::platform::win32 {

namespace {

class TErrorModeGuard : public ICriticalErrorGuard {
public:
    TErrorModeGuard()
        : fPrevious(SetErrorMode(SEM_FAILCRITICALERRORS))
    {
        // SetErrorMode replaces the mode: keep the flags that were on.
        SetErrorMode(fPrevious | SEM_FAILCRITICALERRORS);
    }
    ~TErrorModeGuard() override { SetErrorMode(fPrevious); }

private:
    UINT fPrevious;
};

// Written through a handle that shares nothing; sealed by reopening it for
// reading with others allowed to read (and so to start it) only. Between
// the two handles the file could be swapped: the second must open the very
// file the first wrote, which its identity on the volume tells.
class TWin32NewFile : public INewFile {
public:
    TWin32NewFile(HANDLE handle, std::u16string path)
        : fHandle(handle)
        , fPath(std::move(path))
    {
    }
    ~TWin32NewFile() override { CloseHandle(fHandle); }

    bool write(const char* data, size_t size) override
    {
        while (size > 0 && !fSealed) {
            DWORD written = 0;
            const DWORD part = size > 0x10000000 ? 0x10000000 : DWORD(size);
            if (!WriteFile(fHandle, data, part, &written, nullptr) || written == 0) {
                return false;
            }
            data += written;
            size -= written;
        }
        return size == 0;
    }
    bool seal() override
    {
        BY_HANDLE_FILE_INFORMATION written{};
        if (fSealed || !FlushFileBuffers(fHandle) || !GetFileInformationByHandle(fHandle, &written)) {
            return false;
        }
        CloseHandle(fHandle);
        fHandle
            = CreateFileW(wide(fPath), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        BY_HANDLE_FILE_INFORMATION reopened{};
        fSealed = fHandle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(fHandle, &reopened)
            && !(reopened.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            && reopened.dwVolumeSerialNumber == written.dwVolumeSerialNumber
            && reopened.nFileIndexHigh == written.nFileIndexHigh && reopened.nFileIndexLow == written.nFileIndexLow;
        return fSealed;
    }
    int64_t read(char* data, size_t size) override
    {
        DWORD read = 0;
        const DWORD part = size > 0x10000000 ? 0x10000000 : DWORD(size);
        return fSealed && ReadFile(fHandle, data, part, &read, nullptr) ? int64_t(read) : -1;
    }

private:
    HANDLE fHandle;
    std::u16string fPath;
    bool fSealed = false;
};

bool isDotEntry(const wchar_t* name)
{
    return (name[0] == L'.' && name[1] == 0) || (name[0] == L'.' && name[1] == L'.' && name[2] == 0);
}

} // namespace

uint32_t TWin32FileSystem::attributes(const std::u16string& path)
{
    return GetFileAttributesW(wide(path));
}

std::vector<FindEntry> TWin32FileSystem::find(const std::u16string& pattern, size_t maxEntries)
{
    std::vector<FindEntry> entries;
    if (maxEntries == 0) {
        return entries;
    }
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(wide(pattern), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return entries;
    }
    do {
        if (!isDotEntry(data.cFileName)) {
            entries.push_back({fromWideBuffer(data.cFileName, MAX_PATH), data.dwFileAttributes});
        }
    } while (entries.size() < maxEntries && FindNextFileW(search, &data));
    FindClose(search);
    return entries;
}

std::u16string TWin32FileSystem::windowsPathOf(const std::u16string& dialogPath)
{
    // Dialogs may answer with forward slashes.
    std::u16string path = dialogPath;
    std::replace(path.begin(), path.end(), u'/', u'\\');
    return path;
}

std::u16string TWin32FileSystem::dialogPathOf(const std::u16string& windowsPath)
{
    // The dialogs know Windows paths as they are.
    return GetFileAttributesW(wide(windowsPath)) == INVALID_FILE_ATTRIBUTES ? std::u16string() : windowsPath;
}

std::optional<std::u16string> TWin32FileSystem::shortPathName(const std::u16string& path)
{
    DWORD size = GetShortPathNameW(wide(path), nullptr, 0);
    // The name may change between the size query and the call; a result at
    // least as long as the buffer is a new size to try.
    for (int attempt = 0; size != 0 && attempt < 4; ++attempt) {
        std::vector<wchar_t> buffer(size + 1);
        const DWORD length = GetShortPathNameW(wide(path), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            break;
        }
        if (length < buffer.size()) {
            return fromWide(buffer.data(), length);
        }
        size = length;
    }
    return std::nullopt;
}

std::u16string TWin32FileSystem::tempFolder()
{
    wchar_t buffer[MAX_PATH + 2];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH + 1) {
        return u"C:\\Windows\\Temp\\";
    }
    std::u16string folder = fromWide(buffer, length);
    if (folder.back() != u'\\') {
        folder += u'\\';
    }
    return folder;
}

std::unique_ptr<ICriticalErrorGuard> TWin32FileSystem::suppressCriticalErrors()
{
    return std::make_unique<TErrorModeGuard>();
}

bool TWin32FileSystem::createNewFolder(const std::u16string& path)
{
    // With the folder's default security, which it takes from the user's
    // temporary folder: the user's own.
    return CreateDirectoryW(wide(path), nullptr) != 0;
}

std::unique_ptr<INewFile> TWin32FileSystem::createNewFile(const std::u16string& path)
{
    const HANDLE handle = CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return handle == INVALID_HANDLE_VALUE ? nullptr : std::make_unique<TWin32NewFile>(handle, path);
}

bool TWin32FileSystem::deleteFile(const std::u16string& path)
{
    return DeleteFileW(wide(path)) != 0;
}

bool TWin32FileSystem::removeFolder(const std::u16string& path)
{
    return RemoveDirectoryW(wide(path)) != 0;
}

std::optional<std::vector<uint8_t>> TWin32FileSystem::readFile(const std::u16string& path)
{
    const HANDLE handle = CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(handle, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    CloseHandle(handle);
    return ok ? std::optional<std::vector<uint8_t>>(std::move(bytes)) : std::nullopt;
}

} // namespace talvoren::platform::win32
