#include "platform/posix/HiveWriter.h"

#include "platform/Utf.h"
#include "platform/posix/Hive.h"
#include "platform/posix/PosixRegistry.h"

#include <stdexcept>

namespace talvoren::platform::posix {

namespace {
} // namespace

THiveWriter::THiveWriter(THive& hive)
    : fHive(hive)
{
}

int64_t THiveWriter::keyId(const std::u16string& path)
{
    int64_t id = 0;
    const uint32_t rc = fHive.createKey(splitKeyPath(path), id);
    if (rc != 0) {
        throw std::runtime_error("Cannot create the registry key " + toUtf8(path) + " in " + fHive.file() + " (error "
                                 + std::to_string(rc) + ")");
    }
    return id;
}

void THiveWriter::key(const std::u16string& path)
{
    keyId(path);
}

void THiveWriter::set(const std::u16string& path, const std::u16string& name, uint32_t type, std::vector<uint8_t> data)
{
    const uint32_t rc = fHive.setValue(keyId(path), name, RegValue{type, std::move(data)});
    if (rc != 0) {
        throw std::runtime_error("Cannot write the registry value " + toUtf8(path) + "\\" + toUtf8(name) + " in "
                                 + fHive.file() + " (error " + std::to_string(rc) + ")");
    }
}

void THiveWriter::string(const std::u16string& path, const std::u16string& name, const std::u16string& text)
{
    std::vector<uint8_t> data;
    appendRegString(data, text);
    set(path, name, regtype::kSz, std::move(data));
}

void THiveWriter::expandString(const std::u16string& path, const std::u16string& name, const std::u16string& text)
{
    std::vector<uint8_t> data;
    appendRegString(data, text);
    set(path, name, regtype::kExpandSz, std::move(data));
}

void THiveWriter::dword(const std::u16string& path, const std::u16string& name, uint32_t value)
{
    set(path, name, regtype::kDword,
        {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
         static_cast<uint8_t>(value >> 24)});
}

void THiveWriter::multiString(const std::u16string& path, const std::u16string& name,
                              const std::vector<std::u16string>& items)
{
    std::vector<uint8_t> data;
    for (const auto& item : items) {
        appendRegString(data, item);
    }
    data.push_back(0);
    data.push_back(0);
    set(path, name, regtype::kMultiSz, std::move(data));
}

} // namespace talvoren::platform::posix

namespace talvoren::platform::posix {

std::optional<RegValue> readHiveValue(THive& hive, const std::u16string& path, const std::u16string& name)
{
    int64_t id = 0;
    RegValue value;
    if (hive.findKey(splitKeyPath(path), id) != 0 || hive.queryValue(id, name, value) != 0) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::u16string> readHiveText(THive& hive, const std::u16string& path, const std::u16string& name)
{
    const auto value = readHiveValue(hive, path, name);
    if (!value || (value->type != regtype::kSz && value->type != regtype::kExpandSz)) {
        return std::nullopt;
    }
    return fromUtf16Le(value->data);
}

std::optional<uint32_t> readHiveDword(THive& hive, const std::u16string& path, const std::u16string& name)
{
    const auto value = readHiveValue(hive, path, name);
    if (!value || value->type != regtype::kDword || value->data.size() < 4) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value->data[0] | (value->data[1] << 8) | (value->data[2] << 16)
                                 | (static_cast<uint32_t>(value->data[3]) << 24));
}

} // namespace talvoren::platform::posix
