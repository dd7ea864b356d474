#include "ui/FormMain.h"

#include "base/EnvStore.h"
#include "base/Error.h"
#include "base/Translation.h"
#include "edit/UndoStack.h"
#include "model/ETree.h"
#include "platform/Platform.h"
#include "platform/Utf.h"
#include "settings/FormOptions.h"
#include "settings/Options.h"
#include "system/TalvorenUI.h"
#include "system/Tools.h"
#include "ui/Command.h"
#include "ui/ETreeModel.h"
#include "ui/ETreeView.h"
#include "ui/EditActions.h"
#include "ui/EntryActions.h"
#include "ui/FormAbout.h"
#include "ui/FormFind.h"
#include "ui/FormOK.h"
#include "ui/FormYesNo.h"
#include "ui/FormYesNoCancel.h"
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
#include "update/UpdateCheck.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace talvoren {

namespace {
constexpr int kDesignClientWidth = 631;
constexpr int kDesignClientHeight = 570;
constexpr int kMinimumWidth = 380;
constexpr int kTimerIntervalMs = 200;
constexpr int kInformationHeight = 163;
constexpr int kRestartButtonMargin = 20;

const char16_t kGroupInformation[] = u"panelInformation";

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

    const std::vector<uint16_t> version = fPlatform.system().executableVersion();
    auto part = [&](size_t i) {
        return i < version.size() ? QString::number(version[i]) : QStringLiteral("0");
    };
    setWindowTitle(QStringLiteral("Talvoren ") + part(0) + QLatin1Char('.') + part(1) + QStringLiteral(" build ")
                   + part(3));

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
    ApplyToolbarLayout();

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
    fSysView->setAnimated(fOptions->isAnimation);
    fUserView->setAnimated(fOptions->isAnimation);

    timer->start();

    if (!CheckForAdminAccess(fPlatform)) {
        tbxPanelSysTree->setCaption(qtr("System variables (read-only)"));
        fSysView->setReadOnlyLook(true);
        btnRestartAsAdmin->show();
    }
    ApplyLoadState();
    FocusAfterLoad();

    // First split: the two panels share the width equally.
    if (QLayout* l = layout()) {
        l->activate();
    }
    vSplitter->SplitEvenly();

    InitLanguages();

    UpdateStatusBar();

    UserVarTree->SetResolvingTree(SysVarTree.get());

    PlaceWindow();

    panelInformation->setVisible(fOptions->showInformation);
    actViewShowInformation->setChecked(fOptions->showInformation);
    actViewShowReadOnly->setChecked(fOptions->showReadonly);

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
        fUpdateCheck->Start(true, fOptions->id);
    }
}

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

TfrmMain::~TfrmMain()
{
    FormDestroy();
}

// --- construction ------------------------------------------------------------

void TfrmMain::CreateActions()
{
    actFileSave = makeCommand(this, "actFileSave", "Save", imgSave, QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(actFileSave, &QAction::triggered, this, &TfrmMain::actFileSaveExecute);

    actFileRestartAsAdmin = makeCommand(this, "actFileRestartAsAdmin", "Restart as administrator", imgShield, {});
    connect(actFileRestartAsAdmin, &QAction::triggered, this, &TfrmMain::actFileRestartAsAdminExecute);

    actFileExit = makeCommand(this, "actFileExit", "E&xit", -1, QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(actFileExit, &QAction::triggered, this, &QWidget::close);

    fUndoActions = new TUndoActions(*UndoStack, this);
    connect(fUndoActions, &TUndoActions::changed, this, &TfrmMain::UpdateActions);

    actEditRefresh = makeCommand(this, "actEditRefresh", "Refresh", -1, QKeySequence(Qt::Key_F5));
    setCommandHint(actEditRefresh, "Refresh variables and values");
    connect(actEditRefresh, &QAction::triggered, this, &TfrmMain::actEditRefreshExecute);

    // The title-bar buttons' hints name these keys; they work on the active tree.
    actEditCollapseAll
        = makeCommand(this, "actEditCollapseAll", "Collapse All", -1, QKeySequence(QStringLiteral("Ctrl+Shift+-")));
    connect(actEditCollapseAll, &QAction::triggered, this, [this] {
        if (ActiveTree) {
            ActiveTree->collapseAllNodes();
        }
    });
    actEditExpandAll
        = makeCommand(this, "actEditExpandAll", "Expand All", -1, QKeySequence(QStringLiteral("Ctrl+Shift++")));
    connect(actEditExpandAll, &QAction::triggered, this, [this] {
        if (ActiveTree) {
            ActiveTree->expandAllNodes();
        }
    });

    // The menu items read "Information" and "Read-only variables"; the
    // toolbar buttons show the commands' own captions as their hints.
    actViewShowInformation = makeCommand(this, "actViewShowInformation", "Information", imgShowInformation, {});
    actViewShowInformation->setToolTip(qtr("Show/hide Information"));
    actViewShowInformation->setCheckable(true);
    connect(actViewShowInformation, &QAction::triggered, this, &TfrmMain::actViewShowInformationExecute);

    actViewShowReadOnly = makeCommand(this, "actViewShowReadOnly", "Read-only variables", imgShowReadOnly,
                                      QKeySequence(Qt::CTRL | Qt::Key_H));
    actViewShowReadOnly->setToolTip(qtr("Show/hide read-only variables"));
    actViewShowReadOnly->setCheckable(true);
    connect(actViewShowReadOnly, &QAction::triggered, this, &TfrmMain::actViewShowReadOnlyExecute);

    fEditActions = new TEditActions(fPlatform,
                                    {this, [this] { return ActiveTree; },
                                     [this] {
                                         return fOptions && fOptions->onDeleteConfirmation;
                                     }});
    fEntryActions = new TEntryActions({this, [this] { return ActiveTree; }, {}});
    fHelpActions = new THelpActions(fPlatform, this);
    fFindActions = new TFindActions(this, [this] { return ActiveTree; });
    connect(fHelpActions->actFileOptions, &QAction::triggered, this, [this] {
        RunGuarded([this] { TfrmOptions::createAndShowModal(*fOptions, this); });
        // Whatever the dialog's result, the trees follow the option again.
        fSysView->setAnimated(fOptions->isAnimation);
        fUserView->setAnimated(fOptions->isAnimation);
    });
    connect(fHelpActions->actHelpAbout, &QAction::triggered, this,
            [this] { TfrmAbout::createAndShowModal(fPlatform, this); });
    connect(fHelpActions->actHelpCheckUpdates, &QAction::triggered, this, &TfrmMain::actHelpCheckUpdatesExecute);
    connect(fHelpActions->actFileBackup, &QAction::triggered, this,
            [this] { RunGuarded([this] { actFileBackupExecute(); }); });

    actViewShowMain = makeCommand(this, "actViewShowMain", "Main", -1, {});
    actViewShowInterface = makeCommand(this, "actViewShowInterface", "Interface", -1, {});
    actViewShowUser = makeCommand(this, "actViewShowUser", "User", -1, {});
    for (QAction* action : {actViewShowMain, actViewShowInterface, actViewShowUser}) {
        action->setCheckable(true);
        action->setChecked(true);
    }
}

void TfrmMain::CreateMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("tbxMainmenu"));
    const TEditActions& e = *fEditActions;
    const TEntryActions& t = *fEntryActions;
    const THelpActions& h = *fHelpActions;

    QMenu* file = bar->addMenu(qtr("&File"));
    file->addActions({actFileSave, h.actFileBackup, h.actFileOptions});
    file->addSeparator();
    file->addAction(actFileRestartAsAdmin);
    file->addSeparator();
    file->addAction(actFileExit);

    QMenu* edit = bar->addMenu(qtr("&Edit"));
    // The Edit menu and the context menu of both trees hold the same node
    // commands; the menu adds Undo, Redo and the search.
    auto addNodeCommands = [&](QMenu* menu, bool withFind) {
        menu->addActions({t.actEditCopy, t.actEditPaste, e.actEditDelete});
        menu->addSeparator();
        if (withFind) {
            menu->addActions({fFindActions->actEditFind, fFindActions->actEditFindNext});
            menu->addSeparator();
        }
        menu->addActions({t.actEditAddVariable, t.actEditAddValue, t.actEditEditAsText, e.actEditEditAsPath,
                          e.actEditEditAsFile, e.actEditChangeType, e.actEditCleanup, e.actEditMoveUp,
                          e.actEditMoveDown});
        menu->addSeparator();
        menu->addAction(e.actEditOpenFolder);
        menu->addSeparator();
        menu->addActions({e.actEditLong2Short, e.actEditShort2Long, e.actEditInline});
        menu->addSeparator();
        menu->addAction(actEditRefresh);
    };
    edit->addAction(fUndoActions->actEditUndo);
    edit->addAction(fUndoActions->actEditRedo);
    edit->addSeparator();
    addNodeCommands(edit, true);

    tbxPopup = new QMenu(this);
    tbxPopup->setObjectName(QStringLiteral("tbxPopup"));
    addNodeCommands(tbxPopup, false);

    QMenu* view = bar->addMenu(qtr("&View"));
    view->addAction(actViewShowInformation);
    view->addAction(actViewShowReadOnly);
    QMenu* toolbars = view->addMenu(qtr("Toolbars"));
    toolbars->addAction(actViewShowMain);
    toolbars->addAction(actViewShowInterface);
    toolbars->addAction(actViewShowUser);

    QMenu* help = bar->addMenu(qtr("&Help"));
    help->addActions({h.actHelpAbout, h.actHelpCheckUpdates, h.actHelpDonate});
}

void TfrmMain::CreateToolbars()
{
    auto makeBar = [this](const char* name, const char* title) {
        auto* bar = new QToolBar(qtr(title), this);
        bar->setObjectName(QString::fromLatin1(name));
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setIconSize(QSize(16, 16));
        return bar;
    };
    tbMain = makeBar("tbMain", "Main");
    tbMain->addAction(actFileSave);
    tbMain->addSeparator();
    tbMain->addAction(fUndoActions->actEditUndo);
    tbMain->addAction(fUndoActions->actEditRedo);
    tbMain->addSeparator();
    const TEditActions& e = *fEditActions;
    const TEntryActions& t = *fEntryActions;
    tbMain->addActions({t.actEditCopy, t.actEditPaste, e.actEditDelete});
    tbMain->addSeparator();
    tbMain->addActions({t.actEditAddVariable, t.actEditAddValue, t.actEditEditAsText, e.actEditEditAsPath,
                        e.actEditEditAsFile, e.actEditChangeType, e.actEditMoveUp, e.actEditMoveDown});
    tbMain->addSeparator();
    tbMain->addAction(fHelpActions->actFileOptions);
    tbMain->addSeparator();
    // The show/hide buttons name the commands in their hints, not in a check.
    tbMain->addAction(actViewShowInformation);
    tbMain->addAction(actViewShowReadOnly);
    tbMain->addSeparator();
    tbMain->addActions({fHelpActions->actHelpCheckUpdates, fHelpActions->actHelpAbout});
    tbMain->addSeparator();
    auto* donate = new QLabel(tbMain);
    lblDonate = donate;
    SetDonateCaption();
    donate->setObjectName(QStringLiteral("lblDonate"));
    donate->setContentsMargins(4, 0, 4, 0);
    connect(donate, &QLabel::linkActivated, fHelpActions, &THelpActions::actHelpDonateExecute);
    tbMain->addWidget(donate);
    addToolBar(Qt::TopToolBarArea, tbMain);
    addToolBarBreak(Qt::TopToolBarArea);

    tbInterface = makeBar("tbInterface", "Interface");
    auto addLabelled = [](QToolBar* bar, const char* caption, QComboBox* combo) {
        auto* label = new QLabel(qtr(caption), bar);
        label->setBuddy(combo);
        bar->addWidget(label);
        bar->addWidget(combo);
    };
    comboLanguages = new QComboBox(tbInterface);
    comboLanguages->setObjectName(QStringLiteral("comboLanguages"));
    comboLanguages->setToolTip(qtr("Change language"));
    comboLanguages->setMaxVisibleItems(15);
    comboLanguages->setMinimumContentsLength(10);
    addLabelled(tbInterface, " &Language: ", comboLanguages);
    comboSkins = new QComboBox(tbInterface);
    comboSkins->setObjectName(QStringLiteral("comboSkins"));
    comboSkins->setToolTip(qtr("Change skin"));
    comboSkins->setMaxVisibleItems(14);
    comboSkins->setMinimumContentsLength(10);
    addLabelled(tbInterface, " &Skin: ", comboSkins);
    addToolBar(Qt::TopToolBarArea, tbInterface);

    tbUser = makeBar("tbUser", "User");
    comboUsers = new TUsersComboBox(tbUser);
    comboUsers->setObjectName(QStringLiteral("comboUsers"));
    comboUsers->setToolTip(qtr("Change user"));
    comboUsers->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    comboUsers->setMinimumContentsLength(12);
    comboUsers->setEnabled(false);
    addLabelled(tbUser, " &User: ", comboUsers);
    addToolBar(Qt::TopToolBarArea, tbUser);

    const std::pair<QAction*, QToolBar*> toggles[]
        = {{actViewShowMain, tbMain}, {actViewShowInterface, tbInterface}, {actViewShowUser, tbUser}};
    for (const auto& [action, bar] : toggles) {
        connect(action, &QAction::triggered, bar, &QWidget::setVisible);
    }
    popupToolbar = new QMenu(this);
    popupToolbar->setObjectName(QStringLiteral("popupToolbar"));
    popupToolbar->addAction(actViewShowMain);
    popupToolbar->addAction(actViewShowInterface);
    popupToolbar->addAction(actViewShowUser);
}

void TfrmMain::CreatePanels()
{
    vSplitter = new TSplitter(Qt::Horizontal, this);
    vSplitter->setObjectName(QStringLiteral("vSplitter"));
    vSplitter->setChildrenCollapsible(false);
    tbxPanelSysTree = new TTreePanel(QStringLiteral("tbxPanelSysTree"), hdrSystem, vSplitter);
    tbxPanelSysTree->setCaption(qtr("System Variables"));
    tbxPanelUserTree = new TTreePanel(QStringLiteral("tbxPanelUserTree"), hdrUser, vSplitter);
    tbxPanelUserTree->setCaption(qtr("User Variables"));
    vSplitter->addWidget(tbxPanelSysTree);
    vSplitter->addWidget(tbxPanelUserTree);
    vSplitter->setStretchFactor(1, 1);
    setCentralWidget(vSplitter);
    connect(vSplitter, &TSplitter::resized, this, [this] {
        if (SysVarTree) {
            vSplitter->Arrange();
        }
    });

    btnRestartAsAdmin = new QToolButton(tbxPanelSysTree);
    btnRestartAsAdmin->setObjectName(QStringLiteral("btnRestartAsAdmin"));
    btnRestartAsAdmin->setText(qtr("Restart as administrator"));
    btnRestartAsAdmin->setIcon(TIcons::toolbar(imgShield));
    btnRestartAsAdmin->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btnRestartAsAdmin->setAutoRaise(true);
    btnRestartAsAdmin->setFocusPolicy(Qt::NoFocus);
    btnRestartAsAdmin->hide();
    tbxPanelSysTree->addTitleButton(btnRestartAsAdmin, kRestartButtonMargin);
    connect(btnRestartAsAdmin, &QToolButton::clicked, this,
            [this] { RunGuarded([this] { btnRestartAsAdminClick(); }); });

    panelInformation = new QDockWidget(qtr("Information"), this);
    panelInformation->setObjectName(QStringLiteral("panelInformation"));
    panelInformation->setFeatures(QDockWidget::DockWidgetClosable);
    panelInformation->setAllowedAreas(Qt::BottomDockWidgetArea);
    tabInformation = new QTabWidget(panelInformation);
    tabInformation->setObjectName(QStringLiteral("tabInformation"));
    gridInspector = new TInspectorGrid({[this](int row, int col) { return Inspector->Cells(row, col); },
                                        [this](int row, int col) {
                                            // Images only in the value column, only while a node is focused.
                                            const bool focused = ActiveTree && ActiveTree->tree().GetFocusedNode();
                                            return col == 1 && focused ? Inspector->Image(row) : -1;
                                        }},
                                       tabInformation);
    Inspector->SetGrid(gridInspector);
    gridLegend = CreateLegendGrid(tabInformation);
    tabInformation->addTab(gridInspector, TIcons::toolbar(imgShowInformation), qtr("&Inspector"));
    tabInformation->addTab(gridLegend, TIcons::tree(kImageExpandable), qtr("Legen&d"));
    panelInformation->setWidget(tabInformation);
    addDockWidget(Qt::BottomDockWidgetArea, panelInformation);
    resizeDocks({panelInformation}, {kInformationHeight}, Qt::Vertical);
    panelInformation->installEventFilter(this);
    connect(tabInformation, &QTabWidget::currentChanged, this, [this] {
        if (ActiveTree) {
            ActiveTree->setFocus();
        }
    });

    timer = new QTimer(this);
    timer->setInterval(kTimerIntervalMs);
    connect(timer, &QTimer::timeout, this, &TfrmMain::VerifyAndFollowRegistry);
}

void TfrmMain::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setSizeGripEnabled(true);
    statusLabel1 = new TStatusField(QStringLiteral("statusLabel1"), 120, 0, bar);
    statusLabel2 = new TStatusField(QStringLiteral("statusLabel2"), 200, 22, bar);
    statusLabel3 = new TStatusField(QStringLiteral("statusLabel3"), 200, 0, bar);
    statusLabel4 = new TStatusField(QStringLiteral("statusLabel4"), 0, 0, bar);
    bar->addWidget(statusLabel1);
    bar->addWidget(statusLabel2);
    bar->addWidget(statusLabel3);
    bar->addWidget(statusLabel4, 1);

    // The commands' hints are tool tips, in the menus as on the toolbar: a
    // hint shown in the status bar would hide its four fields (see event()).
    for (QMenu* menu : findChildren<QMenu*>()) {
        menu->setToolTipsVisible(true);
    }
}

TETreeView* TfrmMain::CreateTreeView(TETree& tree, TTreePanel* panel)
{
    auto* view = new TETreeView(tree, panel);
    view->setObjectName(tree.IsUserTree() ? QStringLiteral("UserVarTree") : QStringLiteral("SysVarTree"));
    panel->setContent(view);
    connect(view, &TETreeView::treeFocused, this, &TfrmMain::ActivateTree);
    connect(panel->collapseAllButton(), &QToolButton::clicked, view, &TETreeView::collapseAllNodes);
    connect(panel->expandAllButton(), &QToolButton::clicked, view, &TETreeView::expandAllNodes);
    const TETreeModel* model = &view->treeModel();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(model, signal, this, &TfrmMain::ScheduleUpdate);
    }
    connect(model, &QAbstractItemModel::modelReset, this, &TfrmMain::ScheduleUpdate);
    connect(model, &QAbstractItemModel::dataChanged, this, &TfrmMain::ScheduleUpdate);
    connect(model, &TETreeModel::focusChanged, this, &TfrmMain::ScheduleUpdate);
    connect(model, &TETreeModel::selectionChanged, this, &TfrmMain::ScheduleUpdate);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
        view->setFocus(Qt::PopupFocusReason);
        UpdateActions();
        tbxPopup->popup(view->viewport()->mapToGlobal(at));
    });
    return view;
}

void TfrmMain::ApplyToolbarLayout()
{
    const TToolbarLayout& layout = fOptions->toolbarLayout();
    for (QToolBar* bar : {tbMain, tbInterface, tbUser}) {
        if (auto visible = layout.Integer(fromQ(bar->objectName()), u"Visible")) {
            bar->setVisible(*visible != 0);
        }
    }
    if (auto height = layout.Integer(kGroupInformation, u"DockedHeight"); height && *height > 0) {
        resizeDocks({panelInformation}, {*height}, Qt::Vertical);
    }
}

void TfrmMain::StoreToolbarLayout()
{
    TToolbarLayout& layout = fOptions->toolbarLayout();
    for (QToolBar* bar : {tbMain, tbInterface, tbUser}) {
        layout.SetInteger(fromQ(bar->objectName()), u"Visible", bar->isHidden() ? 0 : 1);
    }
    if (panelInformation->isVisible()) {
        layout.SetInteger(kGroupInformation, u"DockedHeight", panelInformation->height());
    }
}

void TfrmMain::PlaceWindow()
{
    const TOptions& o = *fOptions;
    const QRect stored(o.left, o.top, o.width, o.height);
    bool onScreen = false;
    for (const QScreen* s : QGuiApplication::screens()) {
        onScreen = onScreen || s->availableGeometry().intersects(stored);
    }
    // A rectangle on no screen (a monitor that is gone) is centred instead.
    if (o.left == -1 || o.top == -1 || o.width == -1 || o.height == -1 || o.width <= 0 || o.height <= 0 || !onScreen) {
        resize(kDesignClientWidth, kDesignClientHeight);
        if (const QScreen* s = QGuiApplication::primaryScreen()) {
            const QRect area = s->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    } else {
        setGeometry(stored);
    }
    if (o.isMaximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}

// --- state -------------------------------------------------------------------

void TfrmMain::Push()
{
    UndoStack->Push(*SysVarTree, *UserVarTree);
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

void TfrmMain::UpdateStatusBar()
{
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
        } else {
            statusLabel1->clear();
        }
    }
    if (fOptions && fOptions->isCD()) {
        statusLabel2->setState(stCDMode, qtr("CD mode - options will not be saved"));
    }
    if (fOptions && fOptions->isUSB()) {
        statusLabel2->setState(stUSBMode, qtr("USB (portable) mode"));
    }
    if (!CheckForAdminAccess(fPlatform)) {
        statusLabel3->setState(stNoWriteAccess, qtr("You have no write access to the system variables"));
    }
}

void TfrmMain::UpdateActions()
{
    fUpdatePending = false;
    if (!UndoStack || !fOptions) {
        return;
    }
    actFileSave->setEnabled(IsModified());
    fUndoActions->Update();
    actFileRestartAsAdmin->setEnabled(!CheckForAdminAccess(fPlatform));
    actViewShowInformation->setChecked(fOptions->showInformation);
    actViewShowReadOnly->setChecked(fOptions->showReadonly);
    actViewShowMain->setChecked(!tbMain->isHidden());
    actViewShowInterface->setChecked(!tbInterface->isHidden());
    actViewShowUser->setChecked(!tbUser->isHidden());
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

void TfrmMain::SetDonateCaption()
{
    lblDonate->setText(QStringLiteral("<a href=\"donate\" style=\"text-decoration:none\"><b>%1</b></a>")
                           .arg(qtr("Donate").toHtmlEscaped()));
}

void TfrmMain::InitLanguages()
{
    SelectInterfaceLanguage("en_US");
    RetranslateWindow(this);
    const QSignalBlocker block(comboLanguages);
    const auto& table = LanguageTable();
    for (size_t i = 0; i < table.size(); ++i) {
        comboLanguages->addItem(QString::fromUtf8(table[i].name));
        if (platform::fromUtf8(table[i].name) == fOptions->language()) {
            SelectInterfaceLanguage(table[i].code);
            RetranslateWindow(this);
            SetDonateCaption();
            tbxPanelSysTree->setCaption(RetranslatedText(tbxPanelSysTree->caption()));
            tbxPanelUserTree->setCaption(RetranslatedText(tbxPanelUserTree->caption()));
            comboLanguages->setCurrentIndex(int(i));
        }
    }
    if (comboLanguages->currentText() != toQ(fOptions->language())) {
        comboLanguages->setCurrentIndex(-1);
    }
    connect(comboLanguages, &QComboBox::currentIndexChanged, this, &TfrmMain::comboLanguagesChange);

    // Skins: "Default" first; the stored name is applied even when unknown.
    const QSignalBlocker blockSkins(comboSkins);
    comboSkins->addItems(SkinNames());
    const int skin = comboSkins->findText(toQ(fOptions->skin));
    comboSkins->setCurrentIndex(skin < 0 ? 0 : skin);
    ApplySkin(toQ(fOptions->skin));
    connect(comboSkins, &QComboBox::currentIndexChanged, this, &TfrmMain::comboSkinsChange);
}

void TfrmMain::comboLanguagesChange()
{
    const int i = comboLanguages->currentIndex();
    const auto& table = LanguageTable();
    if (i < 0 || size_t(i) >= table.size()) {
        return;
    }
    SelectInterfaceLanguage(table[size_t(i)].code);
    RetranslateWindow(this);
    SetDonateCaption();
    // The panels show their captions elided; they translate the full ones.
    tbxPanelSysTree->setCaption(RetranslatedText(tbxPanelSysTree->caption()));
    tbxPanelUserTree->setCaption(RetranslatedText(tbxPanelUserTree->caption()));
    SetUpdateStatus(statusLabel4->image(), statusLabel4eng);
    UpdateStatusBar();
    update();
}

void TfrmMain::SetUpdateStatus(int image, const std::u16string& text)
{
    statusLabel4eng = text;
    statusLabel4->setState(image, text.empty() ? QString() : toQ(talvoren::tr(platform::toUtf8(text).c_str())));
}

void TfrmMain::comboSkinsChange()
{
    ApplySkin(comboSkins->currentText());
}

void TfrmMain::StoreWindowSettings()
{
    TOptions& o = *fOptions;
    o.skin = fromQ(comboSkins->currentText());
    o.setLanguage(fromQ(comboLanguages->currentText()));
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    o.left = normal.left();
    o.top = normal.top();
    o.width = normal.width();
    o.height = normal.height();
    o.isMaximized = isMaximized();
    StoreToolbarLayout();
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

void TfrmMain::actFileSaveExecute()
{
    RunGuarded([this] { SaveTrees(); });
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

void TfrmMain::actEditRefreshExecute()
{
    RunGuarded([this] {
        if (IsModified()
            && TfrmYesNo::createAndShowModal(talvoren::tr("All changes will be lost after refreshing\r\nAre you sure?"),
                                             this)
                == mrNo) {
            return;
        }
        ReloadVariables();
    });
}

void TfrmMain::actViewShowInformationExecute()
{
    fOptions->showInformation = !fOptions->showInformation;
    panelInformation->setVisible(fOptions->showInformation);
    actViewShowInformation->setChecked(fOptions->showInformation);
}

void TfrmMain::actViewShowReadOnlyExecute()
{
    fOptions->showReadonly = !fOptions->showReadonly;
    SysVarTree->ShowReadOnly(fOptions->showReadonly);
    UserVarTree->ShowReadOnly(fOptions->showReadonly);
    actViewShowReadOnly->setChecked(fOptions->showReadonly);
}

void TfrmMain::actFileRestartAsAdminExecute()
{
    RunGuarded([this] { btnRestartAsAdminClick(); });
}

void TfrmMain::btnRestartAsAdminClick()
{
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
        fUpdateCheck->Start(false, fOptions->id);
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
    } else {
        event->ignore();
    }
}

bool TfrmMain::FormCloseQuery()
{
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
            actViewShowInformation->trigger();
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
    // The design's order: timer, inspector, options, undo stack, system tree, user tree;
    // each field is cleared before its object goes. A running update check
    // goes first: nothing of it may arrive during the tear-down.
    delete std::exchange(fUpdateCheck, nullptr);
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
