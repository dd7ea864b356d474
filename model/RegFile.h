#pragma once
// Registry scripts in the "Windows Registry Editor Version 5.00" format: the
// form Windows' regedit imports and exports, UTF-16LE with a byte order mark
// and CR LF line ends. Every value is written so that an import stores
// exactly the bytes it had: a string as "text" while that round-trips, else
// as hex(N) with its bytes; a deletion as "NAME"=-.

#include <cstdint>
#include <string>
#include <vector>

namespace talvoren {

namespace platform {
class ILocale;
}

// One value as a script states it.
struct TRegFileValue {
    std::u16string Name; // empty: the key's default value, written "@"
    bool Deleted = false; // "NAME"=-: the import removes the value
    uint32_t Type = 0; // a platform::regtype
    std::vector<uint8_t> Data; // exactly as stored
};

// One key section: its comment lines (without the leading "; "), the
// header "[Path]", the values.
struct TRegFileKey {
    std::vector<std::u16string> Comments;
    std::u16string Path; // e.g. u"HKEY_CURRENT_USER\\Environment"
    std::vector<TRegFileValue> Values;
};

extern const char16_t kRegFileV5Signature[]; // "Windows Registry Editor Version 5.00"

// The script's text (lines end in "\r\n").
std::u16string FormatRegFileV5(const std::vector<TRegFileKey>& keys);

// The script's file bytes: UTF-16LE with its byte order mark.
std::vector<uint8_t> EncodeRegFileV5(const std::vector<TRegFileKey>& keys);

// The value line "NAME"=... alone, without line end (for a value written
// in hex, the continuation lines regedit uses are part of it).
std::u16string FormatRegFileV5Value(const TRegFileValue& value);

// --- reading ----------------------------------------------------------------

// What a script holds: its keys in file order, each with the values stated
// under it. A key line "[-KEY]" (remove the whole key) is kept as a key with
// `Removed` set and no values.
struct TRegFileContent {
    bool Regedit4 = false; // "REGEDIT4" (ANSI) rather than Version 5.00
    struct Key {
        std::u16string Path;
        bool Removed = false;
        size_t Line = 0; // 1-based line of the header
        std::vector<TRegFileValue> Values;
    };
    std::vector<Key> Keys;
};

struct TRegFileError {
    size_t Line = 0; // 1-based; 0: the file as a whole
    std::u16string Reason; // translated
};

// Reads a script as regedit writes it: "Windows Registry Editor Version
// 5.00" in UTF-16LE with its byte order mark, or "REGEDIT4" in the ANSI code
// page (`locale`), whose strings are stored back as UTF-16. Comments,
// blank lines and continuation lines (a trailing backslash) are allowed.
// False, with `error` naming the first line it cannot read, for anything
// else; `content` is then left empty.
bool ParseRegFile(const std::vector<uint8_t>& bytes, platform::ILocale& locale, TRegFileContent& content,
                  TRegFileError& error);

} // namespace talvoren
