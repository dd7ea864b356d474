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

// The one operation a run makes. Without -S, -I, -A, -R or -D it is a set,
// or, for -C with a name alone, the cleaning of the stored value.
// -X prints what a new process gets (of another account with -U NAME) and -W
// which files a command starts; both change nothing, and both are switches
// only as the first argument. -H lists the save history, -H N writes entry
// N's earlier values back; it too is a switch only as the first argument.
enum class TCommandMode { Set, Insert, Append, Remove, Cleanup, Delete, Effective, Which, History };

// What the arguments ask for, parsed once.
struct TCommandLineRequest {
    TCommandMode mode = TCommandMode::Set;
    bool cleanup = false; // -C beside -S, -I, -A or -R: the new value is cleaned up
    bool expand = false;
    bool machine = false; // system scope; otherwise the current user's
    std::u16string name; // as stored: surrounding blanks removed; -W: the command
    std::u16string value; // none for Delete and Cleanup; -H: the entry's number, if any
    std::u16string account; // -X -U NAME: the account whose environment is printed
};

// The request, or nothing when the arguments cannot be what was meant: a
// switch that is no option (before -S, -I, -A, -R, -C or -D; after one, an
// argument that begins with '-' is a name or a value), two of -S -I -A -R -D,
// -C or -E beside -D, fewer or more operands than the operation takes (a
// variable and a value; the variable alone for -D and for -C by itself), or
// a name that is no variable's (VariableNameError).
std::optional<TCommandLineRequest> ParseCommandLine(const std::vector<std::u16string>& args);

// Runs the mode. Returns nothing when there are no arguments (the window
// starts as usual), else the process exit code: 0 done (also after the help,
// and when there was nothing to do: -D, -R or -C of a variable that is not
// there, -C of a value that is clean already), 1 nothing was changed: an
// error, a variable that -D could not delete, another Talvoren that held the
// scope for longer than platform::kRegistryLockWaitMs, or input that cannot be
// what was meant (an argument that is not valid text, a refused command line,
// a value longer than a process environment can hold, -I/-A/-R/-C on a value
// that is not a string).
std::optional<int> RunCommandLine(const std::vector<std::u16string>& args, platform::IPlatform& platform,
                                  ICommandHelp& help);

// The help's lines: an option column and a description column; a line with
// an empty description is a heading.
struct TCommandHelpLine {
    const char* option;
    const char* description;
};
const std::vector<TCommandHelpLine>& CommandHelpLines();

// What the option lines do not show, one paragraph each, for the help as
// text (untranslated identifiers).
const std::vector<const char*>& CommandHelpNotes();

// Address of the command-line documentation page.
std::u16string CommandHelpUrl();

} // namespace talvoren
