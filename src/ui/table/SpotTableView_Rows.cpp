#include "SpotTableCells.h"
#include "SpotTableModel.h"
#include "SpotTableView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>

namespace varnello {

void SpotTableView::copySelection()
{
    const QList<int> rows = selectedRowNumbers();
    if (rows.isEmpty()) {
        QApplication::beep();
        return;
    }
    QGuiApplication::clipboard()->setText(m_model->copyText(rows));
}

QMenu *SpotTableView::makeContextMenu(const QPoint &position)
{
    // The row counts, not the cell: the area right of the last column belongs to the row too.
    const int row = rowAt(position.y());
    if (row < 0)
        selectionModel()->clearSelection();
    else if (!selectionModel()->isRowSelected(row, {}))
        selectionModel()->select(m_model->index(row, 0),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("spotTableContextMenu"));
    QAction *copy = menu->addAction(QStringLiteral("Copy"));
    copy->setObjectName(QStringLiteral("copySpotsAction"));
    copy->setEnabled(selectionModel()->hasSelection());
    connect(copy, &QAction::triggered, this, &SpotTableView::copySelection);
    return menu;
}

void SpotTableView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = makeContextMenu(event->pos());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void SpotTableView::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::Copy) {
        copySelection();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void SpotTableView::handleDoubleClick(const QModelIndex &index)
{
    if (!index.isValid() || index.row() >= m_model->rowCount() || !m_openUrl)
        return;
    const DXSpot &spot = m_model->spotAt(index.row());
    QString call;
    switch (spotTableColumnInfo(index.column()).column) {
    case SpotTableColumn::dx:
        call = spot.callsign;
        break;
    case SpotTableColumn::spotter:
        call = spot.spotter;
        break;
    default:
        return;
    }
    if (const std::optional<QUrl> url = callsignLookupUrl(call))
        m_openUrl(*url);
}

} // namespace varnello
