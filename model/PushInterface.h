#pragma once

// The environment trees' view of the undo stack. The main window implements
// it: Push captures both trees before an edit changes anything, Undo steps
// back one edit (used when an add is cancelled in the in-place editor).

namespace talvoren {

class IPushInterface {
public:
    virtual ~IPushInterface() = default;

    virtual void Push() = 0;
    virtual void Undo() = 0;
};

} // namespace talvoren
