#include "model/RegFile.h"

#include "platform/Platform.h"
#include "platform/Utf.h"

namespace talvoren {

const char16_t kRegFileV5Signature[] = u"Windows Registry Editor Version 5.00";

namespace {

// regedit wraps hex data after a comma once a line passes this width.
constexpr size_t kHexLineWidth = 76;

std::u16string quoted(const std::u16string& text)
{
    std::u16string result = u"\"";
    for (const char16_t c : text) {
        if (c == u'\\' || c == u'"') {
            result += u'\\';
        }
        result += c;
    }
    return result + u'"';
}

// The text of REG_SZ data that a quoted string gives back byte for byte:
// UTF-16LE ending in one null, no other null, no line break (a quoted string
// ends at the line's end).
bool asQuotedText(const TRegFileValue& value, std::u16string& text)
{
    if (value.Type != platform::regtype::kSz || value.Data.size() < 2 || value.Data.size() % 2 != 0) {
        return false;
    }
    text = platform::fromUtf16Le(value.Data, 0, false);
    if (text.empty() || text.back() != u'\0') {
        return false;
    }
    text.pop_back();
    for (const char16_t c : text) {
        if (c == u'\0' || c == u'\r' || c == u'\n') {
            return false;
        }
    }
    return true;
}

std::u16string hexDigits(uint8_t byte)
{
    static const char16_t digits[] = u"0123456789abcdef";
    return {digits[byte >> 4], digits[byte & 15]};
}

std::u16string typePrefix(uint32_t type)
{
    if (type == platform::regtype::kBinary) {
        return u"hex:";
    }
    static const char16_t digits[] = u"0123456789abcdef";
    std::u16string number;
    do {
        number.insert(number.begin(), digits[type & 15]);
        type >>= 4;
    } while (type != 0);
    return u"hex(" + number + u"):";
}

} // namespace

std::u16string FormatRegFileV5Value(const TRegFileValue& value)
{
    std::u16string line = value.Name.empty() ? u"@" : quoted(value.Name);
    line += u'=';
    if (value.Deleted) {
        return line + u'-';
    }
    std::u16string text;
    if (asQuotedText(value, text)) {
        return line + quoted(text);
    }
    line += typePrefix(value.Type);
    size_t lineStart = 0;
    for (size_t i = 0; i < value.Data.size(); ++i) {
        line += hexDigits(value.Data[i]);
        if (i + 1 < value.Data.size()) {
            line += u',';
            if (line.size() - lineStart > kHexLineWidth) {
                line += u"\\\r\n  ";
                lineStart = line.size() - 2;
            }
        }
    }
    return line;
}

std::u16string FormatRegFileV5(const std::vector<TRegFileKey>& keys)
{
    std::u16string text = kRegFileV5Signature;
    text += u"\r\n";
    for (const TRegFileKey& key : keys) {
        text += u"\r\n";
        for (std::u16string comment : key.Comments) {
            for (char16_t& c : comment) {
                if (c == u'\r' || c == u'\n') {
                    c = u' '; // a break would end the comment and start a line the import reads
                }
            }
            text += u"; " + comment + u"\r\n";
        }
        text += u"[" + key.Path + u"]\r\n";
        for (const TRegFileValue& value : key.Values) {
            text += FormatRegFileV5Value(value) + u"\r\n";
        }
    }
    return text;
}

std::vector<uint8_t> EncodeRegFileV5(const std::vector<TRegFileKey>& keys)
{
    std::vector<uint8_t> bytes{0xFF, 0xFE};
    platform::appendUtf16Le(bytes, FormatRegFileV5(keys));
    return bytes;
}

} // namespace talvoren
