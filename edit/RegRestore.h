#pragma once

// Restoring a registry script into the environment trees: the values it
// states for the shown account's two environment keys become one undoable
// edit, to be reviewed and saved like any other; nothing is written here.

#include <cstddef>
#include <string>
#include <vector>

namespace talvoren {

class TETree;
struct TRegFileContent;

struct TRestoreReport {
    size_t Changed = 0; // variables set, added or removed
    size_t Unchanged = 0; // stated as the tree holds them already
    size_t Skipped = 0; // values and key removals under any other key
    // "NAME: reason" for each value of the two keys that was not applied
    // (a type or text the trees cannot hold, a read-only variable, a name
    // no variable may have), translated.
    std::vector<std::u16string> Refused;
};

// Applies `content` to `user` and `system`: a value is set (or added), "-"
// removes the variable. The user tree takes HKEY_CURRENT_USER\Environment
// (the key a backup heads its user section with) and its own key under
// HKEY_USERS; the system tree its key under HKEY_LOCAL_MACHINE. A tree that
// cannot be edited refuses its values. One undo step, pushed only when
// something changes.
TRestoreReport RestoreIntoTrees(const TRegFileContent& content, TETree& user, TETree& system);

} // namespace talvoren
