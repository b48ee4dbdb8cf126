#include "LaunchDiag.h"

Q_LOGGING_CATEGORY(launchDiag, "brenik.varnello.LaunchDiag")
