#include "update/UpdateProtocol.h"

#include "platform/Ascii.h"

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

std::u16string UpdateRequestPath(const std::vector<uint16_t>& version, int32_t id)
{
    std::u16string path = u"/en/updates?build=" + BuildText(version);
    if (id != 0) {
        path += u"&id=" + decimal(id);
    }
    return path;
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

TUpdateAnswerCheck CheckUpdateAnswer(const TUpdateAnswerFields& fields, const std::u16string& currentVersion)
{
    TUpdateAnswerCheck check;
    if (!fields.version) {
        return check;
    }
    // The version is compared as it stands: any difference is an offer,
    // an older version as well as a newer one.
    if (*fields.version == currentVersion) {
        check.valid = true;
        check.latest = true;
        return check;
    }
    const std::optional<int32_t> size = fields.size ? ParseSetupSize(*fields.size) : std::nullopt;
    if (!size) {
        return check;
    }
    check.valid = true;
    check.offer = {*fields.version, fields.history.value_or(std::u16string()), *size};
    return check;
}

bool IsAcceptableDownload(int64_t size, const std::u16string& address)
{
    if (size <= 0 || size > kMaxSetupSize) {
        return false;
    }
    for (std::u16string_view scheme : {std::u16string_view(u"http://"), std::u16string_view(u"https://")}) {
        if (platform::startsWithAsciiNoCase(address, scheme) && address.size() > scheme.size()) {
            return true;
        }
    }
    return false;
}

bool IsCompleteSetup(int64_t fileSize, std::string_view firstBytes, int64_t expectedSize)
{
    return fileSize == expectedSize && firstBytes.size() >= 2 && firstBytes[0] == 'M' && firstBytes[1] == 'Z';
}

} // namespace talvoren
