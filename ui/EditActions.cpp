#include "ui/EditActions.h"

#include "base/Translation.h"
#include "edit/ETreeEditing.h"
#include "model/ETree.h"
#include "model/PathChecks.h"
#include "platform/Platform.h"
#include "system/Tools.h"
#include "ui/Command.h"
#include "ui/ETreeView.h"
#include "ui/FormOK.h"
#include "ui/FormQuestion.h"
#include "ui/Icons.h"
#include "ui/NodeMime.h"
#include "ui/UiText.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace talvoren {

TEditActions::TEditActions(platform::IPlatform& platform, TWindow window)
    : QObject(window.widget)
    , fPlatform(platform)
    , fWindow(std::move(window))
{
    QWidget* w = fWindow.widget;
    auto make = [&](QAction*& action, const char* name, const char* caption, int image, const QKeySequence& keys,
                    void (TEditActions::*execute)()) {
        action = makeCommand(w, name, caption, image, keys);
        connect(action, &QAction::triggered, this, execute);
    };
    make(actEditDelete, "actEditDelete", "Delete", imgDelete, QKeySequence(Qt::Key_Delete),
         &TEditActions::actEditDeleteExecute);
    make(actEditCut, "actEditCut", "Cu&t", -1, QKeySequence(Qt::CTRL | Qt::Key_X), &TEditActions::actEditCutExecute);
    make(actEditEditAsPath, "actEditEditAsPath", "Insert directory path...", imgEditAsPath, QKeySequence(Qt::Key_F7),
         &TEditActions::actEditEditAsPathExecute);
    make(actEditEditAsFile, "actEditEditAsFile", "Insert file path...", imgEditAsFile, QKeySequence(Qt::Key_F8),
         &TEditActions::actEditEditAsFileExecute);
    make(actEditChangeType, "actEditChangeType", "Change variable type", imgChangeType, QKeySequence(Qt::Key_F6),
         &TEditActions::actEditChangeTypeExecute);
    make(actEditCleanup, "actEditCleanup", "Cleanup paths", -1, {}, &TEditActions::actEditCleanupExecute);
    setCommandHint(actEditCleanup, "Clean up paths (remove duplicates and empty elements)");
    make(actEditMoveUp, "actEditMoveUp", "Move up", imgMoveUp, QKeySequence(Qt::CTRL | Qt::Key_Up),
         &TEditActions::actEditMoveUpExecute);
    setCommandHint(actEditMoveUp, "Move value up");
    make(actEditMoveDown, "actEditMoveDown", "Move down", imgMoveDown, QKeySequence(Qt::CTRL | Qt::Key_Down),
         &TEditActions::actEditMoveDownExecute);
    setCommandHint(actEditMoveDown, "Move value down");
    make(actEditOpenFolder, "actEditOpenFolder", "Open folder", -1, {}, &TEditActions::actEditOpenFolderExecute);
    make(actEditLong2Short, "actEditLong2Short", "Convert long path to short", -1, {},
         &TEditActions::actEditLong2ShortExecute);
    make(actEditShort2Long, "actEditShort2Long", "Convert short path to long", -1, {},
         &TEditActions::actEditShort2LongExecute);
    make(actEditInline, "actEditInline", "Inline substitutions", -1, {}, &TEditActions::actEditInlineExecute);
    make(actEditRemoveMissing, "actEditRemoveMissing", "Remove missing paths", -1, {},
         &TEditActions::actEditRemoveMissingExecute);
    setCommandHint(actEditRemoveMissing, "Remove the elements that name a folder or file that does not exist");
}

TETree* TEditActions::Tree() const
{
    TETreeView* view = fWindow.activeTree();
    return view ? &view->tree() : nullptr;
}

bool TEditActions::IsInUse(const TETreeView* view)
{
    if (!view) {
        return false;
    }
    if (view->hasFocus() || view->isEditing()) {
        return true;
    }
    QWidget* focus = QApplication::focusWidget();
    if (!focus || qobject_cast<QMenu*>(focus) || qobject_cast<QMenuBar*>(focus)) {
        return true;
    }
    // Keys belong to an input that has them (the toolbar's account box too).
    if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QComboBox*>(focus) || qobject_cast<QAbstractSpinBox*>(focus)
        || qobject_cast<QTextEdit*>(focus) || qobject_cast<QPlainTextEdit*>(focus)) {
        return false;
    }
    return focus->window() == view->window();
}

bool TEditActions::IsTreeInUse() const
{
    return IsInUse(fWindow.activeTree());
}

bool TEditActions::IsEditable() const
{
    return IsTreeInUse() && TETreeEditing(*Tree()).CanChangeFocusedNode();
}

void TEditActions::Update()
{
    const bool editable = IsEditable();
    TETree* tree = Tree();
    const TENode* focused = tree ? tree->GetFocusedNode() : nullptr;
    const bool element = focused && !focused->IsVariable();
    const bool selection = IsTreeInUse() && TETreeEditing(*tree).CanDeleteSelected();
    actEditDelete->setEnabled(selection);
    actEditCut->setEnabled(selection);
    actEditEditAsPath->setEnabled(editable && element);
    actEditEditAsFile->setEnabled(editable && element);
    actEditChangeType->setEnabled(editable);
    actEditCleanup->setEnabled(editable && TETreeEditing(*tree).CanCleanupPaths());
    actEditMoveUp->setEnabled(editable && TETreeEditing(*tree).CanMoveUp());
    actEditMoveDown->setEnabled(editable && TETreeEditing(*tree).CanMoveDown());
    actEditLong2Short->setEnabled(editable);
    actEditShort2Long->setEnabled(editable);
    actEditInline->setEnabled(editable);
    actEditRemoveMissing->setEnabled(editable && TETreeEditing(*tree).CanRemoveMissingPaths());
    // Looking at a folder needs no write access.
    actEditOpenFolder->setEnabled(IsTreeInUse() && element && tree->IsValid(focused)
                                  && IsPath(tree->GetElementEx(focused)));
}

bool TEditActions::Allowed(QAction* action)
{
    Update();
    return action->isEnabled();
}

void TEditActions::actEditDeleteExecute()
{
    TETree* tree = Tree();
    if (!tree) {
        return;
    }
    // In the in-place editor Del deletes text, not nodes.
    if (QLineEdit* editor = FocusedEditor()) {
        editor->del();
        return;
    }
    if (!Allowed(actEditDelete)) {
        return;
    }
    // The question names the very nodes that the operation deletes.
    const std::vector<TENode*> doomed = TETreeEditing(*tree).SelectedNodes();
    if (!doomed.empty() && fWindow.confirmDeletion()) {
        const TENode* first = doomed.front();
        const std::u16string& name = tree->GetVariableName(first);
        std::u16string question;
        if (doomed.size() == 1) {
            question = first->IsVariable()
                ? trFormat("Are you sure you want to delete variable '%s'?", name)
                : trFormat("Are you sure you want to delete value '%s' from the variable '%s'?",
                           tree->GetElement(first), name);
        } else {
            const std::u16string count = fromQ(QString::number(doomed.size()));
            question = first->IsVariable()
                ? trFormat("Are you sure you want to delete these %s variables?", count)
                : trFormat("Are you sure you want to delete these %s values from the variable '%s'?", count, name);
            for (const TENode* node : doomed) {
                question += u"\r\n" + (node->IsVariable() ? tree->GetVariableName(node) : tree->GetElement(node));
            }
        }
        if (TfrmYesNo::createAndShowModal(question, fWindow.widget) != mrYes) {
            return;
        }
    }
    TETreeEditing(*tree).DeleteSelectedNodes();
}

QLineEdit* TEditActions::FocusedEditor() const
{
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    const TETreeView* view = fWindow.activeTree();
    return editor && view && view->isAncestorOf(editor) ? editor : nullptr;
}

void TEditActions::actEditCutExecute()
{
    TETree* tree = Tree();
    if (!tree) {
        return;
    }
    if (QLineEdit* editor = FocusedEditor()) {
        editor->cut();
        return;
    }
    if (!Allowed(actEditCut)) {
        return;
    }
    TETreeEditing editing(*tree);
    QGuiApplication::clipboard()->setMimeData(clipboardDataFor(*tree, editing.SelectedNodes()));
    editing.CutSelectedNodes();
}

QString TEditActions::StartFolder() const
{
    platform::IFileSystem& fs = fPlatform.fileSystem();
    std::u16string folder;
    const TETree* tree = Tree();
    if (const TENode* focused = tree ? tree->GetFocusedNode() : nullptr; focused && !focused->IsVariable()) {
        const std::u16string path = tree->GetElementEx(focused);
        if (IsPath(path) && FolderExists(path, fs)) {
            folder = path;
        } else if (const size_t slash = path.find_last_of(u"\\/"); IsPath(path) && slash != std::u16string::npos
                   && PathExists(path, fs) && FolderExists(path.substr(0, slash + 1), fs)) {
            folder = path.substr(0, slash + 1); // a file: its folder
        }
    }
    std::u16string dialogPath = folder.empty() ? std::u16string() : fs.dialogPathOf(folder);
    if (dialogPath.empty()) {
        dialogPath = fs.dialogPathOf(u"C:\\");
    }
    return toQ(dialogPath);
}

QString TEditActions::ChoosePath(bool folder, const QString& startFolder) const
{
    if (fChoosePath) {
        return fChoosePath(folder, startFolder);
    }
    if (folder) {
        return QFileDialog::getExistingDirectory(fWindow.widget, qtr("Select directory"), startFolder,
                                                 QFileDialog::ShowDirsOnly);
    }
    return QFileDialog::getOpenFileName(fWindow.widget, QString(), startFolder);
}

void TEditActions::OnTree(QAction* action, void (TETreeEditing::*operation)())
{
    if (TETree* tree = Tree(); tree && Allowed(action)) {
        (TETreeEditing(*tree).*operation)();
    }
}

void TEditActions::SetChosenPath(QAction* action, bool folder)
{
    if (!Allowed(action)) {
        return;
    }
    const QString chosen = ChoosePath(folder, StartFolder());
    TETree* tree = Tree();
    if (chosen.isEmpty() || !tree) {
        return;
    }
    if (folder) {
        fWindow.activeTree()->setFocus();
    }
    TETreeEditing(*tree).SetElement(fPlatform.fileSystem().windowsPathOf(fromQ(chosen)));
}

void TEditActions::actEditEditAsPathExecute()
{
    SetChosenPath(actEditEditAsPath, true);
}

void TEditActions::actEditEditAsFileExecute()
{
    SetChosenPath(actEditEditAsFile, false);
}

void TEditActions::actEditChangeTypeExecute()
{
    OnTree(actEditChangeType, &TETreeEditing::UndoableChangeType);
}

void TEditActions::actEditCleanupExecute()
{
    TETree* tree = Tree();
    if (!tree || !Allowed(actEditCleanup)) {
        return;
    }
    TETreeEditing editing(*tree);
    const std::vector<std::u16string> shadowed = editing.ElementsAlsoInSystemPath();
    bool alsoInSystemPath = false;
    if (!shadowed.empty()) {
        std::u16string list;
        for (const auto& element : shadowed) {
            list += u"\r\n" + element;
        }
        const int answer = TfrmYesNoCancel::createAndShowModal(
            talvoren::tr("These elements are also in the system Path, which is searched first:") + list + u"\r\n\r\n"
                + talvoren::tr("Remove them too?"),
            fWindow.widget);
        if (answer != mrYes && answer != mrNo) {
            return;
        }
        alsoInSystemPath = answer == mrYes;
    }
    editing.UndoableCleanupPaths(alsoInSystemPath);
}

void TEditActions::actEditMoveUpExecute()
{
    OnTree(actEditMoveUp, &TETreeEditing::UndoableMoveUp);
}

void TEditActions::actEditMoveDownExecute()
{
    OnTree(actEditMoveDown, &TETreeEditing::UndoableMoveDown);
}

void TEditActions::actEditLong2ShortExecute()
{
    OnTree(actEditLong2Short, &TETreeEditing::UndoableLong2Short);
}

void TEditActions::actEditShort2LongExecute()
{
    OnTree(actEditShort2Long, &TETreeEditing::UndoableShort2Long);
}

void TEditActions::actEditInlineExecute()
{
    TETree* tree = Tree();
    if (!tree || !Allowed(actEditInline)) {
        return;
    }
    // An expansion that fails is refused, not written into the value.
    if (const std::u16string refusal = TETreeEditing(*tree).UndoableInline(); !refusal.empty()) {
        TfrmOK::createAndShowModal(refusal, mtError, fWindow.widget);
    }
}

void TEditActions::actEditOpenFolderExecute()
{
    TETree* tree = Tree();
    if (!tree || !Allowed(actEditOpenFolder)) {
        return;
    }
    const TENode* focused = tree->GetFocusedNode();
    const std::u16string path = tree->GetElementEx(focused);
    // A shell that cannot start explorer is not reported.
    fPlatform.shell().execute(u"open", u"explorer.exe", ExplorerParameters(path, fPlatform.fileSystem()),
                              static_cast<uintptr_t>(fWindow.widget->winId()));
}

void TEditActions::actEditRemoveMissingExecute()
{
    TETree* tree = Tree();
    if (!tree || !Allowed(actEditRemoveMissing)) {
        return;
    }
    const auto missing = TETreeEditing(*tree).MissingPathElements();
    const std::u16string name = tree->GetVariableName(tree->GetFocusedNode());
    if (missing.empty()) {
        TfrmOK::createAndShowModal(trFormat("No element of '%s' names a missing folder or file", name), mtInformation,
                                   fWindow.widget);
        return;
    }
    std::u16string question
        = trFormat("Remove these elements of '%s'? They name folders or files that do not exist:", name) + u"\n";
    for (const auto& element : missing) {
        question += u"\n" + element.text;
    }
    if (TfrmYesNo::createAndShowModal(question, fWindow.widget) != mrYes) {
        return;
    }
    // Only what the question listed goes, and only if it is still missing.
    if (TETree* now = Tree()) {
        TETreeEditing(*now).UndoableRemoveMissingPaths(missing);
    }
}

} // namespace talvoren
