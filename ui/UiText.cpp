#include "ui/UiText.h"

#include "base/Translation.h"

namespace talvoren {

QString qtr(const char* messageId)
{
    return QString::fromStdU16String(tr(messageId));
}

} // namespace talvoren
