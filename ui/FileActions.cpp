#include "ui/FileActions.h"

#include "base/Translation.h"
#include "ui/Command.h"
#include "ui/FormQuestion.h"
#include "ui/Icons.h"
#include "ui/MessageForm.h"

#include <QAction>
#include <QWidget>

namespace talvoren {

TFileActions::TFileActions(TWindow window)
    : QObject(window.widget)
    , fWindow(std::move(window))
{
    QWidget* w = fWindow.widget;
    actFileSave = makeCommand(w, "actFileSave", "Save", imgSave, QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(actFileSave, &QAction::triggered, this, &TFileActions::actFileSaveExecute);

    actFileRestartAsAdmin = makeCommand(w, "actFileRestartAsAdmin", "Restart as administrator", imgShield, {});
    connect(actFileRestartAsAdmin, &QAction::triggered, this, &TFileActions::actFileRestartAsAdminExecute);

    actFileExit = makeCommand(w, "actFileExit", "E&xit", -1, QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(actFileExit, &QAction::triggered, w, &QWidget::close);

    actEditRefresh = makeCommand(w, "actEditRefresh", "Refresh", -1, QKeySequence(Qt::Key_F5));
    setCommandHint(actEditRefresh, "Refresh variables and values");
    connect(actEditRefresh, &QAction::triggered, this, &TFileActions::actEditRefreshExecute);

    actFileBackup = makeCommand(w, "actFileBackup", "Backup...", -1);
    connect(actFileBackup, &QAction::triggered, this, [this] { fWindow.guarded(fWindow.backup); });
    actFileRestore = makeCommand(w, "actFileRestore", "Restore...", -1);
    connect(actFileRestore, &QAction::triggered, this, [this] {
        fWindow.guarded([this] {
            if (fWindow.endEditing()) {
                fWindow.restore();
            }
        });
    });
    actFileHistory = makeCommand(w, "actFileHistory", "History...", -1);
    connect(actFileHistory, &QAction::triggered, this, [this] {
        fWindow.guarded([this] {
            if (fWindow.endEditing()) {
                fWindow.history();
            }
        });
    });
    actFileOptions = makeCommand(w, "actFileOptions", "Options...", imgOptions);
    connect(actFileOptions, &QAction::triggered, this, [this] { fWindow.options(); });
}

void TFileActions::Update()
{
    actFileSave->setEnabled(fWindow.isModified());
    actFileRestartAsAdmin->setEnabled(!fWindow.hasAdminAccess());
}

void TFileActions::actFileSaveExecute()
{
    fWindow.guarded([this] {
        // A refused edit saves nothing: the user has just been told why.
        if (fWindow.endEditing()) {
            fWindow.save();
        }
    });
}

void TFileActions::actFileRestartAsAdminExecute()
{
    fWindow.guarded(fWindow.restartAsAdmin);
}

void TFileActions::actEditRefreshExecute()
{
    fWindow.guarded([this] {
        if (!fWindow.endEditing()) {
            return;
        }
        if (fWindow.isModified()
            && TfrmYesNo::createAndShowModal(talvoren::tr("All changes will be lost after refreshing\r\nAre you sure?"),
                                             fWindow.widget)
                != mrYes) {
            return;
        }
        fWindow.reload();
    });
}

} // namespace talvoren
