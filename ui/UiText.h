#pragma once

// The window's side of the one translation entry point: the core's tr()
// and the conversions between its UTF-16 strings and QString.

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace talvoren {

// The translation of an English message identifier, as a QString.
QString qtr(const char* messageId);

// "<major>.<minor> build <build>" of a four-part program version, as the
// window title and the about box show it.
QString VersionAndBuild(const std::vector<uint16_t>& version);

inline QString toQ(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

inline std::u16string fromQ(const QString& text)
{
    return text.toStdU16String();
}

} // namespace talvoren
