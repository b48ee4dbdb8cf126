// The steps the program runs on its own after login (and the registration check and keepalive
// ping later on): which of them waits for the node's prompt, what ends it (the prompt or its
// time-out), which node lines are still shown while a step collects its reply, and the answer to
// the keepalive ping.
#include "ClusterConnection.h"

#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace varnello {

bool ClusterConnection::loginStepWaiting() const
{
    return m_postLoginStepsStarting || m_awaitingRBNStatus ||
           m_rbnBootstrapState != RBNBootstrapState::idle || m_awaitingBackupRBNMirrorPrompt ||
           m_clusterFilterChecker.isAwaitingResponse() || m_awaitingUpstreamFilterClear ||
           m_awaitingSSIDFilterOverride || m_awaitingSSIDFilterOverrideClear ||
           m_awaitingRecentSpots;
}

bool ClusterConnection::automaticStepWaiting() const
{
    return loginStepWaiting() || m_awaitingSilentRegistrationCheck || m_automaticPingOutstanding;
}

bool ClusterConnection::anyStepWaiting() const
{
    return automaticStepWaiting() || m_awaitingSpotSubmission;
}

std::chrono::milliseconds ClusterConnection::stepReplyTimeout() const
{
    if (!m_nodePromptUnconfirmed)
        return m_timing.stepReplyTimeout;
    return std::min(m_timing.stepReplyTimeout, m_timing.stepReplyTimeoutWithoutKnownPrompt);
}

void ClusterConnection::armStepReplyTimeout(std::chrono::milliseconds timeout)
{
    m_stepReplyTimeoutTask.start(this, timeout, [this] { handleStepReplyTimeout(); });
}

bool ClusterConnection::runPendingPromptStep()
{
    // The post-login steps, in their fixed order; each waits for the prompt ending its reply.
    bool dropPromptLine = false;
    if (m_awaitingRBNStatus) { // a
        startRBNBootstrap();
    } else if (m_rbnBootstrapState != RBNBootstrapState::idle) { // b
        continueRBNBootstrap();
    } else if (m_awaitingBackupRBNMirrorPrompt) { // c
        m_awaitingBackupRBNMirrorPrompt = false;
        const bool load = std::exchange(m_loadRecentSpotsAfterBackupRBNMirror, false);
        if (load)
            loadRecentSpots();
    } else if (m_clusterFilterChecker.isAwaitingResponse()) { // d
        finishUpstreamFilterCheck();
    } else if (m_awaitingUpstreamFilterClear) { // e
        m_awaitingUpstreamFilterClear = false;
        m_promptBuffer.clear();
        if (loginCallsignHasNumericSSID())
            sendSSIDFilterOverride();
        else
            loadRecentSpots();
    } else if (m_awaitingSSIDFilterOverride) { // f
        m_awaitingSSIDFilterOverride = false;
        dropPromptLine = true;
        m_promptBuffer.clear();
        loadRecentSpots();
    } else if (m_awaitingSSIDFilterOverrideClear) { // g
        m_awaitingSSIDFilterOverrideClear = false;
        dropPromptLine = true;
        m_promptBuffer.clear();
        loadRecentSpots();
    } else if (m_awaitingRecentSpots) { // h
        finishRecentSpots();
    } else if (m_awaitingSilentRegistrationCheck) { // i
        finishSilentRegistrationCheck();
    } else if (m_awaitingSpotSubmission) { // j
        m_awaitingSpotSubmission = false;
    } else if (m_automaticPingOutstanding) { // k
        // The prompt ends the ping, after its answer line or on its own.
        m_automaticPingOutstanding = false;
        m_keepaliveAnswerSeen = false;
        dropPromptLine = true;
    }
    m_promptBuffer.clear();
    if (!anyStepWaiting())
        m_stepReplyTimeoutTask.cancel();
    sendQueuedOperatorLines();
    return dropPromptLine;
}

bool ClusterConnection::endStepAtRecognisedPrompt()
{
    m_nodePromptUnconfirmed = false;
    return runPendingPromptStep();
}

void ClusterConnection::handleStepReplyTimeout()
{
    // The prompt that should have ended the step never came, or this node's prompt is not one
    // the program recognises: the sequence goes on as if it had come, and lines no step claims
    // reach the console again. Until a prompt is recognised again, the following steps are not
    // given the full time each.
    if (!m_connection || !m_isLoggedIn || !anyStepWaiting())
        return;
    if (loginStepWaiting() && !m_nodePromptUnconfirmed)
        appendConsoleLine(QStringLiteral("No recognised prompt from the node in time; the "
                                         "remaining set-up steps will not wait as long."));
    if (automaticStepWaiting())
        m_nodePromptUnconfirmed = true;
    runPendingPromptStep();
}

// ---------------------------------------------------------------------------------------------
// Lines while a step collects its reply

bool ClusterConnection::isUnsolicitedNodeLine(QStringView line)
{
    // "To ALL de K1ABC: ...", "To N0CALL de K1ABC: ...", "N0CALL de K1ABC: ..." (talk),
    // "WWV de W0MU <18>: ...", "WCY de DK0WCY-1 <18> : ...". A node prompt the line was glued to
    // may stand in front; a node prompt itself has no ":" after its node name.
    static const QRegularExpression pattern(
        QStringLiteral(R"(^[\s\x07]*(?:[^\r\n<>]{1,250}>\s*)?(?:to\s+)?[a-z0-9/#-]+\s+de\s+)"
                       R"([a-z0-9/#-]+\s*(?:<[^<>\r\n]*>\s*)?:)"),
        QRegularExpression::CaseInsensitiveOption);
    return pattern.match(line).hasMatch();
}

bool ClusterConnection::takeKeepaliveAnswer(const QString &lower)
{
    if (!m_automaticPingOutstanding || m_keepaliveAnswerSeen)
        return false;
    const QString answer = lower.trimmed();
    if (!answer.startsWith(QLatin1String("pong")) && !answer.endsWith(QLatin1String("not allowed")))
        return false;
    if (m_nodePromptUnconfirmed) {
        // No prompt of this node is recognised: its answer alone ends the ping.
        m_automaticPingOutstanding = false;
        if (!anyStepWaiting())
            m_stepReplyTimeoutTask.cancel();
        sendQueuedOperatorLines();
        return true;
    }
    // The prompt that normally follows ends the ping; a node that sends none must not hold the
    // operator's lines back for long.
    m_keepaliveAnswerSeen = true;
    if (!loginStepWaiting() && !m_awaitingSilentRegistrationCheck)
        armStepReplyTimeout(
            std::min(m_timing.stepReplyTimeout, m_timing.stepReplyTimeoutWithoutKnownPrompt));
    return true;
}

} // namespace varnello
