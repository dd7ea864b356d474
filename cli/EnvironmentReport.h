#pragma once

// The command line's read-only reports: what a new process of an account
// gets (-X) and which files a command starts (-W), printed to standard
// output from the two scopes as they are stored.

#include <string>

namespace talvoren {

namespace platform {
class IPlatform;
}

// Prints NAME=value lines sorted as "set" prints them, for the current user
// or, when `account` is given, for that account from its own hive. 0, or 1
// when the account has no profile here (said on standard error), a scope
// cannot be read or nothing can be printed.
int PrintEffectiveEnvironment(platform::IPlatform& platform, const std::u16string& account = {});

// Prints the full path of every file `command` would start, the one that
// runs first. 1, printing nothing, when there is none.
int PrintProgramsFor(platform::IPlatform& platform, const std::u16string& command);

} // namespace talvoren
