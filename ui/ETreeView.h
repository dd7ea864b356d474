#pragma once

// One environment tree on screen: a QTreeView over a TETreeModel. The core
// tree keeps focus, selection, hidden and expanded states; the view mirrors
// them and reports the user's changes back, so undo and reload restore what
// the user sees.

#include "edit/ETreeDrop.h"
#include "model/ETree.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTreeView>

namespace talvoren {

class TETreeModel;
class TETreeStringEditLink;

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

    // An in-place edit is open. Asked of the editor, not of the view's
    // state: an unfolding's animation puts back, when it ends, the state it
    // began in, editor or not.
    bool isEditing() const { return fEditor != nullptr; }
    void expandAllNodes();
    void collapseAllNodes();

    // In-place editing (ETreeViewEditing.cpp): opens the editor on a node
    // (expanding its variable); the open editor or nullptr.
    bool editNode(const TENode* node);
    QWidget* currentEditor() const { return fEditor; }
    // Ends an open edit by the editor's own rules (a changed text is
    // committed) and gives the tree the focus back. False when the commit
    // was refused: the editor is closed, the node as it was, and the reason
    // has been shown.
    bool finishEditing();
    // An editor is open and its text was changed.
    bool hasPendingEdit() const;

    // Dragging (ETreeViewDrag.cpp). Where a node dragged from `source` would
    // land at `pos` (viewport coordinates): the node under it (nullptr over
    // empty space) and the part of it; whether it may land there.
    bool dropTargetAt(const TETreeView* source, const QPoint& pos, TENode** target, TDropPosition* position) const;
    // The drop itself, as the mouse would make it: one undo step.
    bool dropAt(TETreeView* source, const QPoint& pos);
    // The nodes a drag from here carries, once it may start: the selection
    // when the focused node is part of it, else the focused node.
    std::vector<TENode*> dragNodes() const;

    // Hints stay on screen this long.
    static constexpr int kHintDisplayMs = 20000;
    // A collapsed variable opens after this pause while a node is dragged over it.
    static constexpr int kDragExpandDelayMs = 700;

signals:
    // The tree received the input focus.
    void treeFocused(TETreeView* view);
    // The text in the open editor changed.
    void editorTextChanged();

protected:
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // The tree without the input focus draws its selection in the inactive
    // colours, so that the active tree is the one that stands out.
    void initViewItemOption(QStyleOptionViewItem* option) const override;
    bool viewportEvent(QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

public:
    // Searches from the focused node (all nodes, expanding a variable when
    // one of its elements matches); typing on within the input interval
    // extends the text.
    void keyboardSearch(const QString& search) override;

private:
    void applyHidden(const QModelIndex& variable, bool hidden);
    void applyExpansion(const QModelIndex& variable, bool expanded);
    void setExpandedAtOnce(const QModelIndex& variable, bool expanded);
    void applyFocus(const QModelIndex& focused);
    void applySelection();
    // The rows selected on screen become the tree's selection (its rule
    // decides which of them stay).
    void takeSelection();
    void applyAll();
    void onExpanded(const QModelIndex& index);
    void onCollapsed(const QModelIndex& index);
    // Closes an open edit without committing it (the content under it is
    // being replaced), keeping the keyboard focus in the tree.
    void dropEdit();

    TETree& fTree;
    TETreeModel* fModel;
    TETreeStringEditLink* fLink;
    bool fSyncing = false; // while the view follows the tree, it reports nothing back
    bool fReadOnlyLook = false;
    bool fResyncPending = false;
    // The press under way gave the tree the focus: its click is no edit.
    bool fFocusedByClick = false;
    QString fSearchText;
    QElapsedTimer fSearchClock;
    QPointer<QWidget> fEditor;
};

} // namespace talvoren
