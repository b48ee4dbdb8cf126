#pragma once

#include <QHeaderView>

namespace varnello {

// The table's column header, drawn on to the right edge of the view: the columns have fixed
// maximum widths, so on a wide window an empty header section follows the last column.
class SpotTableHeader final : public QHeaderView {
    Q_OBJECT

public:
    explicit SpotTableHeader(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace varnello
