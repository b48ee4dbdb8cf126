#pragma once

#include <QLoggingCategory>

// The shell's start-up and window log ("brenik.varnello.LaunchDiag").
Q_DECLARE_LOGGING_CATEGORY(launchDiag)

namespace varnello {

// Milliseconds since this process started, as the system counts it (from the fork, before the
// program is loaded): the times the start-up log gives.
qint64 msSinceProcessStart();

} // namespace varnello
