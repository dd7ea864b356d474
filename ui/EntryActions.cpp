#include "ui/EntryActions.h"

#include "base/Translation.h"
#include "edit/ETreeEditing.h"
#include "model/ETree.h"
#include "ui/Command.h"
#include "ui/ETreeView.h"
#include "ui/EditActions.h"
#include "ui/FormOK.h"
#include "ui/FormQuestion.h"
#include "ui/Icons.h"
#include "ui/NodeMime.h"
#include "ui/UiText.h"
#include "ui/dialogs/FormAddVar.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>

namespace talvoren {

TEntryActions::TEntryActions(TEditActions::TWindow window)
    : QObject(window.widget)
    , fWindow(std::move(window))
{
    QWidget* w = fWindow.widget;
    auto make = [&](QAction*& action, const char* name, const char* caption, int image, const QList<QKeySequence>& keys,
                    void (TEntryActions::*execute)()) {
        action = makeCommand(w, name, caption, image);
        action->setShortcuts(keys);
        connect(action, &QAction::triggered, this, execute);
    };
    make(actEditAddVariable, "actEditAddVariable", "Add variable...", imgAddVariable, {QKeySequence(Qt::Key_Insert)},
         &TEntryActions::actEditAddVariableExecute);
    setCommandHint(actEditAddVariable, "Add new variable");
    make(actEditAddValue, "actEditAddValue", "Add value", imgAddValue, {QKeySequence(Qt::ALT | Qt::Key_Insert)},
         &TEntryActions::actEditAddValueExecute);
    setCommandHint(actEditAddValue, "Add value to the current variable");
    make(actEditEditAsText, "actEditEditAsText", "&Edit", imgEdit, {QKeySequence(Qt::Key_F2)},
         &TEntryActions::actEditEditAsTextExecute);
    make(actEditCopy, "actEditCopy", "Copy", imgCopy,
         {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)},
         &TEntryActions::actEditCopyExecute);
    make(actEditPaste, "actEditPaste", "Paste", imgPaste,
         {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)},
         &TEntryActions::actEditPasteExecute);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { fClipboardChanged = true; });
}

TETree* TEntryActions::Tree() const
{
    TETreeView* view = fWindow.activeTree();
    return view ? &view->tree() : nullptr;
}

bool TEntryActions::IsTreeInUse() const
{
    return TEditActions::IsInUse(fWindow.activeTree());
}

QLineEdit* TEntryActions::FocusedEditor() const
{
    TETreeView* view = fWindow.activeTree();
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    return view && editor && view->isAncestorOf(editor) ? editor : nullptr;
}

void TEntryActions::Update()
{
    TETree* tree = Tree();
    const TETreeView* view = fWindow.activeTree();
    const bool inUse = IsTreeInUse();
    const bool treeEditable = inUse && tree->IsEditable();
    const bool editable = treeEditable && TETreeEditing(*tree).CanChangeFocusedNode();
    actEditAddVariable->setEnabled(treeEditable);
    actEditAddValue->setEnabled(editable && TETreeEditing(*tree).CanAddEmptyElement());
    actEditEditAsText->setEnabled(editable && !view->isEditing());
    actEditCopy->setEnabled(inUse && !view->isEditing() && tree->GetFocusedNode());
    if (fClipboardChanged && treeEditable) {
        // Asking the clipboard may wait for another program: once per change.
        fClipboardChanged = false;
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        fClipboardRecord = data && data->hasFormat(variableClipboardFormat());
        fClipboardText = data && data->hasText();
        const TPastedText pasted = ReadPastedText(fromQ(fClipboardText ? data->text() : QString()), true);
        fClipboardVariableText = fClipboardText && (pasted.variable || !pasted.variables.empty());
    }
    actEditPaste->setEnabled(
        treeEditable
        && (fClipboardRecord || (fClipboardText && TETreeEditing(*tree).CanPasteText(fClipboardVariableText))));
}

void TEntryActions::actEditAddVariableExecute()
{
    TETree* tree = Tree();
    if (!tree) {
        return;
    }
    tree->FinishEditing();
    std::u16string name;
    uint8_t type = kDataTypeString;
    if (TfrmAddVar::createAndShowModal(*tree, name, type, fWindow.widget)) {
        fWindow.activeTree()->setFocus();
        TETreeEditing(*tree).UndoableAddEmptyVariable(name, type, false);
    }
}

void TEntryActions::actEditAddValueExecute()
{
    if (TETree* tree = Tree()) {
        TETreeEditing(*tree).UndoableAddEmptyElement();
    }
}

void TEntryActions::actEditEditAsTextExecute()
{
    if (TETreeView* view = fWindow.activeTree()) {
        view->editNode(view->tree().GetFocusedNode());
    }
}

void TEntryActions::actEditCopyExecute()
{
    if (QLineEdit* editor = FocusedEditor()) {
        editor->copy();
        return;
    }
    TETree* tree = Tree();
    const TENode* node = tree ? tree->GetFocusedNode() : nullptr;
    if (!node) {
        return;
    }
    // The selection when the focused node is part of it, else that node.
    std::vector<TENode*> nodes = tree->GetSelectedNodes();
    if (!tree->IsSelected(node)) {
        nodes.assign(1, const_cast<TENode*>(node));
    }
    QMimeData* data = clipboardDataFor(*tree, nodes);
    const bool textOnly = nodes.size() == 1 && node->IsVariable() && !data->hasFormat(variableClipboardFormat());
    QGuiApplication::clipboard()->setMimeData(data);
    if (textOnly) {
        TfrmOK::createAndShowModal(
            talvoren::tr("The variable is too long for the variable clipboard format (names up to 256, "
                         "values up to 8192 characters): only its text NAME=value was copied. Paste it "
                         "onto a variable of a tree to create the variable there."),
            mtInformation, fWindow.widget);
    }
}

void TEntryActions::actEditPasteExecute()
{
    if (QLineEdit* editor = FocusedEditor()) {
        editor->paste();
        return;
    }
    TETree* tree = Tree();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!tree || !data) {
        return;
    }
    auto overwrite = [this](const std::u16string& name) {
        return TfrmYesNo::createAndShowModal(
                   trFormat("Variable '%s' already exists\r\nDo you want to overwrite it?", name), fWindow.widget)
            == mrYes;
    };
    std::u16string refusal;
    if (data->hasFormat(variableClipboardFormat())) {
        // A record that cannot be read is not pasted as anything else.
        const std::optional<TVariableRecord> record = variableRecordOf(data);
        if (!record) {
            return;
        }
        refusal = TETreeEditing(*tree).PasteVariable(*record, overwrite);
    } else if (data->hasText()) {
        refusal = TETreeEditing(*tree).PasteText(fromQ(data->text()), overwrite);
    }
    if (!refusal.empty()) {
        TfrmOK::createAndShowModal(refusal, mtWarning, fWindow.widget);
    }
}

} // namespace talvoren
