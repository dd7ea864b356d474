#include "platform/posix/PosixLocale.h"

#include "platform/posix/CaseFold.h"

namespace talvoren::platform::posix {

int TPosixLocale::compareNoCase(const std::u16string& a, const std::u16string& b)
{
    const int order = foldUpper(a).compare(foldUpper(b));
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

std::u16string TPosixLocale::foldCase(const std::u16string& text)
{
    return foldUpper(text);
}

} // namespace talvoren::platform::posix
