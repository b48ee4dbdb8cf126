#include "LocalSpotFilter.h"

#include "LoTWActivityLookup.h"

namespace varnello {

namespace {

constexpr std::uint8_t typeBit(SpotType type)
{
    return std::uint8_t(1u << unsigned(type));
}

// Bit of one of the seven continent codes, or 0.
std::uint8_t continentBit(QStringView code)
{
    static constexpr QLatin1StringView codes[] = {QLatin1StringView("AF"), QLatin1StringView("AN"),
                                                  QLatin1StringView("AS"), QLatin1StringView("EU"),
                                                  QLatin1StringView("NA"), QLatin1StringView("OC"),
                                                  QLatin1StringView("SA")};
    if (code.size() != 2)
        return 0;
    for (size_t i = 0; i < std::size(codes); ++i) {
        if (code == codes[i])
            return std::uint8_t(1u << i);
    }
    return 0;
}

const QString marker = QStringLiteral("**SEEME**");

} // namespace

LocalSpotFilter::ContinentSet::ContinentSet(const QSet<QString> &codes)
{
    for (const QString &code : codes) {
        if (const std::uint8_t bit = continentBit(code))
            mask |= bit;
        else
            others.insert(code);
    }
}

bool LocalSpotFilter::ContinentSet::contains(const std::optional<QString> &code) const
{
    if (!code || (mask == 0 && others.isEmpty()))
        return false;
    if (const std::uint8_t bit = continentBit(*code))
        return mask & bit;
    return others.contains(*code);
}

LocalSpotFilter::LocalSpotFilter(const LocalSpotFilterState &state, const LoTWActivityLookup &lotw)
    : m_lotw(lotw), m_selectedBands(state.selectedBands), m_hideQRP(state.hideQRPSpots),
      m_hideSameDXCC(state.hideSameDXCCSpots), m_showLoTWOnly(state.showLoTWOnly),
      m_blockTerms(state.customInfoFilterEnabled),
      m_terms(state.customInfoFilterEnabled ? BlockedTermMatcher(state.customInfoFilterTerms)
                                            : BlockedTermMatcher()),
      m_hiddenDXFrom(state.hiddenDXFromContinents), m_hiddenDXBy(state.hiddenDXByContinents),
      m_allowListOn(state.customSpotterEntityFilterEnabled),
      m_allowedSpotterEntities(state.customSpotterEntityADIFNumbers)
{
    if (state.hideCWSpots)
        m_hiddenTypes |= typeBit(SpotType::cw);
    if (state.hideSSBSpots)
        m_hiddenTypes |= typeBit(SpotType::ssb);
    if (state.hideFTxSpots)
        m_hiddenTypes |= typeBit(SpotType::ftx);
    if (state.hideOtherDigitalSpots)
        m_hiddenTypes |= typeBit(SpotType::otherDigital);
    if (state.hideBeaconSpots)
        m_hiddenTypes |= typeBit(SpotType::beacon);
}

bool LocalSpotFilter::isQRP(const DXSpot &spot)
{
    return spot.callsign.contains(QLatin1StringView("/QRP"), Qt::CaseInsensitive) ||
           spot.spotter.contains(QLatin1StringView("/QRP"), Qt::CaseInsensitive) ||
           spot.comment.contains(QLatin1StringView("QRP"), Qt::CaseInsensitive);
}

// The rules are independent of each other, so they are tried cheapest first and the first that
// hides the spot ends the test; only the marker outranks them all.
bool LocalSpotFilter::passes(const DXSpot &spot) const
{
    if (spot.rawLine.contains(marker, Qt::CaseInsensitive))
        return true;
    if (m_hiddenTypes & typeBit(spot.spotType))
        return false;
    if (m_hiddenDXFrom.contains(spot.dxContinent))
        return false;
    if (m_hideSameDXCC && spot.dxccADIFNumber && spot.spotterADIFNumber &&
        *spot.dxccADIFNumber == *spot.spotterADIFNumber)
        return false;
    if (m_allowListOn) {
        if (!spot.spotterADIFNumber || !m_allowedSpotterEntities.contains(*spot.spotterADIFNumber))
            return false;
    } else if (m_hiddenDXBy.contains(spot.spotterContinent)) {
        return false;
    }
    if (!m_selectedBands.isEmpty() && !m_selectedBands.contains(spot.band))
        return false;
    if (m_hideQRP && isQRP(spot))
        return false;
    if (m_blockTerms && !m_terms.isEmpty() &&
        (m_terms.matches(spot.comment) || m_terms.matches(spot.rawLine)))
        return false;
    if (m_showLoTWOnly && !m_lotw.hasRecentUpload(spot.callsign))
        return false;
    return true;
}

} // namespace varnello
