#pragma once

// One environment tree on screen: a QTreeView over a TETreeModel. The core
// tree keeps focus, selection, hidden and expanded states; the view mirrors
// them and reports the user's changes back, so undo and reload restore what
// the user sees.

#include "model/ETree.h"

#include <QElapsedTimer>
#include <QTreeView>

namespace talvoren {

class TETreeModel;

// Focuses and selects the first variable shown that the user can edit (the
// first one shown when none is editable): where a freshly loaded tree starts.
void FocusFirstEditableVariable(TETree& tree);

class TETreeView : public QTreeView {
    Q_OBJECT
public:
    explicit TETreeView(TETree& tree, QWidget* parent = nullptr);
    ~TETreeView() override;

    TETree& tree() const { return fTree; }
    TETreeModel& treeModel() const { return *fModel; }

    // The look of a system tree that cannot be written: light grey, no
    // editing (the tree's editable option is switched off as well).
    void setReadOnlyLook(bool readOnly);
    bool hasReadOnlyLook() const { return fReadOnlyLook; }

    // An in-place edit is open.
    bool isEditing() const { return state() == EditingState; }
    void expandAllNodes();
    void collapseAllNodes();

    // Hints stay on screen this long.
    static constexpr int kHintDisplayMs = 20000;

signals:
    // The tree received the input focus.
    void treeFocused(TETreeView* view);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // The tree without the input focus draws its selection in the inactive
    // colours, so that the active tree is the one that stands out.
    void initViewItemOption(QStyleOptionViewItem* option) const override;
    bool viewportEvent(QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;

public:
    // Searches from the focused node (all nodes, expanding a variable when
    // one of its elements matches); typing on within the input interval
    // extends the text.
    void keyboardSearch(const QString& search) override;

private:
    void applyHidden(const QModelIndex& variable, bool hidden);
    void applyExpansion(const QModelIndex& variable, bool expanded);
    void applyFocus(const QModelIndex& focused);
    void applySelection();
    void applyAll();
    void onExpanded(const QModelIndex& index);
    void onCollapsed(const QModelIndex& index);

    TETree& fTree;
    TETreeModel* fModel;
    bool fSyncing = false; // while the view follows the tree, it reports nothing back
    bool fReadOnlyLook = false;
    bool fResyncPending = false;
    QString fSearchText;
    QElapsedTimer fSearchClock;
};

} // namespace talvoren
