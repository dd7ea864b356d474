#pragma once

// The main window: the system and the user variables side by side, the
// undo stack over both, the options of the run, the information panel and
// the status bar. It builds itself in a fixed order, verifies both trees
// five times a second, and closes with its questions and the settings save.
//
// The commands are the command classes' (file, undo, edit, entry, view,
// find, help); the window wires them to the trees and its dialogs. Its
// widgets are made in FormMainWidgets.cpp, the registry's load, save and
// follow-up in FormMainRegistry.cpp, the language and skin selectors in
// FormMainLanguage.cpp, the user selector in FormMainUsers.cpp, the
// backup in FormMainBackup.cpp and the change broadcast after a save in
// FormMainBroadcast.cpp.

#include "model/ETree.h"
#include "model/PushInterface.h"
#include "update/UpdateHost.h"

#include <QMainWindow>
#include <chrono>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QDockWidget;
class QTabWidget;
class QTableView;
class QTimer;
class QToolBar;
class QToolButton;

namespace talvoren {

namespace platform {
class IPlatform;
}

class IIniFileStore;
struct TBroadcastState;
class TEditActions;
class TEntryActions;
class THelpActions;
class TUsersComboBox;
class TETree;
class TETreeView;
class TFindActions;
class TWhichProgramActions;
class TInspector;
class TInspectorGrid;
class TOptions;
class TSingleInstance;
class TSplitter;
class TStatusField;
class TTreePanel;
class TUndoActions;
class TViewActions;
class TWindowPlacement;
class TFileActions;
class TUndoStack;
class TUpdateCheck;

class TfrmMain : public QMainWindow, public IPushInterface, private IUpdateHost {
    Q_OBJECT
public:
    // `guard` may be null (tests); the window raises itself when a later
    // start hands over, and stops the guard before an elevated restart.
    TfrmMain(platform::IPlatform& platform, IIniFileStore& files, TSingleInstance* guard = nullptr,
             QWidget* parent = nullptr);
    ~TfrmMain() override;

    // IPushInterface: both trees, system first.
    void Push(const std::u16string& description = {}) override;
    void Undo() override;

    bool IsModified() const;
    // Ends an open in-place edit of either tree by the editor's own rules,
    // committing a changed text. False when the commit was refused (the
    // reason has been shown): the command that asked must not go on. Every
    // command that saves, closes or replaces the trees' content calls it first.
    bool EndEditing();
    // An open editor holds a changed text: an unsaved change as well.
    bool HasPendingEdit() const;
    void ActivateTree(TETreeView* view);
    // Focuses a node in its tree (element row -1: the variable), opening
    // its variable; nothing when the tree no longer holds it.
    void ShowNode(bool userTree, const std::u16string& variable, int elementRow);
    void UpdateStatusBar();
    void StoreWindowSettings();
    // The fourth status field: `image` and the translation of the English
    // `text`, which is kept so that a change of language shows it again.
    void SetUpdateStatus(int image, const std::u16string& text, const std::u16string& reason = {}) override;
    // Recomputes every command's enabled and checked state.
    void UpdateActions();

    // How the application is ended after the elevated restart; tests
    // replace it. By default the event loop is left at once.
    void setEndApplication(std::function<void()> end) { fEndApplication = std::move(end); }
    bool isEnding() const { return fEnding; }

    // The save-file chooser of the backup, given the offered file name;
    // tests replace it. An empty answer cancels.
    using TBackupChooser = std::function<QString(const QString& defaultName)>;
    void setBackupFileChooser(TBackupChooser chooser) { fChooseBackupFile = std::move(chooser); }
    // The open-file chooser of Restore; tests replace it. An empty answer cancels.
    using TRestoreChooser = std::function<QString()>;
    void setRestoreFileChooser(TRestoreChooser chooser) { fChooseRestoreFile = std::move(chooser); }

public slots:
    void comboLanguagesChange();
    void comboSkinsChange();
    void actFileBackupExecute();
    // Reads a registry script into the trees as one undoable edit.
    void actFileRestoreExecute();
    // The user selector's choice: another account's variables.
    void comboUsersSelect(int index);
    // Asks the update server for a newer version (started by the user).
    void actHelpCheckUpdatesExecute();
    void btnRestartAsAdminClick();
    // Restores the window from the minimized state and brings it to the front.
    void BringToFront();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    QMenu* createPopupMenu() override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolbars();
    void CreatePanels();
    void CreateStatusBar();
    TETreeView* CreateTreeView(TETree& tree, TTreePanel* panel);
    // Five times a second: both trees verified, the inspector refreshed, and
    // a tree without edits loaded again when another program changed its scope.
    void VerifyAndFollowRegistry();
    // Reads both scopes (the selected account's, loading its hive when the
    // selector is enabled) before applying either; false, with the trees as
    // they were, when something could not be read.
    bool ReloadVariables();
    void FillUserList();
    // Loads one tree again, keeping its expanded variables, focus and
    // selection; false (the tree unchanged) when the scope cannot be read.
    bool ReloadTree(TETree& tree, const Scope& scope);
    void LoadAtStart(TETree& tree, const Scope& scope, std::u16string& errors);
    // A tree that could not be loaded is shown read-only and never saved.
    void ApplyLoadState();
    // The system panel's caption, look and restart button by the access probe.
    void ApplyAdminAccess();
    // False when the user cancelled at a question about a value changed outside.
    bool SaveTrees();
    TETree::TSaveAnswer AskOverwrite(const TETree::TSaveConflict& conflict, bool system);
    // Whether the in-place editor, a dialog, a menu or a drag is open: a
    // reload then waits.
    bool IsBusy() const;
    // Where a loaded tree starts: on its first variable the user can edit.
    void FocusAfterLoad();
    bool FormCloseQuery();
    void FormDestroy();
    // The change broadcast after a save runs beside the window's thread:
    // other programs may take its whole timeout to answer. One at a time; a
    // save during it broadcasts again once it is done.
    void StartBroadcast();
    void BroadcastDone(const TBroadcastState* state);
    // Waits for the running broadcast (and one that waits for it), at most
    // the broadcast's own timeout; with `answering` this program's own
    // windows answer it meanwhile (the user's input waits).
    void WaitForBroadcast(bool answering);
    // The program's general error handling: the error's message in an
    // error dialog.
    void RunGuarded(const std::function<void()>& body);
    void ScheduleUpdate();

    // IUpdateHost: what the update check asks of the window.
    QWidget* UpdateOwner() override { return this; }
    void ShowUpdateError(const std::u16string& text) override;
    bool UpdateCloseQuery() override { return FormCloseQuery(); }
    bool UpdateShellExecute(const std::u16string& verb, const std::u16string& file) override;
    void UpdateEndApplication() override;

    platform::IPlatform& fPlatform;
    IIniFileStore& fFiles;
    TSingleInstance* fGuard;

    TETreeView* ActiveTree = nullptr;
    std::unique_ptr<TETree> SysVarTree;
    std::unique_ptr<TETree> UserVarTree;
    std::unique_ptr<TUndoStack> UndoStack;
    std::unique_ptr<TInspector> Inspector;
    std::unique_ptr<TOptions> fOptions;
    std::unique_ptr<TWindowPlacement> fPlacement;

    TETreeView* fSysView = nullptr;
    TETreeView* fUserView = nullptr;
    TTreePanel* tbxPanelSysTree = nullptr;
    TTreePanel* tbxPanelUserTree = nullptr;
    TSplitter* vSplitter = nullptr;
    QToolButton* btnRestartAsAdmin = nullptr;
    QDockWidget* panelInformation = nullptr;
    QTabWidget* tabInformation = nullptr;
    TInspectorGrid* gridInspector = nullptr;
    QTableView* gridLegend = nullptr;
    QToolBar* tbMain = nullptr;
    QToolBar* tbInterface = nullptr;
    QToolBar* tbUser = nullptr;
    QComboBox* comboLanguages = nullptr;
    int fShownLanguage = -1; // the selector's entry of the interface language
    QComboBox* comboSkins = nullptr;
    TUsersComboBox* comboUsers = nullptr;
    int CURRENT_USER = 0; // the entry whose variables the trees show
    Scope fUserScope; // where the user tree was loaded from and saves to
    bool fUserIsRunning = true; // the shown account is the one running
    QLabel* lblDonate = nullptr;
    std::u16string statusLabel4eng;
    std::u16string statusLabel4engReason;
    void InitLanguages();
    void SetDonateCaption();
    // "Talvoren <major>.<minor> build <build>", in the interface's language.
    void SetWindowCaption();
    // The window's texts in the language just selected.
    void RetranslateMainWindow();
    TStatusField* statusLabel1 = nullptr;
    TStatusField* statusLabel2 = nullptr;
    TStatusField* statusLabel3 = nullptr;
    TStatusField* statusLabel4 = nullptr;
    QTimer* timer = nullptr;
    QMenu* popupToolbar = nullptr;
    QMenu* tbxPopup = nullptr;
    TEditActions* fEditActions = nullptr;
    TEntryActions* fEntryActions = nullptr;
    THelpActions* fHelpActions = nullptr;
    TUndoActions* fUndoActions = nullptr;
    TFileActions* fFileActions = nullptr;
    TViewActions* fViewActions = nullptr;
    TFindActions* fFindActions = nullptr;
    TWhichProgramActions* fWhichActions = nullptr;
    TUpdateCheck* fUpdateCheck = nullptr;
    TBackupChooser fChooseBackupFile;
    TRestoreChooser fChooseRestoreFile;

    std::function<void()> fEndApplication;
    bool fEnding = false;
    bool fShown = false;
    bool fSaving = false;
    // Another program changed the scope since the tree was loaded.
    bool fSysChangedOutside = false;
    bool fUserChangedOutside = false;
    bool fUpdatePending = false;
    std::shared_ptr<TBroadcastState> fBroadcast; // the running broadcast
    bool fBroadcastAgain = false;
    std::chrono::steady_clock::time_point fSavedShownUntil; // "Saved" in the status bar
};

} // namespace talvoren
