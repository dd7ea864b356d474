#include "platform/HostEnvironment.h"

#include <cstdlib>

namespace talvoren::platform {

const bool kEmulatedMachine = true;

std::optional<std::string> hostVariable(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    if (!value) {
        return std::nullopt;
    }
    return std::string(value);
}

} // namespace talvoren::platform
