#pragma once

// File > History...: the save history's entries, newest first; Restore
// loads the chosen entry's earlier values into the trees as one undoable
// edit, to be reviewed and saved; nothing is written here.

#include "model/SaveHistory.h"

#include <QDialog>
#include <optional>

class QTreeWidget;
class QPushButton;

namespace talvoren {

class TETree;

class TfrmHistory : public QDialog {
    Q_OBJECT

public:
    TfrmHistory(platform::IPlatform& platform, QWidget* parent = nullptr);

    // The entry Restore was pressed for.
    const std::optional<THistoryEntry>& Chosen() const { return fChosen; }

    // Shows the dialog; after Restore, the entry's values go into the trees
    // (RestoreIntoTrees). A file that cannot be read raises TError.
    static void ShowAndRestore(platform::IPlatform& platform, QWidget* parent, TETree& user, TETree& system);

private:
    TSaveHistory fHistory;
    std::vector<THistoryEntry> fEntries;
    QTreeWidget* fList = nullptr;
    QPushButton* fRestore = nullptr;
    std::optional<THistoryEntry> fChosen;
};

} // namespace talvoren
