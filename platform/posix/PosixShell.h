#pragma once

// The shell of the emulated machine: "open" hands a file or address to the
// desktop's opener (xdg-open), "runas" starts a program through pkexec.
// explorer.exe opens the desktop's file manager on the folder it is given.
// All start the program detached and do not wait for it.

#include "platform/Platform.h"

namespace talvoren::platform::posix {

class TDriveMap;

class TPosixShell : public IShell {
public:
    explicit TPosixShell(const TDriveMap& drives);

    bool execute(const std::u16string& verb, const std::u16string& file, const std::u16string& parameters,
                 uintptr_t ownerWindow) override;
    void messageBox(const std::u16string& title, const std::u16string& text) override;

private:
    bool openInExplorer(const std::u16string& parameters);

    const TDriveMap& fDrives;
};

} // namespace talvoren::platform::posix
