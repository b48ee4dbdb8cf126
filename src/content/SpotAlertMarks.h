#pragma once

#include "AlertMatching.h"
#include "AlertModel.h"
#include "DXSpot.h"

#include <QList>
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

} // namespace varnello
