#pragma once

// The non-interactive mode: with arguments, the program changes one variable
// of the user or system scope, broadcasts the change and ends, without a
// window and without a word on the console.

#include <optional>
#include <string>
#include <vector>

namespace talvoren {

namespace platform {
class IPlatform;
}

// Shows the command-line help modally; returns when it is closed.
class ICommandHelp {
public:
    virtual ~ICommandHelp() = default;
    virtual void Show() = 0;
};

// What the arguments ask for, parsed once.
struct TCommandLineRequest {
    bool set = false;
    bool insert = false;
    bool append = false;
    bool remove = false;
    bool cleanup = false;
    bool expand = false;
    bool del = false;
    bool machine = false; // system scope; otherwise the current user's
    std::u16string name;
    std::u16string value;
};

TCommandLineRequest ParseCommandLine(const std::vector<std::u16string>& args);

// Runs the mode. Returns nothing when there are no arguments (the window
// starts as usual), else the process exit code: 0 done (always with -D, and
// after the help), 1 an error stopped the change.
std::optional<int> RunCommandLine(const std::vector<std::u16string>& args, platform::IPlatform& platform,
                                  ICommandHelp& help);

// The help's lines: an option column and a description column; a line with
// an empty description is a heading.
struct TCommandHelpLine {
    const char* option;
    const char* description;
};
const std::vector<TCommandHelpLine>& CommandHelpLines();

// Address of the command-line documentation page.
std::u16string CommandHelpUrl();

} // namespace talvoren
