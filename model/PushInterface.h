#pragma once

// The environment trees' view of the undo stack. The main window implements
// it: Push captures both trees before an edit changes anything, Undo steps
// back one edit (used when an add is cancelled in the in-place editor).

#include <string>

namespace talvoren {

class IPushInterface {
public:
    virtual ~IPushInterface() = default;

    // `description` names the step in the Undo and Redo commands ("Delete
    // 'C:\Tools'", translated); empty leaves them plain.
    virtual void Push(const std::u16string& description = {}) = 0;
    virtual void Undo() = 0;
};

} // namespace talvoren
