#include "cli/CommandLine.h"

#include "base/EnvStore.h"
#include "base/Text.h"
#include "base/Translation.h"
#include "model/NodeInfo.h"
#include "platform/Platform.h"
#include "platform/Utf.h"

namespace talvoren {

TCommandLineRequest ParseCommandLine(const std::vector<std::u16string>& args)
{
    TCommandLineRequest r;
    for (const auto& arg : args) {
        const std::u16string option = asciiUpper(arg);
        const bool isOption = option.size() == 2 && (option[0] == u'-' || option[0] == u'/');
        const char16_t letter = isOption ? option[1] : 0;
        switch (letter) {
        case u'S':
            r.set = true;
            break;
        case u'I':
            r.insert = true;
            break;
        case u'A':
            r.append = true;
            break;
        case u'R':
            r.remove = true;
            break;
        case u'C':
            r.cleanup = true;
            break;
        case u'E':
            r.expand = true;
            break;
        case u'D':
            r.del = true;
            break;
        case u'U':
            r.machine = false;
            break;
        case u'M':
            r.machine = true;
            break;
        default:
            if (r.name.empty()) {
                r.emptyNameOperand = r.emptyNameOperand || arg.empty();
                r.name = arg;
            } else {
                r.value = arg;
            }
            break;
        }
    }
    return r;
}

namespace {

// What Windows can hold of one variable in a process environment.
constexpr size_t kMaxValueLength = 32767;

bool isStringType(uint32_t type)
{
    return type == platform::regtype::kSz || type == platform::regtype::kExpandSz;
}

// The given value beside the current one; a missing or empty variable adds
// no empty element.
std::u16string insertValue(const std::u16string& value, const std::u16string& current)
{
    return current.empty() ? value : value + u";" + current;
}

std::u16string appendValue(const std::u16string& current, const std::u16string& value)
{
    return current.empty() ? value : current + u";" + value;
}

// Whether `name` is surely absent from the scope: its key or the value is
// missing. A store that cannot be read says nothing either way.
bool surelyAbsent(platform::IRegistry& registry, const Scope& scope, const std::u16string& name)
{
    std::unique_ptr<platform::IRegistryKey> key;
    const uint32_t rc = registry.openKey(scope.root, scope.key, platform::access::kQueryValue, false, key);
    if (rc == platform::error::kFileNotFound || rc == platform::error::kPathNotFound) {
        return true;
    }
    platform::RegValue value;
    return rc == platform::error::kSuccess && key && key->queryValue(name, value) == platform::error::kFileNotFound;
}

int deleteVariable(const TCommandLineRequest& r, platform::IPlatform& platform, const Scope& scope)
{
    // Full access without the 64-bit view; an unopened key deletes nothing.
    TEnvStore store(platform.registry(), scope.root, platform::access::kAllAccess);
    store.OpenKey(scope.key, false);
    const bool deleted = store.DeleteValue(r.name);
    store.CloseKey();
    if (!deleted) {
        // Deleting what is not there succeeds, so scripts may delete twice;
        // a variable that stayed (no right to write, a locked or damaged
        // store) is a failure, and nothing changed to broadcast.
        return surelyAbsent(platform.registry(), scope, r.name) ? 0 : 1;
    }
    BroadcastEnvironmentChange(platform.system(), kCommandLineBroadcastTimeoutMs);
    return 0;
}

int changeVariable(const TCommandLineRequest& r, platform::IPlatform& platform, const Scope& scope)
{
    if (r.name.empty() || r.emptyNameOperand) {
        return 1; // the key's unnamed value is no variable
    }
    {
        // Read and write in one step, so that a parallel run or the window's
        // save cannot slip its own change in between and lose it.
        std::unique_ptr<platform::IRegistryUpdate> update;
        if (platform.registry().beginUpdate(scope.root, scope.key, update) != platform::error::kSuccess) {
            return 1;
        }
        // Full access without the 64-bit view; whether the key opened is not
        // checked: an unopened handle makes the write fail, which is exit 1.
        TEnvStore store(platform.registry(), scope.root, platform::access::kAllAccess);
        store.OpenKey(scope.key, false);

        const bool exists = store.ValueExists(r.name);
        const uint32_t storedType = store.GetDataType(r.name);
        const bool readsCurrent = r.insert || r.append || r.remove;
        if (readsCurrent && exists && !isStringType(storedType)) {
            return 1; // a number or binary data is no list to change
        }

        std::u16string value = r.value;
        if (r.insert) {
            value = insertValue(value, store.ReadString(r.name));
        }
        if (r.append) {
            value = appendValue(store.ReadString(r.name), value);
        }
        if (r.remove) {
            value = RemoveValueElement(store.ReadString(r.name), value);
        }
        if (r.cleanup) {
            value = CleanupValue(value, platform.locale());
        }
        if (value.size() > kMaxValueLength) {
            return 1;
        }
        // An expandable variable stays expandable: written as a plain string,
        // its %references% would reach every process literally.
        if (r.expand || (exists && storedType == platform::regtype::kExpandSz)) {
            store.WriteExpandString(r.name, value);
        } else {
            store.WriteString(r.name, value);
        }
        store.CloseKey();
        if (update->commit() != platform::error::kSuccess) {
            return 1;
        }
    }
    uintptr_t result = BroadcastEnvironmentChange(platform.system(), kCommandLineBroadcastTimeoutMs);
    (void)result; // received, not inspected
    return 0;
}

int applyRequest(const TCommandLineRequest& r, platform::IPlatform& platform)
{
    const Scope scope = r.machine ? SystemScope() : CurrentUserScope();
    return r.del ? deleteVariable(r, platform, scope) : changeVariable(r, platform, scope);
}

} // namespace

std::optional<int> RunCommandLine(const std::vector<std::u16string>& args, platform::IPlatform& platform,
                                  ICommandHelp& help)
{
    if (args.empty()) {
        return std::nullopt;
    }
    if (args.front() == u"-?" || args.front() == u"/?") {
        help.Show();
        return 0;
    }
    for (const auto& arg : args) {
        if (!platform::isValidUtf16(arg)) {
            return 1; // could name another variable than the one meant
        }
    }
    try {
        return applyRequest(ParseCommandLine(args), platform);
    } catch (...) {
        // Any failure, a store error or exhausted memory, ends the run with 1
        // and without a broadcast.
        return 1;
    }
}

const std::vector<TCommandHelpLine>& CommandHelpLines()
{
    static const std::vector<TCommandHelpLine> lines = {
        {trNoop("Set variable value:"), ""},
        {trNoop("-S [-C] [-E] [-U | -M]"), trNoop("variable value")},
        {trNoop("-C"), trNoop("Clean up paths (remove duplicates and empty elements)")},
        {trNoop("-E"), trNoop("If variable doesn't exist then create it as expandable")},
        {trNoop("-U"), trNoop("Process user variables (default option)")},
        {trNoop("-M"), trNoop("Process system (machine) variables")},
        {trNoop("Insert value:"), ""},
        {trNoop("-I [-C] [-E] [-U | -M]"), trNoop("variable value")},
        {trNoop("Append value:"), ""},
        {trNoop("-A [-C] [-E] [-U | -M]"), trNoop("variable value")},
        {trNoop("Remove value:"), ""},
        {trNoop("-R [-C] [-U | -M]"), trNoop("variable value")},
        {trNoop("Delete variable:"), ""},
        {trNoop("-D [-U | -M]"), trNoop("variable")},
    };
    return lines;
}

std::u16string CommandHelpUrl()
{
    return platform::fromUtf8(TALVOREN_WEB_SITE) + u"/en/command_line";
}

} // namespace talvoren
