#include "SpotTableModel.h"
#include "SpotTableView.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTimer>

namespace varnello {

int SpotTableView::rowTop(int row) const
{
    return verticalHeader()->sectionPosition(row);
}

void SpotTableView::setScrollY(int y)
{
    const int bottom = std::max(verticalHeader()->length() - viewport()->height(), 0);
    verticalScrollBar()->setValue(std::clamp(y, 0, bottom));
}

bool SpotTableView::isAtTop() const
{
    return m_model->rowCount() == 0 || rowAt(0) == 0;
}

SpotTableScrollState SpotTableView::captureScrollState() const
{
    // One pixel inside the visible area's top-left corner.
    const int topRow = rowAt(1);
    if (topRow < 0 || topRow >= m_model->rowCount())
        return {};
    const int y = verticalScrollBar()->value();
    return {m_model->spotAt(topRow).id, y - rowTop(topRow), y, rowAt(0) == 0};
}

void SpotTableView::applyScrollState(const SpotTableScrollState &state)
{
    executeDelayedItemsLayout();
    if (state.isAtTop) {
        // The top is the top-left corner: the first columns come back into view too.
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
        return;
    }
    int target = state.absoluteY;
    if (state.topSpotID) {
        const int row = m_model->rowOfSpot(*state.topSpotID);
        if (row >= 0)
            target = rowTop(row) + state.offsetWithinTopRow;
    }
    setScrollY(target);
}

void SpotTableView::restoreScrollState(bool mode, quint64 generation,
                                       const SpotTableScrollState &state)
{
    // A later switch owns the restoring flag and its own restore.
    if (m_currentIsAlertsOnly != mode || m_modeSwitchGeneration != generation)
        return;
    applyScrollState(state);
    m_scrollStates[mode] = state;
    m_lastIsAtTopByMode[mode] = state.isAtTop;
    m_isRestoringScrollPosition = false;
}

void SpotTableView::scrollToTop()
{
    m_isRestoringScrollPosition = true;
    applyScrollState({});
    m_scrollStates[m_currentIsAlertsOnly] = {};
    m_lastIsAtTopByMode[m_currentIsAlertsOnly] = true;
    m_isRestoringScrollPosition = false;
}

void SpotTableView::pinFirstRowToTop()
{
    if (m_model->rowCount() == 0)
        return;
    executeDelayedItemsLayout();
    setScrollY(rowTop(0));
}

void SpotTableView::handleScrollChange()
{
    if (m_isRestoringScrollPosition)
        return;
    const bool mode = m_currentIsAlertsOnly;
    const bool atTop = isAtTop();
    m_scrollStates[mode] = captureScrollState();
    if (m_lastIsAtTopByMode[mode] == atTop)
        return;
    m_lastIsAtTopByMode[mode] = atTop;
    const quint64 generation = m_modeSwitchGeneration;
    QTimer::singleShot(0, this, [this, mode, generation, atTop] {
        if (m_isRestoringScrollPosition || m_currentIsAlertsOnly != mode ||
            m_modeSwitchGeneration != generation || m_lastIsAtTopByMode[mode] != atTop)
            return;
        Q_EMIT topStateChanged(atTop);
    });
}

} // namespace varnello
