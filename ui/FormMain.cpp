#include "ui/FormMain.h"

#include "base/Error.h"
#include "base/Translation.h"
#include "edit/UndoStack.h"
#include "model/ETree.h"
#include "platform/Platform.h"
#include "platform/Utf.h"
#include "settings/Options.h"
#include "system/Tools.h"
#include "ui/ETreeView.h"
#include "ui/EditActions.h"
#include "ui/EntryActions.h"
#include "ui/FileActions.h"
#include "ui/FormAbout.h"
#include "ui/FormFind.h"
#include "ui/FormOK.h"
#include "ui/FormQuestion.h"
#include "ui/FormWhichProgram.h"
#include "ui/HelpActions.h"
#include "ui/Icons.h"
#include "ui/Inspector.h"
#include "ui/Language.h"
#include "ui/SingleInstance.h"
#include "ui/Splitter.h"
#include "ui/StatusField.h"
#include "ui/TreePanel.h"
#include "ui/UiText.h"
#include "ui/UndoActions.h"
#include "ui/ViewActions.h"
#include "ui/WindowPlacement.h"
#include "ui/dialogs/FormHistory.h"
#include "ui/dialogs/FormOptions.h"
#include "ui/dialogs/TalvorenUI.h"
#include "update/UpdateCheck.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QLayout>
#include <QMenu>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace talvoren {

namespace {
constexpr int kDesignClientWidth = 631;
constexpr int kDesignClientHeight = 570;
constexpr int kMinimumWidth = 380;

// What an error dialog says for `e`.
std::u16string ErrorText(const std::exception& e)
{
    if (const auto* error = dynamic_cast<const TError*>(&e)) {
        return error->message();
    }
    return platform::fromUtf8(e.what());
}

static_assert(int(stCheckingUpdates) == usChecking && int(stUpToDate) == usUpToDate && int(stUpdateError) == usError);
} // namespace

TfrmMain::TfrmMain(platform::IPlatform& platform, IIniFileStore& files, TSingleInstance* guard, QWidget* parent)
    : QMainWindow(parent)
    , fPlatform(platform)
    , fFiles(files)
    , fGuard(guard)
    , fEndApplication([] { QCoreApplication::exit(0); })
{
    setObjectName(QStringLiteral("frmMain"));
    resize(kDesignClientWidth, kDesignClientHeight);
    setMinimumWidth(kMinimumWidth);

    // The command-line mode has run before the window is made: a start with
    // arguments never gets here.

    // Everything built before the languages are set up speaks English.
    InitCatalogues(CatalogueFolder());
    SelectInterfaceLanguage("en");

    // The single-instance message.
    if (fGuard) {
        connect(fGuard, &TSingleInstance::activationRequested, this, &TfrmMain::BringToFront);
    }

    SetWindowCaption();

    UndoStack = std::make_unique<TUndoStack>();
    Inspector = std::make_unique<TInspector>(); // bound to its grid when the panel is made

    // The commands carry their images from the start.
    CreateActions();
    CreateMenus();
    CreateToolbars();
    CreatePanels();
    CreateStatusBar();

    fOptions = std::make_unique<TOptions>(fPlatform, fFiles);
    SetGlobalOptions(fOptions.get());
    fOptions->Load();
    fPlacement = std::make_unique<TWindowPlacement>(*this, QList<QToolBar*>{tbMain, tbInterface, tbUser},
                                                    panelInformation, kDesignClientWidth, kDesignClientHeight);
    fPlacement->ApplyLayout(*fOptions);

    std::u16string loadErrors;
    SysVarTree = std::make_unique<TETree>(fPlatform, this);
    SysVarTree->SetExclusions(&fOptions->GetExclusions());
    LoadAtStart(*SysVarTree, SystemScope(), loadErrors);
    UserVarTree = std::make_unique<TETree>(fPlatform, this);
    UserVarTree->SetExclusions(&fOptions->GetExclusions());
    fUserScope = CurrentUserScope();
    LoadAtStart(*UserVarTree, fUserScope, loadErrors);

    SysVarTree->AddReadOnlyVariables();
    UserVarTree->AddReadOnlyVariables();
    UserVarTree->ShowReadOnly(fOptions->showReadonly);
    SysVarTree->ShowReadOnly(fOptions->showReadonly);

    // The views come over trees that are already loaded: nothing of the
    // load has to travel through the item models.
    fSysView = CreateTreeView(*SysVarTree, tbxPanelSysTree);
    fUserView = CreateTreeView(*UserVarTree, tbxPanelUserTree);
    // Save is offered as soon as an editor's text changes.
    for (TETreeView* view : {fSysView, fUserView}) {
        connect(view, &TETreeView::editorTextChanged, this, &TfrmMain::ScheduleUpdate);
    }
    fSysView->setAnimated(fOptions->isAnimation);
    fUserView->setAnimated(fOptions->isAnimation);

    timer->start();

    ApplyAdminAccess();
    FocusAfterLoad();

    // First split: the two panels share the width equally.
    if (QLayout* l = layout()) {
        l->activate();
    }
    vSplitter->SplitEvenly();

    InitLanguages();

    UpdateStatusBar();

    UserVarTree->SetResolvingTree(SysVarTree.get());
    SysVarTree->SetLaterScope(UserVarTree.get());

    fPlacement->Place(*fOptions);

    panelInformation->setVisible(fOptions->showInformation);
    fViewActions->actViewShowInformation->setChecked(fOptions->showInformation);
    fViewActions->actViewShowReadOnly->setChecked(fOptions->showReadonly);

    // The loaded state is the saved state.
    UndoStack->Clear();

    FillUserList();
    connect(comboUsers, &QComboBox::activated, this,
            [this](int index) { RunGuarded([this, index] { comboUsersSelect(index); }); });

    connect(qApp, &QApplication::focusChanged, this, &TfrmMain::ScheduleUpdate);
    UpdateActions();

    if (!loadErrors.empty()) {
        TfrmOK::createAndShowModal(loadErrors, mtError, this);
    }

    fUpdateCheck = new TUpdateCheck(*this, fPlatform, this);
    if (fOptions->checkForUpdates) {
        fUpdateCheck->Start(true);
    }
}

TfrmMain::~TfrmMain()
{
    FormDestroy();
}

void TfrmMain::CreateActions()
{
    fFileActions = new TFileActions(
        {this, [this] { return IsModified() || HasPendingEdit(); }, [this] { return CheckForAdminAccess(fPlatform); },
         [this](const std::function<void()>& body) { RunGuarded(body); }, [this] { return EndEditing(); },
         [this] { SaveTrees(); },
         [this] {
             // Rights may have come (a machine hive locked at the start) or gone.
             ResetAdminAccessProbe();
             ApplyAdminAccess();
             ReloadVariables();
         },
         [this] { actFileBackupExecute(); }, [this] { actFileRestoreExecute(); },
         [this] { TfrmHistory::ShowAndRestore(fPlatform, this, *UserVarTree, *SysVarTree); },
         [this] {
             RunGuarded([this] { TfrmOptions::createAndShowModal(*fOptions, this); });
             // Whatever the dialog's result, the trees follow the option again.
             fSysView->setAnimated(fOptions->isAnimation);
             fUserView->setAnimated(fOptions->isAnimation);
         },
         [this] {
             btnRestartAsAdminClick();
         }});
    fUndoActions = new TUndoActions(*UndoStack, this, [this] { return EndEditing(); });
    connect(fUndoActions, &TUndoActions::changed, this, &TfrmMain::UpdateActions);
    fViewActions = new TViewActions({this, [this] { return ActiveTree; }, [this] { return fOptions.get(); },
                                     [this](bool shown) { panelInformation->setVisible(shown); },
                                     [this](bool shown) {
                                         SysVarTree->ShowReadOnly(shown);
                                         UserVarTree->ShowReadOnly(shown);
                                     }});
    fEditActions = new TEditActions(fPlatform,
                                    {this, [this] { return ActiveTree; },
                                     [this] {
                                         return fOptions && fOptions->onDeleteConfirmation;
                                     }});
    fEntryActions = new TEntryActions({this, [this] { return ActiveTree; }, {}});
    fHelpActions = new THelpActions(fPlatform, this);
    fFindActions = new TFindActions({this, [this] { return ActiveTree; },
                                     [this] { return ActiveTree == fSysView ? fUserView : fSysView; },
                                     [this](TETreeView* view) {
                                         ActivateTree(view);
                                         view->setFocus(Qt::OtherFocusReason);
                                     }});
    fWhichActions = new TWhichProgramActions(
        this, [this] { return std::pair<const TETree*, const TETree*>(SysVarTree.get(), UserVarTree.get()); },
        [this](bool userTree, const std::u16string& variable, int row) { ShowNode(userTree, variable, row); });
    connect(fHelpActions->actHelpAbout, &QAction::triggered, this,
            [this] { TfrmAbout::createAndShowModal(fPlatform, this); });
    connect(fHelpActions->actHelpCheckUpdates, &QAction::triggered, this, &TfrmMain::actHelpCheckUpdatesExecute);
}

// --- state -------------------------------------------------------------------

void TfrmMain::Push(const std::u16string& description)
{
    UndoStack->Push(*SysVarTree, *UserVarTree, description);
    ScheduleUpdate();
}

void TfrmMain::Undo()
{
    UndoStack->Undo();
    ScheduleUpdate();
}

bool TfrmMain::IsModified() const
{
    return UndoStack && UndoStack->IsModified();
}

bool TfrmMain::EndEditing()
{
    for (TETreeView* view : {fSysView, fUserView}) {
        if (view && view->isEditing() && !view->finishEditing()) {
            ScheduleUpdate();
            return false;
        }
    }
    return true;
}

bool TfrmMain::HasPendingEdit() const
{
    return (fSysView && fSysView->hasPendingEdit()) || (fUserView && fUserView->hasPendingEdit());
}

void TfrmMain::ActivateTree(TETreeView* view)
{
    ActiveTree = view;
    TETree& tree = view->tree();
    if (!tree.GetFocusedNode()) {
        if (TENode* first = tree.GetFirstVisible()) {
            tree.ActivateNode(first);
        }
    }
    ScheduleUpdate();
}

void TfrmMain::ApplyAdminAccess()
{
    const bool writable = CheckForAdminAccess(fPlatform);
    tbxPanelSysTree->setCaption(writable ? qtr("System Variables") : qtr("System variables (read-only)"));
    btnRestartAsAdmin->setVisible(!writable);
    if (!writable) {
        fSysView->setReadOnlyLook(true);
    }
    ApplyLoadState();
}

void TfrmMain::UpdateStatusBar()
{
    setWindowModified(IsModified());
    if (!fSaving) {
        // Beside "Modified": the registry changed under edits that are not saved.
        const bool outside = fSysChangedOutside || fUserChangedOutside;
        if (IsModified()) {
            statusLabel1->setState(stModified,
                                   outside ? qtr("Modified") + QStringLiteral(" - ")
                                           + qtr("The registry was changed by another program")
                                           : qtr("Modified"));
        } else if (outside) {
            statusLabel1->setState(-1, qtr("The registry was changed by another program"));
        } else if (fBroadcast) {
            statusLabel1->setState(stSaving, qtr("Notifying programs…"));
        } else if (std::chrono::steady_clock::now() < fSavedShownUntil) {
            statusLabel1->setState(-1, qtr("Saved"));
        } else {
            statusLabel1->clear();
        }
    }
    if (fOptions && fOptions->isUnreadable()) {
        statusLabel2->setState(stCDMode, qtr("Settings could not be read - options will not be saved"));
    } else if (fOptions && fOptions->isCD()) {
        statusLabel2->setState(stCDMode, qtr("CD mode - options will not be saved"));
    } else if (fOptions && fOptions->isUSB()) {
        statusLabel2->setState(stUSBMode, qtr("USB (portable) mode"));
    }
    if (!CheckForAdminAccess(fPlatform)) {
        statusLabel3->setState(stNoWriteAccess, qtr("You have no write access to the system variables"));
    } else {
        statusLabel3->clear();
    }
}

void TfrmMain::UpdateActions()
{
    fUpdatePending = false;
    if (!UndoStack || !fOptions) {
        return;
    }
    fFileActions->Update();
    fUndoActions->Update();
    fViewActions->Update();
    fEditActions->Update();
    fEntryActions->Update();
    fFindActions->Update();
    UpdateStatusBar();
}

void TfrmMain::ScheduleUpdate()
{
    // Enabled states follow the state when the application is next idle.
    if (!fUpdatePending) {
        fUpdatePending = true;
        QTimer::singleShot(0, this, &TfrmMain::UpdateActions);
    }
}

void TfrmMain::StoreWindowSettings()
{
    TOptions& o = *fOptions;
    o.skin = fromQ(comboSkins->currentText());
    o.setLanguage(LanguageSettingOf(comboLanguages->currentData().toString().toStdString()));
    fPlacement->Store(o);
}

// --- commands ----------------------------------------------------------------

void TfrmMain::RunGuarded(const std::function<void()>& body)
{
    try {
        body();
    } catch (const std::exception& e) {
        TfrmOK::createAndShowModal(ErrorText(e), mtError, this);
    }
    UpdateActions();
}

void TfrmMain::btnRestartAsAdminClick()
{
    if (!EndEditing()) {
        return;
    }
    if (IsModified()) {
        const int answer = TfrmYesNoCancel::createAndShowModal(
            talvoren::tr("All changes will be lost after switching user\r\nDo you want to save the changes?"), this);
        if (answer == mrCancel) {
            return;
        }
        if (answer == mrYes && !SaveTrees()) {
            return;
        }
    }
    // The elevated instance must open its own window, not hand over to us.
    if (fGuard) {
        fGuard->stop();
    }
    RunAsAdmin(fPlatform.shell(), fPlatform.system().executablePath(), static_cast<uintptr_t>(winId()));
    // Ends whatever the start did: no close questions, no settings save.
    fEnding = true;
    fEndApplication();
}

void TfrmMain::actHelpCheckUpdatesExecute()
{
    if (fUpdateCheck) {
        fUpdateCheck->Start(false);
    }
}

void TfrmMain::ShowUpdateError(const std::u16string& text)
{
    // Over the update dialog, which is the modal window at the time.
    QWidget* over = QApplication::activeModalWidget();
    TfrmOK::createAndShowModal(text, mtError, over ? over : this);
}

bool TfrmMain::UpdateShellExecute(const std::u16string& verb, const std::u16string& file)
{
    return fPlatform.shell().execute(verb, file, u"", static_cast<uintptr_t>(winId()));
}

void TfrmMain::UpdateEndApplication()
{
    // The close query has run and the settings are saved.
    fEnding = true;
    fEndApplication();
}

void TfrmMain::BringToFront()
{
    if (isMinimized()) {
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    }
    show();
    raise();
    activateWindow();
}

// --- events ------------------------------------------------------------------

bool TfrmMain::event(QEvent* event)
{
    // A status tip would replace the status fields ("no write access"
    // would vanish while a menu item is hovered): hints are tool tips here.
    if (event->type() == QEvent::StatusTip) {
        return true;
    }
    return QMainWindow::event(event);
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!fShown) {
        fShown = true;
        fUserView->setFocus(Qt::OtherFocusReason);
        ActivateTree(fUserView);
    }
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    if (fEnding || FormCloseQuery()) {
        event->accept();
        // Programs still hearing of the last save are not cut off.
        if (timer) {
            timer->stop();
        }
        WaitForBroadcast(true);
    } else {
        event->ignore();
    }
}

bool TfrmMain::FormCloseQuery()
{
    // What an open editor holds is a change like any other: committed, it
    // makes the window modified and is asked about with the rest.
    if (!EndEditing()) {
        return false;
    }
    if (fOptions->onExitConfirmation
        && TfrmYesNo::createAndShowModal(talvoren::tr("Are you sure you want to exit?"), this) != mrYes) {
        return false;
    }
    if (IsModified()) {
        const int answer = TfrmYesNoCancel::createAndShowModal(talvoren::tr("Do you want to save the changes?"), this);
        if (answer != mrYes && answer != mrNo) {
            return false;
        }
        if (answer == mrYes) {
            bool saved = false;
            RunGuarded([&] { saved = SaveTrees(); });
            if (!saved) {
                return false; // the error is shown; the window and its settings stay as they are
            }
        }
    }
    // The window closes from here on: a start from now on must open its own
    // window rather than hand over to this one.
    if (fGuard) {
        fGuard->stop();
    }
    if (TOptions* options = GlobalOptions()) {
        StoreWindowSettings();
        try {
            options->Save();
        } catch (const std::exception& e) {
            TfrmOK::createAndShowModal(talvoren::tr("Error saving configuration:") + u"\r\n" + ErrorText(e), mtError,
                                       this);
        }
    }
    return true;
}

bool TfrmMain::focusNextPrevChild(bool next)
{
    QWidget* focused = focusWidget();
    if (focused == fSysView) {
        fUserView->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (focused == fUserView) {
        fSysView->setFocus(Qt::TabFocusReason);
        return true;
    }
    return QMainWindow::focusNextPrevChild(next);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    // The information panel's own close button runs the show/hide command.
    if (watched == panelInformation && event->type() == QEvent::Close) {
        event->ignore();
        if (fOptions->showInformation) {
            fViewActions->actViewShowInformation->trigger();
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

QMenu* TfrmMain::createPopupMenu()
{
    auto* menu = new QMenu(this);
    menu->addActions(popupToolbar->actions());
    return menu;
}

void TfrmMain::FormDestroy()
{
    // Torn down in this order: timer, inspector, options, undo stack, system tree, user tree;
    // each field is cleared before its object goes. A running update check
    // goes first: nothing of it may arrive during the tear-down.
    delete std::exchange(fUpdateCheck, nullptr);
    WaitForBroadcast(false);
    if (timer) {
        timer->stop();
    }
    if (gridInspector) {
        gridInspector->gridModel().SetRowCount(0, -1, -1);
    }
    Inspector.reset();
    if (fOptions) {
        auto options = std::move(fOptions);
        SetGlobalOptions(nullptr);
        options.reset();
    }
    {
        auto stack = std::move(UndoStack);
        stack.reset();
    }
    ActiveTree = nullptr;
    // A view goes with its tree: its model must not outlive what it shows.
    if (fSysView) {
        auto* view = std::exchange(fSysView, nullptr);
        delete view;
    }
    {
        auto tree = std::move(SysVarTree);
        tree.reset();
    }
    if (fUserView) {
        auto* view = std::exchange(fUserView, nullptr);
        delete view;
    }
    {
        auto tree = std::move(UserVarTree);
        tree.reset();
    }
}

} // namespace talvoren
