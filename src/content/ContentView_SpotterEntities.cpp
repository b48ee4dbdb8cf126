// The Allowed Spotter Entities sheet: its draft, the two entity sections and the radius search.
#include "ContentView.h"

#include "AlertEditorRules.h"
#include "AppSettingsStore.h"
#include "GridDXCCDatabase.h"
#include "SettingsKeys.h"

#include <QFutureWatcher>

namespace varnello {

namespace {

// A decimal number greater than 0, or nothing. "1,000" is no number here.
std::optional<double> positiveRadius(const QString &text)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(text.trimmed(), &ok);
    if (!ok || !(value > 0) || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

void ContentView::beginCustomSpotterEntitySheet()
{
    m_customSpotterEntityDraft =
        m_customSpotterEntitySession ? m_customSpotterEntitySession->adifNumbers : QSet<int>();
    m_customSpotterEntitySearch.clear();
    m_spotterSelectionMessage.reset();
    // A search of an earlier session may still run; its result is dropped when it lands.
    m_selectingSpotterEntities = false;
    if (!m_retainingGridTables) {
        m_grid.retainCachedTables();
        m_retainingGridTables = true;
    }
    emit filterPanelsChanged();
}

void ContentView::endCustomSpotterEntitySheet()
{
    if (!m_retainingGridTables)
        return;
    m_grid.releaseCachedTables();
    m_retainingGridTables = false;
}

void ContentView::setCustomSpotterEntitySearch(const QString &text)
{
    if (m_customSpotterEntitySearch == text)
        return;
    m_customSpotterEntitySearch = text;
    emit filterPanelsChanged();
}

QString ContentView::customSpotterHomeGrid() const
{
    return m_settings.string(SettingsKeys::customSpotterHomeGrid);
}

void ContentView::setCustomSpotterHomeGrid(const QString &text)
{
    m_settings.setString(SettingsKeys::customSpotterHomeGrid, text);
    emit filterPanelsChanged();
}

QString ContentView::customSpotterRadius() const
{
    return m_settings.string(SettingsKeys::customSpotterRadius);
}

void ContentView::setCustomSpotterRadius(const QString &text)
{
    m_settings.setString(SettingsKeys::customSpotterRadius, text);
    emit filterPanelsChanged();
}

QString ContentView::customSpotterDistanceUnit() const
{
    return m_settings.string(SettingsKeys::customSpotterDistanceUnit);
}

void ContentView::setCustomSpotterDistanceUnit(const QString &raw)
{
    m_settings.setString(SettingsKeys::customSpotterDistanceUnit, raw);
    emit filterPanelsChanged();
}

bool ContentView::canSelectSpotterEntitiesAutomatically() const
{
    return GridDXCCDatabase::isValidGrid(customSpotterHomeGrid().trimmed().toUpper()) &&
           positiveRadius(customSpotterRadius()).has_value();
}

void ContentView::selectSpotterEntitiesWithinRadius()
{
    const QString grid = customSpotterHomeGrid().trimmed().toUpper();
    const std::optional<double> radius = positiveRadius(customSpotterRadius());
    if (!radius) {
        m_spotterSelectionMessage = QStringLiteral("Enter a valid radius.");
        emit filterPanelsChanged();
        return;
    }
    m_settings.setString(SettingsKeys::customSpotterHomeGrid, grid);
    m_selectingSpotterEntities = true;
    m_spotterSelectionMessage.reset();
    emit filterPanelsChanged();

    const DistanceUnit unit = customSpotterDistanceUnit() == QLatin1String("kilometres")
                                  ? DistanceUnit::kilometres
                                  : DistanceUnit::miles;
    const QUuid session = m_customSpotterEntitySession ? m_customSpotterEntitySession->id : QUuid();
    auto *watcher = new QFutureWatcher<GridDXCCDatabase::SearchResult>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, session] {
        watcher->deleteLater();
        // The sheet was closed (and maybe opened again) meanwhile: the result belongs to no one.
        const QUuid current =
            m_customSpotterEntitySession ? m_customSpotterEntitySession->id : QUuid();
        if (current != session)
            return;
        const GridDXCCDatabase::SearchResult result = watcher->result();
        if (result) {
            applyAutomaticSpotterEntitySelection(result.adifNumbers);
            return;
        }
        m_spotterSelectionMessage = result.error->description();
        m_selectingSpotterEntities = false;
        emit filterPanelsChanged();
    });
    watcher->setFuture(m_grid.entitiesWithinRadiusOfGrid(grid, *radius, unit));
}

void ContentView::applyAutomaticSpotterEntitySelection(const QSet<int> &adifNumbers)
{
    m_customSpotterEntityDraft = adifNumbers;
    m_spotterSelectionMessage =
        adifNumbers.isEmpty() ? QStringLiteral("No DXCC entities were found within that radius.")
                              : QString::number(adifNumbers.size()) +
                                    QStringLiteral(" DXCC entities selected automatically.");
    m_selectingSpotterEntities = false;
    emit filterPanelsChanged();
}

QList<CTYEntity> ContentView::selectedSpotterEntities() const
{
    return selectedEntitiesOf(m_alertEntities, m_customSpotterEntityDraft);
}

QList<CTYEntity> ContentView::filterEntityList() const
{
    return searchedUnselectedEntitiesOf(m_alertEntities, m_customSpotterEntityDraft,
                                        m_customSpotterEntitySearch);
}

void ContentView::toggleSpotterEntity(int adifNumber)
{
    if (!m_customSpotterEntityDraft.remove(adifNumber))
        m_customSpotterEntityDraft.insert(adifNumber);
    emit filterPanelsChanged();
}

void ContentView::clearSpotterEntityDraft()
{
    m_customSpotterEntityDraft.clear();
    emit filterPanelsChanged();
}

void ContentView::cancelCustomSpotterEntities()
{
    m_customSpotterEntitySession.reset();
    emit filterPanelsChanged();
}

void ContentView::saveCustomSpotterEntities()
{
    setCustomSpotterEntityADIFNumbers(m_customSpotterEntityDraft);
    cancelCustomSpotterEntities();
}

void ContentView::saveAndEnableCustomSpotterEntities()
{
    setCustomSpotterEntityADIFNumbers(m_customSpotterEntityDraft);
    setFilterSwitch(FilterSwitch::customSpotterEntityFilterEnabled, true);
    setHiddenDXByContinents({});
    cancelCustomSpotterEntities();
}

} // namespace varnello
