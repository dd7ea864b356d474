#pragma once

// The window's side of the one translation entry point: the core's tr()
// and the conversions between its UTF-16 strings and QString.

#include <QString>
#include <string>

namespace talvoren {

// The translation of an English message identifier, as a QString.
QString qtr(const char* messageId);

inline QString toQ(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

inline std::u16string fromQ(const QString& text)
{
    return text.toStdU16String();
}

} // namespace talvoren
