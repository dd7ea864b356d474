#include "ui/ETreeView.h"

#include "ui/ETreeEdit.h"
#include "ui/ETreeModel.h"
#include "ui/UiText.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>

namespace talvoren {

namespace {
// Runs `body` with the guard set, restoring its old value afterwards.
template <typename F> void guarded(bool& guard, F&& body)
{
    const bool old = guard;
    guard = true;
    body();
    guard = old;
}
} // namespace

TETreeView::TETreeView(TETree& tree, QWidget* parent)
    : QTreeView(parent)
    , fTree(tree)
    , fModel(new TETreeModel(tree, this))
    , fLink(new TETreeStringEditLink(tree, this))
{
    setModel(fModel);
    setItemDelegate(fLink);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    // Shift and Ctrl select several rows; the tree keeps those of the
    // focused row's group (TETree::SetSelection) and the view shows that.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // F2 is the window's command; a slow second click and a double click
    // open the editor here.
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::DoubleClicked);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setAutoExpandDelay(kDragExpandDelayMs);
    setIconSize(QSize(16, 16));
    setAnimated(true);
    setAllColumnsShowFocus(true);
    header()->setStretchLastSection(true);

    connect(fModel, &TETreeModel::visibilityChanged, this, &TETreeView::applyHidden);
    connect(fModel, &TETreeModel::expansionChanged, this, &TETreeView::applyExpansion);
    connect(fModel, &TETreeModel::focusChanged, this, &TETreeView::applyFocus);
    connect(fModel, &TETreeModel::selectionChanged, this, &TETreeView::applySelection);
    connect(fModel, &TETreeModel::contentReset, this, &TETreeView::applyAll);
    connect(fModel, &TETreeModel::editRequested, this, &TETreeView::editNode);
    connect(fModel, &TETreeModel::finishEditingRequested, this, &TETreeView::finishEditing);
    connect(fModel, &QAbstractItemModel::modelAboutToBeReset, this, &TETreeView::dropEdit);
    connect(this, &QTreeView::expanded, this, &TETreeView::onExpanded);
    connect(this, &QTreeView::collapsed, this, &TETreeView::onCollapsed);
    applyAll();
}

TETreeView::~TETreeView() = default;

void TETreeView::setReadOnlyLook(bool readOnly)
{
    fReadOnlyLook = readOnly;
    fTree.SetEditable(!readOnly);
    if (readOnly) {
        // The skin's window colour: greyed, and its text stays readable.
        QPalette pal = QApplication::palette(this);
        pal.setColor(QPalette::Base, pal.color(QPalette::Window));
        pal.setColor(QPalette::AlternateBase, pal.color(QPalette::Window));
        setPalette(pal);
    } else {
        setPalette(QPalette());
    }
    viewport()->update();
}

void TETreeView::expandAllNodes()
{
    for (TENode* variable : fTree.Variables()) {
        fTree.SetExpanded(variable, true);
    }
    guarded(fSyncing, [&] { expandAll(); });
}

void TETreeView::collapseAllNodes()
{
    for (TENode* variable : fTree.Variables()) {
        fTree.SetExpanded(variable, false);
    }
    guarded(fSyncing, [&] { collapseAll(); });
}

void FocusFirstEditableVariable(TETree& tree)
{
    TENode* first = nullptr;
    for (TENode* variable : tree.Variables()) {
        if (variable->IsHidden()) {
            continue;
        }
        if (tree.IsWritable(variable)) {
            first = variable;
            break;
        }
        first = first ? first : variable;
    }
    if (first) {
        tree.ActivateNode(first);
    }
}

void TETreeView::focusInEvent(QFocusEvent* event)
{
    QTreeView::focusInEvent(event);
    fFocusedByClick = event->reason() == Qt::MouseFocusReason;
    viewport()->update();
    emit treeFocused(this);
}

void TETreeView::changeEvent(QEvent* event)
{
    QTreeView::changeEvent(event);
    // A new skin: the read-only look takes its colours.
    if (event->type() == QEvent::ApplicationPaletteChange && fReadOnlyLook) {
        setReadOnlyLook(true);
    }
}

void TETreeView::focusOutEvent(QFocusEvent* event)
{
    QTreeView::focusOutEvent(event);
    fFocusedByClick = false;
    viewport()->update();
}

void TETreeView::initViewItemOption(QStyleOptionViewItem* option) const
{
    QTreeView::initViewItemOption(option);
    if (!hasFocus() && !isEditing()) {
        option->state &= ~QStyle::State_Active;
        // Some styles give both colour groups the same highlight.
        const QColor inactive = palette().color(QPalette::Inactive, QPalette::Highlight);
        if (inactive == palette().color(QPalette::Active, QPalette::Highlight)) {
            option->palette.setColor(QPalette::Inactive, QPalette::Highlight, palette().color(QPalette::Midlight));
            option->palette.setColor(QPalette::Inactive, QPalette::HighlightedText, palette().color(QPalette::Text));
        }
    }
}

bool TETreeView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString hint = index.data(Qt::ToolTipRole).toString();
        if (hint.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), hint, viewport(), visualRect(index), kHintDisplayMs);
        }
        return true;
    }
    const bool handled = QTreeView::viewportEvent(event);
    if (event->type() == QEvent::MouseButtonRelease) {
        fFocusedByClick = false;
    }
    return handled;
}

void TETreeView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTreeView::currentChanged(current, previous);
    if (fSyncing) {
        return;
    }
    guarded(fSyncing, [&] { fTree.SetFocusedNode(TETreeModel::nodeOf(current)); });
    takeSelection();
}

void TETreeView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QTreeView::selectionChanged(selected, deselected);
    if (!fSyncing) {
        takeSelection();
    }
}

void TETreeView::takeSelection()
{
    std::vector<TENode*> nodes;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        nodes.push_back(TETreeModel::nodeOf(index));
    }
    guarded(fSyncing, [&] {
        fTree.SetSelection(nodes);
        // Wherever the focus goes without a selection, the selection goes with it.
        if (fTree.GetSelectedNodes().empty() && fTree.GetFocusedNode()) {
            fTree.SetSelected(fTree.GetFocusedNode(), true);
        }
    });
    if (fTree.GetSelectedNodes().size() == nodes.size() || fResyncPending) {
        return;
    }
    // Rows of another group (or a hidden one) stay unselected: shown so once
    // the click or key that selected them is done.
    fResyncPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            fResyncPending = false;
            applySelection();
        },
        Qt::QueuedConnection);
}

void TETreeView::keyboardSearch(const QString& search)
{
    if (search.isEmpty()) {
        return;
    }
    const bool extend = fSearchClock.isValid() && fSearchClock.elapsed() <= QApplication::keyboardInputInterval();
    fSearchClock.start();
    fSearchText = extend ? fSearchText + search : search;
    const std::u16string typed = fromQ(fSearchText);

    TENode* focused = fTree.GetFocusedNode();
    // A longer text may still match the focused node; a new one starts after it.
    TENode* start = focused && extend ? focused : (focused ? fTree.GetNextNode(focused) : nullptr);
    if (!start) {
        start = fTree.GetFirstNode();
    }
    const size_t total = fTree.NodeCount();
    TENode* node = start;
    for (size_t i = 0; node && i < total; ++i) {
        const TENode* variable = fTree.GetVariableNode(node);
        if (!variable->IsHidden() && fTree.MatchesIncrementalSearch(node, typed)) {
            if (!node->IsVariable()) {
                fTree.SetExpanded(fTree.GetVariableNode(node), true);
            }
            fTree.ActivateNode(node);
            scrollTo(fModel->indexOf(node));
            return;
        }
        node = fTree.GetNextNode(node);
        if (!node) {
            node = fTree.GetFirstNode();
        }
    }
}

void TETreeView::applyHidden(const QModelIndex& variable, bool hidden)
{
    setRowHidden(variable.row(), variable.parent(), hidden);
}

void TETreeView::applyExpansion(const QModelIndex& variable, bool expanded)
{
    guarded(fSyncing, [&] { setExpandedAtOnce(variable, expanded); });
}

void TETreeView::setExpandedAtOnce(const QModelIndex& variable, bool expanded)
{
    // Only a click on the expander animates: the editor that an add opens
    // next needs its row laid out.
    const bool animated = isAnimated();
    setAnimated(false);
    setExpanded(variable, expanded);
    setAnimated(animated);
}

void TETreeView::applyFocus(const QModelIndex& focused)
{
    if (fSyncing) {
        return;
    }
    guarded(fSyncing, [&] {
        selectionModel()->setCurrentIndex(focused, QItemSelectionModel::NoUpdate);
        if (focused.isValid()) {
            scrollTo(focused);
        }
    });
}

void TETreeView::applySelection()
{
    if (fSyncing) {
        return;
    }
    guarded(fSyncing, [&] {
        QItemSelection selection;
        for (TENode* node : fTree.GetSelectedNodes()) {
            const QModelIndex index = fModel->indexOf(node);
            selection.select(index, index);
        }
        selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    });
}

void TETreeView::applyAll()
{
    guarded(fSyncing, [&] {
        for (size_t row = 0; row < fTree.VariableCount(); ++row) {
            const TENode* variable = fTree.Variable(row);
            const QModelIndex index = fModel->indexOf(variable);
            setRowHidden(static_cast<int>(row), QModelIndex(), variable->IsHidden());
            setExpandedAtOnce(index, variable->IsExpanded());
        }
    });
    applyFocus(fModel->indexOf(fTree.GetFocusedNode()));
    applySelection();
}

void TETreeView::onExpanded(const QModelIndex& index)
{
    if (!fSyncing) {
        guarded(fSyncing, [&] { fTree.SetExpanded(TETreeModel::nodeOf(index), true); });
    }
}

void TETreeView::onCollapsed(const QModelIndex& index)
{
    if (!fSyncing) {
        guarded(fSyncing, [&] { fTree.SetExpanded(TETreeModel::nodeOf(index), false); });
    }
}

} // namespace talvoren
