#include "LocalSpotFilter.h"

#include "LoTWActivityLookup.h"
#include "SpotFilterCatalogue.h"

namespace varnello {

namespace {

constexpr std::uint8_t typeBit(SpotType type)
{
    return std::uint8_t(1u << unsigned(type));
}

// Bit of one of the seven continent codes, or 0.
std::uint8_t continentBit(QStringView code)
{
    if (code.size() != 2)
        return 0;
    const char16_t a = code[0].unicode();
    const char16_t b = code[1].unicode();
    switch (a) {
    case u'A':
        return b == u'F' ? 1 : b == u'N' ? 2 : b == u'S' ? 4 : 0;
    case u'E':
        return b == u'U' ? 8 : 0;
    case u'N':
        return b == u'A' ? 16 : 0;
    case u'O':
        return b == u'C' ? 32 : 0;
    case u'S':
        return b == u'A' ? 64 : 0;
    default:
        return 0;
    }
}

// Position of a band name in the band order, or -1. Names are packed into one integer so that a
// look-up costs a few comparisons instead of a string hash.
constexpr quint64 packedName(QStringView name)
{
    if (name.size() > 7)
        return 0;
    quint64 key = quint64(name.size());
    for (QChar c : name) {
        if (c.unicode() > 0xFF)
            return 0;
        key = key << 8 | c.unicode();
    }
    return key;
}

int bandIndex(QStringView band)
{
    static const QList<quint64> keys = [] {
        QList<quint64> list;
        for (const QString &name : spotfilter::bandOrder())
            list.append(packedName(name));
        return list;
    }();
    const quint64 key = packedName(band);
    return key == 0 ? -1 : int(keys.indexOf(key));
}

const QString marker = QStringLiteral("**SEEME**");

// Letter case ignored, for an upper-case ASCII needle whose letters no other character folds to
// (Q, R, P and "/": the Kelvin and long-s signs fold to K and S only), so comparing ASCII alone
// gives the same answer as full case folding at a fraction of its cost.
bool containsCaseless(QStringView text, QLatin1StringView needle)
{
    const qsizetype last = text.size() - needle.size();
    for (qsizetype i = 0; i <= last; ++i) {
        qsizetype j = 0;
        while (j < needle.size()) {
            const char16_t c = text[i + j].unicode();
            const char16_t upper = c >= u'a' && c <= u'z' ? char16_t(c - (u'a' - u'A')) : c;
            if (upper != char16_t(needle[j].unicode()))
                break;
            ++j;
        }
        if (j == needle.size())
            return true;
    }
    return false;
}

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
    : m_lotw(lotw), m_bandFilterOn(!state.selectedBands.isEmpty()), m_hideQRP(state.hideQRPSpots),
      m_hideSameDXCC(state.hideSameDXCCSpots), m_showLoTWOnly(state.showLoTWOnly),
      m_blockTerms(state.customInfoFilterEnabled),
      m_terms(state.customInfoFilterEnabled ? BlockedTermMatcher(state.customInfoFilterTerms)
                                            : BlockedTermMatcher()),
      m_hiddenDXFrom(state.hiddenDXFromContinents), m_hiddenDXBy(state.hiddenDXByContinents),
      m_allowListOn(state.customSpotterEntityFilterEnabled),
      m_allowedSpotterEntities(state.customSpotterEntityADIFNumbers)
{
    for (const QString &band : state.selectedBands) {
        const int index = bandIndex(band);
        if (index >= 0)
            m_selectedBandMask |= quint32(1) << index;
        else
            m_otherSelectedBands.insert(band);
    }
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
    return containsCaseless(spot.callsign, QLatin1StringView("/QRP")) ||
           containsCaseless(spot.spotter, QLatin1StringView("/QRP")) ||
           containsCaseless(spot.comment, QLatin1StringView("QRP"));
}

// The rules are independent of each other, so they are tried cheapest first and the first that
// hides the spot ends the test; only the marker outranks them all.
bool LocalSpotFilter::passes(const DXSpot &spot) const
{
    // Nearly no line holds a "*": the case-folding search runs only for those that do.
    if (spot.rawLine.contains(QLatin1Char('*')) &&
        spot.rawLine.contains(marker, Qt::CaseInsensitive))
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
    if (m_bandFilterOn) {
        const int index = bandIndex(spot.band);
        if (index >= 0 ? !(m_selectedBandMask & (quint32(1) << index))
                       : !m_otherSelectedBands.contains(spot.band))
            return false;
    }
    if (m_hideQRP && isQRP(spot))
        return false;
    // The comment is normally part of the raw line; then a hit in it is a hit in the line.
    if (m_blockTerms && !m_terms.isEmpty() &&
        (m_terms.matches(spot.rawLine) ||
         (!spot.rawLine.contains(spot.comment) && m_terms.matches(spot.comment))))
        return false;
    if (m_showLoTWOnly && !m_lotw.hasRecentUpload(spot.callsign))
        return false;
    return true;
}

} // namespace varnello
