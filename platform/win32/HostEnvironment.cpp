#include "platform/HostEnvironment.h"

#include "platform/Utf.h"
#include "platform/win32/WideText.h"

#include <cstdlib>

namespace talvoren::platform {

const bool kEmulatedMachine = false;

std::optional<std::string> hostVariable(const std::string& name)
{
    const std::u16string wideName = fromUtf8(name);
    const wchar_t* value = _wgetenv(win32::wide(wideName));
    if (!value) {
        return std::nullopt;
    }
    return toUtf8(win32::fromWide(value));
}

} // namespace talvoren::platform
