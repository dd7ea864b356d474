// The tree view's side of in-place editing: opening the editor for the
// window's command and the add operations, ending it, and what Esc on an
// edit opened by an add does.

#include "ui/ETreeEdit.h"
#include "ui/ETreeModel.h"
#include "ui/ETreeView.h"

#include <QLineEdit>

namespace talvoren {

bool TETreeView::editNode(const TENode* node)
{
    if (!node || !fTree.IsWritable(node)) {
        return false;
    }
    if (!node->IsVariable()) {
        fTree.SetExpanded(fTree.GetVariableNode(node), true);
    }
    const QModelIndex index = fModel->indexOf(node);
    scrollTo(index);
    setCurrentIndex(index);
    QTreeView::edit(index);
    return isEditing();
}

bool TETreeView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (isEditing() && trigger != AllEditTriggers) {
        return false;
    }
    const bool opened = QTreeView::edit(index, trigger, event);
    if (opened) {
        fEditor = indexWidget(index);
    }
    return opened;
}

void TETreeView::finishEditing()
{
    if (!isEditing() || !fEditor) {
        return;
    }
    QWidget* editor = fEditor;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    setFocus();
}

void TETreeView::dropEdit()
{
    if (auto* editor = qobject_cast<QLineEdit*>(fEditor.data())) {
        // Undo, redo or a reload: the node under the editor is going, and a
        // commit now would push in the middle of the replacement.
        editor->setModified(false);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void TETreeView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    const bool addCancelled = hint == QAbstractItemDelegate::RevertModelCache && !fTree.IsOnEdited();
    if (editor == fEditor) {
        fEditor = nullptr;
    }
    QTreeView::closeEditor(editor, hint);
    fTree.SetOnEdited(true);
    if (addCancelled) {
        // The add pushed its step before the editor opened: Esc takes it back.
        fTree.undo();
    }
}

} // namespace talvoren
