#pragma once

#include "DXSpot.h"

#include <QString>
#include <QStringView>
#include <optional>

namespace varnello {

class Clock;
class CTYDatabase;
class CTYLookupCache;

// Turns one line from the cluster node into a spot. Stateless but for a few recurring texts
// (times, spotters, calls) remembered per thread so that spots share them; safe on any thread.
class DXSpotParser final {
public:
    struct ParseResult {
        enum class Kind { spot, rejectedSpot, notASpot };
        Kind kind = Kind::notASpot;
        std::optional<DXSpot> spot; // present exactly when kind == spot

        bool isSpot() const { return kind == Kind::spot; }
        static ParseResult makeSpot(DXSpot s) { return {Kind::spot, std::move(s)}; }
        static ParseResult rejected() { return {Kind::rejectedSpot, std::nullopt}; }
        static ParseResult notSpot() { return {Kind::notASpot, std::nullopt}; }
    };

    // database may be null (no country file loaded): the country fields stay absent. The clock
    // stamps receivedAt.
    static ParseResult parse(QStringView line, const CTYDatabase *database);
    static ParseResult parse(QStringView line, const CTYDatabase *database, const Clock &clock);
    // The same, with the lookups answered through the caller's cache of recent answers.
    static ParseResult parse(QStringView line, const CTYDatabase *database, const Clock &clock,
                             CTYLookupCache *cache);
    static ParseResult parse(QStringView line, const std::optional<CTYDatabase> &database);

    // The four parts of a spot line: what the line pattern
    //   ^DX de\s+(\S+):\s+([0-9]+(?:\.[0-9]+)?)\s+(\S+)(?:\s+(.*))?$  (case-insensitive)
    // captures, for a line already stripped of its trailing control characters. nullopt when
    // the pattern does not match or the rest of the line (group 4) is missing. Matched by hand
    // because it runs for every line the node sends.
    struct LineParts {
        QStringView spotter;
        QStringView frequency;
        QStringView callsign;
        QStringView rest;
    };
    static std::optional<LineParts> matchSpotLine(QStringView line);

    // "20m" and so on, or "Other".
    static QString bandName(double kHz);
    // False for a test spot on one of the band-edge frequencies.
    static bool passesBandEdgeTestRule(QStringView comment, double kHz);
};

} // namespace varnello
