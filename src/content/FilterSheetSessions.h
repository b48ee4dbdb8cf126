#pragma once

#include <QSet>
#include <QStringList>
#include <QUuid>

namespace varnello {

// The blocked words sheet is shown while the main window holds one of these.
struct CustomInfoFilterSession {
    QUuid id;
    QStringList terms; // the stored terms when the sheet was opened
};

// The Allowed Spotter Entities sheet is shown while the main window holds one of these.
struct CustomSpotterEntitySession {
    QUuid id;
    QSet<int> adifNumbers; // the stored allow list when the sheet was opened
};

} // namespace varnello
