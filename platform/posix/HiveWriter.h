#pragma once

// Convenience for filling a hive with known content (a new prefix, a new
// account): keys by "\"-separated path, values by type. Any failure throws
// std::runtime_error, since a half-filled hive is never kept.

#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace talvoren::platform::posix {

class THive;

class THiveWriter {
public:
    explicit THiveWriter(THive& hive);

    void key(const std::u16string& path);
    void string(const std::u16string& path, const std::u16string& name, const std::u16string& text);
    void expandString(const std::u16string& path, const std::u16string& name, const std::u16string& text);
    void dword(const std::u16string& path, const std::u16string& name, uint32_t value);
    void multiString(const std::u16string& path, const std::u16string& name, const std::vector<std::u16string>& items);

private:
    int64_t keyId(const std::u16string& path);
    void set(const std::u16string& path, const std::u16string& name, uint32_t type, std::vector<uint8_t> data);

    THive& fHive;
};

} // namespace talvoren::platform::posix

namespace talvoren::platform::posix {

// Reads one value of a hive by key path; nothing when the key or the value
// is missing or the hive cannot be read.
std::optional<RegValue> readHiveValue(THive& hive, const std::u16string& path, const std::u16string& name);
// Text of a string value, up to its first null; nothing for other types.
std::optional<std::u16string> readHiveText(THive& hive, const std::u16string& path, const std::u16string& name);
std::optional<uint32_t> readHiveDword(THive& hive, const std::u16string& path, const std::u16string& name);

} // namespace talvoren::platform::posix
