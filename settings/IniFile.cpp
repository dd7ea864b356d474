#include "settings/IniFile.h"

#include "base/Text.h"
#include "platform/Utf.h"

#include <iterator>

namespace talvoren {

namespace {

bool isIniBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

std::u16string trimIniBlanks(const std::u16string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isIniBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isIniBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::u16string decode(const std::vector<uint8_t>& bytes, TIniFile::Encoding& encoding)
{
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        encoding = TIniFile::Encoding::Utf16LeBom;
        return platform::fromUtf16Le(bytes, 2, false);
    }
    size_t start = 0;
    encoding = TIniFile::Encoding::Utf8;
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        encoding = TIniFile::Encoding::Utf8Bom;
        start = 3;
    }
    const uint8_t* p = bytes.data() + start;
    const size_t n = bytes.size() - start;
    const std::string_view utf8(reinterpret_cast<const char*>(p), n);
    if (platform::isValidUtf8(utf8)) {
        return platform::fromUtf8(utf8);
    }
    std::u16string text(n, u'\0');
    for (size_t i = 0; i < n; ++i) {
        text[i] = p[i];
    }
    return text;
}

std::vector<std::u16string> splitLines(const std::u16string& text)
{
    std::vector<std::u16string> lines;
    std::u16string current;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines.push_back(current);
            current.clear();
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) {
        lines.push_back(current);
    }
    return lines;
}

} // namespace

std::optional<int32_t> ParseIniInteger(const std::u16string& raw)
{
    const std::u16string text = trimIniBlanks(raw);
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        if (text.size() > 10) {
            return std::nullopt;
        }
        uint32_t value = 0;
        for (size_t i = 2; i < text.size(); ++i) {
            const int d = hexDigitValue(text[i]);
            if (d < 0) {
                return std::nullopt;
            }
            value = (value << 4) | static_cast<uint32_t>(d);
        }
        return static_cast<int32_t>(value);
    }
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - u'0');
        if (value > int64_t(INT32_MAX) + 1) {
            return std::nullopt;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT32_MAX || value < INT32_MIN) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

TIniFile TIniFile::Parse(const std::vector<uint8_t>& bytes)
{
    TIniFile ini;
    const std::u16string text = decode(bytes, ini.fEncoding);
    ini.fSections.push_back(Section{u"", false, {}});
    for (const std::u16string& rawLine : splitLines(text)) {
        const std::u16string line = trimIniBlanks(rawLine);
        // A header is a whole line in brackets; the name is everything between
        // the first "[" and the last "]", so names holding brackets survive.
        if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
            ini.fSections.push_back(Section{line.substr(1, line.size() - 2), true, {}});
            continue;
        }
        Line entry;
        entry.raw = rawLine;
        const size_t eq = line.find(u'=');
        if (!line.empty() && line[0] != u';' && eq != std::u16string::npos && eq > 0) {
            entry.isEntry = true;
            entry.key = trimIniBlanks(line.substr(0, eq));
            entry.value = trimIniBlanks(line.substr(eq + 1));
        }
        ini.fSections.back().Append(std::move(entry));
    }
    return ini;
}

void TIniFile::Section::Append(Line line)
{
    if (line.isEntry) {
        firstEntry.try_emplace(asciiUpper(line.key), lines.size());
    }
    lines.push_back(std::move(line));
}

TIniFile::Line* TIniFile::Section::Find(const std::u16string& key)
{
    const auto it = firstEntry.find(asciiUpper(key));
    return it == firstEntry.end() ? nullptr : &lines[it->second];
}

const TIniFile::Line* TIniFile::Section::Find(const std::u16string& key) const
{
    return const_cast<Section*>(this)->Find(key);
}

std::vector<uint8_t> TIniFile::Serialize() const
{
    std::u16string text;
    for (const Section& section : fSections) {
        if (section.hasHeader) {
            text += u"[" + section.name + u"]\r\n";
        }
        for (const Line& line : section.lines) {
            text += line.isEntry ? line.key + u"=" + line.value : line.raw;
            text += u"\r\n";
        }
    }
    std::vector<uint8_t> bytes;
    if (fEncoding == Encoding::Utf16LeBom) {
        bytes = {0xFF, 0xFE};
        platform::appendUtf16Le(bytes, text);
        return bytes;
    }
    if (fEncoding == Encoding::Utf8Bom) {
        bytes = {0xEF, 0xBB, 0xBF};
    }
    const std::string utf8 = platform::toUtf8(text);
    bytes.insert(bytes.end(), utf8.begin(), utf8.end());
    return bytes;
}

const TIniFile::Section* TIniFile::FindSection(const std::u16string& name) const
{
    for (const Section& section : fSections) {
        if (section.hasHeader && equalsAsciiNoCase(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

TIniFile::Section* TIniFile::FindSection(const std::u16string& name)
{
    return const_cast<Section*>(static_cast<const TIniFile*>(this)->FindSection(name));
}

const TIniFile::Line* TIniFile::FindEntry(const std::u16string& section, const std::u16string& key) const
{
    const Section* s = FindSection(section);
    return s ? s->Find(key) : nullptr;
}

bool TIniFile::SectionExists(const std::u16string& section) const
{
    return FindSection(section) != nullptr;
}

bool TIniFile::ValueExists(const std::u16string& section, const std::u16string& key) const
{
    return FindEntry(section, key) != nullptr;
}

std::vector<std::u16string> TIniFile::Sections() const
{
    std::vector<std::u16string> names;
    for (const Section& section : fSections) {
        if (section.hasHeader) {
            names.push_back(section.name);
        }
    }
    return names;
}

std::vector<std::u16string> TIniFile::ReadSection(const std::u16string& section) const
{
    std::vector<std::u16string> keys;
    // A section may appear twice in a hand-edited file; both parts count.
    for (const Section& s : fSections) {
        if (!s.hasHeader || !equalsAsciiNoCase(s.name, section)) {
            continue;
        }
        for (const Line& line : s.lines) {
            if (line.isEntry) {
                keys.push_back(line.key);
            }
        }
    }
    return keys;
}

std::u16string TIniFile::ReadString(const std::u16string& section, const std::u16string& key,
                                    const std::u16string& def) const
{
    const Line* line = FindEntry(section, key);
    return line ? line->value : def;
}

int32_t TIniFile::ReadInteger(const std::u16string& section, const std::u16string& key, int32_t def) const
{
    const Line* line = FindEntry(section, key);
    if (!line) {
        return def;
    }
    return ParseIniInteger(line->value).value_or(def);
}

bool TIniFile::ReadBool(const std::u16string& section, const std::u16string& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::u16string& section, const std::u16string& key, const std::u16string& value)
{
    Section* s = FindSection(section);
    if (!s) {
        fSections.push_back(Section{section, true, {}});
        s = &fSections.back();
    }
    if (Line* line = s->Find(key)) {
        line->value = value;
        return;
    }
    Line entry;
    entry.isEntry = true;
    entry.key = key;
    entry.value = value;
    // Keep trailing blank lines of the section after the new entry; no entry
    // follows them, so no indexed position moves.
    auto pos = s->lines.end();
    while (pos != s->lines.begin() && !std::prev(pos)->isEntry && trimIniBlanks(std::prev(pos)->raw).empty()) {
        --pos;
    }
    s->firstEntry.try_emplace(asciiUpper(key), static_cast<size_t>(pos - s->lines.begin()));
    s->lines.insert(pos, std::move(entry));
}

void TIniFile::WriteInteger(const std::u16string& section, const std::u16string& key, int32_t value)
{
    WriteString(section, key, u16(std::to_string(value)));
}

void TIniFile::WriteBool(const std::u16string& section, const std::u16string& key, bool value)
{
    WriteString(section, key, value ? u"1" : u"0");
}

void TIniFile::EraseSection(const std::u16string& section)
{
    std::erase_if(fSections, [&](const Section& s) { return s.hasHeader && equalsAsciiNoCase(s.name, section); });
}

} // namespace talvoren
