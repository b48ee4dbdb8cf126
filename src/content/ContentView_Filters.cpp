// The local spot filter's state: switches in the settings store, sets mirrored into their keys,
// the compiled filter, Clear Filters and the advanced-mode rule.
#include "ContentView.h"

#include "AppSettingsStore.h"
#include "SettingsKeys.h"
#include "SpotFilterCatalogue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>

namespace varnello {

namespace {

const BoolSettingKey &switchKey(ContentView::FilterSwitch which)
{
    using S = ContentView::FilterSwitch;
    switch (which) {
    case S::hideCWSpots:
        return SettingsKeys::hideCWSpots;
    case S::hideSSBSpots:
        return SettingsKeys::hideSSBSpots;
    case S::hideFTxSpots:
        return SettingsKeys::hideFTxSpots;
    case S::hideOtherDigitalSpots:
        return SettingsKeys::hideOtherDigitalSpots;
    case S::hideBeaconSpots:
        return SettingsKeys::hideBeaconSpots;
    case S::hideQRPSpots:
        return SettingsKeys::hideQRPSpots;
    case S::hideSameDXCCSpots:
        return SettingsKeys::hideSameDXCCSpots;
    case S::customSpotterEntityFilterEnabled:
        return SettingsKeys::customSpotterEntityFilterEnabled;
    case S::customInfoFilterEnabled:
        break;
    }
    return SettingsKeys::customInfoFilterEnabled;
}

constexpr ContentView::FilterSwitch allSwitches[] = {
    ContentView::FilterSwitch::hideCWSpots,
    ContentView::FilterSwitch::hideSSBSpots,
    ContentView::FilterSwitch::hideFTxSpots,
    ContentView::FilterSwitch::hideOtherDigitalSpots,
    ContentView::FilterSwitch::hideBeaconSpots,
    ContentView::FilterSwitch::hideQRPSpots,
    ContentView::FilterSwitch::hideSameDXCCSpots,
    ContentView::FilterSwitch::customSpotterEntityFilterEnabled,
    ContentView::FilterSwitch::customInfoFilterEnabled,
};

// The seven switches of the Spot Filters popover, in the order Clear Filters turns them off.
constexpr ContentView::FilterSwitch hidingSwitches[] = {
    ContentView::FilterSwitch::hideCWSpots,       ContentView::FilterSwitch::hideSSBSpots,
    ContentView::FilterSwitch::hideFTxSpots,      ContentView::FilterSwitch::hideOtherDigitalSpots,
    ContentView::FilterSwitch::hideBeaconSpots,   ContentView::FilterSwitch::hideQRPSpots,
    ContentView::FilterSwitch::hideSameDXCCSpots,
};

// A JSON array whose elements all pass `accept`; nothing for anything else.
template <typename Accept>
std::optional<QJsonArray> decodeArray(const QByteArray &data, Accept accept)
{
    if (data.isEmpty())
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    if (!std::all_of(array.begin(), array.end(), accept))
        return std::nullopt;
    return array;
}

std::optional<QSet<QString>> decodeStringSet(const QByteArray &data)
{
    const auto array = decodeArray(data, [](const QJsonValue &v) { return v.isString(); });
    if (!array)
        return std::nullopt;
    QSet<QString> set;
    for (const QJsonValue &value : *array)
        set.insert(value.toString());
    return set;
}

// Sets of strings are stored sorted by code point, so equal sets give equal bytes.
QByteArray encodeStringSet(const QSet<QString> &set)
{
    QStringList sorted(set.begin(), set.end());
    std::sort(sorted.begin(), sorted.end());
    return QJsonDocument(QJsonArray::fromStringList(sorted)).toJson(QJsonDocument::Compact);
}

bool isIntegral(const QJsonValue &value)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return number == double(qint64(number)) && number >= double(std::numeric_limits<int>::min()) &&
           number <= double(std::numeric_limits<int>::max());
}

} // namespace

// --- Switches and view state ---------------------------------------------------------------------

bool ContentView::filterSwitch(FilterSwitch which) const
{
    return m_settings.boolValue(switchKey(which));
}

void ContentView::setFilterSwitch(FilterSwitch which, bool on)
{
    m_settings.setBool(switchKey(which), on);
}

bool ContentView::advancedMode() const
{
    return m_settings.boolValue(SettingsKeys::advancedMode);
}

void ContentView::handleSettingChanged(const QString &key)
{
    if (key == SettingsKeys::advancedMode.name) {
        if (!advancedMode())
            m_settings.setBool(SettingsKeys::hideQRPSpots, false);
        emit spotFiltersChanged();
        return;
    }
    for (FilterSwitch which : allSwitches) {
        if (key == switchKey(which).name) {
            // Switching the allow list on in the popover empties "Hide spotter from".
            if (which == FilterSwitch::customSpotterEntityFilterEnabled &&
                m_filtersPopoverPresented && filterSwitch(which))
                setHiddenDXByContinents({});
            filterStateChanged();
            return;
        }
    }
}

void ContentView::filterStateChanged()
{
    m_compiledFilter.reset();
    ++m_filterGeneration;
    emit spotFiltersChanged();
}

const LocalSpotFilter &ContentView::currentFilter() const
{
    if (!m_compiledFilter) {
        LocalSpotFilterState state = m_filterState;
        state.hideCWSpots = filterSwitch(FilterSwitch::hideCWSpots);
        state.hideSSBSpots = filterSwitch(FilterSwitch::hideSSBSpots);
        state.hideFTxSpots = filterSwitch(FilterSwitch::hideFTxSpots);
        state.hideOtherDigitalSpots = filterSwitch(FilterSwitch::hideOtherDigitalSpots);
        state.hideBeaconSpots = filterSwitch(FilterSwitch::hideBeaconSpots);
        state.hideQRPSpots = filterSwitch(FilterSwitch::hideQRPSpots);
        state.hideSameDXCCSpots = filterSwitch(FilterSwitch::hideSameDXCCSpots);
        state.customSpotterEntityFilterEnabled =
            filterSwitch(FilterSwitch::customSpotterEntityFilterEnabled);
        state.customInfoFilterEnabled = filterSwitch(FilterSwitch::customInfoFilterEnabled);
        m_compiledFilter = std::make_unique<const LocalSpotFilter>(state, m_lotw);
    }
    return *m_compiledFilter;
}

bool ContentView::spotPassesLocalFilters(const DXSpot &spot) const
{
    return currentFilter().passes(spot);
}

void ContentView::setSelectedBands(const QSet<QString> &bands)
{
    if (m_filterState.selectedBands == bands)
        return;
    m_filterState.selectedBands = bands;
    saveSelectedBands();
    filterStateChanged();
}

void ContentView::setHiddenDXFromContinents(const QSet<QString> &codes)
{
    if (m_filterState.hiddenDXFromContinents == codes)
        return;
    m_filterState.hiddenDXFromContinents = codes;
    saveHiddenContinents();
    filterStateChanged();
}

void ContentView::setHiddenDXByContinents(const QSet<QString> &codes)
{
    if (m_filterState.hiddenDXByContinents == codes)
        return;
    m_filterState.hiddenDXByContinents = codes;
    saveHiddenContinents();
    filterStateChanged();
}

void ContentView::setCustomSpotterEntityADIFNumbers(const QSet<int> &numbers)
{
    if (m_filterState.customSpotterEntityADIFNumbers == numbers)
        return;
    m_filterState.customSpotterEntityADIFNumbers = numbers;
    saveCustomSpotterEntityADIFNumbers();
    filterStateChanged();
}

void ContentView::setCustomInfoFilterTerms(const QStringList &terms)
{
    if (m_filterState.customInfoFilterTerms == terms)
        return;
    m_filterState.customInfoFilterTerms = terms;
    saveCustomInfoFilterTerms();
    filterStateChanged();
}

void ContentView::setShowLoTWOnly(bool on)
{
    if (m_filterState.showLoTWOnly == on)
        return;
    m_filterState.showLoTWOnly = on;
    filterStateChanged();
}

// --- Loading and saving --------------------------------------------------------------------------

void ContentView::loadSelectedBands()
{
    if (const auto bands = decodeStringSet(m_settings.data(SettingsKeys::selectedBandFilters)))
        setSelectedBands(*bands);
}

// Both sets are read before either is saved: a save writes both keys.
void ContentView::loadHiddenContinents()
{
    const auto from = decodeStringSet(m_settings.data(SettingsKeys::hiddenDXFromContinents));
    const auto by = decodeStringSet(m_settings.data(SettingsKeys::hiddenDXByContinents));
    const QSet<QString> newFrom = from.value_or(m_filterState.hiddenDXFromContinents);
    const QSet<QString> newBy = by.value_or(m_filterState.hiddenDXByContinents);
    if (newFrom == m_filterState.hiddenDXFromContinents &&
        newBy == m_filterState.hiddenDXByContinents)
        return;
    m_filterState.hiddenDXFromContinents = newFrom;
    m_filterState.hiddenDXByContinents = newBy;
    saveHiddenContinents();
    filterStateChanged();
}

QSet<int> ContentView::loadCustomSpotterEntityADIFNumbers() const
{
    QSet<int> numbers;
    if (const auto array = decodeArray(
            m_settings.data(SettingsKeys::customSpotterEntityADIFNumbers), isIntegral)) {
        for (const QJsonValue &value : *array)
            numbers.insert(value.toInt());
    }
    return numbers;
}

QStringList ContentView::loadCustomInfoFilterTerms() const
{
    QStringList terms;
    if (const auto array = decodeArray(m_settings.data(SettingsKeys::customInfoFilterTerms),
                                       [](const QJsonValue &v) { return v.isString(); })) {
        for (const QJsonValue &value : *array)
            terms.append(value.toString());
    }
    return terms;
}

void ContentView::saveSelectedBands()
{
    m_settings.setData(SettingsKeys::selectedBandFilters,
                       encodeStringSet(m_filterState.selectedBands));
}

void ContentView::saveHiddenContinents()
{
    m_settings.setData(SettingsKeys::hiddenDXFromContinents,
                       encodeStringSet(m_filterState.hiddenDXFromContinents));
    m_settings.setData(SettingsKeys::hiddenDXByContinents,
                       encodeStringSet(m_filterState.hiddenDXByContinents));
}

void ContentView::saveCustomSpotterEntityADIFNumbers()
{
    QJsonArray array;
    for (int number : m_filterState.customSpotterEntityADIFNumbers)
        array.append(number);
    m_settings.setData(SettingsKeys::customSpotterEntityADIFNumbers,
                       QJsonDocument(array).toJson(QJsonDocument::Compact));
}

void ContentView::saveCustomInfoFilterTerms()
{
    m_settings.setData(
        SettingsKeys::customInfoFilterTerms,
        QJsonDocument(QJsonArray::fromStringList(m_filterState.customInfoFilterTerms))
            .toJson(QJsonDocument::Compact));
}

// --- Derived state and Clear Filters
// ---------------------------------------------------------------

bool ContentView::hasActiveSpotFilters() const
{
    return std::any_of(std::begin(allSwitches), std::end(allSwitches),
                       [this](FilterSwitch which) { return filterSwitch(which); }) ||
           m_filterState.showLoTWOnly || !m_filterState.hiddenDXFromContinents.isEmpty() ||
           !m_filterState.hiddenDXByContinents.isEmpty();
}

void ContentView::clearSpotFilters()
{
    for (FilterSwitch which : hidingSwitches)
        setFilterSwitch(which, false);
    setShowLoTWOnly(false);
    setHiddenDXFromContinents({});
    setHiddenDXByContinents({});
    setFilterSwitch(FilterSwitch::customSpotterEntityFilterEnabled, false);
    setFilterSwitch(FilterSwitch::customInfoFilterEnabled, false);
}

bool ContentView::bandSortsBefore(QStringView a, QStringView b)
{
    return spotfilter::bandSortsBefore(a, b);
}

const QStringList &ContentView::bandOrder()
{
    return spotfilter::bandOrder();
}

} // namespace varnello
