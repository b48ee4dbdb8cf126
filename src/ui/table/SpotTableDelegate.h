#pragma once

#include <QStyledItemDelegate>

namespace varnello {

// Cells of the spot table: a selected alert row shows the selection, not its alert colour.
class SpotTableDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};

} // namespace varnello
