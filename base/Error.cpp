#include "base/Error.h"

#include "platform/Utf.h"

namespace talvoren {

TError::TError(std::u16string message)
    : std::runtime_error(platform::toUtf8(message))
    , fMessage(std::move(message))
{
}

} // namespace talvoren
