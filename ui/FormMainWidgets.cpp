#include "ui/FormMain.h"

// The window's widgets: menus, toolbars, the two tree panels, the
// information panel and the status bar, pointing at the command classes.

#include "base/Translation.h"
#include "settings/Options.h"
#include "ui/ETreeModel.h"
#include "ui/ETreeView.h"
#include "ui/EditActions.h"
#include "ui/EffectivePanel.h"
#include "ui/EntryActions.h"
#include "ui/FileActions.h"
#include "ui/FormFind.h"
#include "ui/FormWhichProgram.h"
#include "ui/HelpActions.h"
#include "ui/Icons.h"
#include "ui/Inspector.h"
#include "ui/Language.h"
#include "ui/Splitter.h"
#include "ui/StatusField.h"
#include "ui/TreePanel.h"
#include "ui/UiText.h"
#include "ui/UndoActions.h"
#include "ui/ViewActions.h"
#include "ui/dialogs/TalvorenUI.h"

#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace talvoren {

namespace {
constexpr int kTimerIntervalMs = 200;
constexpr int kInformationHeight = 163;
constexpr int kRestartButtonMargin = 20;
} // namespace

void TfrmMain::CreateMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("tbxMainmenu"));
    const TEditActions& e = *fEditActions;
    const TEntryActions& t = *fEntryActions;
    const THelpActions& h = *fHelpActions;
    const TFileActions& f = *fFileActions;
    const TViewActions& v = *fViewActions;

    QMenu* file = bar->addMenu(qtr("&File"));
    file->addActions({f.actFileSave, f.actFileBackup, f.actFileRestore, f.actFileHistory, f.actFileOptions});
    file->addSeparator();
    file->addAction(f.actFileRestartAsAdmin);
    file->addSeparator();
    file->addAction(f.actFileExit);

    QMenu* edit = bar->addMenu(qtr("&Edit"));
    // The Edit menu and the context menu of both trees hold the same node
    // commands; the menu adds Undo, Redo and the search.
    auto addNodeCommands = [&](QMenu* menu, bool withFind) {
        menu->addActions({e.actEditCut, t.actEditCopy, t.actEditPaste, e.actEditDelete});
        menu->addSeparator();
        if (withFind) {
            const TFindActions& s = *fFindActions;
            menu->addActions({s.actEditFind, s.actEditFindNext, s.actEditFindPrevious, s.actEditNextProblem,
                              s.actEditPreviousProblem, fWhichActions->actEditWhichProgram});
            menu->addSeparator();
        }
        menu->addActions({t.actEditAddVariable, t.actEditAddValue, t.actEditEditAsText, e.actEditEditAsPath,
                          e.actEditEditAsFile, e.actEditChangeType, e.actEditCleanup, e.actEditRemoveMissing,
                          e.actEditMoveUp, e.actEditMoveDown});
        menu->addSeparator();
        menu->addAction(e.actEditOpenFolder);
        menu->addSeparator();
        menu->addActions({e.actEditLong2Short, e.actEditShort2Long, e.actEditInline});
        menu->addSeparator();
        menu->addAction(f.actEditRefresh);
    };
    edit->addAction(fUndoActions->actEditUndo);
    edit->addAction(fUndoActions->actEditRedo);
    edit->addSeparator();
    addNodeCommands(edit, true);

    tbxPopup = new QMenu(this);
    tbxPopup->setObjectName(QStringLiteral("tbxPopup"));
    addNodeCommands(tbxPopup, false);

    QMenu* view = bar->addMenu(qtr("&View"));
    view->addAction(v.actViewShowInformation);
    view->addAction(v.actViewShowReadOnly);
    QMenu* toolbars = view->addMenu(qtr("Toolbars"));
    toolbars->addActions({v.actViewShowMain, v.actViewShowInterface, v.actViewShowUser});

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
    tbMain->addAction(fFileActions->actFileSave);
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
    tbMain->addAction(fFileActions->actFileOptions);
    tbMain->addSeparator();
    // The show/hide buttons name the commands in their hints, not in a check.
    tbMain->addAction(fViewActions->actViewShowInformation);
    tbMain->addAction(fViewActions->actViewShowReadOnly);
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

    const TViewActions& v = *fViewActions;
    fViewActions->SetToolbars(tbMain, tbInterface, tbUser);
    popupToolbar = new QMenu(this);
    popupToolbar->setObjectName(QStringLiteral("popupToolbar"));
    popupToolbar->addActions({v.actViewShowMain, v.actViewShowInterface, v.actViewShowUser});
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
    auto* effective = new TEffectivePanel(
        [this] { return std::pair<const TETree*, const TETree*>(SysVarTree.get(), UserVarTree.get()); },
        tabInformation);
    tabInformation->addTab(effective, TIcons::toolbar(imgShowInformation), qtr("Effe&ctive"));
    connect(effective, &TEffectivePanel::nodeRequested, this,
            [this](bool userTree, const QString& variable, int row) { ShowNode(userTree, fromQ(variable), row); });
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

} // namespace talvoren
