// The filter panels' state and actions: the Spot Filters popover, the Band Filters sidebar, the
// blocked words sheet and the RBN popover.
#include "ContentView.h"

#include "AppSettingsStore.h"
#include "BlockedTermMatcher.h"
#include "ClusterConnection.h"
#include "SettingsKeys.h"
#include "SpotFilterCatalogue.h"

#include <QTimer>
#include <algorithm>

namespace varnello {

// --- Spot Filters popover ------------------------------------------------------------------------

void ContentView::setFiltersPopoverPresented(bool presented)
{
    if (m_filtersPopoverPresented == presented)
        return;
    m_filtersPopoverPresented = presented;
    emit filterPanelsChanged();
}

void ContentView::toggleAllModeFilters()
{
    QList<FilterSwitch> switches{FilterSwitch::hideCWSpots, FilterSwitch::hideSSBSpots,
                                 FilterSwitch::hideFTxSpots, FilterSwitch::hideOtherDigitalSpots,
                                 FilterSwitch::hideBeaconSpots};
    if (advancedMode())
        switches.append(FilterSwitch::hideQRPSpots);
    const bool allOn = std::all_of(switches.begin(), switches.end(),
                                   [this](FilterSwitch which) { return filterSwitch(which); });
    for (FilterSwitch which : switches)
        setFilterSwitch(which, !allOn);
}

void ContentView::toggleAllContinents(ContinentSet which)
{
    QSet<QString> set =
        which == ContinentSet::hiddenDXFrom ? hiddenDXFromContinents() : hiddenDXByContinents();
    toggleAllOf(set, spotfilter::continents(),
                [](const auto &continent) { return continent.code; });
    if (which == ContinentSet::hiddenDXFrom)
        setHiddenDXFromContinents(set);
    else
        setHiddenDXByContinents(set);
}

void ContentView::setContinentHidden(ContinentSet which, const QString &code, bool hidden)
{
    QSet<QString> set =
        which == ContinentSet::hiddenDXFrom ? hiddenDXFromContinents() : hiddenDXByContinents();
    if (hidden)
        set.insert(code);
    else
        set.remove(code);
    if (which == ContinentSet::hiddenDXFrom)
        setHiddenDXFromContinents(set);
    else
        setHiddenDXByContinents(set);
}

QString ContentView::customFilterButtonTitle(qsizetype count)
{
    if (count == 0)
        return QStringLiteral("Custom\u2026");
    return QStringLiteral("Custom (") + QString::number(count) + QStringLiteral(")\u2026");
}

// The popover closes first and the sheet opens one turn later, so they are never on screen
// together.
void ContentView::openCustomInfoFilterSheet()
{
    setFiltersPopoverPresented(false);
    const QStringList stored = loadCustomInfoFilterTerms();
    setCustomInfoFilterTerms(stored);
    QTimer::singleShot(0, this, [this, stored] {
        m_customInfoFilterSession = CustomInfoFilterSession{QUuid::createUuid(), stored};
        emit filterPanelsChanged();
    });
}

void ContentView::openCustomSpotterEntitySheet()
{
    setFiltersPopoverPresented(false);
    const QSet<int> stored = loadCustomSpotterEntityADIFNumbers();
    QTimer::singleShot(0, this, [this, stored] {
        m_customSpotterEntitySession = CustomSpotterEntitySession{QUuid::createUuid(), stored};
        emit filterPanelsChanged();
    });
}

// --- Band Filters sidebar ------------------------------------------------------------------------

void ContentView::toggleBand(const QString &band)
{
    QSet<QString> bands = selectedBands();
    if (!bands.remove(band))
        bands.insert(band);
    setSelectedBands(bands);
}

void ContentView::toggleBandGroup(const QStringList &group)
{
    QSet<QString> bands = selectedBands();
    toggleAllOf(bands, group);
    setSelectedBands(bands);
}

QString ContentView::bandFilterSummary() const
{
    if (selectedBands().isEmpty())
        return QStringLiteral("Showing all bands");
    QStringList bands(selectedBands().begin(), selectedBands().end());
    // Names outside the band order compare equal; sorting them by name keeps the text stable.
    std::sort(bands.begin(), bands.end());
    std::stable_sort(bands.begin(), bands.end(), [](const QString &a, const QString &b) {
        return spotfilter::bandSortsBefore(a, b);
    });
    return QStringLiteral("Showing ") + bands.join(QStringLiteral(", "));
}

// --- Blocked words sheet -------------------------------------------------------------------------

void ContentView::beginCustomInfoFilterSheet()
{
    m_customInfoFilterDraft =
        m_customInfoFilterSession ? m_customInfoFilterSession->terms : QStringList();
    m_customInfoFilterEntry.clear();
    emit filterPanelsChanged();
}

void ContentView::setCustomInfoFilterEntry(const QString &text)
{
    if (m_customInfoFilterEntry == text)
        return;
    m_customInfoFilterEntry = text;
    emit filterPanelsChanged();
}

bool ContentView::canAddCustomInfoFilterTerm() const
{
    const QString trimmed = m_customInfoFilterEntry.trimmed();
    if (trimmed.isEmpty())
        return false;
    const std::string folded = BlockedTermMatcher::fold(trimmed);
    return std::none_of(
        m_customInfoFilterDraft.begin(), m_customInfoFilterDraft.end(),
        [&folded](const QString &term) { return BlockedTermMatcher::fold(term) == folded; });
}

void ContentView::addCustomInfoFilterTerm()
{
    if (!canAddCustomInfoFilterTerm())
        return;
    m_customInfoFilterDraft.append(m_customInfoFilterEntry.trimmed());
    m_customInfoFilterEntry.clear();
    emit filterPanelsChanged();
}

void ContentView::removeCustomInfoFilterTerm(qsizetype index)
{
    if (index < 0 || index >= m_customInfoFilterDraft.size())
        return;
    m_customInfoFilterDraft.removeAt(index);
    emit filterPanelsChanged();
}

void ContentView::clearCustomInfoFilterDraft()
{
    m_customInfoFilterDraft.clear();
    emit filterPanelsChanged();
}

void ContentView::cancelCustomInfoFilter()
{
    m_customInfoFilterSession.reset();
    emit filterPanelsChanged();
}

void ContentView::saveCustomInfoFilter()
{
    setCustomInfoFilterTerms(m_customInfoFilterDraft);
    cancelCustomInfoFilter();
}

void ContentView::saveAndEnableCustomInfoFilter()
{
    setCustomInfoFilterTerms(m_customInfoFilterDraft);
    setFilterSwitch(FilterSwitch::customInfoFilterEnabled, true);
    cancelCustomInfoFilter();
}

// --- RBN button and popover ----------------------------------------------------------------------

void ContentView::seedRBNDrafts()
{
    m_draftRBNEnabled = m_cluster && m_cluster->rbnEnabled();
    m_draftRBNModes = m_cluster ? m_cluster->rbnModes() : RBNModeSet();
    m_seededRBNStateVersion = m_cluster ? m_cluster->rbnStateVersion() : 0;
    emit rbnDraftsChanged();
}

QString ContentView::rbnButtonTitle() const
{
    if (!m_cluster)
        return QStringLiteral("RBN");
    if (m_cluster->rbnStatusLoading())
        return QStringLiteral("RBN\u2026");
    if (!m_cluster->rbnStatusKnown())
        return QStringLiteral("RBN");
    if (!m_cluster->rbnEnabled())
        return QStringLiteral("RBN Off");
    if (m_cluster->rbnModes().isEmpty())
        return QStringLiteral("RBN On");
    static const QStringList shortLabels{"CW", "BCN", "PSK", "RTT", "FTx"};
    QStringList labels;
    for (RBNMode mode : allRBNModes) {
        if (m_cluster->rbnModes().contains(mode))
            labels.append(shortLabels[int(mode)]);
    }
    return QStringLiteral("RBN ") + labels.join(QStringLiteral(", "));
}

bool ContentView::isRBNButtonEnabled() const
{
    return m_cluster && m_cluster->isLoggedIn() &&
           m_cluster->detectedNodeType() == ClusterNodeType::dxSpider;
}

bool ContentView::canRefreshRBNStatus() const
{
    return m_cluster && m_cluster->isLoggedIn() && !m_cluster->rbnStatusLoading();
}

bool ContentView::canApplyRBNSettings() const
{
    return m_cluster && m_cluster->isLoggedIn() &&
           !(m_draftRBNEnabled && m_draftRBNModes.isEmpty());
}

void ContentView::setRBNPopoverPresented(bool presented)
{
    if (m_rbnPopoverPresented == presented)
        return;
    m_rbnPopoverPresented = presented;
    emit rbnDraftsChanged();
}

void ContentView::toggleRBNPopover()
{
    seedRBNDrafts();
    setRBNPopoverPresented(!m_rbnPopoverPresented);
}

void ContentView::setDraftRBNEnabled(bool enabled)
{
    if (m_draftRBNEnabled == enabled)
        return;
    m_draftRBNEnabled = enabled;
    emit rbnDraftsChanged();
}

void ContentView::setDraftRBNMode(RBNMode mode, bool on)
{
    if (m_draftRBNModes.contains(mode) == on)
        return;
    m_draftRBNModes.set(mode, on);
    emit rbnDraftsChanged();
}

void ContentView::toggleAllRBNModes()
{
    if (m_draftRBNModes.size() == int(allRBNModes.size())) {
        m_draftRBNModes.clear();
    } else {
        for (RBNMode mode : allRBNModes)
            m_draftRBNModes.insert(mode);
    }
    emit rbnDraftsChanged();
}

void ContentView::refreshRBNStatus()
{
    if (m_cluster)
        m_cluster->requestRBNStatus(false);
    setRBNPopoverPresented(false);
}

void ContentView::cancelRBNChanges()
{
    seedRBNDrafts();
    setRBNPopoverPresented(false);
}

void ContentView::applyRBNSettings()
{
    if (m_cluster)
        m_cluster->applyRBNSettings(m_draftRBNEnabled, m_draftRBNModes);
    setRBNPopoverPresented(false);
}

} // namespace varnello
