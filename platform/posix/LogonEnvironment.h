#pragma once

// The environment block that Windows gives a process of a logged-on user:
// the machine's fixed folders, the system scope, the logon's own facts and
// the user scope, references expanded, the user's Path after the system's.

#include <string>

namespace talvoren::platform::posix {

class TPosixEnvironment;
class THive;

struct TLogonFacts {
    std::u16string computerName;
    std::u16string userName;
    std::u16string userDomain;
    std::u16string profileFolder; // Windows path, expanded
};

// The profile folder of `sid` from the profile list, expanded; empty when
// the profile list does not name one.
std::u16string profileFolderOf(THive& machine, const std::u16string& sid);

void buildLogonEnvironment(TPosixEnvironment& env, THive* machine, THive* user, const TLogonFacts& facts);

} // namespace talvoren::platform::posix
