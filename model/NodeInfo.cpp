#include "model/NodeInfo.h"

#include "base/Error.h"
#include "base/Text.h"
#include "base/Translation.h"
#include "platform/Ascii.h"
#include "platform/Platform.h"
#include "platform/Utf.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace talvoren {

TVarData::TVarData(std::u16string name, uint8_t dataType, bool readOnly)
    : dataType(dataType)
    , name(std::move(name))
    , readOnly(readOnly)
{
}

TElemData::TElemData(std::u16string txt)
    : text(std::move(txt))
{
}

// ---------------------------------------------------------------------------

void TNodeStreamWriter::WriteByte(uint8_t value)
{
    fBytes.push_back(value);
}

void TNodeStreamWriter::WriteUInt32(uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        fBytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void TNodeStreamWriter::WriteString(const std::u16string& text)
{
    WriteUInt32(static_cast<uint32_t>(text.size()));
    platform::appendUtf16Le(fBytes, text);
}

void TNodeStreamWriter::WriteVariable(const TVarData& data)
{
    WriteByte(data.GetDataType());
    WriteString(data.GetVariableName());
    WriteByte(data.GetWrongPath() ? 1 : 0);
    WriteByte(data.GetReadOnly() ? 1 : 0);
}

void TNodeStreamWriter::WriteElement(const TElemData& data)
{
    WriteString(data.GetElement());
    WriteByte(data.GetWrongPath() ? 1 : 0);
}

TNodeStreamReader::TNodeStreamReader(const uint8_t* data, size_t size)
    : fData(data)
    , fSize(size)
{
}

TNodeStreamReader::TNodeStreamReader(const std::vector<uint8_t>& bytes)
    : TNodeStreamReader(bytes.data(), bytes.size())
{
}

void TNodeStreamReader::Need(size_t count) const
{
    if (count > fSize - fPos) {
        throw TError(tr("The node data is damaged or incomplete"));
    }
}

uint8_t TNodeStreamReader::ReadByte()
{
    Need(1);
    return fData[fPos++];
}

uint32_t TNodeStreamReader::ReadUInt32()
{
    Need(4);
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        v |= static_cast<uint32_t>(fData[fPos + i]) << (8 * i);
    }
    fPos += 4;
    return v;
}

std::u16string TNodeStreamReader::ReadString()
{
    const uint32_t count = ReadUInt32();
    // Checked before allocating, so a forged count cannot ask for gigabytes.
    Need(static_cast<size_t>(count) * 2);
    std::u16string text(count, u'\0');
    for (uint32_t i = 0; i < count; ++i) {
        text[i] = static_cast<char16_t>(fData[fPos] | (fData[fPos + 1] << 8));
        fPos += 2;
    }
    return text;
}

TVarData TNodeStreamReader::ReadVariable()
{
    uint8_t type = ReadByte();
    if (type != kDataTypeString && type != kDataTypeExpandString) {
        throw TError(tr("The node data is damaged or incomplete"));
    }
    std::u16string name = ReadString();
    const bool wrong = ReadByte() != 0;
    const bool readOnly = ReadByte() != 0;
    TVarData data(std::move(name), type, readOnly);
    data.SetWrongPath(wrong);
    return data;
}

TElemData TNodeStreamReader::ReadElement()
{
    std::u16string text = ReadString();
    const bool wrong = ReadByte() != 0;
    TElemData data(std::move(text));
    data.SetWrongPath(wrong);
    return data;
}

// ---------------------------------------------------------------------------

namespace {

struct Span {
    size_t start;
    size_t length;
};

// Where each element of a value stands; SplitValue and the clean-up share it.
std::vector<Span> splitSpans(const std::u16string& value)
{
    std::vector<Span> spans;
    if (value.empty()) {
        spans.push_back({0, 0});
        return spans;
    }
    const size_t n = value.size();
    size_t pos = 0;
    while (pos < n) {
        const size_t start = pos;
        if (value[pos] == u'"') {
            // A quoted element: ';' ends it only outside quotes. Text right
            // after a closing quote (a quoted folder followed by more of the
            // path) stays in the same element, where a further quote opens
            // another quoted stretch.
            bool quoted = false;
            while (pos < n && (quoted || value[pos] != u';')) {
                if (value[pos] == u'"') {
                    quoted = !quoted;
                }
                ++pos;
            }
        } else {
            while (pos < n && value[pos] != u';') {
                ++pos;
            }
        }
        spans.push_back({start, pos - start});
        if (pos < n) { // standing on ';'
            if (pos == n - 1) {
                spans.push_back({n, 0});
            }
            ++pos;
        }
    }
    return spans;
}

} // namespace

void SplitValue(const std::u16string& value, std::vector<std::u16string>& list)
{
    const auto spans = splitSpans(value);
    list.resize(spans.size());
    for (size_t i = 0; i < spans.size(); ++i) {
        list[i].assign(value, spans[i].start, spans[i].length);
    }
}

std::vector<std::u16string> SplitValue(const std::u16string& value)
{
    std::vector<std::u16string> list;
    SplitValue(value, list);
    return list;
}

std::u16string JoinValue(const std::vector<std::u16string>& elements)
{
    std::u16string out;
    for (size_t i = 0; i < elements.size(); ++i) {
        if (i > 0) {
            out += u';';
        }
        out += elements[i];
    }
    return out;
}

namespace {
// The join rule of the clean-up helpers: while the result is empty an element
// simply becomes the result, so leading empty elements vanish.
void appendKept(std::u16string& result, const std::u16string& element)
{
    if (result.empty()) {
        result = element;
    } else {
        result += u';';
        result += element;
    }
}
} // namespace

std::u16string CleanupValue(const std::u16string& value, platform::ILocale& locale)
{
    const auto spans = splitSpans(value);
    // Folding the whole value at once is the same as folding each element
    // while the mapping keeps every length; otherwise fold element by element.
    std::u16string folded = locale.foldCase(value);
    const bool foldedInPlace = folded.size() == value.size();
    std::vector<std::u16string> foldedElements;
    if (!foldedInPlace) {
        foldedElements.reserve(spans.size());
        for (const auto& span : spans) {
            foldedElements.push_back(locale.foldCase(value.substr(span.start, span.length)));
        }
    }
    auto key = [&](size_t i) -> std::u16string_view {
        if (foldedInPlace) {
            return std::u16string_view(folded).substr(spans[i].start, spans[i].length);
        }
        return foldedElements[i];
    };

    // Kept elements in an open-addressed table of element indexes, keyed by
    // the folded text, so the scan stays linear without a node per element;
    // the locale comparison confirms each candidate.
    size_t capacity = 16;
    while (capacity < spans.size() * 2) {
        capacity *= 2;
    }
    constexpr size_t kEmpty = SIZE_MAX;
    struct Entry {
        size_t hash;
        size_t index;
    };
    // The hash is kept beside the index so a probe touches an element's text
    // only when the hashes agree.
    std::vector<Entry> table(capacity, Entry{0, kEmpty});
    const std::hash<std::u16string_view> hasher;

    std::u16string result;
    result.reserve(value.size());
    for (size_t i = 0; i < spans.size(); ++i) {
        if (spans[i].length == 0) {
            continue;
        }
        const std::u16string_view k = key(i);
        const size_t h = hasher(k);
        size_t slot = h & (capacity - 1);
        bool duplicate = false;
        for (; table[slot].index != kEmpty; slot = (slot + 1) & (capacity - 1)) {
            const size_t other = table[slot].index;
            if (table[slot].hash == h && key(other) == k
                && locale.compareNoCase(value.substr(spans[other].start, spans[other].length),
                                        value.substr(spans[i].start, spans[i].length))
                    == 0) {
                duplicate = true;
                break;
            }
        }
        if (duplicate) {
            continue;
        }
        table[slot] = Entry{h, i};
        if (!result.empty()) {
            result += u';';
        }
        result.append(value, spans[i].start, spans[i].length);
    }
    return result;
}

std::u16string RemoveValueElement(const std::u16string& value, const std::u16string& element)
{
    std::vector<std::u16string> elements;
    SplitValue(value, elements);
    const std::u16string target = asciiUpper(element);
    std::u16string result;
    for (const auto& e : elements) {
        if (e.size() == target.size() && asciiUpper(e) == target) {
            continue;
        }
        appendKept(result, e);
    }
    return result;
}

std::u16string ToShortPath(const std::u16string& path, platform::IFileSystem& fs)
{
    if (auto shortPath = fs.shortPathName(path); shortPath && !shortPath->empty()) {
        return *shortPath;
    }
    return path;
}

namespace {
// "X:" for a drive-letter path, "\\server\share" for a network path, else
// nothing.
size_t drivePartLength(const std::u16string& path)
{
    if (path.size() >= 2 && platform::isAsciiLetter(path[0]) && path[1] == u':') {
        return 2;
    }
    if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
        size_t server = path.find(u'\\', 2);
        if (server == std::u16string::npos) {
            return path.size();
        }
        size_t share = path.find(u'\\', server + 1);
        return share == std::u16string::npos ? path.size() : share;
    }
    return 0;
}
} // namespace

std::u16string ToLongPath(const std::u16string& path, platform::IFileSystem& fs)
{
    auto guard = fs.suppressCriticalErrors();
    const size_t driveLen = drivePartLength(path);
    if (driveLen >= path.size()) {
        return path;
    }
    std::u16string result = path.substr(0, driveLen);
    size_t pos = driveLen;
    if (path[pos] == u'\\') {
        result += u'\\';
        ++pos;
    }
    while (pos < path.size()) {
        size_t end = path.find(u'\\', pos);
        const bool hasSlash = end != std::u16string::npos;
        if (!hasSlash) {
            end = path.size();
        }
        const std::u16string component = path.substr(pos, end - pos);
        // Wildcards would make the search report some other entry, and "."
        // and ".." are no names of their own: such a component is kept as is.
        std::u16string name;
        if (component == u"." || component == u"..") {
            name = component;
        } else if (!component.empty() && component.find_first_of(u"*?") == std::u16string::npos) {
            auto found = fs.find(result + component, 1);
            if (!found.empty()) {
                name = found.front().name;
            }
        }
        if (name.empty()) {
            return result + path.substr(pos);
        }
        result += name;
        pos = end;
        if (hasSlash) {
            result += u'\\';
            ++pos;
        }
    }
    return result;
}

std::u16string ValueTextError(std::u16string_view text)
{
    if (text.find(u'\0') != std::u16string_view::npos) {
        return tr("The text contains a NUL character, which no value can hold");
    }
    if (text.size() > kMaxValueTextLength) {
        return tr("The text is longer than 32767 characters, the most a value can hold");
    }
    return {};
}

} // namespace talvoren
