#include "SpotTableDelegate.h"

namespace varnello {

void SpotTableDelegate::initStyleOption(QStyleOptionViewItem *option,
                                        const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->state & QStyle::State_Selected)
        option->backgroundBrush = Qt::NoBrush;
}

} // namespace varnello
