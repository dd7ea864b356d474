#include "platform/Utf.h"

#include "platform/Platform.h"

namespace talvoren::platform {

std::string toUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD; // a lone surrogate has no UTF-8 form
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

namespace {
// The code point of the UTF-8 sequence at text[i] and its length in bytes;
// 0 when the bytes there are no valid sequence (a stray or missing
// continuation byte, an overlong form, a surrogate, beyond U+10FFFF).
size_t decodeSequence(std::string_view text, size_t i, char32_t& c)
{
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
        c = b;
        return 1;
    }
    size_t len = 0;
    if ((b & 0xE0) == 0xC0) {
        len = 2;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4;
    } else {
        return 0;
    }
    if (i + len > text.size()) {
        return 0;
    }
    char32_t v = b & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
        const auto cb = static_cast<unsigned char>(text[i + k]);
        if ((cb & 0xC0) != 0x80) {
            return 0;
        }
        v = (v << 6) | (cb & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (v < kMin[len] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) {
        return 0;
    }
    c = v;
    return len;
}

std::u16string decodeUtf8(std::string_view text, bool keepInvalid)
{
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        char32_t c = 0;
        size_t len = decodeSequence(text, i, c);
        if (len == 0) {
            const auto b = static_cast<unsigned char>(text[i]);
            // U+DC80..U+DCFF: a lone surrogate, never valid text
            c = keepInvalid ? 0xDC00 + b : 0xFFFD;
            len = 1;
        }
        i += len;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}
} // namespace

bool isValidUtf8(std::string_view text)
{
    char32_t c = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t len = decodeSequence(text, i, c);
        if (len == 0) {
            return false;
        }
        i += len;
    }
    return true;
}

std::u16string fromUtf8(std::string_view text)
{
    return decodeUtf8(text, false);
}

std::u16string fromUtf8KeepingInvalid(std::string_view text)
{
    return decodeUtf8(text, true);
}

bool isValidUtf16(std::u16string_view text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

void appendUtf16Le(std::vector<uint8_t>& bytes, std::u16string_view text)
{
    bytes.reserve(bytes.size() + text.size() * 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
}

void appendRegString(std::vector<uint8_t>& bytes, std::u16string_view text)
{
    appendUtf16Le(bytes, text);
    bytes.push_back(0);
    bytes.push_back(0);
}

std::u16string fromUtf16Le(const std::vector<uint8_t>& bytes, size_t offset, bool stopAtNull)
{
    std::u16string text;
    if (offset < bytes.size()) {
        text.reserve((bytes.size() - offset) / 2);
    }
    for (size_t i = offset; i + 1 < bytes.size(); i += 2) {
        const auto c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (c == 0 && stopAtNull) {
            break;
        }
        text += c;
    }
    return text;
}

} // namespace talvoren::platform

namespace talvoren::platform {

namespace {

// Windows-1252: Latin-1 except 0x80-0x9F, which hold these characters (0
// where the code page leaves a byte unused).
const char16_t k80[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                          0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                          0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

std::u16string ILocale::fromAnsi(const std::string& bytes)
{
    std::u16string text;
    text.reserve(bytes.size());
    for (const char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        if (c >= 0x80 && c < 0xA0) {
            text += k80[c - 0x80] ? k80[c - 0x80] : u'\uFFFD';
        } else {
            text += static_cast<char16_t>(c);
        }
    }
    return text;
}

bool ILocale::toAnsi(const std::u16string& text, std::string& bytes)
{
    bytes.clear();
    bool exact = true;
    for (const char16_t c : text) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            bytes += static_cast<char>(c);
            continue;
        }
        int found = -1;
        for (int i = 0; i < 32 && found < 0; ++i) {
            if (k80[i] == c) {
                found = i;
            }
        }
        if (found >= 0) {
            bytes += static_cast<char>(0x80 + found);
        } else {
            bytes += '?';
            exact = false;
        }
    }
    return exact;
}

} // namespace talvoren::platform
