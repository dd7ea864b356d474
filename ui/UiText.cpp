#include "ui/UiText.h"

#include "base/Translation.h"

namespace talvoren {

QString qtr(const char* messageId)
{
    return QString::fromStdU16String(tr(messageId));
}

QString VersionAndBuild(const std::vector<uint16_t>& version)
{
    const auto part = [&](size_t i) {
        return i < version.size() ? QString::number(version[i]) : QStringLiteral("0");
    };
    return part(0) + QLatin1Char('.') + part(1) + qtr(" build ") + part(3);
}

} // namespace talvoren
