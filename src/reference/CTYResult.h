#pragma once

#include <QString>

namespace varnello {

// What the country file says about one callsign.
struct CTYResult {
    int adifNumber = 0;
    QString entityName;
    QString primaryPrefix;
    int cqZone = 0;
    int ituZone = 0;
    QString continent; // upper case, such as "EU"
    double latitude = 0;
    double longitude = 0;
    double utcOffset = 0; // hours, as the file writes it
    bool isNonDXCCEntity = false;

    friend bool operator==(const CTYResult &, const CTYResult &) = default;
};

// One entity of the country file, as the entity pickers list it. Identified by adifNumber.
struct CTYEntity {
    int adifNumber = 0;
    QString name;
    QString primaryPrefix;
    bool isNonDXCCEntity = false;

    friend bool operator==(const CTYEntity &, const CTYEntity &) = default;
};

} // namespace varnello
