#include "ui/FormMain.h"

// The window's side of the registry: loading both scopes, saving them with
// the questions about values changed outside, and following changes other
// programs make.

#include "base/EnvStore.h"
#include "base/Error.h"
#include "base/Translation.h"
#include "edit/UndoStack.h"
#include "model/ETree.h"
#include "platform/Platform.h"
#include "settings/Options.h"
#include "system/TalvorenUI.h"
#include "system/Tools.h"
#include "ui/ETreeView.h"
#include "ui/FormOK.h"
#include "ui/FormQuestion.h"
#include "ui/Icons.h"
#include "ui/Inspector.h"
#include "ui/StatusField.h"
#include "ui/UiText.h"

#include <QApplication>
#include <QTabWidget>

namespace talvoren {

void TfrmMain::LoadAtStart(TETree& tree, const Scope& scope, std::u16string& errors)
{
    try {
        tree.LoadFromRegistry(scope);
    } catch (const TError& e) {
        errors += (errors.empty() ? u"" : u"\r\n") + e.message();
    }
}

void TfrmMain::ApplyLoadState()
{
    const bool sysWritable = CheckForAdminAccess(fPlatform);
    if (!SysVarTree->IsLoaded()) {
        fSysView->setReadOnlyLook(true);
    } else if (sysWritable && !SysVarTree->IsEditable()) {
        fSysView->setReadOnlyLook(false);
    }
    if (UserVarTree->IsLoaded() != UserVarTree->IsEditable()) {
        fUserView->setReadOnlyLook(!UserVarTree->IsLoaded());
    }
}

TETree::TSaveAnswer TfrmMain::AskOverwrite(const std::u16string& name, bool deleting)
{
    const std::u16string question = deleting
        ? trFormat("The variable '%s' was changed by another program since it was loaded.\r\nDelete it all the same?",
                   name)
        : trFormat("The variable '%s' was changed by another program since it was loaded.\r\nOverwrite it?", name);
    switch (TfrmYesNoCancel::createAndShowModal(question, this)) {
    case mrYes:
        return TETree::TSaveAnswer::Overwrite;
    case mrNo:
        return TETree::TSaveAnswer::Keep;
    default:
        return TETree::TSaveAnswer::Cancel;
    }
}

bool TfrmMain::SaveTrees()
{
    fSaving = true;
    statusLabel1->setState(stSaving, qtr("Saving ..."));
    statusLabel1->repaint();
    auto finish = [this] {
        fSaving = false;
        statusLabel1->clear();
        UpdateStatusBar();
    };
    try {
        const auto ask = [this](const std::u16string& name, bool deleting) {
            return AskOverwrite(name, deleting);
        };
        // Every question is asked before anything is written, so that
        // Cancel leaves both scopes as they are. A tree that could not be
        // loaded is never saved.
        const bool saveSystem = CheckForAdminAccess(fPlatform) && SysVarTree->IsLoaded();
        std::shared_ptr<TSavePlan> sysPlan = saveSystem ? SysVarTree->PrepareSave(ask) : nullptr;
        if (saveSystem && !sysPlan) {
            finish();
            return false;
        }
        std::shared_ptr<TSavePlan> userPlan = UserVarTree->PrepareSave(ask);
        if (!userPlan) {
            finish();
            return false;
        }
        // Changes seen until now came from outside; the ones the writes
        // below make are this window's own and are dropped after them.
        fSysChangedOutside |= SysVarTree->PollRegistryChange();
        fUserChangedOutside |= UserVarTree->PollRegistryChange();
        if (sysPlan) {
            SysVarTree->ExecuteSave(*sysPlan);
            SysVarTree->PollRegistryChange();
        }
        UserVarTree->ExecuteSave(*userPlan);
        UserVarTree->PollRegistryChange();
        // A tree that met values changed outside shows the scope as it now is.
        bool reloaded = false;
        if (fSysChangedOutside || (sysPlan && SysVarTree->LastSaveMetOutsideChange())) {
            reloaded |= ReloadTree(*SysVarTree, SystemScope());
            fSysChangedOutside = false;
        }
        if (fUserChangedOutside || UserVarTree->LastSaveMetOutsideChange()) {
            reloaded |= ReloadTree(*UserVarTree, fUserScope);
            fUserChangedOutside = false;
        }
        if (reloaded) {
            UndoStack->Clear();
        } else {
            UndoStack->MarkSaved();
        }
        BroadcastEnvironmentChange(fPlatform.system(), kSaveBroadcastTimeoutMs);
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return true;
}

bool TfrmMain::ReloadVariables()
{
    // With write access the selected account's hive is loaded (again: a
    // hive loaded before stays loaded and loads at once).
    Scope userScope = CurrentUserScope();
    bool running = true;
    if (comboUsers->isEnabled()) {
        const UserInfo& user = comboUsers->GetUser();
        if (LoadUserHive(fPlatform, user) != platform::error::kSuccess) {
            TfrmOK::createAndShowModal(
                formatText(talvoren::tr("Can not load profile of the user '%s'"), {comboUsers->GetUserName()}), mtError,
                this);
            return false;
        }
        userScope = Scope{platform::RootKey::Users, u"\\" + user.Sid + u"\\Environment"};
        UserInfo me;
        GetCurrentUserInfo(fPlatform, me);
        running = user.Name == me.Name && user.Domain == me.Domain;
    }
    // Both scopes are read before either tree changes: a scope that cannot
    // be read shows its error and leaves both trees and the undo history as
    // they are. Only a tree that was never loaded does not hold up the other.
    std::shared_ptr<TScopeRead> user;
    std::shared_ptr<TScopeRead> system;
    std::u16string errors;
    auto read = [&](TETree& tree, const Scope& scope, std::shared_ptr<TScopeRead>& into) {
        try {
            into = tree.ReadRegistry(scope.root, scope.key);
        } catch (const TError& e) {
            errors += (errors.empty() ? u"" : u"\r\n") + e.message();
        }
    };
    read(*UserVarTree, userScope, user);
    read(*SysVarTree, SystemScope(), system);
    const bool blocked = (!user && UserVarTree->IsLoaded()) || (!system && SysVarTree->IsLoaded());
    if (!blocked) {
        fUserScope = userScope;
        fUserIsRunning = running;
        if (user) {
            UserVarTree->ApplyRead(std::move(user));
            if (running) {
                UserVarTree->AddReadOnlyVariables();
            }
        }
        if (system) {
            SysVarTree->ApplyRead(std::move(system));
            SysVarTree->AddReadOnlyVariables();
        }
        SysVarTree->ShowReadOnly(fOptions->showReadonly);
        UserVarTree->ShowReadOnly(fOptions->showReadonly);
        fSysChangedOutside = fUserChangedOutside = false;
        UndoStack->Clear();
        ApplyLoadState();
        FocusAfterLoad();
    }
    if (!errors.empty()) {
        TfrmOK::createAndShowModal(errors, mtError, this);
    }
    return !blocked;
}

void TfrmMain::FocusAfterLoad()
{
    // Adding the read-only variables leaves the focus on the last one added.
    FocusFirstEditableVariable(*SysVarTree);
    FocusFirstEditableVariable(*UserVarTree);
}

void TfrmMain::VerifyAndFollowRegistry()
{
    SysVarTree->Verify();
    UserVarTree->Verify();
    RefreshInspector(*Inspector, ActiveTree ? &ActiveTree->tree() : nullptr,
                     tabInformation->currentWidget() == gridInspector);
    if (!fSaving) {
        fSysChangedOutside |= SysVarTree->PollRegistryChange();
        fUserChangedOutside |= UserVarTree->PollRegistryChange();
        // A tree without edits follows the registry by itself; with edits
        // the status bar tells, and the save asks per variable.
        if ((fSysChangedOutside || fUserChangedOutside) && !IsModified() && !IsBusy()) {
            bool reloaded = false;
            if (fSysChangedOutside) {
                reloaded |= ReloadTree(*SysVarTree, SystemScope());
                fSysChangedOutside = false;
            }
            if (fUserChangedOutside) {
                reloaded |= ReloadTree(*UserVarTree, fUserScope);
                fUserChangedOutside = false;
            }
            if (reloaded) {
                UndoStack->Clear(); // its snapshots hold what the registry no longer has
            }
        }
    }
    UpdateActions();
}

bool TfrmMain::IsBusy() const
{
    // A dialog, a menu, or a drag under way (a button held) may still act
    // on the nodes it was opened on.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()
        || QApplication::mouseButtons() != Qt::NoButton) {
        return true;
    }
    // The in-place editor is a child of the view that has the focus.
    const QWidget* focused = QApplication::focusWidget();
    for (const TETreeView* view : {fSysView, fUserView}) {
        if (focused && focused != view && view->isAncestorOf(focused)) {
            return true;
        }
    }
    return false;
}

bool TfrmMain::ReloadTree(TETree& tree, const Scope& scope)
{
    std::shared_ptr<TScopeRead> read;
    try {
        read = tree.ReadRegistry(scope.root, scope.key);
    } catch (const TError&) {
        return false; // kept as it is; the next change tries again
    }
    const TETree::TViewState view = tree.GetViewState();
    tree.ApplyRead(std::move(read));
    if (&tree != UserVarTree.get() || fUserIsRunning) {
        tree.AddReadOnlyVariables();
    }
    tree.ShowReadOnly(fOptions->showReadonly);
    tree.SetViewState(view);
    return true;
}

} // namespace talvoren
