#include "model/PathChecks.h"

#include "platform/Ascii.h"
#include "platform/Platform.h"

namespace talvoren {

namespace {
bool isBlankOrControl(char16_t c)
{
    return c <= u' ';
}
} // namespace

bool IsPath(const std::u16string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlankOrControl(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlankOrControl(text[end - 1])) {
        --end;
    }
    const size_t n = end - begin;
    const char16_t* t = text.data() + begin;
    if (n >= 3 && platform::isAsciiLetter(t[0]) && t[1] == u':' && t[2] == u'\\') {
        return true;
    }
    if (n >= 2 && t[0] == u'\\' && t[1] != u'\\') {
        return true;
    }
    return n == 2 && platform::isAsciiLetter(t[0]) && t[1] == u':';
}

bool FolderExists(const std::u16string& path, platform::IFileSystem& fs)
{
    const uint32_t attributes = fs.attributes(path);
    return attributes != platform::kInvalidFileAttributes && (attributes & platform::attr::kDirectory) != 0;
}

bool PathExists(const std::u16string& path, platform::IFileSystem& fs)
{
    return !fs.find(path, 1).empty();
}

} // namespace talvoren
