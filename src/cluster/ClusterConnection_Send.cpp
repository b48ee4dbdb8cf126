#include "ClusterConnection.h"

#include <QStringEncoder>
#include <QTcpSocket>

#include <algorithm>
#include <array>
#include <utility>

namespace varnello {

namespace {

bool isLineBreak(QChar c)
{
    return c == u'\r' || c == u'\n';
}

QString withoutOuterLineBreaks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isLineBreak(text[begin]))
        ++begin;
    while (end > begin && isLineBreak(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// A line break inside one command would make the node see two commands (a pasted two-line text
// must stay one command), so every break inside becomes a blank.
QString withInnerLineBreaksAsBlanks(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

bool isLogoutWord(const QString &lowerCommand)
{
    static const std::array<QLatin1StringView, 9> words{
        QLatin1StringView("q"),  QLatin1StringView("by"),  QLatin1StringView("bye"),
        QLatin1StringView("ex"), QLatin1StringView("exi"), QLatin1StringView("exit"),
        QLatin1StringView("qu"), QLatin1StringView("qui"), QLatin1StringView("quit")};
    for (QLatin1StringView word : words)
        if (lowerCommand == word)
            return true;
    return false;
}

} // namespace

bool ClusterConnection::writeToConnection(const QByteArray &bytes)
{
    QTcpSocket *socket = m_connection ? m_connection->socket() : nullptr;
    if (!socket || socket->state() != QAbstractSocket::ConnectedState) {
        setStatusText(QStringLiteral("Not connected"));
        return false;
    }
    if (socket->write(bytes) != bytes.size()) {
        setStatusText(QStringLiteral("Send failed: ") + socket->errorString());
        setLoginState(LoginState::failed);
        return false;
    }
    return true;
}

bool ClusterConnection::sendLine(const QString &text)
{
    if (!m_connection) {
        setStatusText(QStringLiteral("Not connected"));
        return false;
    }
    const QString line = withInnerLineBreaksAsBlanks(withoutOuterLineBreaks(text));
    if (line.isEmpty())
        return false;
    QStringEncoder encoder(QStringEncoder::Utf8);
    const QByteArray bytes = encoder.encode(line + QLatin1String("\r\n"));
    if (encoder.hasError()) {
        setStatusText(QStringLiteral("Could not encode outgoing text"));
        return false;
    }
    if (!writeToConnection(bytes))
        return false;
    m_lastCommandMark = receivedStreamEnd();
    m_nodeSpokeSinceCommand = false;
    if (anyStepWaiting())
        armStepReplyTimeout(stepReplyTimeout());
    return true;
}

// ---------------------------------------------------------------------------------------------
// The operator's lines. While one of the program's own steps waits for the prompt that ends its
// reply, a line written in between would take that prompt for its own and every later step would
// end one prompt late; so it waits, in order, until no step does. It shows at once as waiting,
// and is echoed again when it is written unless nothing came in between.

namespace {

QString waitingText(const QString &shown)
{
    return QStringLiteral("> ") + shown + QStringLiteral(" (waiting for the node)");
}

} // namespace

bool ClusterConnection::echoAndSendLine(const QString &text, bool isSpot)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    WaitingRequest line{trimmed, isSpot, WaitingStep::none, {}};
    // Once the callsign (or password) went out, the node's answer to a line would bring one more
    // copy of its prompt while the login still tells that prompt from traffic by its copies: the
    // line waits for the login and its steps. A password the node asks for and the program
    // does not know goes out at once.
    const bool loginUnderWay =
        m_hasSentCallsign && !m_isLoggedIn && m_loginState != LoginState::waitingForPasswordPrompt;
    const bool mustWait =
        m_connection && (loginUnderWay || (m_isLoggedIn && (automaticStepWaiting() ||
                                                            !m_waitingRequests.isEmpty())));
    if (!mustWait)
        return writeOperatorLine(line);
    const QString shown = withInnerLineBreaksAsBlanks(trimmed);
    const bool alreadyWaiting = std::any_of(m_waitingRequests.cbegin(), m_waitingRequests.cend(),
                                            [&line](const WaitingRequest &queued) {
                                                return queued.step == WaitingStep::none &&
                                                       queued.isSpot == line.isSpot &&
                                                       queued.text == line.text;
                                            });
    if (alreadyWaiting) {
        // Typed again because nothing seemed to happen: it goes out once all the same.
        appendConsoleLine(QStringLiteral("> ") + shown +
                          QStringLiteral(" (already waiting for the node; sent once)"));
        return true;
    }
    if (m_waitingRequests.size() >= maximumWaitingRequests) {
        appendConsoleLine(QStringLiteral("Not sent, too many commands are waiting for the node: ") +
                          shown);
        return false;
    }
    appendConsoleLine(waitingText(shown));
    line.waitingMark = m_lines.constLast().id;
    m_waitingRequests.append(std::move(line));
    return true;
}

bool ClusterConnection::writeOperatorLine(const WaitingRequest &line)
{
    if (line.isSpot) {
        m_awaitingSpotSubmission = true;
        setSpotSubmissionAlertMessage(std::nullopt);
        m_promptBuffer.clear();
    }
    // The waiting line right above its reply says it all; after other lines the echo shows
    // where the reply begins.
    if (line.waitingMark.isNull() || m_lines.isEmpty() ||
        m_lines.constLast().id != line.waitingMark)
        appendConsoleLine(QStringLiteral("> ") + withInnerLineBreaksAsBlanks(line.text));
    m_lastOperatorWrite = std::chrono::steady_clock::now();
    owePrompt(line.isSpot ? OwedReply::spot : OwedReply::operatorLine, receivedStreamEnd());
    if (sendLine(line.text)) {
        if (!line.isSpot)
            notePromptChangeSent(line.text);
        return true;
    }
    m_owedPrompts.removeLast();
    armOwedPromptExpiry();
    return false;
}

void ClusterConnection::sendWaitingRequests()
{
    while (!m_waitingRequests.isEmpty() && m_connection && m_isLoggedIn &&
           !automaticStepWaiting()) {
        if (m_waitingRequests.constFirst().step == WaitingStep::none) {
            writeOperatorLine(m_waitingRequests.takeFirst());
            continue;
        }
        // One prompt ends one request, in order: a step goes out once the lines before it have
        // their replies.
        if (operatorLineOwed())
            return;
        startWaitingStep(m_waitingRequests.takeFirst().step);
    }
}

void ClusterConnection::dropWaitingRequests(const QString &reason)
{
    const QList<WaitingRequest> dropped = std::exchange(m_waitingRequests, {});
    for (const WaitingRequest &line : dropped)
        if (line.step == WaitingStep::none)
            appendConsoleLine(QStringLiteral("Not sent, ") + reason + QStringLiteral(": ") +
                              withInnerLineBreaksAsBlanks(line.text));
}

bool ClusterConnection::queueUntilItsTurn(WaitingStep step, StepStart start)
{
    if (start == StepStart::now || !m_connection || !m_isLoggedIn)
        return false;
    if (!automaticStepWaiting() && !operatorLineOwed() && m_waitingRequests.isEmpty())
        return false;
    const bool queued =
        std::any_of(m_waitingRequests.cbegin(), m_waitingRequests.cend(),
                    [step](const WaitingRequest &line) { return line.step == step; });
    if (!queued)
        m_waitingRequests.append(WaitingRequest{{}, false, step, {}});
    return true;
}

void ClusterConnection::startWaitingStep(WaitingStep step)
{
    // Its turn has come: what it sets off goes out at once, as in the post-login sequence.
    constexpr StepStart now = StepStart::now;
    switch (step) {
    case WaitingStep::none:
        return;
    case WaitingStep::rbnStatus:
        requestRBNStatus(false, now);
        return;
    case WaitingStep::rbnBeaconKick:
        startRBNBeaconKick(false, now);
        return;
    case WaitingStep::clearUpstreamFilters:
        clearUpstreamFilters(now);
        return;
    case WaitingStep::clearSSIDFilterOverride:
        clearSSIDFilterOverride(now);
        return;
    case WaitingStep::sendSSIDFilterOverride:
        sendSSIDFilterOverride(now);
        return;
    case WaitingStep::recentSpots:
        loadRecentSpots(now);
        return;
    case WaitingStep::registrationCheck:
        runSilentRegistrationCheck(now);
        return;
    }
}

bool ClusterConnection::sendUserCommand(const QString &text)
{
    const QString command = text.trimmed();
    if (command.isEmpty())
        return false;
    if (isLogoutWord(command.toLower())) {
        m_userRequestedRemoteLogout = true;
        setIsConnectionSequenceActive(false);
        m_autoReconnectController->reset();
        stopPrimaryRecovery();
    }
    return echoAndSendLine(command);
}

bool ClusterConnection::sendSpot(const QString &callsign, const QString &frequency,
                                 const QString &comment)
{
    if (!m_isLoggedIn || m_registrationRequired)
        return false;
    const QString call = withInnerLineBreaksAsBlanks(callsign.trimmed().toUpper());
    QString khz = frequency;
    khz.remove(u',');
    khz = withInnerLineBreaksAsBlanks(khz.trimmed());
    const QString remark = withInnerLineBreaksAsBlanks(comment.trimmed());
    if (call.isEmpty() || khz.isEmpty())
        return false;

    QString command = QStringLiteral("dx ") + khz + u' ' + call;
    if (!remark.isEmpty())
        command += u' ' + remark;
    return echoAndSendLine(command, true);
}

} // namespace varnello
