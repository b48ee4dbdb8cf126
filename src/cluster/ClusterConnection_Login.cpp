#include "ClusterConnection.h"

#include "AppSettingsStore.h"
#include "PromptPatterns.h"

#include <algorithm>
#include <array>

namespace varnello {

namespace {

constexpr std::array<QLatin1StringView, 8> callsignPromptWords{
    QLatin1StringView("login:"),
    QLatin1StringView("login :"),
    QLatin1StringView("callsign:"),
    QLatin1StringView("callsign :"),
    QLatin1StringView("call:"),
    QLatin1StringView("call :"),
    QLatin1StringView("enter your callsign"),
    QLatin1StringView("please enter your callsign"),
};

constexpr std::array<QLatin1StringView, 6> passwordPromptWords{
    QLatin1StringView("password:"),      QLatin1StringView("password :"),
    QLatin1StringView("passwd:"),        QLatin1StringView("passwd :"),
    QLatin1StringView("enter password"), QLatin1StringView("please enter your password"),
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Prompt tests

bool ClusterConnection::containsCallsignPrompt(const QString &buffer)
{
    for (QLatin1StringView word : callsignPromptWords)
        if (buffer.contains(word))
            return true;
    return false;
}

bool ClusterConnection::containsPasswordPrompt(const QString &buffer)
{
    for (QLatin1StringView word : passwordPromptWords)
        if (buffer.contains(word))
            return true;
    return false;
}

bool ClusterConnection::matchesNodePrompt(const QString &buffer) const
{
    if (prompts::endsInNodePrompt(buffer, m_loginCallsign, prompts::NodeKind::any))
        return true;
    // The line after "Prompt is changed" is the prompt the operator just set.
    if (m_promptChange == PromptChange::confirmed && !buffer.contains(u'\n') &&
        !buffer.contains(u'\r') && prompts::endsInAnyPrompt(buffer))
        return true;
    if (!m_learnedPrompt.isKnown())
        return false;
    // The prompt its user set is the last line, as the question found it; a longer last line is
    // no copy, and is not looked through.
    const QStringView end =
        QStringView(buffer).last(std::min(buffer.size(), m_learnedPrompt.maximumCopyLength() + 1));
    const qsizetype lineStart = std::max(end.lastIndexOf(u'\n'), end.lastIndexOf(u'\r')) + 1;
    return (lineStart > 0 || end.size() == buffer.size()) &&
           m_learnedPrompt.isCopy(end.sliced(lineStart)) && learnedPromptMayEndReply();
}

void ClusterConnection::notePromptChangeSent(const QString &command)
{
    const QString word = command.section(u' ', 0, 0, QString::SectionSkipEmpty);
    if (word.compare(QLatin1String("set/prompt"), Qt::CaseInsensitive) == 0 ||
        word.compare(QLatin1String("unset/prompt"), Qt::CaseInsensitive) == 0)
        m_promptChange = PromptChange::sent;
}

void ClusterConnection::notePromptChangeLine(QStringView line)
{
    if (m_promptChange == PromptChange::none)
        return;
    const QStringView text = line.trimmed();
    // The standard prompt again (unset/prompt): the patterns know it.
    if (isDXSpiderPrompt(text.toString(), m_loginCallsign)) {
        m_learnedPrompt.forget();
        m_promptChange = PromptChange::none;
    } else if (m_promptChange == PromptChange::confirmed) {
        // DXSpider sends the new prompt right behind its words, in the same write.
        if (prompts::endsInAnyPrompt(text))
            m_learnedPrompt.learn(text.toString(), m_loginCallsign);
        m_promptChange = PromptChange::none;
    } else if (text == QLatin1String("Prompt is changed")) {
        // In English whatever the user's language; a notice may come before it.
        m_promptChange = PromptChange::confirmed;
    } else if (!operatorLineOwed()) {
        // Answered without a word of a change (refused, or no DXSpider).
        m_promptChange = PromptChange::none;
    }
}

qsizetype ClusterConnection::leadingNodePromptLength(QStringView line, qsizetype *ownRunLeft) const
{
    // The prompt its user set may hold a ">" of its own ("N0CALL de GB7TST <2044Z> >"), where
    // the standard prompt would end. A node that ends its prompt with a line break glues nothing
    // to it: a copy with text behind it is a quoted line ("> Tom wrote:", ">DX de ...").
    if (m_learnedPromptLineEnds > 0 && m_learnedPrompt.leadingCopyLength(line) > 0)
        return 0;
    if (const qsizetype own = leadingLearnedPromptLength(line, ownRunLeft))
        return own;
    return prompts::leadingNodePromptLength(line, m_loginCallsign);
}

qsizetype ClusterConnection::leadingLearnedPromptLength(QStringView line,
                                                        qsizetype *ownRunLeft) const
{
    const qsizetype length = m_learnedPrompt.leadingCopyLength(line);
    if (length == 0)
        return 0;
    if (owedPromptsComeGlued())
        return length;
    // The reply to the operator's line may quote a message ("> Tom wrote:", behind a prompt of
    // ">" alone): the prompt ends there only when what follows its copies is a line of its own
    // (a spot, talk, an announcement) or the standard prompt, and no other copy that only a
    // quoted line can be follows in the read. The copies all end replies or none does: a line of
    // many is walked once.
    const qsizetype end = m_learnedPrompt.runEnd(line, length);
    if (end == 0 || !learnedPromptMayEndReply())
        return 0;
    if (ownRunLeft)
        *ownRunLeft = end - length;
    return length;
}

bool ClusterConnection::owedPromptsComeGlued() const
{
    // The prompts owed for empty lines and for steps that timed out come right behind each
    // other and before the next reply, and no such reply quotes.
    return !m_owedPrompts.isEmpty() &&
           m_owedPrompts.constFirst().reply != OwedReply::operatorLine &&
           m_owedPrompts.constFirst().reply != OwedReply::spot;
}

bool ClusterConnection::learnedPromptMayEndReply() const
{
    // The last copy in a read is the prompt; and when the node owes prompts for several commands,
    // so are as many of the last copies, one for each.
    return owedPromptsComeGlued() ||
           m_learnedPrompt.copiesFollowing() < std::max<qsizetype>(1, promptsAwaitedHere());
}

bool ClusterConnection::isARClusterPrompt(const QString &buffer, const QString &callsign)
{
    const QString call = callsign.trimmed();
    return !call.isEmpty() && prompts::endsInNodePrompt(buffer, call, prompts::NodeKind::arCluster);
}

bool ClusterConnection::isCCClusterPrompt(const QString &buffer, const QString &callsign)
{
    const QString call = callsign.trimmed();
    return !call.isEmpty() && prompts::endsInNodePrompt(buffer, call, prompts::NodeKind::ccCluster);
}

bool ClusterConnection::isDXSpiderPrompt(const QString &buffer, const QString &callsign)
{
    const QString call = callsign.trimmed();
    return !call.isEmpty() && prompts::endsInNodePrompt(buffer, call, prompts::NodeKind::dxSpider);
}

// ---------------------------------------------------------------------------------------------
// The login dialogue. The prompt buffer holds the current line, lower-cased, from where it began
// or from the last command sent, whichever is later; the receive path feeds it and asks
// matchPrompt() at every line end and at the unfinished end of every read.

void ClusterConnection::appendToPromptBuffer(QStringView text)
{
    if (text.isEmpty())
        return;
    // Only the last characters can stay in the buffer, so only they are lower-cased.
    if (text.size() >= maximumPromptBufferLength) {
        m_promptBuffer = text.right(maximumPromptBufferLength).toString().toLower();
        return;
    }
    m_promptBuffer += text.toString().toLower();
    if (m_promptBuffer.size() > maximumPromptBufferLength)
        m_promptBuffer.remove(0, m_promptBuffer.size() - maximumPromptBufferLength);
}

ClusterConnection::PromptMatch ClusterConnection::matchPrompt() const
{
    if (m_promptBuffer.isEmpty())
        return PromptMatch::none;
    // Talk or an announcement that mentions "password:" is no question of the node's.
    if (!m_isLoggedIn && !prompts::isNodeTraffic(m_promptBuffer)) {
        if (!m_hasSentCallsign) {
            if (containsCallsignPrompt(m_promptBuffer))
                return PromptMatch::loginQuestion;
        } else if (!m_hasSentPassword && containsPasswordPrompt(m_promptBuffer)) {
            // Only a question during the login is one: once logged in, a node line that merely
            // mentions "password:" must neither undo the login state nor draw the password out
            // as a command.
            return PromptMatch::loginQuestion;
        }
    }
    if (anyStepWaiting() && promptsAwaitedHere() > 0 && !promptPrecedesStepReply() &&
        matchesNodePrompt(m_promptBuffer))
        return PromptMatch::stepPrompt;
    if (!m_hasSentCallsign || m_isLoggedIn)
        return PromptMatch::none;
    if (isARClusterPrompt(m_promptBuffer, m_loginCallsign) ||
        isCCClusterPrompt(m_promptBuffer, m_loginCallsign) ||
        isDXSpiderPrompt(m_promptBuffer, m_loginCallsign) ||
        m_promptBuffer.contains(QLatin1String("email address:")))
        return PromptMatch::nodeType;
    // Any other line ending in ">" may be the prompt of a node this program does not know (or a
    // prompt the user set for themselves, of any shape), a line of the greeting or the node's
    // own traffic: the node is asked (PromptQuestion tells them apart).
    if (prompts::endsInAnyPrompt(m_promptBuffer))
        return PromptMatch::unknownNodePrompt;
    return PromptMatch::none;
}

void ClusterConnection::answerLoginQuestion()
{
    if (!m_hasSentCallsign) {
        m_hasSentCallsign = true;
        // From here the login watchdog watches the login.
        m_connectionAttemptTimeoutTask.cancel();
        setLoginState(LoginState::callsignSent);
        setStatusText(QStringLiteral("Sending callsign…"));
        appendConsoleLine(QStringLiteral("Login prompt detected. Sending callsign."));
        sendLine(m_loginCallsign);
        noteLoginLineSent();
        if (m_connection)
            armCallsignWatchdog(m_connection.data());
        m_promptBuffer.clear();
        return;
    }
    m_callsignSendWatchdogTask.cancel();
    // The question is greeting: a line before it was no prompt.
    m_promptQuestion.noteLoginQuestion(std::chrono::steady_clock::now());
    if (m_loginPassword.isEmpty()) {
        setLoginState(LoginState::waitingForPasswordPrompt);
        setStatusText(QStringLiteral("Password required but none configured"));
        appendConsoleLine(
            QStringLiteral("The node requested a password, but no password is configured."));
    } else {
        m_hasSentPassword = true;
        setLoginState(LoginState::passwordSent);
        setStatusText(QStringLiteral("Sending password…"));
        appendConsoleLine(QStringLiteral("Password prompt detected. Sending password."));
        sendLine(m_loginPassword);
        noteLoginLineSent();
        noteWhetherPasswordMayBeAsked();
        // The node may stall after the password as after the callsign: watched the same way.
        m_promptQuestion.restartWatchdog();
        if (m_connection)
            armCallsignWatchdog(m_connection.data());
    }
    m_promptBuffer.clear();
}

void ClusterConnection::detectNodeType()
{
    if (isARClusterPrompt(m_promptBuffer, m_loginCallsign)) {
        setDetectedNodeType(ClusterNodeType::arCluster);
        handleUnsupportedNode();
    } else if (isCCClusterPrompt(m_promptBuffer, m_loginCallsign)) {
        setDetectedNodeType(ClusterNodeType::ccCluster);
        completeLogin();
    } else if (isDXSpiderPrompt(m_promptBuffer, m_loginCallsign)) {
        setDetectedNodeType(ClusterNodeType::dxSpider);
        completeLogin();
    } else if (m_promptBuffer.contains(QLatin1String("email address:"), Qt::CaseInsensitive)) {
        setDetectedNodeType(ClusterNodeType::other);
        handleUnsupportedNode();
    }
}

void ClusterConnection::completeLogin()
{
    if (m_isLoggedIn)
        return;
    endPromptQuestion();
    // The login's own notices come before the first step's command goes out; a line the operator
    // sends from one of their slots waits for the steps like any other.
    struct StepsStarting {
        ClusterConnection *connection;
        ~StepsStarting()
        {
            connection->m_postLoginStepsStarting = false;
            connection->sendWaitingRequests();
        }
    } stepsStarting{this};
    m_postLoginStepsStarting = true;
    m_callsignSendWatchdogTask.cancel();
    m_connectionAttemptTimeoutTask.cancel();
    m_backupRetryTask.cancel();
    m_isPrimaryReconnectAttempt = false;
    m_isBackupConnectionAttempt = false;
    m_consecutiveFailedLogins = 0;
    const bool onBackup = m_activeNodeRole == ClusterNodeRole::backup;
    if (onBackup)
        m_consecutiveBackupConnectionFailures = 0;
    else
        m_consecutivePrimaryReconnectFailures = 0;

    setIsLoggedIn(true);
    setLoginState(LoginState::loggedIn);
    setStatusText(QStringLiteral("Logged in"));
    setIsConnectionSequenceActive(false);

    m_autoReconnectController->noteLoginSucceeded();
    scheduleKeepalivePing();

    if (onBackup) {
        m_clusterFilterChecker.markCheckDone();
        appendConsoleLine(QStringLiteral("Login complete on backup cluster."));
        startPrimaryRecovery();
    } else {
        appendConsoleLine(QStringLiteral("Login complete."));
    }

    m_promptBuffer.clear();
    const bool load = std::exchange(m_loadRecentSpotsAfterLogin, true);
    // The node answers the empty lines still unanswered with prompts right after this one,
    // before any reply to what is sent from here.
    for (int i = 0; i < m_promptQuestion.unansweredQuestions(); ++i)
        owePrompt(OwedReply::promptQuestion, 0);

    if (!onBackup && m_detectedNodeType == ClusterNodeType::ccCluster) {
        m_clusterFilterChecker.markCheckDone();
        resetPublishedRbnState();
        if (m_activePort && *m_activePort != 0) {
            const QString suppressed =
                settings().string(SettingsKeys::suppressedUnsupportedPrimaryClusterWarningNode);
            if (suppressed == nodeIdentity(m_activeHost, *m_activePort)) {
                appendConsoleLine(QStringLiteral(
                    "CC Cluster detected. Continuing with reduced Varnello features."));
            } else {
                setClusterNodeWarning(
                    ClusterNodeWarning{ClusterNodeType::ccCluster, m_activeHost, *m_activePort});
            }
        }
        return;
    }
    requestRBNStatus(load, StepStart::now);
}

void ClusterConnection::handleUnsupportedNode(const QString &prompt)
{
    // Nothing more is asked of a node found unsupported, on either role.
    endPromptQuestion();
    if (m_activeNodeRole != ClusterNodeRole::primary) {
        refuseBackupNode(prompt);
        return;
    }
    m_callsignSendWatchdogTask.cancel();
    m_connectionAttemptTimeoutTask.cancel();
    m_backupRetryTask.cancel();
    cancelKeepalive();
    m_registrationRecheckTask.cancel();

    m_isPrimaryReconnectAttempt = false;
    m_isBackupConnectionAttempt = false;
    setIsConnectionSequenceActive(false);
    m_connectionIncidentHandled = true;
    m_autoReconnectController->reset();

    releaseConnection();

    setIsConnected(false);
    setIsLoggedIn(false);
    setLoginState(LoginState::failed);
    setStatusText(QStringLiteral("Unsupported DX Cluster node"));
    m_clusterFilterChecker.markCheckDone();
    setRegistrationRequired(false);
    m_awaitingSilentRegistrationCheck = false;
    m_silentRegistrationMarkerSeen = false;
    resetPublishedRbnState();
    m_promptBuffer.clear();

    if (m_activePort && *m_activePort != 0) {
        describeUnsupportedNode(prompt);
        setClusterNodeWarning(ClusterNodeWarning{m_detectedNodeType, m_activeHost, *m_activePort});
    }
}

QString ClusterConnection::describeUnsupportedNode(const QString &prompt)
{
    QString typeText;
    switch (m_detectedNodeType) {
    case ClusterNodeType::arCluster:
        typeText = QStringLiteral("AR-Cluster");
        break;
    case ClusterNodeType::other:
        typeText = QStringLiteral("unknown cluster type");
        break;
    default:
        typeText = QStringLiteral("unsupported cluster type");
        break;
    }
    const QString found = typeText + QStringLiteral(" detected on ") + m_activeHost + u':' +
                          QString::number(m_activePort.value_or(0));
    appendConsoleLine(found + QStringLiteral(". Varnello does not support this node."));
    // A DXSpider user who set a prompt of their own sees here what to undo.
    if (!prompt.isEmpty())
        appendConsoleLine(
            QStringLiteral("The node's prompt was \"") + prompt +
            QStringLiteral("\", which is no DXSpider, CC Cluster or AR-Cluster prompt. On a "
                           "DXSpider node, unset/prompt restores the standard prompt if you "
                           "changed yours with set/prompt."));
    return found;
}

void ClusterConnection::continueWithReducedFeatures()
{
    if (!m_clusterNodeWarning)
        return;
    const ClusterNodeWarning warning = *m_clusterNodeWarning;
    setClusterNodeWarning(std::nullopt);
    appendConsoleLine(QStringLiteral("Continuing on ") + warning.host + u':' +
                      QString::number(warning.port) +
                      QStringLiteral(" with reduced Varnello features."));
}

void ClusterConnection::clearSuppressedNodeWarningIfChanged(const QString &host,
                                                            const QString &portText)
{
    const QString stored =
        settings().string(SettingsKeys::suppressedUnsupportedPrimaryClusterWarningNode);
    if (stored.isEmpty())
        return;
    const std::optional<quint16> port = parsePortText(portText.trimmed());
    if (!port || stored != nodeIdentity(host, *port))
        settings().removeValue(SettingsKeys::suppressedUnsupportedPrimaryClusterWarningNode.name);
}

void ClusterConnection::finishSilentRegistrationCheck()
{
    if (!m_awaitingSilentRegistrationCheck)
        return;
    m_awaitingSilentRegistrationCheck = false;
    const bool seen = std::exchange(m_silentRegistrationMarkerSeen, false);
    if (seen) {
        scheduleRegistrationRecheck();
    } else {
        setRegistrationRequired(false);
        m_registrationRecheckTask.cancel();
    }
}

} // namespace varnello
