#pragma once

// The options dialog: the confirmations, the update check at start, the
// tree animation, the review before saving and the exclusion list. It edits a working copy of the
// list; "OK" puts everything back into the options and saves them at once.

#include <QDialog>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QTreeWidget;

namespace talvoren {

class TExclusions;
class TOptions;

class TfrmOptions : public QDialog {
    Q_OBJECT
public:
    TfrmOptions(TOptions& options, QWidget* parent = nullptr);
    ~TfrmOptions() override;

    // True on "OK", after the options were saved; a failed save raises
    // TError to the caller.
    static bool createAndShowModal(TOptions& options, QWidget* parent = nullptr);

    // Tests drive the open form here instead of a modal loop.
    static std::function<void(TfrmOptions&)>& testDriver();

    const TExclusions& workingCopy() const { return *fWorking; }

    QCheckBox* cbOnDeleteConfirmation = nullptr;
    QCheckBox* cbOnExitConfirmation = nullptr;
    QCheckBox* cbCheckForUpdates = nullptr;
    QCheckBox* cbAnimation = nullptr;
    QCheckBox* cbReviewBeforeSave = nullptr;
    QTreeWidget* treeVars = nullptr;
    QAction* actAdd = nullptr;
    QAction* actEdit = nullptr;
    QAction* actDelete = nullptr;

public slots:
    void actAddExecute();
    void actEditExecute();
    void actDeleteExecute();
    void btnOkClick();

private:
    // The rows re-read their names by index, so they follow the sorted order.
    void FillRows(int focusRow);
    void UpdateActions();

    TOptions& fOptions;
    std::unique_ptr<TExclusions> fWorking;
};

} // namespace talvoren
