// The Backup command of the main window: both scopes as they are stored in
// the registry now (unsaved edits are not part of it) into one REGEDIT4 file.

#include "base/Translation.h"
#include "platform/Platform.h"
#include "system/Tools.h"
#include "system/ToolsUser.h"
#include "ui/FormMain.h"
#include "ui/FormOK.h"
#include "ui/UiText.h"
#include "ui/dialogs/TalvorenUI.h"

#include <QDateTime>
#include <QFileDialog>

namespace talvoren {

void TfrmMain::actFileBackupExecute()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString offered = toQ(DefaultBackupFileName(now.date().year(), now.date().month(), now.date().day(),
                                                      now.time().hour(), now.time().minute(), now.time().second()));
    QString chosen;
    if (fChooseBackupFile) {
        chosen = fChooseBackupFile(offered);
    } else {
        // The dialog does not ask before replacing a file.
        chosen = QFileDialog::getSaveFileName(this, QString(), offered, qtr("Registry Files (*.reg)") + ";;", nullptr,
                                              QFileDialog::DontConfirmOverwrite);
    }
    if (chosen.isEmpty()) {
        return;
    }
    const UserInfo user = comboUsers->GetUser();
    std::vector<std::u16string> inexact;
    if (!BackupEnvironment(fPlatform, CheckForAdminAccess(fPlatform), user, fromQ(chosen), &inexact)) {
        TfrmOK::createAndShowModal(formatText(talvoren::tr("Can not load profile of the user '%s'"), {user.Name}),
                                   mtError, this);
        return;
    }
    if (!inexact.empty()) {
        std::u16string names;
        for (const std::u16string& name : inexact) {
            names += u"\r\n" + (name.empty() ? std::u16string(u"@") : name);
        }
        TfrmOK::createAndShowModal(
            talvoren::tr(
                "These values hold characters outside the ANSI code page. The backup keeps them as comments, which an "
                "import skips:")
                + names,
            mtWarning, this);
    }
}

} // namespace talvoren
