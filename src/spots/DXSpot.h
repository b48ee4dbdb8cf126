#pragma once

#include "SpotType.h"

#include <QDateTime>
#include <QString>
#include <QUuid>
#include <optional>

namespace varnello {

// One spot from the cluster node. A value: copied, never shared. Identified by id; two spots
// are equal only when every field, id included, is equal.
struct DXSpot {
    QUuid id;
    QString spotter;         // as on the line, with every "/-#" removed
    QString spotterLocator;  // 4 or 6 characters, upper case, or empty
    double frequency = 0;    // kHz
    QString callsign;        // the DX station, exactly as written
    QString callsignLocator; // 4 characters, upper case, or empty
    QString comment;
    QString time; // such as "1234Z"
    QString band; // such as "20m", or "Other"
    SpotType spotType = SpotType::unknown;
    std::optional<QString> dxcc;
    std::optional<int> dxccADIFNumber;
    std::optional<QString> dxContinent;
    std::optional<QString> spotterContinent;
    std::optional<int> spotterADIFNumber;
    QDateTime receivedAt;
    QString rawLine; // the received line without its trailing control characters

    // The frequency as shown to the user: "14,025.0" in every locale.
    QString frequencyText() const;
    static QString formatFrequency(double kHz);

    friend bool operator==(const DXSpot &, const DXSpot &) = default;
};

} // namespace varnello
