#pragma once

#include "AlertMatching.h"
#include "AlertModel.h"
#include "DXSpot.h"

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

// The marks of the connection's spots, kept in the list's order, so that a refresh computes marks
// for new spots only. Between two refreshes the list gains spots at the front and loses them at
// the end: align() shifts the remembered marks to match, and each is looked for at one place. A
// mark is used again only while the inputs are unchanged and the place holds the same spot with
// the fields the alerts look at (a new country file looks every spot up again under its id).
class SpotAlertMarkCache final {
public:
    // Forgets every mark when `inputs` differ from those the marks were computed with.
    void useInputs(const SpotAlertMarkInputs &inputs);
    // Lines the remembered marks up with `listed`, newest first, before a pass over it.
    void align(const QList<DXSpot> &listed);

    // The mark of `spot`, at `index` of the list given to align().
    template <typename Compute>
    const SpotAlertMark &mark(qsizetype index, const DXSpot &spot, Compute &&compute)
    {
        Entry &entry = m_entries[index];
        if (!entry.describes(spot))
            entry = Entry{true,         spot.id,       spot.callsign,
                          spot.band,    spot.spotType, spot.dxccADIFNumber,
                          compute(spot)};
        return entry.mark;
    }

private:
    struct Entry {
        bool known = false;
        QUuid id;
        QString callsign;
        QString band;
        SpotType spotType = SpotType::unknown;
        std::optional<int> dxccADIFNumber;
        SpotAlertMark mark;

        bool describes(const DXSpot &spot) const
        {
            return known && id == spot.id && dxccADIFNumber == spot.dxccADIFNumber &&
                   spotType == spot.spotType && callsign == spot.callsign && band == spot.band;
        }
    };

    std::optional<SpotAlertMarkInputs> m_inputs;
    QList<Entry> m_entries;
};

} // namespace varnello
