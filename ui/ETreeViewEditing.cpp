// The tree view's side of in-place editing: opening the editor for the
// window's command and the add operations, ending it, what Esc on an edit
// opened by an add does, and the message when a commit was refused.

#include "ui/ETreeEdit.h"
#include "ui/ETreeModel.h"
#include "ui/ETreeView.h"
#include "ui/FormOK.h"

#include <QLineEdit>
#include <QPointer>
#include <QTimer>

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
    // Only a click on the row that was already focused and selected in the
    // focused tree renames; the click that brings the focus here does not.
    if (trigger == SelectedClicked && fFocusedByClick) {
        return false;
    }
    const bool opened = QTreeView::edit(index, trigger, event);
    if (opened) {
        fEditor = indexWidget(index);
        if (auto* line = qobject_cast<QLineEdit*>(fEditor.data())) {
            connect(line, &QLineEdit::textChanged, this, &TETreeView::editorTextChanged);
        }
    }
    return opened;
}

bool TETreeView::hasPendingEdit() const
{
    const auto* line = qobject_cast<const QLineEdit*>(fEditor.data());
    return line && line->isModified();
}

bool TETreeView::finishEditing()
{
    if (!isEditing() || !fEditor) {
        return true;
    }
    QWidget* editor = fEditor;
    commitData(editor);
    // Taken before the editor closes, so that it is shown here, at once,
    // and not a second time afterwards.
    const std::u16string refusal = fLink->takeRefusal();
    if (fEditor == editor) {
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    setFocus();
    if (!refusal.empty()) {
        TfrmOK::createAndShowModal(refusal, mtError, window());
        return false;
    }
    return true;
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
    if (const std::u16string refusal = fLink->takeRefusal(); !refusal.empty()) {
        // Enter or a click elsewhere: shown after this event, so that the
        // dialog's focus does not end the edit a second time.
        QPointer<QWidget> owner = window();
        QTimer::singleShot(0, owner, [owner, refusal] { TfrmOK::createAndShowModal(refusal, mtError, owner); });
    }
}

} // namespace talvoren
