// The band right of the last column: the rows' fill, selection and alert colours and the header
// reach the view's right edge, as if the row went on.
#include "SpotTableDelegate.h"
#include "SpotTableHeader.h"
#include "SpotTableModel.h"
#include "SpotTableView.h"

#include <QColor>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QStyleOptionHeader>

namespace varnello {

namespace {
constexpr int focusFrameWidth = 2;
} // namespace

SpotTableHeader::SpotTableHeader(QWidget *parent) : QHeaderView(Qt::Horizontal, parent) {}

void SpotTableHeader::paintEvent(QPaintEvent *event)
{
    QHeaderView::paintEvent(event);
    const int end = length() - offset();
    const int width = viewport()->width();
    if (end >= width || count() == 0)
        return;
    QPainter painter(viewport());
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.rect = QRect(end, 0, width - end, viewport()->height());
    option.section = count();
    option.position = QStyleOptionHeader::End;
    if (isEnabled())
        option.state |= QStyle::State_Enabled;
    option.state |= QStyle::State_Raised;
    style()->drawControl(QStyle::CE_HeaderSection, &option, &painter, this);
}

void SpotTableView::watchRowEnds()
{
    // The view repaints only the cells of a changed row or selection; the band follows them.
    const auto repaintBand = [this] {
        const int end = rowsEndX();
        if (end < viewport()->width())
            viewport()->update(QRect(end, 0, viewport()->width() - end, viewport()->height()));
    };
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, repaintBand);
    connect(m_model, &QAbstractItemModel::dataChanged, this, repaintBand);
}

int SpotTableView::rowsEndX() const
{
    const QHeaderView *header = horizontalHeader();
    return header->length() - header->offset();
}

// A press or drag on the band acts on its row, as on the row's last cell.
std::unique_ptr<QMouseEvent> SpotTableView::movedOffTheBand(const QMouseEvent &event) const
{
    const int end = rowsEndX();
    if (end <= 0 || event.position().x() < end || rowAt(int(event.position().y())) < 0)
        return nullptr;
    return std::make_unique<QMouseEvent>(event.type(), QPointF(end - 1, event.position().y()),
                                         event.scenePosition(), event.globalPosition(),
                                         event.button(), event.buttons(), event.modifiers(),
                                         event.pointingDevice());
}

void SpotTableView::mousePressEvent(QMouseEvent *event)
{
    if (const auto moved = movedOffTheBand(*event)) {
        QTableView::mousePressEvent(moved.get());
        event->setAccepted(moved->isAccepted());
        return;
    }
    QTableView::mousePressEvent(event);
}

void SpotTableView::mouseMoveEvent(QMouseEvent *event)
{
    if (const auto moved = movedOffTheBand(*event)) {
        QTableView::mouseMoveEvent(moved.get());
        event->setAccepted(moved->isAccepted());
        return;
    }
    QTableView::mouseMoveEvent(event);
}

void SpotTableView::paintEvent(QPaintEvent *event)
{
    m_delegate->beginPaint();
    QTableView::paintEvent(event);
    paintBand(event->rect());
    paintFocusFrame(event->rect());
}

void SpotTableView::focusInEvent(QFocusEvent *event)
{
    QTableView::focusInEvent(event);
    viewport()->update();
}

void SpotTableView::focusOutEvent(QFocusEvent *event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

void SpotTableView::paintFocusFrame(const QRect &dirty)
{
    const QModelIndex current = currentIndex();
    if (!hasFocus() || !current.isValid())
        return;
    const QRect row(0, rowViewportPosition(current.row()), viewport()->width(),
                    rowHeight(current.row()));
    if (!row.intersects(dirty))
        return;
    // A plain line: the style's focus rectangle would tint the row's selection or alert colour.
    QPainter painter(viewport());
    const bool selected = selectionModel()->isRowSelected(current.row(), {});
    painter.setPen(QPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Highlight),
                        focusFrameWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(row.adjusted(1, 1, -1, -1));
}

void SpotTableView::paintBand(const QRect &dirty)
{
    const int end = rowsEndX();
    const int width = viewport()->width();
    const int rows = m_model->rowCount();
    if (end >= width || rows == 0 || dirty.right() < end)
        return;
    const int first = rowAt(dirty.top());
    if (first < 0)
        return;
    int last = rowAt(dirty.bottom());
    if (last < 0)
        last = rows - 1;

    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.state &= ~QStyle::State_Selected;
    const QPalette::ColorGroup group = !isEnabled()       ? QPalette::Disabled
                                       : isActiveWindow() ? QPalette::Active
                                                          : QPalette::Inactive;
    for (int row = first; row <= last; ++row) {
        option.rect = QRect(end, rowViewportPosition(row), width - end, rowHeight(row));
        // As the view paints its cells: the alternating background, then the selection or the
        // alert colour.
        option.features.setFlag(QStyleOptionViewItem::Alternate,
                                alternatingRowColors() && (row & 1));
        style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &option, &painter, this);
        if (selectionModel()->isRowSelected(row, {})) {
            painter.fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
            continue;
        }
        const QVariant fill = m_model->data(m_model->index(row, 0), Qt::BackgroundRole);
        if (fill.canConvert<QColor>())
            painter.fillRect(option.rect, fill.value<QColor>());
    }
}

} // namespace varnello
