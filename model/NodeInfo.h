#pragma once

// What a tree node carries (a variable or one element of its value), the
// node records of the tree's own node stream, and the pure value helpers
// that split a value into elements and clean it up.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace talvoren {

namespace platform {
class IFileSystem;
class ILocale;
} // namespace platform

// Variable type codes, the registry's own.
enum : uint8_t {
    kDataTypeString = 1, // REG_SZ
    kDataTypeExpandString = 2, // REG_EXPAND_SZ
};

class TNodeData {
public:
    virtual ~TNodeData() = default;
    bool GetWrongPath() const { return wrongPath; }
    void SetWrongPath(bool wp) { wrongPath = wp; }

protected:
    bool wrongPath = false;
};

class TVarData : public TNodeData {
public:
    TVarData(std::u16string name, uint8_t dataType, bool readOnly);

    uint8_t GetDataType() const { return dataType; }
    void SetDataType(uint8_t type) { dataType = type; }
    const std::u16string& GetVariableName() const { return name; }
    void SetVariableName(std::u16string newName) { name = std::move(newName); }
    bool GetReadOnly() const { return readOnly; }

private:
    uint8_t dataType;
    std::u16string name;
    bool readOnly; // fixed at creation: the special variables of the process
};

class TElemData : public TNodeData {
public:
    explicit TElemData(std::u16string txt);

    const std::u16string& GetElement() const { return text; }
    void SetElement(std::u16string txt) { text = std::move(txt); }

private:
    std::u16string text;
};

// ---------------------------------------------------------------------------
// Node stream records: little-endian integers, strings as a 32-bit count of
// UTF-16 code units followed by the units.

class TNodeStreamWriter {
public:
    void WriteVariable(const TVarData& data);
    void WriteElement(const TElemData& data);

    void WriteByte(uint8_t value);
    void WriteUInt32(uint32_t value);
    void WriteString(const std::u16string& text);

    const std::vector<uint8_t>& bytes() const { return fBytes; }
    std::vector<uint8_t> take() { return std::move(fBytes); }

private:
    std::vector<uint8_t> fBytes;
};

// Reads what the writer wrote. Data from outside (the clipboard, a drop) may
// be truncated or forged: every read is bounds-checked and a short or
// inconsistent record raises TError instead of reading past the end.
class TNodeStreamReader {
public:
    TNodeStreamReader(const uint8_t* data, size_t size);
    explicit TNodeStreamReader(const std::vector<uint8_t>& bytes);

    TVarData ReadVariable();
    TElemData ReadElement();

    uint8_t ReadByte();
    uint32_t ReadUInt32();
    std::u16string ReadString();

    bool AtEnd() const { return fPos >= fSize; }
    size_t Remaining() const { return fSize - fPos; }

private:
    void Need(size_t count) const;

    const uint8_t* fData;
    size_t fSize;
    size_t fPos = 0;
};

// ---------------------------------------------------------------------------
// Value helpers

// Splits a value at ';' into its elements. An element that starts with '"'
// keeps ';' inside quotes (and the quotes); joining the elements with ';'
// always gives the value back.
void SplitValue(const std::u16string& value, std::vector<std::u16string>& list);
std::vector<std::u16string> SplitValue(const std::u16string& value);

// The most characters a variable's value may hold (the terminating 0 apart).
constexpr size_t kMaxValueTextLength = 32767;

// Why `text` cannot go into a value (translated), or empty: a NUL, at which
// every reader would end the value, or more than kMaxValueTextLength characters.
std::u16string ValueTextError(std::u16string_view text);

// Joins with ';' between neighbours.
std::u16string JoinValue(const std::vector<std::u16string>& elements);

// Drops empty elements and later duplicates (case-insensitive under the
// user's locale); the first occurrence and the order are kept.
std::u16string CleanupValue(const std::u16string& value, platform::ILocale& locale);

// Drops every element equal to `element` with ASCII letters folded.
std::u16string RemoveValueElement(const std::u16string& value, const std::u16string& element);

// The 8.3 form of an existing path, else the path unchanged.
std::u16string ToShortPath(const std::u16string& path, platform::IFileSystem& fs);

// Each existing component replaced by its stored long name; from the first
// component that does not exist on, the rest is kept as given.
std::u16string ToLongPath(const std::u16string& path, platform::IFileSystem& fs);

} // namespace talvoren
