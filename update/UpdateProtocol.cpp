#include "update/UpdateProtocol.h"

#include <algorithm>
#include <limits>

namespace talvoren {

namespace {

std::u16string decimal(int64_t value)
{
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

} // namespace

std::u16string FullVersionText(const std::vector<uint16_t>& version)
{
    std::u16string text;
    for (size_t i = 0; i < 4; ++i) {
        if (i > 0) {
            text += u'.';
        }
        text += decimal(i < version.size() ? version[i] : 0);
    }
    return text;
}

std::u16string BuildText(const std::vector<uint16_t>& version)
{
    return decimal(version.size() > 3 ? version[3] : 0);
}

std::u16string UpdateRequestPath(const std::vector<uint16_t>& version, const std::string& language)
{
    std::u16string lang;
    for (const char c : language) {
        // A language code is letters, digits and "_" (pt_BR); nothing else
        // goes into the address.
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') {
            lang += char16_t(c);
        }
    }
    return u"/en/updates?build=" + BuildText(version) + u"&lang=" + (lang.empty() ? u"en" : lang);
}

namespace {
std::u16string_view trimmed(const std::u16string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    return std::u16string_view(text).substr(begin, end - begin);
}
} // namespace

std::optional<std::vector<uint16_t>> ParseVersion(const std::u16string& text)
{
    const std::u16string_view view = trimmed(text);
    std::vector<uint16_t> version;
    uint32_t value = 0;
    size_t digits = 0;
    for (size_t i = 0; i <= view.size(); ++i) {
        if (i == view.size() || view[i] == u'.') {
            if (digits == 0 || version.size() == 4) {
                return std::nullopt;
            }
            version.push_back(uint16_t(value));
            value = 0;
            digits = 0;
        } else if (view[i] >= u'0' && view[i] <= u'9' && digits < 5) {
            value = value * 10 + uint32_t(view[i] - u'0');
            ++digits;
            if (value > 65535) {
                return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
    }
    if (version.size() != 4) {
        return std::nullopt;
    }
    return version;
}

std::optional<std::u16string> ParseSha256(const std::u16string& text)
{
    const std::u16string_view view = trimmed(text);
    if (view.size() != 64) {
        return std::nullopt;
    }
    std::u16string hash;
    for (const char16_t c : view) {
        if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')) {
            hash += c;
        } else if (c >= u'A' && c <= u'F') {
            hash += char16_t(c - u'A' + u'a');
        } else {
            return std::nullopt;
        }
    }
    return hash;
}

std::optional<int32_t> ParseSetupSize(const std::u16string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    bool negative = false;
    if (begin < end && (text[begin] == u'-' || text[begin] == u'+')) {
        negative = text[begin] == u'-';
        ++begin;
    }
    if (begin == end) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (size_t i = begin; i < end; ++i) {
        if (text[i] < u'0' || text[i] > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - u'0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1) {
            return std::nullopt;
        }
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min()) {
        return std::nullopt;
    }
    return int32_t(value);
}

TUpdateAnswerCheck CheckUpdateAnswer(const TUpdateAnswerFields& fields, const std::vector<uint16_t>& currentVersion)
{
    TUpdateAnswerCheck check;
    const std::optional<std::vector<uint16_t>> offered = fields.version ? ParseVersion(*fields.version) : std::nullopt;
    if (!offered) {
        return check;
    }
    std::vector<uint16_t> current = currentVersion;
    current.resize(4, 0);
    // Only a newer version is offered: an older one (a server behind, or
    // one that would take the user back) is no update.
    if (*offered <= current) {
        check.valid = true;
        check.latest = true;
        return check;
    }
    const std::optional<int32_t> size = fields.size ? ParseSetupSize(*fields.size) : std::nullopt;
    if (!size) {
        return check;
    }
    check.valid = true;
    check.offer = {FullVersionText(*offered), fields.history.value_or(std::u16string()), *size,
                   fields.sha256 ? ParseSha256(*fields.sha256).value_or(std::u16string()) : std::u16string()};
    return check;
}

bool IsAcceptableSize(int64_t size)
{
    return size > 0 && size <= kMaxSetupSize;
}

bool IsCompleteSetup(int64_t fileSize, std::string_view firstBytes, int64_t expectedSize)
{
    return fileSize == expectedSize && firstBytes.size() >= 2 && firstBytes[0] == 'M' && firstBytes[1] == 'Z';
}

} // namespace talvoren
