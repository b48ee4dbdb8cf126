#pragma once

// The connection's durations scaled down for the tests, so a run takes seconds, not minutes.

#include "ClusterConnection.h"

namespace varnello::test {

using namespace std::chrono_literals;

// The connection's durations shortened so a run takes seconds, not minutes; the ratios that
// matter to the tests (time-out versus retry delay, spot interval versus keepalive idle time) are
// kept. Every time-out that a working local node must beat (connection ready, login prompt,
// keepalive answer, probe answer) stays at three quarters of a second or more: the tests run in
// parallel under ASan on loaded machines, where the event loop can stall for a few hundred
// milliseconds.
inline ClusterTiming scaledTiming()
{
    ClusterTiming t;
    t.primaryReconnectAttemptTimeout = 750ms;
    t.backupConnectionAttemptTimeout = 750ms;
    t.callsignSendWatchdog = 1000ms;
    t.backupRetryDelay = 100ms;
    t.registrationRecheck = 1500ms;
    t.keepaliveIdle = 2000ms;
    t.keepaliveResponseTimeout = 1000ms;
    t.systemWakeReconnectDelay = 50ms;
    // Long enough not to interfere unless a test shortens it.
    t.primaryRecoveryInterval = 60s;
    t.primaryRecoveryProbeTimeout = 1000ms;
    t.connectRetryInterval = 40ms;
    t.promptQuestionQuiet = 250ms;
    t.promptQuestionWait = 1000ms;
    t.promptQuestionPairSpan = 150ms;
    t.autoReconnect = AutoReconnectController::Timing{100ms, 45000ms, 8};
    return t;
}

// The scaled durations with the keepalive, registration recheck, attempt time-out (which also
// covers the wait for the callsign question) and login watchdog left long enough never to fire
// while a single-connection test runs, and a short wait for the reply to a post-login command.
inline ClusterTiming fastTiming()
{
    ClusterTiming t = scaledTiming();
    t.primaryReconnectAttemptTimeout = 60s;
    t.backupConnectionAttemptTimeout = 60s;
    t.callsignSendWatchdog = 2000ms;
    t.registrationRecheck = 60s;
    t.keepaliveIdle = 60s;
    t.keepaliveResponseTimeout = 5s;
    t.stepReplyTimeout = 400ms;
    return t;
}

} // namespace varnello::test
