#pragma once

#include "BlockedTermMatcher.h"
#include "DXSpot.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace varnello {

class LoTWActivityLookup;

// Everything the local spot filter reads, as one value.
struct LocalSpotFilterState {
    QSet<QString> selectedBands;
    bool hideCWSpots = false;
    bool hideSSBSpots = false;
    bool hideFTxSpots = false;
    bool hideOtherDigitalSpots = false;
    bool hideBeaconSpots = false;
    bool hideQRPSpots = false;
    bool hideSameDXCCSpots = false;
    bool showLoTWOnly = false;
    bool customInfoFilterEnabled = false;
    QStringList customInfoFilterTerms;
    QSet<QString> hiddenDXFromContinents;
    QSet<QString> hiddenDXByContinents;
    bool customSpotterEntityFilterEnabled = false;
    QSet<int> customSpotterEntityADIFNumbers;
};

// The local spot filter compiled from one state: the blocked terms are folded and the continent
// sets turned into bit masks once, so that a pass over the whole spot list stays cheap. Rebuilt
// whenever the state changes; never outlives a change.
class LocalSpotFilter {
public:
    LocalSpotFilter(const LocalSpotFilterState &state, const LoTWActivityLookup &lotw);

    bool passes(const DXSpot &spot) const;
    static bool isQRP(const DXSpot &spot);

private:
    // A continent set: the seven codes as bits, anything else stored beside them.
    struct ContinentSet {
        std::uint8_t mask = 0;
        QSet<QString> others;
        explicit ContinentSet(const QSet<QString> &codes);
        bool contains(const std::optional<QString> &code) const;
    };

    const LoTWActivityLookup &m_lotw;
    bool m_bandFilterOn;
    quint32 m_selectedBandMask = 0; // bit per position in the band order
    QSet<QString> m_otherSelectedBands;
    std::uint8_t m_hiddenTypes = 0; // bit per SpotType
    bool m_hideQRP;
    bool m_hideSameDXCC;
    bool m_showLoTWOnly;
    bool m_blockTerms;
    BlockedTermMatcher m_terms;
    ContinentSet m_hiddenDXFrom;
    ContinentSet m_hiddenDXBy;
    bool m_allowListOn;
    QSet<int> m_allowedSpotterEntities;
};

} // namespace varnello
