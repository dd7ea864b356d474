#include "platform/posix/LogonEnvironment.h"

#include "platform/posix/CaseFold.h"
#include "platform/posix/Hive.h"
#include "platform/posix/HiveWriter.h"
#include "platform/posix/MachineLayout.h"
#include "platform/posix/PosixEnvironment.h"
#include "platform/posix/PosixRegistry.h"

namespace talvoren::platform::posix {

namespace {
void setFixedFolders(TPosixEnvironment& env)
{
    env.set(u"ALLUSERSPROFILE", u"C:\\ProgramData");
    env.set(u"CommonProgramFiles", u"C:\\Program Files\\Common Files");
    env.set(u"CommonProgramFiles(x86)", u"C:\\Program Files (x86)\\Common Files");
    env.set(u"CommonProgramW6432", u"C:\\Program Files\\Common Files");
    env.set(u"ProgramData", u"C:\\ProgramData");
    env.set(u"ProgramFiles", u"C:\\Program Files");
    env.set(u"ProgramFiles(x86)", u"C:\\Program Files (x86)");
    env.set(u"ProgramW6432", u"C:\\Program Files");
    env.set(u"PUBLIC", u"C:\\Users\\Public");
    env.set(u"SystemDrive", layout::kSystemDrive);
    env.set(u"SystemRoot", layout::kSystemRoot);
}

struct TScopeValue {
    std::u16string name;
    uint32_t type;
    std::u16string text;
};

std::vector<TScopeValue> readScope(THive* hive, const std::u16string& path)
{
    std::vector<TScopeValue> values;
    int64_t id = 0;
    std::vector<std::u16string> names;
    if (!hive || hive->findKey(splitKeyPath(path), id) != 0 || hive->valueNames(id, names) != 0) {
        return values;
    }
    for (const auto& name : names) {
        RegValue value;
        if (name.empty() || hive->queryValue(id, name, value) != 0
            || (value.type != regtype::kSz && value.type != regtype::kExpandSz)) {
            continue;
        }
        values.push_back({name, value.type, readHiveText(*hive, path, name).value_or(u"")});
    }
    return values;
}

// Windows sets the plain strings of a scope first, then the expandable
// ones in their order, each expanded against what is set so far.
void applyScope(TPosixEnvironment& env, const std::vector<TScopeValue>& values, bool appendPath)
{
    const auto assign = [&](const TScopeValue& v, const std::u16string& text) {
        const auto previous = env.find(v.name);
        if (appendPath && foldUpper(v.name) == u"PATH" && previous && !previous->empty()) {
            env.set(v.name, *previous + (previous->back() == u';' ? u"" : u";") + text);
        } else {
            env.set(v.name, text);
        }
    };
    for (const auto& v : values) {
        if (v.type == regtype::kSz) {
            assign(v, v.text);
        }
    }
    for (const auto& v : values) {
        if (v.type == regtype::kExpandSz) {
            assign(v, env.expand(v.text));
        }
    }
}
} // namespace

std::u16string profileFolderOf(THive& machine, const std::u16string& sid)
{
    const auto image
        = readHiveText(machine, std::u16string(layout::kProfileListKey) + u"\\" + sid, u"ProfileImagePath");
    if (!image) {
        return {};
    }
    TPosixEnvironment fixed;
    setFixedFolders(fixed);
    return fixed.expand(*image);
}

void buildLogonEnvironment(TPosixEnvironment& env, THive* machine, THive* user, const TLogonFacts& facts)
{
    setFixedFolders(env);
    env.set(u"COMPUTERNAME", facts.computerName);
    applyScope(env, readScope(machine, layout::kSystemEnvironmentKey), false);

    const std::u16string profile = facts.profileFolder;
    const auto colon = profile.find(u':');
    const std::u16string drive = colon == 1 ? profile.substr(0, 2) : std::u16string(layout::kSystemDrive);
    env.set(u"USERPROFILE", profile);
    env.set(u"APPDATA", profile + u"\\AppData\\Roaming");
    env.set(u"LOCALAPPDATA", profile + u"\\AppData\\Local");
    env.set(u"HOMEDRIVE", drive);
    env.set(u"HOMEPATH", colon == 1 ? profile.substr(2) : profile);
    env.set(u"LOGONSERVER", u"\\\\" + facts.computerName);
    env.set(u"SESSIONNAME", u"Console");
    env.set(u"USERDOMAIN", facts.userDomain);
    env.set(u"USERDOMAIN_ROAMINGPROFILE", facts.userDomain);
    env.set(u"USERNAME", facts.userName);

    applyScope(env, readScope(user, layout::kUserEnvironmentKey), true);
}

} // namespace talvoren::platform::posix
