#include "model/RegFile.h"

#include "base/Text.h"
#include "base/Translation.h"
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

// --- reading -------------------------------------------------------------------

namespace talvoren {

namespace {

constexpr char16_t kRegedit4Signature[] = u"REGEDIT4";

struct TLine {
    std::u16string Text;
    size_t Number = 0;
};

// The file's logical lines: continuations joined, comments and blank lines
// dropped. A continued line is counted from its first physical line.
std::vector<TLine> logicalLines(const std::u16string& text)
{
    std::vector<TLine> lines;
    size_t number = 0;
    bool continuing = false;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find(u'\n', start);
        if (end == std::u16string::npos) {
            end = text.size();
        }
        std::u16string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == u'\r') {
            line.pop_back();
        }
        size_t first = line.find_first_not_of(u" \t");
        line = first == std::u16string::npos ? std::u16string() : line.substr(first);
        if (continuing) {
            lines.back().Text += line;
        } else {
            if (line.empty() || line[0] == u';') {
                continue;
            }
            lines.push_back({line, number});
        }
        std::u16string& last = lines.back().Text;
        while (!last.empty() && (last.back() == u' ' || last.back() == u'\t')) {
            last.pop_back();
        }
        // Only hex data continues: a backslash ends no quoted string.
        continuing = !last.empty() && last.back() == u'\\' && last.find(u"=hex") != std::u16string::npos;
        if (continuing) {
            last.pop_back();
        }
        if (end == text.size()) {
            break;
        }
    }
    return lines;
}

// A quoted string from `pos` (at the opening quote); `pos` ends after the
// closing quote. Backslash escapes a backslash or a quote; the forms
// \n, \r and \0 that some exporters write are read too.
bool readQuoted(const std::u16string& line, size_t& pos, std::u16string& out)
{
    if (pos >= line.size() || line[pos] != u'"') {
        return false;
    }
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        char16_t c = line[pos];
        if (c == u'"') {
            ++pos;
            return true;
        }
        if (c == u'\\' && pos + 1 < line.size()) {
            c = line[++pos];
            c = c == u'n' ? u'\n' : c == u'r' ? u'\r' : c == u'0' ? u'\0' : c;
        }
        out += c;
    }
    return false;
}

bool readHexBytes(const std::u16string& text, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    size_t pos = 0;
    const auto skipBlanks = [&] {
        while (pos < text.size() && (text[pos] == u' ' || text[pos] == u'\t')) {
            ++pos;
        }
    };
    skipBlanks();
    if (pos == text.size()) {
        return true;
    }
    while (true) {
        skipBlanks();
        if (pos >= text.size()) {
            return false;
        }
        const int high = hexDigitValue(text[pos]);
        const int low = pos + 1 < text.size() ? hexDigitValue(text[pos + 1]) : -1;
        if (high < 0) {
            return false;
        }
        if (low < 0) { // one digit, as some exporters write small bytes
            bytes.push_back(static_cast<uint8_t>(high));
            pos += 1;
        } else {
            bytes.push_back(static_cast<uint8_t>(high * 16 + low));
            pos += 2;
        }
        skipBlanks();
        if (pos == text.size()) {
            return true;
        }
        if (text[pos] != u',') {
            return false;
        }
        ++pos;
        skipBlanks();
        if (pos == text.size()) {
            return true; // a trailing comma before the line's end
        }
    }
}

// REGEDIT4 holds the text of string types in the ANSI code page; the
// registry holds UTF-16.
std::vector<uint8_t> ansiStringToRegString(const std::vector<uint8_t>& ansi, platform::ILocale& locale)
{
    std::string bytes(ansi.begin(), ansi.end());
    const bool terminated = !bytes.empty() && bytes.back() == '\0';
    if (terminated) {
        bytes.pop_back();
    }
    std::vector<uint8_t> data;
    platform::appendUtf16Le(data, locale.fromAnsi(bytes));
    if (terminated) {
        data.push_back(0);
        data.push_back(0);
    }
    return data;
}

bool isStringType(uint32_t type)
{
    return type == platform::regtype::kSz || type == platform::regtype::kExpandSz || type == 7; // REG_MULTI_SZ
}

// The data after '=': `value` gets type and bytes, or Deleted. An empty
// reason means success.
std::u16string readData(const std::u16string& data, bool regedit4, platform::ILocale& locale, TRegFileValue& value)
{
    if (data == u"-") {
        value.Deleted = true;
        return {};
    }
    if (!data.empty() && data[0] == u'"') {
        size_t pos = 0;
        std::u16string text;
        if (!readQuoted(data, pos, text) || data.find_first_not_of(u" \t", pos) != std::u16string::npos) {
            return tr("The quoted string is not closed, or text follows it");
        }
        value.Type = platform::regtype::kSz;
        platform::appendRegString(value.Data, text);
        return {};
    }
    if (data.rfind(u"dword:", 0) == 0) {
        const std::u16string digits = data.substr(6);
        if (digits.empty() || digits.size() > 8) {
            return tr("A dword needs one to eight hexadecimal digits");
        }
        uint32_t number = 0;
        for (const char16_t c : digits) {
            const int digit = hexDigitValue(c);
            if (digit < 0) {
                return tr("A dword needs one to eight hexadecimal digits");
            }
            number = number * 16 + static_cast<uint32_t>(digit);
        }
        value.Type = 4; // REG_DWORD
        for (int i = 0; i < 4; ++i) {
            value.Data.push_back(static_cast<uint8_t>(number >> (8 * i)));
        }
        return {};
    }
    size_t colon = std::u16string::npos;
    if (data.rfind(u"hex:", 0) == 0) {
        value.Type = platform::regtype::kBinary;
        colon = 3;
    } else if (data.rfind(u"hex(", 0) == 0) {
        const size_t close = data.find(u"):", 4);
        if (close == std::u16string::npos || close == 4 || close > 12) {
            return tr("The data type hex(...) is not complete");
        }
        uint32_t type = 0;
        for (size_t i = 4; i < close; ++i) {
            const int digit = hexDigitValue(data[i]);
            if (digit < 0) {
                return tr("The data type hex(...) is not complete");
            }
            type = type * 16 + static_cast<uint32_t>(digit);
        }
        value.Type = type;
        colon = close + 1;
    } else {
        return tr("The data is neither a quoted string, dword: nor hex:");
    }
    if (!readHexBytes(data.substr(colon + 1), value.Data)) {
        return tr("The hexadecimal data holds something that is not a byte");
    }
    if (regedit4 && isStringType(value.Type)) {
        value.Data = ansiStringToRegString(value.Data, locale);
    }
    return {};
}

} // namespace

bool ParseRegFile(const std::vector<uint8_t>& bytes, platform::ILocale& locale, TRegFileContent& content,
                  TRegFileError& error)
{
    content = {};
    std::u16string text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        text = platform::fromUtf16Le(bytes, 2, false);
    } else {
        text = locale.fromAnsi(std::string(bytes.begin(), bytes.end()));
        content.Regedit4 = true;
    }
    const std::vector<TLine> lines = logicalLines(text);
    const std::u16string signature = content.Regedit4 ? kRegedit4Signature : kRegFileV5Signature;
    if (lines.empty() || lines[0].Text != signature) {
        error = {lines.empty() ? 0 : lines[0].Number,
                 tr("This is not a registry script: it does not start with \"REGEDIT4\" or \"Windows Registry "
                    "Editor Version 5.00\"")};
        content = {};
        return false;
    }
    const auto fail = [&](const TLine& line, const std::u16string& reason) {
        error = {line.Number, reason};
        content = {};
        return false;
    };
    for (size_t i = 1; i < lines.size(); ++i) {
        const TLine& line = lines[i];
        if (line.Text[0] == u'[') {
            if (line.Text.back() != u']' || line.Text.size() < 3) {
                return fail(line, tr("The key name is not closed by ']'"));
            }
            TRegFileContent::Key key;
            key.Path = line.Text.substr(1, line.Text.size() - 2);
            key.Removed = key.Path[0] == u'-';
            if (key.Removed) {
                key.Path.erase(0, 1);
            }
            key.Line = line.Number;
            content.Keys.push_back(std::move(key));
            continue;
        }
        if (content.Keys.empty()) {
            return fail(line, tr("A value comes before any key"));
        }
        TRegFileValue value;
        size_t pos = 0;
        if (line.Text[0] == u'@') {
            pos = 1;
        } else if (!readQuoted(line.Text, pos, value.Name)) {
            return fail(line, tr("Expected a quoted value name, '@' or '[key]'"));
        }
        while (pos < line.Text.size() && (line.Text[pos] == u' ' || line.Text[pos] == u'\t')) {
            ++pos;
        }
        if (pos >= line.Text.size() || line.Text[pos] != u'=') {
            return fail(line, tr("Expected '=' after the value name"));
        }
        const size_t dataStart = line.Text.find_first_not_of(u" \t", pos + 1);
        const std::u16string data = dataStart == std::u16string::npos ? std::u16string() : line.Text.substr(dataStart);
        const std::u16string reason = readData(data, content.Regedit4, locale, value);
        if (!reason.empty()) {
            return fail(line, reason);
        }
        if (content.Keys.back().Removed) {
            return fail(line, tr("A value follows a key that the script removes"));
        }
        content.Keys.back().Values.push_back(std::move(value));
    }
    return true;
}

} // namespace talvoren
