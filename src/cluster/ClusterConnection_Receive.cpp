#include "ClusterConnection.h"

#include "DXSpotParser.h"
#include "SpotTypeClassifier.h"

#include <QTcpSocket>

namespace varnello {

namespace {
// Qt reads from the kernel into this buffer only while there is room, so a node that floods us
// cannot make the socket hold more than this while a chunk is being handled.
constexpr qint64 socketReadBufferBytes = 1024 * 1024;
} // namespace

// ---------------------------------------------------------------------------------------------
// Receive loop

void ClusterConnection::readAvailable(TcpConnection *connection)
{
    // readyRead is not repeated for data left unread, so read until the socket is empty; each
    // chunk may end or replace the connection, which ends the loop.
    while (isCurrent(connection)) {
        QTcpSocket *socket = connection->socket();
        if (socket->readBufferSize() != socketReadBufferBytes)
            socket->setReadBufferSize(socketReadBufferBytes);
        if (socket->bytesAvailable() <= 0)
            break;
        const QByteArray data = socket->read(receiveChunkBytes);
        if (data.isEmpty())
            break;
        receiveChunk(data);
    }
}

void ClusterConnection::handleSocketClosedOrFailed(TcpConnection *connection)
{
    if (!isCurrent(connection))
        return;
    // A close arrives with the node's last words still buffered: handle them first.
    readAvailable(connection);
    if (!isCurrent(connection))
        return;
    QTcpSocket *socket = connection->socket();
    const QAbstractSocket::SocketError error = socket->error();
    if (error == QAbstractSocket::RemoteHostClosedError ||
        (error == QAbstractSocket::UnknownSocketError &&
         socket->state() == QAbstractSocket::UnconnectedState)) {
        handleReceiveEnded(QStringLiteral("Connection closed"), LoginState::disconnected,
                           QStringLiteral("Connection closed by remote node."));
    } else {
        const QString reason = socket->errorString();
        handleReceiveEnded(QStringLiteral("Receive failed: ") + reason, LoginState::failed,
                           QStringLiteral("Receive failed: ") + reason);
    }
}

void ClusterConnection::handleReceiveEnded(const QString &statusText, LoginState state,
                                           const QString &consoleLine)
{
    m_callsignSendWatchdogTask.cancel();
    const bool wasLoggedIn = m_isLoggedIn;
    cancelKeepalive();
    setStatusText(statusText);
    setIsConnected(false);
    setIsLoggedIn(false);
    setLoginState(state);
    setRbnStatusLoading(false);
    m_awaitingRBNStatus = false;
    m_loadRecentSpotsAfterRBNStatus = false;
    m_awaitingRecentSpots = false;
    m_recentSpotsTimeoutTask.cancel();
    m_awaitingSpotSubmission = false;
    m_pendingRecentSpots.clear();
    appendConsoleLine(consoleLine);
    flushPartialLine();
    // The socket is finished; let go of it so nothing more can be sent or reported on it.
    m_connectionAttemptTimeoutTask.cancel();
    releaseConnection();
    applyConnectionLostPolicy(wasLoggedIn);
}

void ClusterConnection::receiveChunk(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    noteKeepaliveActivity();
    decodeReceivedData(data);
}

void ClusterConnection::decodeReceivedData(const QByteArray &data)
{
    // Valid UTF-8 decodes the same either way; every invalid sequence becomes U+FFFD, so a node
    // sending Latin-1 or garbage never stops the connection.
    const QString text = QString::fromUtf8(data);
    const std::uint64_t generation = m_connectionGeneration;
    splitReceivedLines(text);
    if (generation == m_connectionGeneration)
        advanceLogin(text);
}

// ---------------------------------------------------------------------------------------------
// Framing

void ClusterConnection::splitReceivedLines(const QString &text)
{
    // A node prompt that arrived without a line end is complete: hand it on before the next
    // chunk glues the following "DX de" line onto it. A chunk that opens with a line break ends
    // the prompt line itself; handing the prompt on first would add an empty line after it.
    const bool opensWithLineBreak = text.startsWith(u'\r') || text.startsWith(u'\n');
    if (m_isLoggedIn && !opensWithLineBreak && !m_partialLine.isEmpty() &&
        matchesNodePrompt(m_partialLine.toLower())) {
        const QString prompt = std::exchange(m_partialLine, QString());
        handleClusterLine(prompt);
    }

    // Work on a local buffer: a subscriber of a spot may end the connection in the middle of a
    // chunk, and then the rest of the chunk belongs to nobody.
    const std::uint64_t generation = m_connectionGeneration;
    QString buffer = std::exchange(m_partialLine, QString());
    // The old tail holds no line break, so the search can start where the new text begins.
    const qsizetype searchFrom = buffer.size();
    QStringView incoming(text);
    // A CR LF pair cut between two chunks is still one line break.
    if (m_lastChunkEndedInCR && incoming.startsWith(u'\n'))
        incoming = incoming.mid(1);
    m_lastChunkEndedInCR = text.endsWith(u'\r');
    if (incoming.contains(u'\r')) {
        QString normalized = incoming.toString();
        normalized.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        normalized.replace(u'\r', u'\n');
        buffer += normalized;
    } else {
        buffer += incoming;
    }

    qsizetype lineStart = 0;
    const QStringView view(buffer);
    for (qsizetype i = buffer.indexOf(u'\n', searchFrom); i >= 0;
         i = buffer.indexOf(u'\n', lineStart)) {
        const qsizetype length = i - lineStart;
        // Overlong lines are handled in pieces of the cap, like an overlong tail.
        if (length <= maximumPartialLineLength) {
            handleClusterLine(view.mid(lineStart, length));
        } else {
            for (qsizetype at = 0; at < length; at += maximumPartialLineLength)
                handleClusterLine(
                    view.mid(lineStart + at, std::min(maximumPartialLineLength, length - at)));
        }
        lineStart = i + 1;
        if (generation != m_connectionGeneration)
            return;
    }
    buffer.remove(0, lineStart);

    while (buffer.size() > maximumPartialLineLength) {
        const QString piece = buffer.left(maximumPartialLineLength);
        buffer.remove(0, maximumPartialLineLength);
        handleClusterLine(piece);
        if (generation != m_connectionGeneration)
            return;
    }

    if (buffer.isEmpty())
        return;
    const DXSpotParser::ParseResult result =
        DXSpotParser::parse(buffer, currentDatabase(), *m_clock);
    if (result.kind != DXSpotParser::ParseResult::Kind::notASpot)
        handleClusterLine(buffer);
    else
        m_partialLine = std::move(buffer);
}

void ClusterConnection::flushPartialLine()
{
    if (m_partialLine.isEmpty())
        return;
    const QString line = std::exchange(m_partialLine, QString());
    handleClusterLine(line);
}

// ---------------------------------------------------------------------------------------------
// Line dispatch

void ClusterConnection::handleClusterLine(QStringView line)
{
    DXSpotParser::ParseResult result = DXSpotParser::parse(line, currentDatabase(), *m_clock);
    if (result.kind == DXSpotParser::ParseResult::Kind::spot && result.spot) {
        DXSpot spot = std::move(*result.spot);
        spot.spotType = classifySpotType(spot);
        if (m_awaitingRecentSpots) {
            // Later entries of the listing are older; past the cap they would be trimmed anyway.
            if (m_pendingRecentSpots.size() < maximumPendingRecentSpots)
                m_pendingRecentSpots.append(std::move(spot));
        } else {
            insertLiveSpot(std::move(spot));
        }
        return;
    }
    if (result.kind == DXSpotParser::ParseResult::Kind::rejectedSpot)
        return;

    const QString lower = line.toString().toLower();
    const QString registrationAddress(defaultNodeRegistrationAddress);

    if (m_activeNodeRole == ClusterNodeRole::primary && isOnDefaultPrimaryNode() &&
        lower.contains(registrationAddress))
        setRegistrationRequired(true);

    if (line.startsWith(QLatin1String("Reconnected as "))) {
        if (std::optional<DuplicateConnection> duplicate = parseDuplicateLoginLine(line.toString()))
            m_autoReconnectController->setPendingDuplicateConnection(std::move(duplicate));
    }

    if (m_automaticPingOutstanding && lower.trimmed().startsWith(QLatin1String("pong"))) {
        m_automaticPingOutstanding = false;
        return;
    }

    if (m_awaitingSilentRegistrationCheck) {
        if (lower.contains(registrationAddress))
            m_silentRegistrationMarkerSeen = true;
        return;
    }

    if (m_awaitingSpotSubmission && lower.contains(QLatin1String("need to be registered"))) {
        m_awaitingSpotSubmission = false;
        setSpotSubmissionAlertMessage(QStringLiteral(
            "This DX cluster requires your callsign to be registered before you can submit "
            "spots."));
    }

    if (m_clusterFilterChecker.isAwaitingResponse()) {
        m_clusterFilterChecker.captureLine(line);
    } else if (m_awaitingRBNStatus) {
        parseRBNStatusLine(line.toString());
    } else if (m_rbnBootstrapState == RBNBootstrapState::idle && !m_awaitingUpstreamFilterClear &&
               !m_awaitingSSIDFilterOverride && !m_awaitingSSIDFilterOverrideClear) {
        appendConsoleLine(line.toString());
    }
}

void ClusterConnection::insertLiveSpot(DXSpot spot)
{
    m_spots.prepend(spot);
    trimSpotsToLimit();
    emit spotsChanged();
    // Subscribers get their own copy: a slot that changes the list (a new database, a reset)
    // must not leave later subscribers holding a reference into it.
    emit liveSpotReceived(spot);
}

void ClusterConnection::trimSpotsToLimit()
{
    if (m_spots.size() > maximumSpots)
        m_spots.remove(maximumSpots, m_spots.size() - maximumSpots);
}

std::optional<DuplicateConnection> ClusterConnection::parseDuplicateLoginLine(const QString &line)
{
    static const QLatin1StringView head("Reconnected as ");
    static const QLatin1StringView tail(", this instance is disconnected");
    if (!line.startsWith(head) || !line.endsWith(tail) || line.size() < head.size() + tail.size())
        return std::nullopt;
    const QString middle = line.mid(head.size(), line.size() - head.size() - tail.size());
    const qsizetype at = middle.indexOf(QLatin1String(" at "));
    if (at < 0)
        return std::nullopt;
    DuplicateConnection record{middle.left(at).trimmed(), middle.mid(at + 4).trimmed()};
    if (record.callsign.isEmpty() || record.remoteIP.isEmpty())
        return std::nullopt;
    return record;
}

// ---------------------------------------------------------------------------------------------
// Back-fill of recent spots

void ClusterConnection::loadRecentSpots()
{
    if (!m_isLoggedIn || m_activeNodeRole != ClusterNodeRole::primary || m_awaitingRecentSpots)
        return;
    m_awaitingRecentSpots = true;
    m_pendingRecentSpots.clear();
    m_promptBuffer.clear();
    sendLine(recentSpotsCommand);
    // A node that never ends the listing with a prompt must not hold live spots back for good.
    m_recentSpotsTimeoutTask.start(this, m_timing.recentSpotsReplyTimeout, [this] {
        if (m_awaitingRecentSpots)
            finishRecentSpots();
    });
}

void ClusterConnection::finishRecentSpots()
{
    m_awaitingRecentSpots = false;
    m_recentSpotsTimeoutTask.cancel();
    if (!m_pendingRecentSpots.isEmpty()) {
        QList<DXSpot> batch = std::exchange(m_pendingRecentSpots, {});
        batch.append(m_spots);
        m_spots = std::move(batch);
        trimSpotsToLimit();
        emit spotsChanged();
    }
    m_pendingRecentSpots.clear();
}

} // namespace varnello
