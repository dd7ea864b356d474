#include "platform/posix/regtool/RegTool.h"

#include "platform/Utf.h"
#include "platform/posix/CaseFold.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace talvoren::platform::posix {

namespace {
constexpr char kSuccess[] = "reg: The operation completed successfully";
constexpr char kKeyNotFound[] = "reg: Unable to find the specified registry key";
constexpr char kValueNotFound[] = "reg: Unable to find the specified registry value";
constexpr char kCancelled[] = "reg: The registry operation was cancelled";

struct TTypeName {
    const char16_t* name;
    uint32_t type;
};
const TTypeName kTypes[] = {
    {u"REG_NONE", regtype::kNone},
    {u"REG_SZ", regtype::kSz},
    {u"REG_EXPAND_SZ", regtype::kExpandSz},
    {u"REG_BINARY", regtype::kBinary},
    {u"REG_DWORD", regtype::kDword},
    {u"REG_DWORD_BIG_ENDIAN", regtype::kDwordBigEndian},
    {u"REG_LINK", regtype::kLink},
    {u"REG_MULTI_SZ", regtype::kMultiSz},
    {u"REG_RESOURCE_LIST", regtype::kResourceList},
    {u"REG_FULL_RESOURCE_DESCRIPTOR", regtype::kFullResourceDescriptor},
    {u"REG_RESOURCE_REQUIREMENTS_LIST", regtype::kResourceRequirementsList},
    {u"REG_QWORD", regtype::kQword},
};

std::string u8(const std::u16string& text)
{
    return toUtf8(text);
}

bool isOption(const std::u16string& arg, const char16_t* name)
{
    return (arg.size() > 1 && (arg[0] == u'/' || arg[0] == u'-')) && foldUpper(arg.substr(1)) == name;
}

bool isAnyOption(const std::u16string& arg)
{
    return arg.size() > 1 && (arg[0] == u'/' || arg[0] == u'-');
}

std::u16string hexBytes(const std::vector<uint8_t>& data, size_t from = 0)
{
    static const char16_t digits[] = u"0123456789ABCDEF";
    std::u16string out;
    for (size_t i = from; i < data.size(); ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 0xF];
    }
    return out;
}

// Decimal or 0x-hexadecimal, no sign, at most `max`.
bool parseNumber(const std::u16string& text, uint64_t max, uint64_t& value)
{
    value = 0;
    size_t i = 0;
    unsigned base = 10;
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        base = 16;
        i = 2;
    }
    if (i >= text.size()) {
        return false;
    }
    for (; i < text.size(); ++i) {
        const char16_t c = text[i];
        unsigned digit;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (base == 16 && c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (base == 16 && c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        } else {
            return false;
        }
        if (value > (max - digit) / base) {
            return false;
        }
        value = value * base + digit;
    }
    return true;
}

bool parseHex(const std::u16string& text, std::vector<uint8_t>& data)
{
    data.clear();
    std::u16string digits = text.size() % 2 ? u"0" + text : text;
    for (size_t i = 0; i < digits.size(); i += 2) {
        uint64_t byte = 0;
        if (!parseNumber(u"0x" + digits.substr(i, 2), 0xFF, byte)) {
            return false;
        }
        data.push_back(static_cast<uint8_t>(byte));
    }
    return true;
}

std::u16string decodeText(const std::vector<uint8_t>& data, size_t& pos)
{
    std::u16string text;
    while (pos + 1 < data.size()) {
        const auto c = static_cast<char16_t>(data[pos] | (data[pos + 1] << 8));
        pos += 2;
        if (c == 0) {
            break;
        }
        text += c;
    }
    return text;
}
} // namespace

std::u16string regTypeName(uint32_t type)
{
    for (const auto& entry : kTypes) {
        if (entry.type == type) {
            return entry.name;
        }
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%x", type);
    return fromUtf8(code);
}

std::u16string formatRegData(const RegValue& value)
{
    const auto& data = value.data;
    switch (value.type) {
    case regtype::kSz:
    case regtype::kExpandSz: {
        size_t pos = 0;
        return decodeText(data, pos);
    }
    case regtype::kMultiSz: {
        std::u16string out;
        size_t pos = 0;
        bool first = true;
        while (pos + 1 < data.size()) {
            const std::u16string item = decodeText(data, pos);
            if (item.empty()) {
                break; // the list's closing null
            }
            out += (first ? u"" : u"\\0") + item;
            first = false;
        }
        return out;
    }
    case regtype::kDword:
    case regtype::kQword: {
        const size_t width = value.type == regtype::kDword ? 4 : 8;
        if (data.size() != width) {
            return hexBytes(data);
        }
        uint64_t number = 0;
        for (size_t i = 0; i < width; ++i) {
            number |= static_cast<uint64_t>(data[i]) << (8 * i);
        }
        char text[24];
        std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(number));
        return fromUtf8(text);
    }
    default:
        return hexBytes(data);
    }
}

TRegTool::TRegTool(IRegistry& registry, std::ostream& out, std::ostream& err, TConfirm confirm)
    : fRegistry(registry)
    , fOut(out)
    , fErr(err)
    , fConfirm(std::move(confirm))
{
}

int TRegTool::fail(const std::string& message)
{
    fErr << message << "\n";
    return 1;
}

int TRegTool::failCode(uint32_t code)
{
    switch (code) {
    case error::kFileNotFound:
    case error::kPathNotFound:
        return fail(kKeyNotFound);
    case error::kAccessDenied:
        return fail("reg: Access is denied");
    case error::kLockViolation:
        return fail("reg: The process cannot access the file because another process has locked a portion of "
                    "the file");
    case error::kBadDb:
        return fail("reg: The configuration registry database is corrupt");
    case error::kNotRegistryFile:
        return fail("reg: The hive file is not in a registry file format");
    default:
        return fail("reg: The registry operation failed (error " + std::to_string(code) + ")");
    }
}

int TRegTool::syntax(const char* command)
{
    return fail(std::string("reg: Invalid syntax. Type \"REG ") + command + " /?\" for help.");
}

bool TRegTool::parseKey(const std::u16string& text, TKeyName& key)
{
    std::u16string rootName = text.substr(0, text.find(u'\\'));
    std::u16string rest = rootName.size() < text.size() ? text.substr(rootName.size() + 1) : std::u16string();
    while (!rest.empty() && rest.back() == u'\\') {
        rest.pop_back();
    }
    const std::u16string folded = foldUpper(rootName);
    if (folded == u"HKLM" || folded == u"HKEY_LOCAL_MACHINE") {
        key.root = RootKey::LocalMachine;
        key.display = u"HKEY_LOCAL_MACHINE";
    } else if (folded == u"HKCU" || folded == u"HKEY_CURRENT_USER") {
        key.root = RootKey::CurrentUser;
        key.display = u"HKEY_CURRENT_USER";
    } else if (folded == u"HKU" || folded == u"HKEY_USERS") {
        key.root = RootKey::Users;
        key.display = u"HKEY_USERS";
    } else {
        return false;
    }
    key.path = rest;
    if (!rest.empty()) {
        key.display += u"\\" + rest;
    }
    return true;
}

int TRegTool::run(const std::vector<std::u16string>& args)
{
    if (args.empty()) {
        return fail("reg: Invalid syntax. Type \"REG /?\" for help.");
    }
    const std::u16string command = foldUpper(args[0]);
    const std::vector<std::u16string> rest(args.begin() + 1, args.end());
    if (command == u"QUERY") {
        return query(rest);
    }
    if (command == u"ADD") {
        return add(rest);
    }
    if (command == u"DELETE") {
        return remove(rest);
    }
    if (isOption(args[0], u"?")) {
        fOut << "REG QUERY | ADD | DELETE KeyName [options]\n"
                "  QUERY  KeyName [/v ValueName | /ve] [/s]\n"
                "  ADD    KeyName [/v ValueName | /ve] [/t Type] [/s Separator] [/d Data] [/f]\n"
                "  DELETE KeyName [/v ValueName | /ve | /va] [/f]\n"
                "KeyName: HKLM, HKCU or HKU (or their long names), then \\SubKey\n";
        return 0;
    }
    return fail("reg: Invalid syntax. Type \"REG /?\" for help.");
}

void TRegTool::printValue(IRegistryKey& key, const std::u16string& name)
{
    RegValue value;
    key.queryValue(name, value);
    fOut << "    " << (name.empty() ? "(Default)" : u8(name)) << "    " << u8(regTypeName(value.type)) << "    "
         << u8(formatRegData(value)) << "\n";
}

void TRegTool::queryTree(IRegistryKey& key, const TKeyName& name, bool recurse, bool nested)
{
    const auto values = key.valueNames();
    if (!values.empty() || nested) {
        fOut << u8(name.display) << "\n";
    }
    for (const auto& value : values) {
        printValue(key, value);
    }
    if (!values.empty() || nested) {
        fOut << "\n";
    }
    for (const auto& sub : key.subKeyNames()) {
        TKeyName child{name.root, name.path.empty() ? sub : name.path + u"\\" + sub, name.display + u"\\" + sub};
        if (!recurse) {
            fOut << u8(child.display) << "\n";
            continue;
        }
        std::unique_ptr<IRegistryKey> subKey;
        if (fRegistry.openKey(child.root, child.path, access::kRead, false, subKey) == error::kSuccess) {
            queryTree(*subKey, child, true, true);
        }
    }
}

int TRegTool::query(const std::vector<std::u16string>& args)
{
    if (args.empty() || isAnyOption(args[0])) {
        return syntax("QUERY");
    }
    TKeyName name;
    if (!parseKey(args[0], name)) {
        return fail("reg: Invalid system key");
    }
    std::optional<std::u16string> valueName;
    bool recurse = false;
    for (size_t i = 1; i < args.size(); ++i) {
        if (isOption(args[i], u"V") && i + 1 < args.size() && !valueName) {
            valueName = args[++i];
        } else if (isOption(args[i], u"VE") && !valueName) {
            valueName = u"";
        } else if (isOption(args[i], u"S")) {
            recurse = true;
        } else if (isOption(args[i], u"REG:32") || isOption(args[i], u"REG:64")) {
            continue; // one registry view here
        } else {
            return syntax("QUERY");
        }
    }
    std::unique_ptr<IRegistryKey> key;
    const uint32_t rc = fRegistry.openKey(name.root, name.path, access::kRead, false, key);
    if (rc != error::kSuccess) {
        return failCode(rc);
    }
    fOut << "\n";
    if (!valueName) {
        queryTree(*key, name, recurse, false);
        return 0;
    }
    RegValue value;
    if (key->queryValue(*valueName, value) != error::kSuccess) {
        if (!valueName->empty()) {
            return fail(kValueNotFound);
        }
        fOut << u8(name.display) << "\n    (Default)    REG_SZ    (value not set)\n\n";
        return 0;
    }
    // The stored spelling of the name, as the registry enumerates it.
    std::u16string stored = *valueName;
    for (const auto& n : key->valueNames()) {
        if (foldUpper(n) == foldUpper(*valueName)) {
            stored = n;
        }
    }
    fOut << u8(name.display) << "\n";
    printValue(*key, stored);
    fOut << "\n";
    return 0;
}

int TRegTool::add(const std::vector<std::u16string>& args)
{
    if (args.empty() || isAnyOption(args[0])) {
        return syntax("ADD");
    }
    TKeyName name;
    if (!parseKey(args[0], name)) {
        return fail("reg: Invalid system key");
    }
    std::optional<std::u16string> valueName, typeName, data, separator;
    bool force = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const bool hasNext = i + 1 < args.size();
        if (isOption(args[i], u"V") && !valueName) {
            // "/v" as the last argument names the default value, as reg.exe takes it.
            valueName = hasNext && !isAnyOption(args[i + 1]) ? args[++i] : u"";
        } else if (isOption(args[i], u"VE") && !valueName) {
            valueName = u"";
        } else if (isOption(args[i], u"T") && hasNext && !typeName) {
            typeName = args[++i];
        } else if (isOption(args[i], u"D") && hasNext && !data) {
            data = args[++i];
        } else if (isOption(args[i], u"S") && hasNext && !separator) {
            separator = args[++i];
        } else if (isOption(args[i], u"F")) {
            force = true;
        } else if (isOption(args[i], u"REG:32") || isOption(args[i], u"REG:64")) {
            continue;
        } else {
            return syntax("ADD");
        }
    }
    if (separator && separator->size() != 1) {
        return syntax("ADD");
    }

    uint32_t type = regtype::kSz;
    if (typeName) {
        bool known = false;
        for (const auto& entry : kTypes) {
            if (foldUpper(*typeName) == entry.name) {
                type = entry.type;
                known = true;
            }
        }
        const bool writable = type == regtype::kSz || type == regtype::kExpandSz || type == regtype::kBinary
            || type == regtype::kDword || type == regtype::kQword || type == regtype::kMultiSz
            || type == regtype::kNone;
        if (!known || !writable) {
            return fail("reg: Unsupported registry data type [" + u8(*typeName) + "]");
        }
    }

    RegValue value{type, {}};
    const std::u16string text = data.value_or(u"");
    switch (type) {
    case regtype::kDword:
    case regtype::kQword: {
        uint64_t number = 0;
        const uint64_t max = type == regtype::kDword ? 0xFFFFFFFFull : ~0ull;
        if (data && !parseNumber(text, max, number)) {
            return fail("reg: The option [/d] must be followed by a valid numeric value");
        }
        for (int i = 0; i < (type == regtype::kDword ? 4 : 8); ++i) {
            value.data.push_back(static_cast<uint8_t>(number >> (8 * i)));
        }
        break;
    }
    case regtype::kBinary:
        if (!parseHex(text, value.data)) {
            return fail("reg: The option [/d] must be followed by a valid hexadecimal value");
        }
        break;
    case regtype::kMultiSz: {
        const std::u16string sep = separator ? *separator : u"\\0";
        size_t start = 0;
        while (!text.empty() && start <= text.size()) {
            const size_t end = std::min(text.find(sep, start), text.size());
            const std::u16string item = text.substr(start, end - start);
            if (item.empty()) {
                return fail("reg: The option [/d] must not contain empty strings");
            }
            appendRegString(value.data, item);
            start = end + sep.size();
        }
        value.data.push_back(0);
        value.data.push_back(0);
        break;
    }
    default:
        appendRegString(value.data, text);
    }

    std::unique_ptr<IRegistryKey> key;
    const uint32_t access = valueName ? access::kAllAccess : access::kRead | access::kCreateSubKey;
    uint32_t rc = fRegistry.openKey(name.root, name.path, access, true, key);
    if (rc != error::kSuccess) {
        return failCode(rc);
    }
    if (valueName) {
        RegValue existing;
        if (!force && key->queryValue(*valueName, existing) == error::kSuccess
            && !fConfirm("The registry value '" + (valueName->empty() ? std::string("(Default)") : u8(*valueName))
                         + "' already exists. Do you want to overwrite it?")) {
            return fail(kCancelled);
        }
        rc = key->setValue(*valueName, value);
        if (rc != error::kSuccess) {
            return failCode(rc);
        }
    }
    fOut << kSuccess << "\n";
    return 0;
}

uint32_t TRegTool::deleteTree(const TKeyName& name)
{
    std::unique_ptr<IRegistryKey> key;
    uint32_t rc = fRegistry.openKey(name.root, name.path, access::kRead, false, key);
    if (rc != error::kSuccess) {
        return rc;
    }
    for (const auto& sub : key->subKeyNames()) {
        rc = deleteTree({name.root, name.path + u"\\" + sub, name.display + u"\\" + sub});
        if (rc != error::kSuccess) {
            return rc;
        }
    }
    key.reset();
    return fRegistry.deleteKey(name.root, name.path);
}

int TRegTool::remove(const std::vector<std::u16string>& args)
{
    if (args.empty() || isAnyOption(args[0])) {
        return syntax("DELETE");
    }
    TKeyName name;
    if (!parseKey(args[0], name)) {
        return fail("reg: Invalid system key");
    }
    std::optional<std::u16string> valueName;
    bool allValues = false;
    bool force = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const bool choosing = !valueName && !allValues;
        if (isOption(args[i], u"V") && i + 1 < args.size() && choosing) {
            valueName = args[++i];
        } else if (isOption(args[i], u"VE") && choosing) {
            valueName = u"";
        } else if (isOption(args[i], u"VA") && choosing) {
            allValues = true;
        } else if (isOption(args[i], u"F")) {
            force = true;
        } else if (isOption(args[i], u"REG:32") || isOption(args[i], u"REG:64")) {
            continue;
        } else {
            return syntax("DELETE");
        }
    }

    if (!valueName && !allValues) {
        if (name.path.empty() || (name.root == RootKey::Users && name.path.find(u'\\') == std::u16string::npos)) {
            return fail("reg: Unable to delete the root of a hive");
        }
        std::unique_ptr<IRegistryKey> probe;
        uint32_t rc = fRegistry.openKey(name.root, name.path, access::kRead, false, probe);
        if (rc != error::kSuccess) {
            return failCode(rc);
        }
        probe.reset();
        if (!force
            && !fConfirm("Are you sure you want to permanently delete the registry key '" + u8(name.display) + "'?")) {
            return fail(kCancelled);
        }
        rc = deleteTree(name);
        if (rc != error::kSuccess) {
            return failCode(rc);
        }
        fOut << kSuccess << "\n";
        return 0;
    }

    std::unique_ptr<IRegistryKey> key;
    uint32_t rc = fRegistry.openKey(name.root, name.path, access::kAllAccess, false, key);
    if (rc != error::kSuccess) {
        return failCode(rc);
    }
    const std::string what = allValues
        ? "all values of '" + u8(name.display) + "'"
        : "the registry value '" + (valueName->empty() ? std::string("(Default)") : u8(*valueName)) + "'";
    if (valueName) {
        RegValue existing;
        if (key->queryValue(*valueName, existing) != error::kSuccess) {
            return fail(kValueNotFound);
        }
    }
    if (!force && !fConfirm("Delete " + what + "?")) {
        return fail(kCancelled);
    }
    const auto names = allValues ? key->valueNames() : std::vector<std::u16string>{*valueName};
    for (const auto& n : names) {
        rc = key->deleteValue(n);
        if (rc != error::kSuccess) {
            return failCode(rc);
        }
    }
    fOut << kSuccess << "\n";
    return 0;
}

} // namespace talvoren::platform::posix
