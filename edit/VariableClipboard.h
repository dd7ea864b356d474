#pragma once

// The clipboard record of one variable, shared with other programs under the
// registered format "VariableClipboard": 16902 bytes, UTF-16LE, a name field
// of 257 code units, a value field of 8193 code units (each 0-terminated),
// the data type byte and one padding byte.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvoren {

constexpr size_t kClipboardNameUnits = 257;
constexpr size_t kClipboardValueUnits = 8193;
constexpr size_t kClipboardValueOffset = kClipboardNameUnits * 2;
constexpr size_t kClipboardTypeOffset = kClipboardValueOffset + kClipboardValueUnits * 2;
constexpr size_t kClipboardRecordSize = kClipboardTypeOffset + 2;

struct TVariableRecord {
    std::u16string name;
    std::u16string value;
    uint8_t dataType = 1;
};

// The record for a variable; nothing when the name (over 256 code units) or
// the value (over 8192) does not fit its field, or either holds a 0 code unit
// (the reader would cut it there): such a variable travels as text only, so
// a paste never receives a cut copy.
std::optional<std::vector<uint8_t>> EncodeVariableRecord(const TVariableRecord& record);

// Reads a record another program (or this one) put on the clipboard.
// Nothing for a block shorter than the record, an empty name, a field without its
// terminating 0, or a data type other than string (1) or expandable (2).
// A longer block (the window system rounds allocations up) is read as far
// as the record goes.
std::optional<TVariableRecord> DecodeVariableRecord(const uint8_t* data, size_t size);

// What a pasted plain text brings into a tree. Surrounding blanks and line
// breaks are dropped, and each further non-empty line is an element of its
// own, in order. At a tree's variable level one line `NAME=value` is a
// variable, the text form that Copy leaves of a variable too long for the
// record, and several such lines (every one of them) are the variables that
// Copy leaves of several; a NAME that cannot name a variable, or that looks
// like a path, leaves the lines elements. `refusal` (translated) says why
// nothing can be pasted.
struct TPastedText {
    std::u16string refusal;
    std::optional<TVariableRecord> variable; // one line
    std::vector<TVariableRecord> variables; // several lines
    std::vector<std::u16string> elements;
};
TPastedText ReadPastedText(std::u16string_view text, bool variableLevel);

} // namespace talvoren
