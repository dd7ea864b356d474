#pragma once

// The program's own images, drawn as SVG files in the Qt resources and
// turned into icons once. Index orders are those the commands, the trees,
// the panel title bars and the status bar refer to.

#include <QIcon>
#include <QString>

namespace talvoren {

// Toolbar images, in the order the commands name them.
enum TToolbarImage : int {
    imgSave = 0,
    imgUndo,
    imgRedo,
    imgCopy,
    imgPaste,
    imgDelete,
    imgAddVariable,
    imgAddValue,
    imgEdit,
    imgEditAsPath,
    imgEditAsFile,
    imgChangeType,
    imgMoveUp,
    imgMoveDown,
    imgOptions,
    imgShowInformation,
    imgCheckUpdates,
    imgAbout,
    imgShowReadOnly,
    imgShield,
    imgToolbarCount
};

// Images of the panel title bars.
enum THeaderImage : int { hdrCollapseAll = 0, hdrExpandAll = 1, hdrSystem = 2, hdrUser = 3 };

// Images of the status bar.
enum TStatusImage : int {
    stModified = 0,
    stCDMode = 1,
    stUSBMode = 2,
    stSaving = 3,
    stNoWriteAccess = 4,
    stCheckingUpdates = 5,
    stUpToDate = 6,
    stUpdateError = 7
};

class TIcons {
public:
    // The toolbar image `index` (0..19); a null icon when it cannot be loaded.
    static QIcon toolbar(int index);
    // The tree image `index` (0..4: string, expandable, read-only, error mark,
    // exclusion mark).
    static QIcon tree(int index);
    static QIcon header(int index);
    static QIcon status(int index);

    // Resource names of the toolbar images, "_ICO_SAVE" ... "_ICO_SHIELD".
    static const char* toolbarResourceName(int index);

private:
    static QIcon load(const QString& name);
};

} // namespace talvoren
