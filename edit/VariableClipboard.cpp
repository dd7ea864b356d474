#include "edit/VariableClipboard.h"

#include "base/Text.h"
#include "model/NodeInfo.h"
#include "model/VariableName.h"

#include <algorithm>

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

std::vector<std::u16string> nonEmptyLines(std::u16string_view text)
{
    std::vector<std::u16string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find_first_of(u"\r\n", start), text.size());
        if (std::u16string line = trimBlanks(text.substr(start, end - start)); !line.empty()) {
            lines.push_back(std::move(line));
        }
        start = end + 1;
    }
    return lines;
}

// `NAME=value` as Copy writes it, when NAME can name a variable and is no path.
std::optional<TVariableRecord> variableOf(const std::u16string& line)
{
    const size_t equals = line.find(u'=');
    if (equals == std::u16string::npos) {
        return std::nullopt;
    }
    std::u16string name = line.substr(0, equals);
    if (!VariableNameError(name).empty() || NormalizeVariableName(name) != name
        || name.find_first_of(u"\\/;%") != std::u16string::npos) {
        return std::nullopt;
    }
    std::u16string value = line.substr(equals + 1);
    // The text has lost the type: a value that refers to other variables
    // can only have been an expandable one.
    const size_t percent = value.find(u'%');
    const bool references = percent != std::u16string::npos && value.find(u'%', percent + 2) != std::u16string::npos;
    return TVariableRecord{std::move(name), std::move(value), references ? kDataTypeExpandString : kDataTypeString};
}

} // namespace

TPastedText ReadPastedText(std::u16string_view text, bool variableLevel)
{
    TPastedText pasted;
    const std::u16string trimmed = trimBlanks(text);
    if (std::u16string error = ValueTextError(trimmed); !error.empty()) {
        pasted.refusal = std::move(error);
        return pasted;
    }
    pasted.elements = nonEmptyLines(trimmed);
    if (!variableLevel) {
        return pasted;
    }
    std::vector<TVariableRecord> variables;
    for (const std::u16string& line : pasted.elements) {
        std::optional<TVariableRecord> variable = variableOf(line);
        if (!variable) {
            return pasted;
        }
        variables.push_back(std::move(*variable));
    }
    if (variables.size() == 1) {
        pasted.variable = std::move(variables.front());
    } else {
        pasted.variables = std::move(variables);
    }
    pasted.elements.clear();
    return pasted;
}

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
