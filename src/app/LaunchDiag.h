#pragma once

#include <QLoggingCategory>

// The shell's start-up and window log ("brenik.varnello.LaunchDiag").
Q_DECLARE_LOGGING_CATEGORY(launchDiag)
