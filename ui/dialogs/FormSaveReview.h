#pragma once

// The review a save shows before it writes: per scope every variable it
// adds, deletes, retypes or changes (for a split variable, which elements
// came, went or moved), the whole old and new value of the chosen row, and
// for a value another program changed since the load what is stored now,
// with the choice to write the user's version or keep the stored one.
// Enter saves once every such value is answered; Esc and the close box
// cancel.

#include "model/SaveReview.h"

#include <QDialog>
#include <functional>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace talvoren {

class TfrmSaveReview : public QDialog {
    Q_OBJECT
public:
    // The answers go into the reviews' entries.
    TfrmSaveReview(TSaveReview& system, TSaveReview& user, QWidget* parent = nullptr);
    ~TfrmSaveReview() override;

    // True on Save, with every conflict answered in the reviews.
    static bool createAndShowModal(TSaveReview& system, TSaveReview& user, QWidget* parent = nullptr);
    // Tests drive the open form here instead of a modal loop.
    static std::function<void(TfrmSaveReview&)>& testDriver();

    // The rows of one scope's variables (0 system, 1 user), in order; nullptr
    // for a scope without changes.
    QTreeWidgetItem* scopeItem(int scope) const;
    // The entry a variable row stands for (nullptr for a scope row).
    TReviewEntry* entryOf(const QTreeWidgetItem* item) const;

    QTreeWidget* listChanges = nullptr;
    QPlainTextEdit* memoDetails = nullptr;
    QRadioButton* rbWriteMine = nullptr;
    QRadioButton* rbKeepStored = nullptr;
    QLabel* lblPending = nullptr;
    QPushButton* btnSave = nullptr;

private:
    void ShowDetails();
    void Answer(TReviewAnswer answer);
    void UpdateRow(QTreeWidgetItem* item);
    void UpdatePending();

    std::vector<TReviewEntry*> fEntries; // by the rows' index data
    std::vector<bool> fSystem; // per entry: of the system scope
    TSaveReview& fSystemReview;
    TSaveReview& fUserReview;
    QTreeWidgetItem* fScopeItems[2] = {nullptr, nullptr};
};

} // namespace talvoren
