#include "ui/ETreeModel.h"

#include "base/Translation.h"
#include "ui/Icons.h"
#include "ui/NodeMime.h"
#include "ui/UiText.h"

#include <QColor>
#include <QFont>

namespace talvoren {

TETreeModel::TETreeModel(TETree& tree, QObject* parent)
    : QAbstractItemModel(parent)
    , fTree(tree)
{
    fTree.AddObserver(this);
}

TETreeModel::~TETreeModel()
{
    fTree.RemoveObserver(this);
}

TENode* TETreeModel::nodeOf(const QModelIndex& index)
{
    return index.isValid() ? static_cast<TENode*>(index.internalPointer()) : nullptr;
}

QModelIndex TETreeModel::indexOf(const TENode* node) const
{
    if (!node) {
        return {};
    }
    return createIndex(static_cast<int>(node->Row()), 0, const_cast<TENode*>(node));
}

QModelIndex TETreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column != 0) {
        return {};
    }
    const TENode* parentNode = nodeOf(parent);
    if (!parentNode) {
        return static_cast<size_t>(row) < fTree.VariableCount() ? indexOf(fTree.Variable(row)) : QModelIndex();
    }
    if (!parentNode->IsVariable() || static_cast<size_t>(row) >= parentNode->ChildCount()) {
        return {};
    }
    return indexOf(parentNode->Child(row));
}

QModelIndex TETreeModel::parent(const QModelIndex& child) const
{
    const TENode* node = nodeOf(child);
    return node ? indexOf(node->Parent()) : QModelIndex();
}

int TETreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0) {
        return 0;
    }
    const TENode* node = nodeOf(parent);
    if (!node) {
        return static_cast<int>(fTree.VariableCount());
    }
    return node->IsVariable() ? static_cast<int>(node->ChildCount()) : 0;
}

int TETreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant TETreeModel::data(const QModelIndex& index, int role) const
{
    const TENode* node = nodeOf(index);
    if (!node) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return toQ(fTree.GetNodeAsText(node));
    case Qt::DecorationRole:
        return node->IsVariable() ? QVariant(TIcons::tree(fTree.GetImage(node))) : QVariant();
    case Qt::ToolTipRole: {
        // What the row's text becomes for a process, then what is wrong.
        QString tip;
        if (!node->IsVariable() || node->ChildCount() <= 1) {
            const std::u16string shown = node->IsVariable() ? fTree.GetVariableValue(node) : fTree.GetElement(node);
            const std::u16string expanded
                = node->IsVariable() ? fTree.GetVariableValueEx(node) : fTree.GetElementEx(node);
            if (expanded != shown) {
                tip = toQ(trFormat("Expands to: %s", expanded));
            }
        }
        const std::u16string hint = fTree.GetNodeHint(node);
        if (!hint.empty()) {
            const QString text = toQ(hint).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            tip += tip.isEmpty() ? text.trimmed() : QStringLiteral("\n\n") + text.trimmed();
        }
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    case Qt::FontRole:
        if (node->Data().GetWrongPath()) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    case Qt::ForegroundRole:
        // The selection colours win over these (the style draws a selected
        // row in its highlighted-text colour).
        if (node->Data().GetWrongPath()) {
            return QColor(255, 0, 0);
        }
        if (fTree.GetVariableReadOnly(node)) {
            return QColor(128, 128, 128);
        }
        if (node->IsInSystemPath() || node->HasLiteralReference()) {
            return WarningColor();
        }
        return {};
    case ErrorMarkRole:
        return fTree.HasErrorMark(node);
    case ExclusionMarkRole:
        return fTree.HasExclusionMark(node);
    case ImageRole:
        return node->IsVariable() ? fTree.GetImage(node) : kImageNone;
    case ReadOnlyRole:
        return fTree.GetVariableReadOnly(node);
    default:
        return {};
    }
}

QColor WarningColor()
{
    return QColor(160, 82, 0);
}

Qt::ItemFlags TETreeModel::flags(const QModelIndex& index) const
{
    const TENode* node = nodeOf(index);
    if (!node) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (fTree.IsWritable(node)) {
        flags |= Qt::ItemIsEditable | Qt::ItemIsDragEnabled;
    }
    flags |= Qt::ItemIsDropEnabled;
    if (!node->IsVariable()) {
        flags |= Qt::ItemNeverHasChildren;
    }
    return flags;
}

QStringList TETreeModel::mimeTypes() const
{
    return {nodeStreamFormat()};
}

// --- forwarding --------------------------------------------------------------

void TETreeModel::BeforeInsert(TENode* parent, size_t first, size_t last)
{
    beginInsertRows(indexOf(parent), static_cast<int>(first), static_cast<int>(last));
}

void TETreeModel::AfterInsert(TENode*, size_t, size_t)
{
    endInsertRows();
}

void TETreeModel::BeforeRemove(TENode* parent, size_t first, size_t last)
{
    beginRemoveRows(indexOf(parent), static_cast<int>(first), static_cast<int>(last));
}

void TETreeModel::AfterRemove(TENode*, size_t, size_t)
{
    endRemoveRows();
}

void TETreeModel::BeforeMove(TENode* srcParent, size_t srcRow, TENode* dstParent, size_t dstRow)
{
    const int row = static_cast<int>(srcRow);
    // Qt refuses a move onto the row's own place, which changes nothing.
    fMoveStarted = beginMoveRows(indexOf(srcParent), row, row, indexOf(dstParent), static_cast<int>(dstRow));
}

void TETreeModel::AfterMove(TENode*, size_t, TENode*, size_t)
{
    if (fMoveStarted) {
        endMoveRows();
    }
    fMoveStarted = false;
}

void TETreeModel::NodeChanged(TENode* node)
{
    const QModelIndex index = indexOf(node);
    emit dataChanged(index, index);
}

void TETreeModel::FlagsChanged(TENode* node)
{
    const QModelIndex index = indexOf(node);
    emit dataChanged(index, index, {Qt::FontRole, Qt::ForegroundRole, Qt::ToolTipRole, ErrorMarkRole});
}

void TETreeModel::VisibilityChanged(TENode* node)
{
    emit visibilityChanged(indexOf(node), node->IsHidden());
}

void TETreeModel::ExpansionChanged(TENode* node)
{
    emit expansionChanged(indexOf(node), node->IsExpanded());
}

void TETreeModel::BeforeReset()
{
    beginResetModel();
}

void TETreeModel::AfterReset()
{
    endResetModel();
    emit contentReset();
}

void TETreeModel::FocusChanged(TENode* focused)
{
    emit focusChanged(indexOf(focused));
}

void TETreeModel::SelectionChanged()
{
    emit selectionChanged();
}

} // namespace talvoren
