#pragma once

// An INI document held in memory: sections of "key=value" lines, read from
// and written back to bytes. Names are matched without regard to ASCII
// letter case, as Windows does, but every name keeps the spelling it was
// written with, and lines the program does not touch (comments, other
// sections, unknown keys) survive a rewrite unchanged.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace talvoren {

// Far above what a settings file holds (a million exclusions are some
// 20 MiB): a larger one (or anything that is not a regular file, such as a
// pipe or a device) is not read at all, the settings take their defaults and
// the file is left as it is.
constexpr size_t kMaxIniFileBytes = size_t(32) << 20;

class TIniFile {
public:
    // How the document was (and will be) stored.
    enum class Encoding { Utf8, Utf8Bom, Utf16LeBom };

    TIniFile() = default;

    // Parses file content; never fails. Text that is not valid UTF-8 is read
    // byte by byte as Latin-1, so nothing stops the start.
    static TIniFile Parse(const std::vector<uint8_t>& bytes);
    std::vector<uint8_t> Serialize() const;

    Encoding encoding() const { return fEncoding; }

    bool SectionExists(const std::u16string& section) const;
    bool ValueExists(const std::u16string& section, const std::u16string& key) const;

    // Names of all sections, in file order.
    std::vector<std::u16string> Sections() const;
    // Key names of one section, in file order (a name listed twice is listed twice).
    std::vector<std::u16string> ReadSection(const std::u16string& section) const;

    // The value of the first line with this key; `def` when there is none.
    std::u16string ReadString(const std::u16string& section, const std::u16string& key,
                              const std::u16string& def) const;
    // Decimal text, or hexadecimal after "0x"; `def` for anything else.
    int32_t ReadInteger(const std::u16string& section, const std::u16string& key, int32_t def) const;
    bool ReadBool(const std::u16string& section, const std::u16string& key, bool def) const;

    // Replaces the first line with this key, or appends one to the section
    // (creating the section at the end when it is missing).
    void WriteString(const std::u16string& section, const std::u16string& key, const std::u16string& value);
    void WriteInteger(const std::u16string& section, const std::u16string& key, int32_t value);
    void WriteBool(const std::u16string& section, const std::u16string& key, bool value);

    // Removes the section with all its lines.
    void EraseSection(const std::u16string& section);

private:
    struct Line {
        std::u16string key; // empty for a comment or blank line
        std::u16string value;
        std::u16string raw; // the line as read, for lines that are not key=value
        bool isEntry = false;
    };
    struct Section {
        std::u16string name;
        bool hasHeader = true; // false for lines before the first header
        std::vector<Line> lines;
        // Upper-cased key -> position of its first line, so that reading a
        // long section key by key stays linear.
        std::unordered_map<std::u16string, size_t> firstEntry;

        void Append(Line line);
        // The first line with this key, or nullptr.
        Line* Find(const std::u16string& key);
        const Line* Find(const std::u16string& key) const;
    };

    const Section* FindSection(const std::u16string& name) const;
    Section* FindSection(const std::u16string& name);
    const Line* FindEntry(const std::u16string& section, const std::u16string& key) const;

    std::vector<Section> fSections;
    Encoding fEncoding = Encoding::Utf8;
};

// Parses an INI integer: optional blanks, optional sign, decimal digits, or
// "0x" and up to eight hexadecimal digits (taken as a 32-bit pattern).
std::optional<int32_t> ParseIniInteger(const std::u16string& text);

} // namespace talvoren
