#pragma once

// Draws one node of an environment tree: the row as the style draws it,
// then the error mark and the exclusion mark over a variable's type image.

#include <QStyledItemDelegate>

namespace talvoren {

class TETreeDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int kNodeHeight = 20;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace talvoren
