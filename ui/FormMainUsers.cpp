// The user selector of the main window: the accounts with a profile (with
// write access to the system scope) or the running account alone, and
// switching the trees to another account's variables.

#include "base/Translation.h"
#include "model/PathChecks.h"
#include "platform/Platform.h"
#include "system/Tools.h"
#include "system/ToolsUser.h"
#include "ui/FormMain.h"
#include "ui/FormQuestion.h"
#include "ui/UiText.h"
#include "ui/dialogs/TalvorenUI.h"

#include <QSignalBlocker>
#include <optional>

namespace talvoren {

void TfrmMain::FillUserList()
{
    const QSignalBlocker quiet(comboUsers);
    // A refill (after a change of language) keeps the account whose
    // variables the trees show; only the first fill picks the logged-in one.
    std::optional<UserInfo> shownUser;
    if (comboUsers->currentIndex() >= 0) {
        shownUser = comboUsers->GetUser();
    }
    comboUsers->setUpdatesEnabled(false);
    comboUsers->ClearUsers();
    UserInfo me;
    GetCurrentUserInfo(fPlatform, me);
    const QString loggedIn = QLatin1Char(' ') + qtr("[logged in]");
    const auto isMe = [&me](const UserInfo& user) {
        return user.Name == me.Name && user.Domain == me.Domain;
    };
    if (CheckForAdminAccess(fPlatform)) {
        int count = 0;
        int shown = -1;
        for (const UserInfo& user : GetUsers(fPlatform)) {
            if (user.Name.empty() || user.Domain.empty() || !FolderExists(user.ProfileFolder, fPlatform.fileSystem())) {
                continue;
            }
            QString text = toQ(user.Domain + u"\\" + user.Name);
            if (isMe(user)) {
                text += loggedIn;
                CURRENT_USER = count;
            }
            if (shownUser && user.Sid == shownUser->Sid) {
                shown = count;
            }
            comboUsers->AddUser(user, text);
            ++count;
        }
        // An account that has left the list since (its profile folder gone)
        // stays as long as the trees show its variables.
        if (shownUser && shown < 0 && !isMe(*shownUser)) {
            comboUsers->AddUser(*shownUser, toQ(shownUser->Domain + u"\\" + shownUser->Name));
            shown = count++;
        }
        if (shown >= 0) {
            CURRENT_USER = shown;
        }
        comboUsers->setCurrentIndex(CURRENT_USER);
        comboUsers->setEnabled(true);
    } else {
        comboUsers->AddUser(me, toQ(me.Domain + u"\\" + me.Name) + loggedIn);
        comboUsers->setCurrentIndex(0);
        comboUsers->setEnabled(false);
    }
    comboUsers->setUpdatesEnabled(true);
}

void TfrmMain::comboUsersSelect(int index)
{
    if (index == CURRENT_USER) {
        return;
    }
    if (!EndEditing()) {
        comboUsers->setCurrentIndex(CURRENT_USER);
        return;
    }
    if (IsModified()) {
        const int answer = TfrmYesNoCancel::createAndShowModal(
            talvoren::tr("All changes will be lost after switching user\r\nDo you want to save the changes?"), this);
        if (answer == mrCancel) {
            comboUsers->setCurrentIndex(CURRENT_USER);
            return;
        }
        // Only a save that wrote everything may be followed by the reload
        // that drops the edits; Cancel at a conflict or a failure keeps them.
        if (answer == mrYes) {
            bool saved = false;
            RunGuarded([&] { saved = SaveTrees(); });
            if (!saved) {
                comboUsers->setCurrentIndex(CURRENT_USER);
                return;
            }
        }
    }
    if (ReloadVariables()) {
        CURRENT_USER = index;
    } else {
        comboUsers->setCurrentIndex(CURRENT_USER);
    }
}

} // namespace talvoren
