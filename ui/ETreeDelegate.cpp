#include "ui/ETreeDelegate.h"

#include "model/ETree.h"
#include "ui/ETreeModel.h"
#include "ui/Icons.h"
#include "ui/Language.h"

#include <QApplication>
#include <QPainter>

namespace talvoren {

void TReadableItemDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant foreground = index.data(Qt::ForegroundRole);
    if (!foreground.canConvert<QColor>()) {
        return;
    }
    const QColor wanted = foreground.value<QColor>();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        option->palette.setColor(group, QPalette::Text,
                                 ReadableOn(wanted,
                                            {option->palette.color(group, QPalette::Base),
                                             option->palette.color(group, QPalette::AlternateBase)}));
    }
}

void TETreeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    const bool error = index.data(TETreeModel::ErrorMarkRole).toBool();
    const bool exclusion = index.data(TETreeModel::ExclusionMarkRole).toBool();
    if (!error && !exclusion) {
        return;
    }
    // The marks sit exactly over the type image, where the style put it.
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const QRect imageRect = style->subElementRect(QStyle::SE_ItemViewItemDecoration, &opt, widget);
    if (error) {
        TIcons::tree(kImageError).paint(painter, imageRect);
    }
    if (exclusion) {
        TIcons::tree(kImageExclusion).paint(painter, imageRect);
    }
}

QSize TETreeDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), kNodeHeight));
    return size;
}

} // namespace talvoren
