// The steps the program runs on its own after login (and the registration check and keepalive
// ping later on): which of them waits for the node's prompt, what ends it (the prompt or its
// time-out), which node lines are still shown while a step collects its reply, and the answer to
// the keepalive ping.
#include "ClusterConnection.h"

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
    return automaticStepWaiting() || m_awaitingSpotSubmission || !m_owedPrompts.isEmpty();
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
    // The post-login steps, in their fixed order; each waits for the prompt ending its reply, and
    // the next one goes out at once.
    m_nodeSpokeSinceCommand = false;
    bool dropPromptLine = false;
    if (m_awaitingRBNStatus) { // a
        startRBNBootstrap();
    } else if (m_rbnBootstrapState != RBNBootstrapState::idle) { // b
        continueRBNBootstrap();
    } else if (m_awaitingBackupRBNMirrorPrompt) { // c
        m_awaitingBackupRBNMirrorPrompt = false;
        const bool load = std::exchange(m_loadRecentSpotsAfterBackupRBNMirror, false);
        if (load)
            loadRecentSpots(StepStart::now);
    } else if (m_clusterFilterChecker.isAwaitingResponse()) { // d
        finishUpstreamFilterCheck();
    } else if (m_awaitingUpstreamFilterClear) { // e
        m_awaitingUpstreamFilterClear = false;
        m_promptBuffer.clear();
        if (loginCallsignHasNumericSSID())
            sendSSIDFilterOverride(StepStart::now);
        else
            loadRecentSpots(StepStart::now);
    } else if (m_awaitingSSIDFilterOverride) { // f
        m_awaitingSSIDFilterOverride = false;
        dropPromptLine = true;
        m_promptBuffer.clear();
        loadRecentSpots(StepStart::now);
    } else if (m_awaitingSSIDFilterOverrideClear) { // g
        m_awaitingSSIDFilterOverrideClear = false;
        dropPromptLine = true;
        m_promptBuffer.clear();
        loadRecentSpots(StepStart::now);
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
    // The operator's lines that waited go out once the caller has shown this prompt.
    return dropPromptLine;
}

bool ClusterConnection::promptPrecedesStepReply() const
{
    // A copy of a prompt the user set may be a line of an earlier reply that the link cut (a
    // quoted ">"), so the status may have been asked for before that reply ended. Its reply
    // always has lines: a prompt before any of them is the earlier reply's.
    return m_owedPrompts.isEmpty() && m_awaitingRBNStatus && !m_rbnStatusReplyBegun &&
           m_learnedPrompt.isKnown();
}

bool ClusterConnection::endStepAtRecognisedPrompt()
{
    m_nodePromptUnconfirmed = false;
    // The node answers in the order it was asked: the oldest command still owed a prompt takes
    // this one, and the step that waits now only once nothing older is owed.
    if (!m_owedPrompts.isEmpty())
        return endOwedPrompt();
    return runPendingPromptStep();
}

void ClusterConnection::handleStepReplyTimeout()
{
    if (!m_connection || !m_isLoggedIn || !anyStepWaiting())
        return;
    const bool answered = nodeAnsweredSinceCommand();
    if (!answered && (loginStepWaiting() || m_awaitingSilentRegistrationCheck)) {
        // Not a word from the node: it is slow, and its reply and prompt will still come.
        keepTimedOutStepOwed();
    } else if (answered || automaticStepWaiting()) {
        // The prompt that should have ended the step never came, or this node's prompt is not
        // one the program recognises: the sequence goes on as if it had come, and lines no step
        // claims reach the console again. Until a prompt is recognised again, the following
        // steps are not given the full time each.
        if (loginStepWaiting() && !m_nodePromptUnconfirmed)
            appendConsoleLine(QStringLiteral("No recognised prompt from the node in time; the "
                                             "remaining set-up steps will not wait as long."));
        const bool stepWaits = automaticStepWaiting() || m_awaitingSpotSubmission;
        if (automaticStepWaiting())
            m_nodePromptUnconfirmed = true;
        endEverythingOwed();
        if (stepWaits)
            runPendingPromptStep();
    }
    // Otherwise only the operator's lines wait, for a node that has said nothing yet: they stay
    // owed until their prompts come or they are given up.
    sendWaitingRequests();
}

bool ClusterConnection::nodeAnsweredSinceCommand() const
{
    // Spots in reply to the back-fill prove nothing once the node is known to answer late: they
    // may be other users' spots while the listing is still to come.
    return m_nodeSpokeSinceCommand ||
           (m_awaitingRecentSpots && !m_nodeAnswersLate && !m_pendingRecentSpots.isEmpty());
}

void ClusterConnection::keepTimedOutStepOwed()
{
    if (!m_nodeAnswersLate && loginStepWaiting())
        appendConsoleLine(QStringLiteral("The node is slow to answer; the set-up goes on and "
                                         "still reads its late answers."));
    m_nodeAnswersLate = true;
    m_promptBuffer.clear();
    if (m_awaitingRBNStatus) {
        owePrompt(OwedReply::rbnStatus, m_lastCommandMark);
        m_awaitingRBNStatus = false;
        continueLoginAfterRBNStatus(std::exchange(m_loadRecentSpotsAfterRBNStatus, false));
    } else if (m_clusterFilterChecker.isAwaitingResponse()) {
        owePrompt(OwedReply::filterList, m_lastCommandMark);
        m_lateFilterReply = m_clusterFilterChecker.takeResponse();
        loadRecentSpots(StepStart::now);
    } else if (m_awaitingRecentSpots) {
        // The listing still goes to the back-fill when it comes.
        owePrompt(OwedReply::recentSpots, m_lastCommandMark);
        m_awaitingRecentSpots = false;
    } else {
        owePrompt(OwedReply::otherStep, m_lastCommandMark);
        runPendingPromptStep();
    }
}

// ---------------------------------------------------------------------------------------------
// Prompts the node still owes for older commands

std::chrono::steady_clock::time_point ClusterConnection::owedPromptDue(const OwedPrompt &owed) const
{
    // An empty line's prompt is owed like any reply: a slow link brings it late, and a node that
    // ignores empty lines shows it by answering a later request first.
    return owed.sentAt + m_timing.lateReplyTimeout;
}

void ClusterConnection::owePrompt(OwedReply reply, qint64 mark)
{
    // Only this program's own writes add to the list; a node that never prompts cannot grow it
    // beyond what the operator types, and the oldest are given up past this.
    constexpr qsizetype maximumOwedPrompts = 64;
    if (m_owedPrompts.size() >= maximumOwedPrompts)
        finishOwedPrompt(m_owedPrompts.takeFirst().reply, false);
    m_owedPrompts.append(OwedPrompt{reply, std::chrono::steady_clock::now(), mark});
    if (m_owedPrompts.size() == 1)
        armOwedPromptExpiry();
}

bool ClusterConnection::owes(OwedReply reply) const
{
    return std::any_of(m_owedPrompts.cbegin(), m_owedPrompts.cend(),
                       [reply](const OwedPrompt &owed) { return owed.reply == reply; });
}

bool ClusterConnection::operatorLineOwed() const
{
    return owes(OwedReply::operatorLine) || owes(OwedReply::spot);
}

bool ClusterConnection::endOwedPrompt()
{
    const OwedReply reply = m_owedPrompts.takeFirst().reply;
    m_nodeSpokeSinceCommand = false;
    m_promptBuffer.clear();
    finishOwedPrompt(reply, true);
    armOwedPromptExpiry();
    // A late prompt that is recognised shows a slow node, not an unknown one: what waits now
    // gets its full time from here, since its reply only begins after this prompt.
    if (anyStepWaiting())
        armStepReplyTimeout(stepReplyTimeout());
    else
        m_stepReplyTimeoutTask.cancel();
    // A step's late prompt is not shown; an operator line's is, as any other.
    return reply != OwedReply::operatorLine && reply != OwedReply::spot;
}

void ClusterConnection::finishOwedPrompt(OwedReply reply, bool answered)
{
    switch (reply) {
    case OwedReply::operatorLine:
    case OwedReply::otherStep:
    case OwedReply::promptQuestion:
        return;
    case OwedReply::spot:
        m_awaitingSpotSubmission = owes(OwedReply::spot);
        return;
    case OwedReply::rbnStatus:
        // A late status that says nothing of RBN gets the kick an on-time one would have had,
        // once the node is free for it; till then the status shows as loading.
        if (answered && wantsRBNBeaconKick(false))
            startRBNBeaconKick(false, StepStart::inTurn);
        else
            publishRBNStatusReply();
        return;
    case OwedReply::filterList: {
        const QStringList lines = std::exchange(m_lateFilterReply, {});
        if (!answered || !m_clusterFilterChecker.begin(true))
            return;
        for (const QString &line : lines)
            m_clusterFilterChecker.captureLine(line);
        finishUpstreamFilterCheck(true);
        return;
    }
    case OwedReply::recentSpots:
        finishRecentSpots();
        return;
    }
}

void ClusterConnection::armOwedPromptExpiry()
{
    if (m_owedPrompts.isEmpty()) {
        m_owedPromptExpiryTask.cancel();
        return;
    }
    const auto due = owedPromptDue(m_owedPrompts.constFirst());
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        due - std::chrono::steady_clock::now());
    m_owedPromptExpiryTask.start(this, std::max(left, std::chrono::milliseconds(0)),
                                 [this] { expireOwedPrompts(); });
}

void ClusterConnection::expireOwedPrompts()
{
    if (!m_connection)
        return;
    // What the node never answered is given up: what it collected so far still counts (a late
    // back-fill is never shown live), and later prompts end later commands.
    const auto now = std::chrono::steady_clock::now();
    while (!m_owedPrompts.isEmpty() && owedPromptDue(m_owedPrompts.constFirst()) <= now)
        finishOwedPrompt(m_owedPrompts.takeFirst().reply, false);
    armOwedPromptExpiry();
    if (!anyStepWaiting())
        m_stepReplyTimeoutTask.cancel();
    sendWaitingRequests();
}

void ClusterConnection::endEverythingOwed()
{
    m_owedPromptExpiryTask.cancel();
    while (!m_owedPrompts.isEmpty())
        finishOwedPrompt(m_owedPrompts.takeFirst().reply, true);
}

qsizetype ClusterConnection::promptsAwaitedAt(qint64 lineStart) const
{
    // The owed commands went out in this order, the step that waits now after them all.
    qsizetype awaited = 0;
    for (const OwedPrompt &owed : m_owedPrompts) {
        if (owed.mark > lineStart)
            return awaited;
        ++awaited;
    }
    if (automaticStepWaiting() && m_lastCommandMark <= lineStart)
        ++awaited;
    return awaited;
}

bool ClusterConnection::spotBelongsToBackFill() const
{
    // A spot that came before the listing was asked for is live, though handled after.
    if (!m_handingOnStepPrompt && promptsAwaitedHere() == 0)
        return false;
    // A listing asked for after a command that is still owed its prompt comes after that prompt.
    if (m_owedPrompts.isEmpty())
        return m_awaitingRecentSpots;
    return m_owedPrompts.constFirst().reply == OwedReply::recentSpots;
}

// ---------------------------------------------------------------------------------------------
// Lines while a step collects its reply

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
        sendWaitingRequests();
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
