#pragma once

#include "AlertMatching.h"
#include "AlertModel.h"
#include "DXSpot.h"

#include <QHash>
#include <QList>
#include <QUuid>
#include <memory>
#include <optional>

namespace varnello {

// What the alerts say about one spot: whether an enabled alert matches it (the Alerts Only list)
// and the colour of its row, if any.
struct SpotAlertMark {
    bool matchesEnabledAlert = false;
    std::optional<SpotAlertColor> highlightColor;
};

// Everything a mark is computed from besides the spot itself.
struct SpotAlertMarkInputs {
    std::shared_ptr<const AlertMatcher> matcher; // replaced whenever the stored alerts change
    QList<bool> flags;
    bool newSlotEnabled = false;
    bool newSlotHighlightRows = false;
    SpotAlertColor newSlotHighlightColor;
    quint64 newSlotRulesGeneration = 0;

    bool operator==(const SpotAlertMarkInputs &) const = default;
};

// The marks of the listed spots by id, so that a refresh computes marks for new spots only. A
// mark is used again only while the inputs are unchanged and the spot still has the fields the
// alerts look at (a new country file looks every spot up again under the same id).
class SpotAlertMarkCache final {
public:
    // Forgets every mark when `inputs` differ from those the marks were computed with.
    void useInputs(const SpotAlertMarkInputs &inputs);

    template <typename Compute> const SpotAlertMark &mark(const DXSpot &spot, Compute &&compute)
    {
        auto it = m_entries.find(spot.id);
        if (it == m_entries.end()) {
            it = m_entries.insert(spot.id, Entry{spot.callsign, spot.band, spot.spotType,
                                                 spot.dxccADIFNumber, compute(spot)});
        } else if (!it->describes(spot)) {
            *it =
                Entry{spot.callsign, spot.band, spot.spotType, spot.dxccADIFNumber, compute(spot)};
        }
        return it->mark;
    }

    // Forgets the marks of spots no longer in `listed` once they clearly outnumber the listed
    // ones, so the cache stays near the size of the list however long the stream runs.
    void prune(const QList<DXSpot> &listed);
    qsizetype size() const { return m_entries.size(); }

private:
    struct Entry {
        QString callsign;
        QString band;
        SpotType spotType = SpotType::unknown;
        std::optional<int> dxccADIFNumber;
        SpotAlertMark mark;

        bool describes(const DXSpot &spot) const
        {
            return dxccADIFNumber == spot.dxccADIFNumber && spotType == spot.spotType &&
                   callsign == spot.callsign && band == spot.band;
        }
    };

    std::optional<SpotAlertMarkInputs> m_inputs;
    QHash<QUuid, Entry> m_entries;
};

} // namespace varnello
