#include "cli/CommandLine.h"

#include "model/EnvStore.h"
#include "model/NodeInfo.h"
#include "model/Text.h"
#include "platform/Platform.h"

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

int applyRequest(const TCommandLineRequest& r, platform::IPlatform& platform)
{
    const Scope scope = r.machine ? SystemScope() : CurrentUserScope();
    // Full access without the 64-bit view; whether the key opened is not
    // checked: an unopened handle makes the write fail, which is exit 1.
    TEnvStore store(platform.registry(), scope.root, platform::access::kAllAccess);
    store.OpenKey(scope.key, false);

    if (r.del) {
        store.DeleteValue(r.name);
        store.CloseKey();
        BroadcastEnvironmentChange(platform.system(), kCommandLineBroadcastTimeoutMs);
        return 0;
    }

    std::u16string value = r.value;
    if (r.insert) {
        value = value + u";" + store.ReadString(r.name);
    }
    if (r.append) {
        value = store.ReadString(r.name) + u";" + value;
    }
    if (r.remove) {
        value = RemoveValueElement(store.ReadString(r.name), value);
    }
    if (r.cleanup) {
        value = CleanupValue(value, platform.locale());
    }
    if (r.expand) {
        store.WriteExpandString(r.name, value);
    } else {
        store.WriteString(r.name, value);
    }
    store.CloseKey();
    uintptr_t result = BroadcastEnvironmentChange(platform.system(), kCommandLineBroadcastTimeoutMs);
    (void)result; // received, not inspected
    return 0;
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
        {"Set variable value:", ""},
        {"-S [-C] [-E] [-U | -M]", "variable value"},
        {"-C", "Clean up paths (remove duplicates and empty elements)"},
        {"-E", "If variable doesn't exist then create it as expandable"},
        {"-U", "Process user variables (default option)"},
        {"-M", "Process system (machine) variables"},
        {"Insert value:", ""},
        {"-I [-C] [-E] [-U | -M]", "variable value"},
        {"Append value:", ""},
        {"-A [-C] [-E] [-U | -M]", "variable value"},
        {"Remove value:", ""},
        {"-R [-C] [-U | -M]", "variable value"},
        {"Delete variable:", ""},
        {"-D [-U | -M]", "variable"},
    };
    return lines;
}

std::u16string CommandHelpUrl()
{
    return u"https://www.talvoren.org/en/command_line";
}

} // namespace talvoren
