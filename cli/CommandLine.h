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
    // An empty operand stood where the name was awaited (and a later operand
    // may have become the name): `-S "" Path` would set Path to its value.
    bool emptyNameOperand = false;
};

TCommandLineRequest ParseCommandLine(const std::vector<std::u16string>& args);

// Runs the mode. Returns nothing when there are no arguments (the window
// starts as usual), else the process exit code: 0 done (also after the help,
// and for -D of a variable that was not there), 1 nothing was changed: an
// error, a variable that -D could not delete, or input that cannot be what
// was meant (an argument that is not valid text, no variable name, a value
// longer than a process environment can hold, -I/-A/-R on a value that is
// not a string).
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
