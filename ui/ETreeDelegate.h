#pragma once

// Draws one node of an environment tree: the row as the style draws it,
// then the error mark and the exclusion mark over a variable's type image.
// The Information panel's grids share the readable text colours.

#include <QStyledItemDelegate>

namespace talvoren {

// Paints a row's own text colour (an error's red, a warning's brown)
// darkened or lightened until it is readable on the skin's row colours.
class TReadableItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    // Public: the skin test reads the colours a row is painted with.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

class TETreeDelegate : public TReadableItemDelegate {
    Q_OBJECT
public:
    using TReadableItemDelegate::TReadableItemDelegate;

    static constexpr int kNodeHeight = 20;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace talvoren
