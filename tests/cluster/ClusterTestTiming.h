#pragma once

// The connection's durations scaled down for the tests, so a run takes seconds, not minutes.

#include "ClusterConnection.h"

namespace varnello::test {

using namespace std::chrono_literals;

// The connection's durations divided by about twenty, with the long idle times shortened
// further; the ratios that matter to the tests (time-out versus retry delay, spot interval
// versus keepalive idle time) are kept.
inline ClusterTiming scaledTiming()
{
    ClusterTiming t;
    t.primaryReconnectAttemptTimeout = 250ms;
    t.backupConnectionAttemptTimeout = 250ms;
    t.callsignSendWatchdog = 250ms;
    t.backupRetryDelay = 100ms;
    t.registrationRecheck = 600ms;
    t.keepaliveIdle = 600ms;
    t.keepaliveResponseTimeout = 250ms;
    t.systemWakeReconnectDelay = 50ms;
    // Long enough not to interfere unless a test shortens it.
    t.primaryRecoveryInterval = 60s;
    t.primaryRecoveryProbeTimeout = 250ms;
    t.connectRetryInterval = 40ms;
    t.autoReconnect = AutoReconnectController::Timing{100ms, 45000ms, 8};
    return t;
}

// The scaled durations with the keepalive, registration recheck and login watchdog left long
// enough never to fire while a single-connection test runs, and a short wait for the reply to
// the recent-spots command.
inline ClusterTiming fastTiming()
{
    ClusterTiming t = scaledTiming();
    t.callsignSendWatchdog = 2000ms;
    t.registrationRecheck = 60s;
    t.keepaliveIdle = 60s;
    t.keepaliveResponseTimeout = 5s;
    t.recentSpotsReplyTimeout = 400ms;
    return t;
}

} // namespace varnello::test
