#pragma once

#include <QLoggingCategory>

// The shell's start-up and window log ("brenik.varnello.LaunchDiag").
Q_DECLARE_LOGGING_CATEGORY(launchDiag)

namespace varnello {

// Milliseconds since this program's own start (its first static object, after the loading): the
// times the start-up log gives.
qint64 msSinceProgramStart();

} // namespace varnello
