#include "AppSettingsStore.h"
#include "NotificationHub.h"
#include "ScreenFit.h"
#include "SpotTableModel.h"
#include "SpotTableView.h"

#include <QEvent>
#include <QHeaderView>
#include <QResizeEvent>
#include <QTimer>

namespace varnello {

void SpotTableView::configureTable()
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setSortingEnabled(false);
    setShowGrid(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setCornerButtonEnabled(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    // One Tab stop: Tab leaves the table for the next control, the arrows move within it.
    setTabKeyNavigation(false);

    QHeaderView *rows = verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(1);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(spotTablePresetInfo(SpotTableViewPreset::defaultView).rowHeight);

    QHeaderView *columns = horizontalHeader();
    columns->setSectionsMovable(true);
    columns->setSectionsClickable(true);
    columns->setHighlightSections(false);
    columns->setSortIndicatorShown(false);
    columns->setStretchLastSection(false);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    // Per-column limits are applied in handleSectionResized; the header only knows one minimum.
    columns->setMinimumSectionSize(20);
    for (int column = 0; column < spotTableColumnCount; ++column)
        columns->resizeSection(column, spotTableColumnInfo(column).defaultWidth);
}

void SpotTableView::restoreColumnLayout()
{
    const std::optional<SavedColumnLayout> layout =
        SavedColumnLayout::decode(m_settings.data(SettingsKeys::DXSpotTableColumnLayout));
    if (!layout)
        return;
    m_isRestoringColumnLayout = true;
    QHeaderView *header = horizontalHeader();
    for (auto it = layout->widths.cbegin(); it != layout->widths.cend(); ++it) {
        const int column = spotTableColumnIndex(it.key());
        if (column >= 0)
            header->resizeSection(column, clampedColumnWidth(column, it.value()));
    }
    QStringList current;
    for (int visual = 0; visual < spotTableColumnCount; ++visual)
        current.append(spotTableColumnInfo(header->logicalIndex(visual)).identifier);
    const QStringList order = restoredColumnOrder(current, layout->order);
    for (int visual = 0; visual < spotTableColumnCount; ++visual) {
        const int from = header->visualIndex(spotTableColumnIndex(order.at(visual)));
        if (from != visual)
            header->moveSection(from, visual);
    }
    m_isRestoringColumnLayout = false;
    postPresetState();
}

void SpotTableView::saveColumnLayout()
{
    if (m_isRestoringColumnLayout)
        return;
    const QHeaderView *header = horizontalHeader();
    SavedColumnLayout layout;
    for (int visual = 0; visual < spotTableColumnCount; ++visual) {
        const int column = header->logicalIndex(visual);
        const QString identifier = spotTableColumnInfo(column).identifier;
        layout.order.append(identifier);
        layout.widths.insert(identifier, header->sectionSize(column));
    }
    // A drag of a column border resizes it per pointer step: saved once the drag stops.
    m_settings.setData(SettingsKeys::DXSpotTableColumnLayout, layout.encode(),
                       AppSettingsStore::SaveTiming::coalesced);
}

void SpotTableView::applyColumnWidths(const std::array<int, spotTableColumnCount> &widths)
{
    m_isRestoringColumnLayout = true;
    for (int column = 0; column < spotTableColumnCount; ++column)
        horizontalHeader()->resizeSection(column,
                                          clampedColumnWidth(column, widths[std::size_t(column)]));
    m_isRestoringColumnLayout = false;
    saveColumnLayout();
}

void SpotTableView::handleSectionResized(int logical, int, int newSize)
{
    if (m_isClampingSection || logical < 0 || logical >= spotTableColumnCount)
        return;
    const int clamped = clampedColumnWidth(logical, newSize);
    if (clamped != newSize) {
        m_isClampingSection = true;
        horizontalHeader()->resizeSection(logical, clamped);
        m_isClampingSection = false;
    }
    handleColumnChangedByUser();
}

void SpotTableView::handleColumnChangedByUser()
{
    if (m_isRestoringColumnLayout)
        return;
    saveColumnLayout();
    if (!m_isApplyingViewPreset)
        markCustomPreset();
}

void SpotTableView::markCustomPreset()
{
    m_settings.setString(SettingsKeys::DXSpotTableViewPreset, customPresetName);
    postPresetState();
}

void SpotTableView::postPresetState()
{
    NotificationHub::instance().post(
        viewPresetStateChangedNotification,
        {{QStringLiteral("state"), m_settings.string(SettingsKeys::DXSpotTableViewPreset)}});
}

void SpotTableView::handleHeaderClick(int logical)
{
    if (logical < 0 || logical >= spotTableColumnCount)
        return;
    switch (spotTableColumnInfo(logical).column) {
    case SpotTableColumn::time: {
        const bool local = !m_model->showsLocalTime();
        m_settings.setBool(SettingsKeys::DXSpotTableShowLocalTime, local);
        m_model->setShowsLocalTime(local);
        break;
    }
    case SpotTableColumn::lotw:
        Q_EMIT loTWFilterToggled();
        break;
    default:
        break;
    }
}

void SpotTableView::applyViewPreset(SpotTableViewPreset preset)
{
    const SpotTablePresetInfo &info = spotTablePresetInfo(preset);
    m_isApplyingViewPreset = true;
    m_model->setSmallPresentation(preset == SpotTableViewPreset::small);
    verticalHeader()->setDefaultSectionSize(info.rowHeight);
    m_settings.setString(SettingsKeys::DXSpotTableViewPreset, info.name);
    applyColumnWidths(info.widths);
    if (QWidget *top = window())
        screenfit::resizeNormalWindow(top, {info.windowWidth, info.windowHeight});
    endPresetApplicationLater();
}

void SpotTableView::endPresetApplicationLater()
{
    const quint64 generation = ++m_presetGeneration;
    QTimer::singleShot(m_presetSettleTime, this, [this, generation] {
        if (generation != m_presetGeneration)
            return;
        m_isApplyingViewPreset = false;
        postPresetState();
    });
}

void SpotTableView::showEvent(QShowEvent *event)
{
    QTableView::showEvent(event);
    if (window() != m_window)
        attachToWindow();
}

void SpotTableView::attachToWindow()
{
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window();
    m_windowResizesCount = false;
    m_window->installEventFilter(this);
    // Placing and first showing the window resize it; only later resizes are the user's.
    QTimer::singleShot(0, this, [this] { m_windowResizesCount = true; });

    const bool small = m_settings.string(SettingsKeys::DXSpotTableViewPreset) ==
                       spotTablePresetInfo(SpotTableViewPreset::small).name;
    m_model->setSmallPresentation(small);
    verticalHeader()->setDefaultSectionSize(
        spotTablePresetInfo(small ? SpotTableViewPreset::small : SpotTableViewPreset::defaultView)
            .rowHeight);
    postPresetState();
    if (small) {
        m_isApplyingViewPreset = true;
        QTimer::singleShot(0, this, [this] {
            const SpotTablePresetInfo &info = spotTablePresetInfo(SpotTableViewPreset::small);
            if (m_window)
                m_window->resize(info.windowWidth, info.windowHeight);
            endPresetApplicationLater();
        });
    }
}

bool SpotTableView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Resize)
        handleWindowResized();
    return QTableView::eventFilter(watched, event);
}

void SpotTableView::handleWindowResized()
{
    if (!m_windowResizesCount || m_isApplyingViewPreset || !m_window || !m_window->isVisible())
        return;
    markCustomPreset();
}

} // namespace varnello
