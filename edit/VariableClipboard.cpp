#include "edit/VariableClipboard.h"

#include "model/NodeInfo.h"

namespace talvoren {

namespace {

void writeField(std::vector<uint8_t>& out, size_t offset, const std::u16string& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        out[offset + 2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        out[offset + 2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
}

std::optional<std::u16string> readField(const uint8_t* data, size_t offset, size_t units)
{
    std::u16string text;
    for (size_t i = 0; i < units; ++i) {
        const char16_t c = static_cast<char16_t>(data[offset + 2 * i] | (data[offset + 2 * i + 1] << 8));
        if (c == 0) {
            return text;
        }
        text.push_back(c);
    }
    return std::nullopt; // unterminated
}

bool fits(const std::u16string& text, size_t units)
{
    return text.size() < units && text.find(u'\0') == std::u16string::npos;
}

} // namespace

std::optional<std::vector<uint8_t>> EncodeVariableRecord(const TVariableRecord& record)
{
    if (!fits(record.name, kClipboardNameUnits) || !fits(record.value, kClipboardValueUnits)) {
        return std::nullopt;
    }
    std::vector<uint8_t> out(kClipboardRecordSize, 0);
    writeField(out, 0, record.name);
    writeField(out, kClipboardValueOffset, record.value);
    out[kClipboardTypeOffset] = record.dataType;
    return out;
}

std::optional<TVariableRecord> DecodeVariableRecord(const uint8_t* data, size_t size)
{
    if (!data || size < kClipboardRecordSize) {
        return std::nullopt;
    }
    auto name = readField(data, 0, kClipboardNameUnits);
    auto value = readField(data, kClipboardValueOffset, kClipboardValueUnits);
    const uint8_t type = data[kClipboardTypeOffset];
    if (!name || name->empty() || !value || (type != kDataTypeString && type != kDataTypeExpandString)) {
        return std::nullopt;
    }
    return TVariableRecord{std::move(*name), std::move(*value), type};
}

} // namespace talvoren
