#pragma once

// What the program and the vendor's update server say to each other, as
// plain text: the version texts, the request path, the fields of the
// answer and the checks a setup download must pass before it is started.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvoren {

// The fields of the server's answer as read from the document; a field
// that is not there stays empty.
struct TUpdateAnswerFields {
    std::optional<std::u16string> version;
    std::optional<std::u16string> history;
    std::optional<std::u16string> size;
    std::optional<std::u16string> sha256;
};

// An answer that names a version: the offered version, its history and the
// size of the setup program in bytes.
struct TUpdateOffer {
    std::u16string version;
    std::u16string history;
    int32_t size = 0;
    std::u16string sha256; // 64 lower-case hex digits; empty when the answer gave none
};

// The largest setup program the download accepts; anything bigger is not
// a setup of this program.
constexpr int64_t kMaxSetupSize = int64_t(512) * 1024 * 1024;

// "major.minor.release.build" of the program version (missing parts are 0).
std::u16string FullVersionText(const std::vector<uint16_t>& version);
// The build number alone.
std::u16string BuildText(const std::vector<uint16_t>& version);

// "/en/updates?build=<build>&lang=<language>": nothing that tells one
// installation from another.
std::u16string UpdateRequestPath(const std::vector<uint16_t>& version, const std::string& language);

// "major.minor.release.build", four decimal numbers of 0 to 65535 (blanks
// around allowed); nothing for any other text.
std::optional<std::vector<uint16_t>> ParseVersion(const std::u16string& text);

// A SHA-256 as 64 hex digits (either case, blanks around allowed), in
// lower case; nothing for any other text.
std::optional<std::u16string> ParseSha256(const std::u16string& text);

// "size" as a decimal 32-bit integer (blanks around it allowed); nothing
// for any other text.
std::optional<int32_t> ParseSetupSize(const std::u16string& text);

// The offer of an answer whose version is newer than `currentVersion`;
// nothing when the answer names no version, or offers one and its size is
// not a number. `latest` tells that the answer names the running version or
// an older one: nothing newer is there.
struct TUpdateAnswerCheck {
    bool valid = false;
    bool latest = false;
    TUpdateOffer offer;
};
TUpdateAnswerCheck CheckUpdateAnswer(const TUpdateAnswerFields& fields, const std::vector<uint16_t>& currentVersion);

// Whether a download of `size` bytes may be started: a positive size no
// larger than kMaxSetupSize.
bool IsAcceptableSize(int64_t size);

// Whether the downloaded file may be started: exactly `expectedSize` bytes
// that begin as a Windows executable does ("MZ").
bool IsCompleteSetup(int64_t fileSize, std::string_view firstBytes, int64_t expectedSize);

} // namespace talvoren
