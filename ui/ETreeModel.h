#pragma once

// The Qt item model over one core environment tree. It holds no content of
// its own: every change notification of the tree is forwarded one to one
// (inserts, removals, moves, data changes, resets), so a timer tick whose
// validation changes nothing sends nothing to the view.

#include "model/ETree.h"

#include <QAbstractItemModel>
#include <QColor>

namespace talvoren {

class TETreeModel : public QAbstractItemModel, private IETreeObserver {
    Q_OBJECT
public:
    enum Role {
        ErrorMarkRole = Qt::UserRole + 1, // bool: draw the error mark over the image
        ExclusionMarkRole, // bool: draw the exclusion mark over the image
        ImageRole, // int: the tree image index, -1 for elements
        ReadOnlyRole, // bool: the node belongs to a read-only variable
    };

    explicit TETreeModel(TETree& tree, QObject* parent = nullptr);
    ~TETreeModel() override;

    TETree& tree() const { return fTree; }

    QModelIndex indexOf(const TENode* node) const;
    static TENode* nodeOf(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Drags carry the tree's node stream; the view decides every drop
    // itself (ETreeViewDrag.cpp), these only let the toolkit draw it.
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }

signals:
    // States the view mirrors; the tree keeps them.
    void visibilityChanged(const QModelIndex& variable, bool hidden);
    void expansionChanged(const QModelIndex& variable, bool expanded);
    void focusChanged(const QModelIndex& focused);
    void selectionChanged();
    // After a whole content replacement: re-read hidden, expanded, focus.
    void contentReset();
    // The tree asks the view to open the in-place editor / end an open edit.
    void editRequested(const TENode* node);
    void finishEditingRequested();

private:
    void BeforeInsert(TENode* parent, size_t first, size_t last) override;
    void AfterInsert(TENode* parent, size_t first, size_t last) override;
    void BeforeRemove(TENode* parent, size_t first, size_t last) override;
    void AfterRemove(TENode* parent, size_t first, size_t last) override;
    void BeforeMove(TENode* srcParent, size_t srcRow, TENode* dstParent, size_t dstRow) override;
    void AfterMove(TENode* srcParent, size_t srcRow, TENode* dstParent, size_t dstRow) override;
    void NodeChanged(TENode* node) override;
    void FlagsChanged(TENode* node) override;
    void VisibilityChanged(TENode* node) override;
    void ExpansionChanged(TENode* node) override;
    void BeforeReset() override;
    void AfterReset() override;
    void FocusChanged(TENode* focused) override;
    void SelectionChanged() override;
    void FinishEditing() override { emit finishEditingRequested(); }
    void EditNode(TENode* node) override { emit editRequested(node); }

    TETree& fTree;
    bool fMoveStarted = false;
};

// The text colour of a node with a warning the tree shows (an element the
// system Path holds too): dark enough to read on light rows.
QColor WarningColor();

} // namespace talvoren
