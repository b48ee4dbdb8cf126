#include "ClusterConnection.h"

#include <QStringEncoder>
#include <QTcpSocket>

#include <array>

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

void ClusterConnection::sendLine(const QString &text)
{
    if (!m_connection) {
        setStatusText(QStringLiteral("Not connected"));
        return;
    }
    const QString line = withInnerLineBreaksAsBlanks(withoutOuterLineBreaks(text));
    if (line.isEmpty())
        return;
    QStringEncoder encoder(QStringEncoder::Utf8);
    const QByteArray bytes = encoder.encode(line + QLatin1String("\r\n"));
    if (encoder.hasError()) {
        setStatusText(QStringLiteral("Could not encode outgoing text"));
        return;
    }
    if (writeToConnection(bytes) && anyStepWaiting())
        m_stepReplyTimeoutTask.start(this, m_timing.stepReplyTimeout,
                                     [this] { handleStepReplyTimeout(); });
}

void ClusterConnection::echoAndSendLine(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return;
    appendConsoleLine(QStringLiteral("> ") + withInnerLineBreaksAsBlanks(trimmed));
    sendLine(trimmed);
}

void ClusterConnection::sendUserCommand(const QString &text)
{
    const QString command = text.trimmed();
    if (command.isEmpty())
        return;
    if (isLogoutWord(command.toLower())) {
        m_userRequestedRemoteLogout = true;
        setIsConnectionSequenceActive(false);
        m_autoReconnectController->reset();
        stopPrimaryRecovery();
    }
    echoAndSendLine(command);
}

void ClusterConnection::sendSpot(const QString &callsign, const QString &frequency,
                                 const QString &comment)
{
    if (!m_isLoggedIn || m_registrationRequired)
        return;
    const QString call = withInnerLineBreaksAsBlanks(callsign.trimmed().toUpper());
    QString khz = frequency;
    khz.remove(u',');
    khz = withInnerLineBreaksAsBlanks(khz.trimmed());
    const QString remark = withInnerLineBreaksAsBlanks(comment.trimmed());
    if (call.isEmpty() || khz.isEmpty())
        return;

    QString command = QStringLiteral("dx ") + khz + u' ' + call;
    if (!remark.isEmpty())
        command += u' ' + remark;

    m_awaitingSpotSubmission = true;
    setSpotSubmissionAlertMessage(std::nullopt);
    m_promptBuffer.clear();
    appendConsoleLine(QStringLiteral("> ") + command);
    sendLine(command);
}

} // namespace varnello
