#include "SpotTableView.h"

#include "AppSettingsStore.h"
#include "Clock.h"
#include "LoTWActivityLookup.h"
#include "NotificationHub.h"
#include "SpotTableDelegate.h"
#include "SpotTableHeader.h"
#include "SpotTableModel.h"
#include "WidgetHelpers.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTimer>

namespace varnello {

SpotTableView::SpotTableView(SpotTableEnvironment environment, QWidget *parent)
    : QTableView(parent),
      m_settings(environment.settings ? *environment.settings : AppSettingsStore::shared()),
      m_clock(environment.clock ? *environment.clock : Clock::system()),
      m_openUrl(std::move(environment.openUrl)), m_presetSettleTime(environment.presetSettleTime)
{
    setObjectName(QStringLiteral("spotTable"));
    m_model = new SpotTableModel(
        environment.lotw ? *environment.lotw : LoTWActivityLookup::shared(), m_clock, this);
    m_model->setShowsLocalTime(m_settings.boolValue(SettingsKeys::DXSpotTableShowLocalTime));
    setHorizontalHeader(new SpotTableHeader(this));
    setModel(m_model);
    m_delegate = new SpotTableDelegate(this);
    setItemDelegate(m_delegate);
    watchRowEnds();
    currentRowOnFocus(this);
    // The focus frame goes round the whole row: the view itself repaints only single cells.
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, viewport(),
            qOverload<>(&QWidget::update));
    configureTable();
    restoreColumnLayout();

    QHeaderView *header = horizontalHeader();
    connect(header, &QHeaderView::sectionResized, this, &SpotTableView::handleSectionResized);
    connect(header, &QHeaderView::sectionMoved, this, &SpotTableView::handleColumnChangedByUser);
    connect(header, &QHeaderView::sectionClicked, this, &SpotTableView::handleHeaderClick);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            &SpotTableView::handleScrollChange);
    connect(this, &QAbstractItemView::doubleClicked, this, &SpotTableView::handleDoubleClick);
    connect(&NotificationHub::instance(), &NotificationHub::posted, this,
            [this](const QString &name, const QVariantMap &) { handleNotification(name); });
}

SpotTableView::~SpotTableView() = default;

void SpotTableView::handleNotification(const QString &name)
{
    if (name == QLatin1StringView(kLoTWActivityLookupDidReload))
        m_model->reloadLoTW();
    else if (name == applyDefaultViewNotification)
        applyViewPreset(SpotTableViewPreset::defaultView);
    else if (name == applySmallViewNotification)
        applyViewPreset(SpotTableViewPreset::small);
}

void SpotTableView::update(const SpotTableInput &input)
{
    bool modeChanged = false;
    if (!m_hasInput) {
        m_hasInput = true;
        m_currentIsAlertsOnly = input.isAlertsOnly;
    } else if (m_currentIsAlertsOnly != input.isAlertsOnly) {
        m_scrollStates[m_currentIsAlertsOnly] = captureScrollState();
        m_currentIsAlertsOnly = input.isAlertsOnly;
        m_isRestoringScrollPosition = true;
        ++m_modeSwitchGeneration;
        modeChanged = true;
    }

    m_model->setShowLoTWOnly(input.showLoTWOnly);
    if (input.keptRows && !modeChanged)
        applyFrontRows(input);
    else
        applySpots(input.spots, input.highlightColorsBySpotID, !modeChanged);

    if (modeChanged) {
        const bool mode = m_currentIsAlertsOnly;
        const quint64 generation = m_modeSwitchGeneration;
        const SpotTableScrollState state = m_scrollStates[mode];
        QTimer::singleShot(0, this, [this, mode, generation, state] {
            restoreScrollState(mode, generation, state);
        });
    }
    if (input.scrollToTopRequest != m_handledScrollToTopRequest) {
        m_handledScrollToTopRequest = input.scrollToTopRequest;
        QTimer::singleShot(0, this, &SpotTableView::scrollToTop);
    }
}

void SpotTableView::applySpots(const QList<DXSpot> &spots,
                               const QHash<QUuid, SpotAlertColor> &colors, bool keepPosition)
{
    const QList<DXSpot> &old = m_model->spots();
    if (haveSameIDs(old, spots)) {
        m_model->setHighlightColors(colors);
        m_model->replaceContent(spots);
        return;
    }
    m_model->setHighlightColors(colors);
    if (!keepPosition) {
        // The tab's own position is restored on the next turn.
        m_model->reloadSpots(spots);
        return;
    }

    const int topRow = rowAt(1);
    const std::optional<std::pair<QUuid, int>> anchor = readingAnchor(topRow);
    const std::optional<FrontInsertionChange> change = frontInsertionChange(old, spots);

    if (change) {
        // Qt moves the selection along with inserted and removed rows.
        m_model->insertAtFront(spots, *change);
    } else {
        const QSet<QUuid> selected = selectedSpotIDs();
        m_model->reloadSpots(spots);
        restoreSelection(selected);
    }
    keepReadingPosition(topRow, anchor, change && change->insertedCount > 0);
}

// New rows in front and a cut tail, told by the window: no row is compared.
void SpotTableView::applyFrontRows(const SpotTableInput &input)
{
    const qsizetype kept = std::min<qsizetype>(*input.keptRows, m_model->rowCount());
    if (input.spots.isEmpty() && kept == m_model->rowCount())
        return;
    const int topRow = rowAt(1);
    const std::optional<std::pair<QUuid, int>> anchor = readingAnchor(topRow);
    // Qt moves the selection along with inserted and removed rows.
    m_model->prependRows(input.spots, kept, input.highlightColorsBySpotID);
    const int anchorRow = topRow >= 0 && topRow < kept ? topRow + int(input.spots.size()) : -1;
    keepReadingPosition(topRow, anchor, !input.spots.isEmpty(), anchorRow);
}

std::optional<std::pair<QUuid, int>> SpotTableView::readingAnchor(int topRow) const
{
    if (topRow < 0 || topRow >= m_model->rowCount())
        return std::nullopt;
    return std::pair{m_model->spotAt(topRow).id, verticalScrollBar()->value() - rowTop(topRow)};
}

void SpotTableView::keepReadingPosition(int topRow,
                                        const std::optional<std::pair<QUuid, int>> &anchor,
                                        bool inserted, int anchorRow)
{
    executeDelayedItemsLayout();
    if (topRow == 0) {
        // The layout above is done, so row 0 can be pinned at once.
        if (inserted)
            pinFirstRowToTop();
        return;
    }
    if (anchor) {
        const bool known = anchorRow >= 0 && anchorRow < m_model->rowCount() &&
                           m_model->spotAt(anchorRow).id == anchor->first;
        const int row = known ? anchorRow : m_model->rowOfSpot(anchor->first);
        if (row >= 0)
            setScrollY(rowTop(row) + anchor->second);
    }
}

QSet<QUuid> SpotTableView::selectedSpotIDs() const
{
    QSet<QUuid> ids;
    for (const int row : selectedRowNumbers())
        ids.insert(m_model->spotAt(row).id);
    return ids;
}

QList<int> SpotTableView::selectedRowNumbers() const
{
    QList<int> rows;
    const int count = m_model->rowCount();
    for (const QItemSelectionRange &range : selectionModel()->selection()) {
        for (int row = std::max(range.top(), 0); row <= range.bottom() && row < count; ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void SpotTableView::restoreSelection(const QSet<QUuid> &ids)
{
    if (ids.isEmpty()) {
        selectionModel()->clearSelection();
        return;
    }
    QItemSelection selection;
    const int count = m_model->rowCount();
    const int lastColumn = spotTableColumnCount - 1;
    int start = -1;
    for (int row = 0; row <= count; ++row) {
        const bool wanted = row < count && ids.contains(m_model->spotAt(row).id);
        if (wanted && start < 0)
            start = row;
        if (!wanted && start >= 0) {
            selection.select(m_model->index(start, 0), m_model->index(row - 1, lastColumn));
            start = -1;
        }
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

} // namespace varnello
