#include "cli/CommandLine.h"

#include "base/EnvStore.h"
#include "base/Text.h"
#include "base/Translation.h"
#include "cli/EnvironmentReport.h"
#include "model/NodeInfo.h"
#include "model/RegFile.h"
#include "model/SaveHistory.h"
#include "model/VariableName.h"
#include "platform/Platform.h"
#include "platform/Utf.h"

#include <string_view>

namespace talvoren {

namespace {

// The letter of an option ("-s", "/S": 'S'), or 0 for an operand.
char16_t optionLetter(const std::u16string& arg)
{
    const std::u16string option = asciiUpper(arg);
    if (option.size() != 2 || (option[0] != u'-' && option[0] != u'/')) {
        return 0;
    }
    return std::u16string_view(u"SIARCEDUMXWH").find(option[1]) != std::u16string_view::npos ? option[1] : 0;
}

} // namespace

std::optional<TCommandLineRequest> ParseCommandLine(const std::vector<std::u16string>& args)
{
    TCommandLineRequest r;
    std::optional<TCommandMode> mode;
    bool conflict = false;
    bool operationSeen = false; // from here on, "-X" may be a name or a value
    bool userGiven = false;
    std::vector<std::u16string> operands;
    auto choose = [&](TCommandMode chosen) {
        conflict = conflict || (mode && *mode != chosen);
        mode = chosen;
        operationSeen = true;
    };
    for (const auto& arg : args) {
        char16_t letter = optionLetter(arg);
        // The reports are asked for first, as the help is; later on, "-X"
        // and "/W" stay names and values as they always were.
        if ((letter == u'X' || letter == u'W' || letter == u'H') && &arg != &args.front()) {
            letter = 0;
        }
        switch (letter) {
        case u'S':
            choose(TCommandMode::Set);
            break;
        case u'I':
            choose(TCommandMode::Insert);
            break;
        case u'A':
            choose(TCommandMode::Append);
            break;
        case u'R':
            choose(TCommandMode::Remove);
            break;
        case u'D':
            choose(TCommandMode::Delete);
            break;
        case u'X':
            choose(TCommandMode::Effective);
            break;
        case u'W':
            choose(TCommandMode::Which);
            break;
        case u'H':
            choose(TCommandMode::History);
            break;
        case u'C':
            r.cleanup = true;
            operationSeen = true;
            break;
        case u'E':
            r.expand = true;
            break;
        case u'U':
            r.machine = false;
            userGiven = true;
            break;
        case u'M':
            r.machine = true;
            break;
        default:
            // A mistyped switch would otherwise become a variable named "-X".
            if (!operationSeen && !arg.empty() && (arg[0] == u'-' || arg[0] == u'/')) {
                return std::nullopt;
            }
            operands.push_back(arg);
            break;
        }
    }
    if (conflict) {
        return std::nullopt;
    }
    if (mode == TCommandMode::Delete && (r.cleanup || r.expand)) {
        return std::nullopt; // a delete writes nothing to clean or widen
    }
    if (mode == TCommandMode::History) {
        // The list, or one entry's number: digits alone.
        if (r.cleanup || r.expand || r.machine || operands.size() > 1
            || (operands.size() == 1
                && (operands[0].empty() || operands[0].size() > 9
                    || operands[0].find_first_not_of(u"0123456789") != std::u16string::npos))) {
            return std::nullopt;
        }
        r.mode = *mode;
        r.value = operands.empty() ? std::u16string() : operands[0];
        return r;
    }
    if (mode == TCommandMode::Effective || mode == TCommandMode::Which) {
        // Reports of one account's environment, the current user's unless
        // -X names another after -U: they write nothing to clean or widen.
        const bool account = mode == TCommandMode::Effective && userGiven;
        const size_t wanted = mode == TCommandMode::Which || account ? 1 : 0;
        if (r.cleanup || r.expand || r.machine || operands.size() != wanted || (userGiven && !account)) {
            return std::nullopt;
        }
        r.mode = *mode;
        if (wanted) {
            (account ? r.account : r.name) = trimBlanks(operands[0]);
        }
        return wanted && (account ? r.account : r.name).empty() ? std::nullopt : std::optional<TCommandLineRequest>(r);
    }
    if (!mode) {
        mode = r.cleanup && operands.size() == 1 ? TCommandMode::Cleanup : TCommandMode::Set;
    }
    r.mode = *mode;
    if (r.mode == TCommandMode::Cleanup) {
        r.cleanup = false;
    }
    // A missing value would empty the variable; an extra operand is a value
    // with a blank that lost its quotes.
    const size_t takes = r.mode == TCommandMode::Delete || r.mode == TCommandMode::Cleanup ? 1 : 2;
    if (operands.size() != takes) {
        return std::nullopt;
    }
    r.name = NormalizeVariableName(operands[0]);
    if (!VariableNameError(r.name).empty()) {
        return std::nullopt; // the key's unnamed value, or a name no program could read back
    }
    if (takes == 2) {
        r.value = operands[1];
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
    // In a step of its own, so that a delete cannot land in the middle of a
    // parallel run's read and write. Held longer than the wait by another
    // Talvoren, nothing is deleted, and no second wait finds out whether
    // there was anything to delete. Any other refusal (no right to write, a
    // damaged store) is told below by what is still there.
    std::unique_ptr<platform::IRegistryUpdate> update;
    if (platform.registry().beginUpdate(scope.root, scope.key, update) == platform::error::kLockViolation) {
        return 1;
    }
    // The way back first; nothing to record when there is nothing to delete.
    auto before = ReadBeforeState(platform.registry(), scope, {r.name});
    if (before.front().before) {
        TSaveHistory(platform).Record(scope, before, THistorySource::CommandLine);
    }
    // Full access without the 64-bit view; an unopened key deletes nothing.
    TEnvStore store(platform.registry(), scope.root, platform::access::kAllAccess);
    store.OpenKey(scope.key, false);
    const bool deleted = store.DeleteValue(r.name);
    store.CloseKey();
    if (!deleted) {
        // Deleting what is not there succeeds, so scripts may delete twice;
        // a variable that stayed is a failure, and nothing changed to
        // broadcast.
        return surelyAbsent(platform.registry(), scope, r.name) ? 0 : 1;
    }
    if (update && update->commit() != platform::error::kSuccess) {
        return 1;
    }
    update.reset();
    BroadcastEnvironmentChange(platform.system(), kCommandLineBroadcastTimeoutMs);
    return 0;
}

// The new value of the variable from its current one, or nothing when there
// is nothing to change: nothing to remove from or to clean.
std::optional<std::u16string> newValue(const TCommandLineRequest& r, platform::IPlatform& platform, bool exists,
                                       const std::u16string& current)
{
    std::u16string value = r.value;
    switch (r.mode) {
    case TCommandMode::Set:
        break;
    case TCommandMode::Insert:
        value = insertValue(value, current);
        break;
    case TCommandMode::Append:
        value = appendValue(current, value);
        break;
    case TCommandMode::Remove:
        if (!exists) {
            return std::nullopt; // would create an empty variable
        }
        value = RemoveValueElement(current, value);
        break;
    case TCommandMode::Cleanup:
        if (!exists) {
            return std::nullopt;
        }
        value = CleanupValue(current, platform.locale());
        break;
    case TCommandMode::Delete:
    case TCommandMode::Effective:
    case TCommandMode::Which:
    case TCommandMode::History:
        return std::nullopt;
    }
    if (r.cleanup) {
        value = CleanupValue(value, platform.locale());
    }
    return value;
}

int changeVariable(const TCommandLineRequest& r, platform::IPlatform& platform, const Scope& scope)
{
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
        if (r.mode != TCommandMode::Set && exists && !isStringType(storedType)) {
            return 1; // a number or binary data is no list to change
        }
        const std::u16string current = r.mode != TCommandMode::Set ? store.ReadString(r.name) : std::u16string();
        const auto value = newValue(r, platform, exists, current);
        if (value && value->size() > kMaxValueLength) {
            return 1;
        }
        // An expandable variable stays expandable: written as a plain string,
        // its %references% would reach every process literally.
        const bool expandable = r.expand || (exists && storedType == platform::regtype::kExpandSz);
        const bool unchanged = r.mode == TCommandMode::Cleanup && value == current
            && expandable == (storedType == platform::regtype::kExpandSz);
        if (!value || unchanged) {
            return 0; // nothing written, nothing to broadcast
        }
        // Raises when the entry cannot be written: then nothing is (exit 1).
        TSaveHistory(platform).Record(scope, ReadBeforeState(platform.registry(), scope, {r.name}),
                                      THistorySource::CommandLine);
        if (expandable) {
            store.WriteExpandString(r.name, *value);
        } else {
            store.WriteString(r.name, *value);
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

int listHistory(platform::IPlatform& platform)
{
    std::u16string text;
    size_t n = 0;
    for (const auto& entry : TSaveHistory(platform).List()) {
        std::u16string names;
        for (const auto& name : entry.names) {
            names += (names.empty() ? u"" : u", ") + name;
        }
        text += platform::fromUtf8(std::to_string(++n)) + u"\t" + entry.time + u"\t"
            + (entry.system ? u"System" : u"User") + u"\t" + names + u"\t" + entry.file + u"\r\n";
    }
    return text.empty() || platform.system().writeOutput(text) ? 0 : 1;
}

// Writes `values` into the scope's key as they are stated: exact bytes, or
// removed.
bool writeStated(platform::IRegistry& registry, const Scope& scope, const std::vector<THistoryValue>& values)
{
    std::unique_ptr<platform::IRegistryKey> key;
    if (registry.openKey(scope.root, scope.key, platform::access::kAllAccess, true, key) != platform::error::kSuccess
        || !key) {
        return false;
    }
    bool ok = true;
    for (const auto& value : values) {
        const uint32_t rc = value.before ? key->setValue(value.name, *value.before) : key->deleteValue(value.name);
        ok = ok && (rc == platform::error::kSuccess || (!value.before && rc == platform::error::kFileNotFound));
    }
    return ok;
}

// Entry N's earlier values written back, in one update step per scope and
// recorded themselves first, so that the restore can be taken back too.
int restoreHistory(const TCommandLineRequest& r, platform::IPlatform& platform)
{
    TSaveHistory history(platform);
    const auto entries = history.List();
    const size_t n = std::stoul(platform::toUtf8(r.value));
    if (n < 1 || n > entries.size()) {
        return 1;
    }
    TRegFileContent content;
    TRegFileError error;
    if (!history.Read(entries[n - 1], content, error)) {
        return 1;
    }
    std::vector<std::pair<Scope, std::vector<THistoryValue>>> stated;
    for (const auto& key : content.Keys) {
        const auto scope = ScopeOfRegPath(key.Path);
        if (!scope || key.Removed) {
            return 1; // not an entry this program wrote
        }
        std::vector<THistoryValue> values;
        for (const auto& value : key.Values) {
            values.push_back(
                {value.Name, value.Deleted ? std::nullopt : std::optional(platform::RegValue{value.Type, value.Data})});
        }
        stated.emplace_back(*scope, std::move(values));
    }
    for (const auto& [scope, values] : stated) {
        std::unique_ptr<platform::IRegistryUpdate> update;
        if (platform.registry().beginUpdate(scope.root, scope.key, update) != platform::error::kSuccess) {
            return 1;
        }
        std::vector<std::u16string> names;
        for (const auto& value : values) {
            names.push_back(value.name);
        }
        const auto now = ReadBeforeState(platform.registry(), scope, names);
        history.Record(scope, now, THistorySource::CommandLine);
        if (!writeStated(platform.registry(), scope, values)
            || (update && update->commit() != platform::error::kSuccess)) {
            writeStated(platform.registry(), scope, now); // where no step can be undone
            return 1;
        }
    }
    BroadcastEnvironmentChange(platform.system(), kCommandLineBroadcastTimeoutMs);
    return 0;
}

int applyRequest(const TCommandLineRequest& r, platform::IPlatform& platform)
{
    if (r.mode == TCommandMode::History) {
        return r.value.empty() ? listHistory(platform) : restoreHistory(r, platform);
    }
    if (r.mode == TCommandMode::Effective) {
        return PrintEffectiveEnvironment(platform, r.account);
    }
    if (r.mode == TCommandMode::Which) {
        return PrintProgramsFor(platform, r.name);
    }
    const Scope scope = r.machine ? SystemScope() : CurrentUserScope();
    return r.mode == TCommandMode::Delete ? deleteVariable(r, platform, scope) : changeVariable(r, platform, scope);
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
    const auto request = ParseCommandLine(args);
    if (!request) {
        return 1;
    }
    try {
        return applyRequest(*request, platform);
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
        {trNoop("Print what a new process gets, NAME=value a line:"), ""},
        {trNoop("-X [-U]"), trNoop("(no operand), or the account after -U")},
        {trNoop("Print the files a command starts, the one that runs first:"), ""},
        {trNoop("-W"), trNoop("command")},
        {trNoop("Print the save history, newest first, or take entry N back:"), ""},
        {trNoop("-H"), trNoop("[N]")},
    };
    return lines;
}

const std::vector<const char*>& CommandHelpNotes()
{
    static const std::vector<const char*> notes = {
        trNoop("Give one of -S, -I, -A, -R and -D (none means -S), then the variable and the value; -D takes the "
               "variable alone."),
        trNoop("-C with the variable alone cleans up its stored value, and writes only when that changes it."),
        trNoop("Quote a value that holds blanks. A missing or extra operand, an unknown switch, or a variable name "
               "with '=' or control characters changes nothing and exits with code 1."),
        trNoop("Blanks around the variable name are removed. Exit code 0: done, or nothing to do; 1: nothing was "
               "changed."),
    };
    return notes;
}

std::u16string CommandHelpUrl()
{
    return platform::fromUtf8(TALVOREN_WEB_SITE) + u"/en/command_line";
}

} // namespace talvoren
