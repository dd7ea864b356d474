#include "ui/FormMain.h"

// The window's side of the registry: loading both scopes, saving them with
// the questions about values changed outside, and following changes other
// programs make.

#include "base/EnvStore.h"
#include "base/Error.h"
#include "base/Translation.h"
#include "edit/UndoStack.h"
#include "model/ETree.h"
#include "model/SaveHistory.h"
#include "model/SaveReview.h"
#include "platform/Platform.h"
#include "settings/Options.h"
#include "system/Tools.h"
#include "ui/ETreeView.h"
#include "ui/FormOK.h"
#include "ui/FormQuestion.h"
#include "ui/Icons.h"
#include "ui/Inspector.h"
#include "ui/StatusField.h"
#include "ui/TreePanel.h"
#include "ui/UiText.h"
#include "ui/dialogs/FormSaveReview.h"
#include "ui/dialogs/TalvorenUI.h"

#include <QApplication>
#include <QTabWidget>
#include <optional>

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
    // A user scope that cannot be written (a read-only or missing hive) is
    // shown read-only from the start, saying why, rather than taking edits
    // that no save could write. A lock passes: it is gone by the save.
    const uint32_t userAccess
        = UserVarTree->IsLoaded() ? ProbeScopeForWriting(fPlatform, fUserScope) : platform::error::kSuccess;
    const bool locked = userAccess == platform::error::kLockViolation || userAccess == platform::error::kBusy;
    const bool userWritable = UserVarTree->IsLoaded() && (userAccess == platform::error::kSuccess || locked);
    if (userWritable != UserVarTree->IsEditable()) {
        fUserView->setReadOnlyLook(!userWritable);
    }
    if (!UserVarTree->IsLoaded() || userWritable) {
        tbxPanelUserTree->setCaption(qtr("User Variables"));
    } else if (userAccess == platform::error::kAccessDenied) {
        tbxPanelUserTree->setCaption(qtr("User variables (read-only: no write access)"));
    } else if (userAccess == platform::error::kFileNotFound || userAccess == platform::error::kPathNotFound) {
        tbxPanelUserTree->setCaption(qtr("User variables (read-only: no registry key)"));
    } else {
        tbxPanelUserTree->setCaption(qtr("User variables (read-only)"));
    }
}

namespace {

// A value for the conflict question: long values lose their middle, so
// that both ends (where paths differ most) stay readable.
std::u16string ShownValue(const std::u16string& value)
{
    constexpr size_t kKeep = 150;
    if (value.empty()) {
        return tr("(empty)");
    }
    if (value.size() <= 2 * kKeep + 20) {
        return value;
    }
    return value.substr(0, kKeep) + u" \u2026 " + value.substr(value.size() - kKeep);
}

std::u16string StoredValue(const TETree::TSaveConflict& conflict)
{
    if (!conflict.storedExists) {
        return tr("(deleted by the other program)");
    }
    if (!conflict.storedIsText) {
        return tr("(not a text value)");
    }
    return ShownValue(conflict.stored);
}

// After a save in which the user kept values another program had stored,
// the trees show the registry as it now is, and one Undo brings back the
// user's own versions of just those variables (every other variable as the
// registry holds it now, so that a later save changes nothing else).
void OfferKeptEditsForUndo(TUndoStack& undo, TETree& sys, TETree& user,
                           const std::vector<TETree::TSaveConflict>& sysKept,
                           const std::vector<TETree::TSaveConflict>& userKept)
{
    const std::vector<uint8_t> sysNow = sys.SaveToStream();
    const std::vector<uint8_t> userNow = user.SaveToStream();
    const TETree::TViewState sysView = sys.GetViewState();
    const TETree::TViewState userView = user.GetViewState();
    auto putBack = [](TETree& tree, const std::vector<TETree::TSaveConflict>& kept) {
        auto& locale = tree.Platform().locale();
        for (const auto& conflict : kept) {
            const std::u16string folded = locale.foldCase(conflict.name);
            for (TENode* variable : tree.Variables()) {
                if (!tree.GetVariableReadOnly(variable) && locale.foldCase(tree.GetVariableName(variable)) == folded) {
                    tree.DeleteNode(variable);
                }
            }
            if (!conflict.deleting) {
                tree.AddVariable(conflict.name, conflict.toWrite, conflict.dataType, false);
            }
        }
    };
    putBack(sys, sysKept);
    putBack(user, userKept);
    undo.Push(sys, user);
    sys.LoadFromStream(sysNow);
    user.LoadFromStream(userNow);
    sys.SetViewState(sysView);
    user.SetViewState(userView);
}

} // namespace

TETree::TSaveAnswer TfrmMain::AskOverwrite(const TETree::TSaveConflict& conflict, bool system)
{
    std::u16string question;
    if (conflict.deleting) {
        question
            = formatText(system ? talvoren::tr("The system variable '%s' was changed by another program since it was "
                                               "loaded.\r\n\r\nStored now: %s\r\n\r\nDelete it all the same?")
                                : talvoren::tr("The user variable '%s' was changed by another program since it was "
                                               "loaded.\r\n\r\nStored now: %s\r\n\r\nDelete it all the same?"),
                         {conflict.name, StoredValue(conflict)});
    } else {
        question = formatText(
            system ? talvoren::tr(
                "The system variable '%s' was changed by another program since it was loaded.\r\n\r\nStored "
                "now: %s\r\nAbout to be written: %s\r\n\r\nOverwrite it?")
                   : talvoren::tr(
                       "The user variable '%s' was changed by another program since it was loaded.\r\n\r\nStored "
                       "now: %s\r\nAbout to be written: %s\r\n\r\nOverwrite it?"),
            {conflict.name, StoredValue(conflict), ShownValue(conflict.toWrite)});
    }
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
    // A tree that could not be loaded, or whose scope cannot be written, is
    // never saved.
    const bool saveSystem = CheckForAdminAccess(fPlatform) && SysVarTree->IsLoaded();
    const bool saveUser = !fUserView->hasReadOnlyLook();
    // The person sees what is written, and answers there for values other
    // programs changed, before anything is; a save that writes nothing
    // needs no review.
    std::optional<TSaveReview> sysReview;
    std::optional<TSaveReview> userReview;
    if (fOptions->reviewBeforeSave) {
        sysReview = saveSystem ? ReviewSave(*SysVarTree) : TSaveReview{};
        userReview = saveUser ? ReviewSave(*UserVarTree) : TSaveReview{};
        if ((!sysReview->entries.empty() || !userReview->entries.empty())
            && !TfrmSaveReview::createAndShowModal(*sysReview, *userReview, this)) {
            return false;
        }
    }
    fSaving = true;
    statusLabel1->setState(stSaving, qtr("Saving ..."));
    statusLabel1->repaint();
    auto finish = [this] {
        fSaving = false;
        statusLabel1->clear();
        UpdateStatusBar();
    };
    try {
        std::vector<TETree::TSaveConflict> sysKept;
        std::vector<TETree::TSaveConflict> userKept;
        const auto asker
            = [this](bool system, std::vector<TETree::TSaveConflict>& kept, const std::optional<TSaveReview>& review) {
                  return [this, system, &kept, &review](const TETree::TSaveConflict& conflict) {
                      // A value changed again since the review is asked afresh.
                      const auto reviewed = review ? review->AnswerFor(conflict) : std::nullopt;
                      const TETree::TSaveAnswer answer = reviewed ? *reviewed : AskOverwrite(conflict, system);
                      if (answer == TETree::TSaveAnswer::Keep) {
                          kept.push_back(conflict);
                      }
                      return answer;
                  };
              };
        // Every question is asked before anything is written, so that
        // Cancel leaves both scopes as they are.
        std::shared_ptr<TSavePlan> sysPlan;
        std::shared_ptr<TSavePlan> userPlan;
        try {
            sysPlan = saveSystem ? SysVarTree->PrepareSave(asker(true, sysKept, sysReview)) : nullptr;
        } catch (const TError& e) {
            throw TError(formatText(talvoren::tr("The system variables were not saved: %s"), {e.message()}) + u"\r\n"
                         + talvoren::tr("The user variables were not saved either."));
        }
        if (saveSystem && !sysPlan) {
            finish();
            return false;
        }
        try {
            userPlan = saveUser ? UserVarTree->PrepareSave(asker(false, userKept, userReview)) : nullptr;
        } catch (const TError& e) {
            throw TError(formatText(talvoren::tr("The user variables were not saved: %s"), {e.message()})
                         + (saveSystem ? u"\r\n" + talvoren::tr("The system variables were not saved either.") : u""));
        }
        if (saveUser && !userPlan) {
            finish();
            return false;
        }
        // Changes seen until now came from outside; the ones the writes
        // below make are this window's own and are dropped after them.
        fSysChangedOutside |= SysVarTree->PollRegistryChange();
        fUserChangedOutside |= UserVarTree->PollRegistryChange();
        TSaveHistory history(fPlatform); // each scope's previous values, before its writes
        if (sysPlan) {
            try {
                SysVarTree->ExecuteSave(*sysPlan, &history);
            } catch (const TError& e) {
                throw TError(formatText(talvoren::tr("The system variables were not saved: %s"), {e.message()})
                             + u"\r\n" + talvoren::tr("The user variables were not saved either."));
            }
            SysVarTree->PollRegistryChange();
        }
        if (userPlan) {
            try {
                UserVarTree->ExecuteSave(*userPlan, &history);
            } catch (const TError& e) {
                throw TError((sysPlan ? talvoren::tr("The system variables were saved.") + u"\r\n" : u"")
                             + formatText(talvoren::tr("The user variables were not saved: %s"), {e.message()}));
            }
            UserVarTree->PollRegistryChange();
        }
        // A tree that met values changed outside shows the scope as it now is.
        bool reloaded = false;
        if (fSysChangedOutside || (sysPlan && SysVarTree->LastSaveMetOutsideChange())) {
            if (ReloadTree(*SysVarTree, SystemScope())) {
                reloaded = true;
            } else {
                sysKept.clear(); // the tree still shows the user's versions
            }
            fSysChangedOutside = false;
        }
        if (fUserChangedOutside || (userPlan && UserVarTree->LastSaveMetOutsideChange())) {
            if (ReloadTree(*UserVarTree, fUserScope)) {
                reloaded = true;
            } else {
                userKept.clear();
            }
            fUserChangedOutside = false;
        }
        if (reloaded) {
            // The history's snapshots hold values the registry no longer
            // has; only the user's kept versions stay reachable, by Undo.
            UndoStack->Clear();
            if (!sysKept.empty() || !userKept.empty()) {
                OfferKeptEditsForUndo(*UndoStack, *SysVarTree, *UserVarTree, sysKept, userKept);
            }
        }
        UndoStack->MarkSaved();
        StartBroadcast();
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
            } else {
                AddAccountVariables(*UserVarTree, comboUsers->GetUser());
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
    } else {
        AddAccountVariables(tree, comboUsers->GetUser());
    }
    tree.ShowReadOnly(fOptions->showReadonly);
    tree.SetViewState(view);
    return true;
}

} // namespace talvoren
