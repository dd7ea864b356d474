// The Backup command of the main window: both scopes as they are stored in
// the registry now (unsaved edits are not part of it) into one registry
// script; and Restore, which brings a script's values into the trees.

#include "base/Translation.h"
#include "edit/RegRestore.h"
#include "model/ETree.h"
#include "model/RegFile.h"
#include "platform/Platform.h"
#include "system/Tools.h"
#include "system/ToolsUser.h"
#include "ui/FormMain.h"
#include "ui/FormOK.h"
#include "ui/FormQuestion.h"
#include "ui/UiText.h"
#include "ui/dialogs/TalvorenUI.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

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
        // Asked below, after ".reg" may have been added to the name.
        chosen = QFileDialog::getSaveFileName(this, QString(), offered, qtr("Registry Files (*.reg)") + ";;", nullptr,
                                              QFileDialog::DontConfirmOverwrite);
    }
    if (chosen.isEmpty()) {
        return;
    }
    if (QFileInfo(chosen).suffix().isEmpty()) {
        chosen += QStringLiteral(".reg");
    }
    if (QFileInfo::exists(chosen)
        && TfrmYesNo::createAndShowModal(trFormat("The file '%s' exists already. Replace it?", fromQ(chosen)), this)
            != mrYes) {
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
            talvoren::tr("The backup is written in the Unicode format of the registry editor (\"Windows Registry "
                         "Editor Version 5.00\"), because the REGEDIT4 format cannot hold these values exactly:")
                + names,
            mtInformation, this);
    }
}

void TfrmMain::actFileRestoreExecute()
{
    QString chosen;
    if (fChooseRestoreFile) {
        chosen = fChooseRestoreFile();
    } else {
        chosen = QFileDialog::getOpenFileName(this, QString(), QString(), qtr("Registry Files (*.reg)") + ";;");
    }
    if (chosen.isEmpty()) {
        return;
    }
    const std::u16string fileName = fromQ(chosen);
    std::ifstream in(std::filesystem::path(fileName), std::ios::binary);
    std::vector<uint8_t> bytes;
    if (in) {
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    if (!in && !in.eof()) {
        const int error = errno;
        TfrmOK::createAndShowModal(
            trFormat("Can not read the file '%s': %s", fileName, fromQ(QString::fromLocal8Bit(std::strerror(error)))),
            mtError, this);
        return;
    }
    TRegFileContent content;
    TRegFileError error;
    if (!ParseRegFile(bytes, fPlatform.locale(), content, error)) {
        const std::u16string where
            = error.Line == 0 ? std::u16string() : trFormat("line %s: ", fromQ(QString::number(error.Line)));
        TfrmOK::createAndShowModal(
            trFormat("The file '%s' is not a registry script that can be restored; nothing was changed.", fileName)
                + u"\r\n" + where + error.Reason,
            mtError, this);
        return;
    }
    const TRestoreReport report = RestoreIntoTrees(content, *UserVarTree, *SysVarTree);
    UpdateActions();
    std::u16string text = trFormat("Variables changed: %s; already as in the file: %s.",
                                   fromQ(QString::number(report.Changed)), fromQ(QString::number(report.Unchanged)));
    if (report.Skipped > 0) {
        text += u"\r\n"
            + trFormat("Lines for other registry keys, not applied: %s.", fromQ(QString::number(report.Skipped)));
    }
    if (!report.Refused.empty()) {
        text += u"\r\n" + talvoren::tr("Not restored:");
        for (const std::u16string& refused : report.Refused) {
            text += u"\r\n" + refused;
        }
    }
    if (report.Changed > 0) {
        text += u"\r\n" + talvoren::tr("Nothing is written to the registry until you save.");
    }
    TfrmOK::createAndShowModal(text, report.Refused.empty() ? mtInformation : mtWarning, this);
}

} // namespace talvoren
