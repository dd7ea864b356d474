// The tree view's side of drag and drop: a drag carries the selected nodes;
// a drop is accepted only from one of the window's two trees, where the
// rules of edit/ETreeDrop.h allow it, and becomes one undo step.

#include "base/Translation.h"
#include "ui/ETreeModel.h"
#include "ui/ETreeView.h"
#include "ui/FormOK.h"
#include "ui/FormQuestion.h"
#include "ui/NodeMime.h"

#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

namespace talvoren {

namespace {

// A drag that started in a tree of the same window.
const TETreeView* treeSource(const TETreeView* self, QObject* source)
{
    auto* view = qobject_cast<TETreeView*>(source);
    return view && view->window() == self->window() ? view : nullptr;
}

} // namespace

std::vector<TENode*> TETreeView::dragNodes() const
{
    TENode* focused = fTree.GetFocusedNode();
    std::vector<TENode*> nodes = fTree.GetSelectedNodes();
    if (!fTree.IsSelected(focused)) {
        nodes.assign(1, focused);
    }
    for (const TENode* node : nodes) {
        if (!CanStartDrag(fTree, node)) {
            return {};
        }
    }
    return nodes;
}

bool TETreeView::dropTargetAt(const TETreeView* source, const QPoint& pos, TENode** target,
                              TDropPosition* position) const
{
    const QModelIndex index = indexAt(pos);
    TENode* node = TETreeModel::nodeOf(index);
    TDropPosition part = TDropPosition::On;
    if (node) {
        // The upper and lower quarters of a row are above and below it.
        const QRect rect = visualRect(index);
        const int margin = std::max(2, rect.height() / 4);
        if (pos.y() < rect.top() + margin) {
            part = TDropPosition::Above;
        } else if (pos.y() >= rect.bottom() - margin) {
            part = TDropPosition::Below;
        }
    }
    if (target) {
        *target = node;
    }
    if (position) {
        *position = part;
    }
    return source && CanDropAll(source->tree(), source->dragNodes(), fTree, node);
}

bool TETreeView::dropAt(TETreeView* source, const QPoint& pos)
{
    TENode* target = nullptr;
    TDropPosition position = TDropPosition::On;
    if (!dropTargetAt(source, pos, &target, &position)) {
        return false;
    }
    auto overwrite = [this](const std::u16string& name) {
        // Only "Yes" replaces the variable that is there.
        return TfrmYesNo::createAndShowModal(
                   trFormat("Variable '%s' already exists\r\nDo you want to overwrite it?", name), window())
            == mrYes;
    };
    std::u16string refusal;
    TENode* moved = DropNodes(source->tree(), source->dragNodes(), fTree, target, position, overwrite, &refusal);
    if (!refusal.empty()) {
        TfrmOK::createAndShowModal(refusal, mtWarning, window());
    }
    if (moved) {
        setFocus(Qt::MouseFocusReason);
        // The moved elements are shown where they landed, still selected.
        if (!moved->IsVariable()) {
            fTree.SetExpanded(moved->Parent(), true);
        }
    }
    return moved != nullptr;
}

void TETreeView::startDrag(Qt::DropActions)
{
    const std::vector<TENode*> nodes = dragNodes();
    if (nodes.empty()) {
        return;
    }
    auto* drag = new QDrag(this);
    // The drop moves what dragNodes() says; the data tells other programs the first.
    drag->setMimeData(dragDataFor(fTree, nodes.front()));
    drag->exec(Qt::MoveAction, Qt::MoveAction);
}

void TETreeView::dragEnterEvent(QDragEnterEvent* event)
{
    if (treeSource(this, event->source()) && event->mimeData()->hasFormat(nodeStreamFormat())) {
        QTreeView::dragEnterEvent(event);
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TETreeView::dragMoveEvent(QDragMoveEvent* event)
{
    // The base class scrolls near the edges and opens collapsed variables.
    QTreeView::dragMoveEvent(event);
    const TETreeView* source = treeSource(this, event->source());
    if (source && dropTargetAt(source, event->position().toPoint(), nullptr, nullptr)) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TETreeView::dropEvent(QDropEvent* event)
{
    auto* source = const_cast<TETreeView*>(treeSource(this, event->source()));
    // The move is ours: the item model must not remove anything itself.
    if (source && dropAt(source, event->position().toPoint())) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
}

} // namespace talvoren
