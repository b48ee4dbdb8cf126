#include "ClusterConnection.h"

#include "DXSpotParser.h"
#include "PromptPatterns.h"
#include "SpotTypeClassifier.h"

#include <QElapsedTimer>
#include <QSet>
#include <QTcpSocket>

namespace varnello {

namespace {
// Qt reads from the kernel into this buffer only while there is room, so a node that floods us
// cannot make the socket hold more than this while a chunk is being handled.
constexpr qint64 socketReadBufferBytes = 1024 * 1024;
// One read's worth of work: small enough that handling it never holds up the event loop for
// long, large enough that a fast node is still read at full speed.
constexpr qint64 readSliceBytes = 8 * 1024;
// Reads gathered beyond this are handled at once.
constexpr qint64 maximumGatheredReadBytes = 64 * 1024;
// Reading stops for this event-loop turn once this much time went into it; the rest follows on
// the next turn, so timers and the window keep running under a firehose.
constexpr qint64 readTurnBudgetNs = 2'000'000;

// How many bytes at the end of a read begin a UTF-8 character whose remaining bytes have not
// arrived yet (0 to 3).
qsizetype incompleteUtf8Tail(const QByteArray &data)
{
    const qsizetype size = data.size();
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(data[size - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: look further back for its lead
        qsizetype length = 0;
        if ((byte & 0xE0) == 0xC0)
            length = 2;
        else if ((byte & 0xF0) == 0xE0)
            length = 3;
        else if ((byte & 0xF8) == 0xF0)
            length = 4;
        return length > back ? back : 0;
    }
    return 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Receive loop

// A node streaming spots sends one per read, a few milliseconds apart. Each read handled on its own
// runs the spot road cold; gathered, several spots share one pass with the code and data warm.
// Only plain spot traffic is gathered: before login, while a step waits for its prompt, or with
// an unfinished line pending, every read is handled at once. Gathered reads keep their
// boundaries, which the framing relies on (a prompt without a line end ends at its read's end).
void ClusterConnection::handleReadyRead(TcpConnection *connection)
{
    if (!isCurrent(connection))
        return;
    const auto window = m_timing.readGatherWindow;
    const auto since = std::chrono::milliseconds(
        m_lastReadHandled.isValid() ? m_lastReadHandled.elapsed() : window.count());
    // A read that comes once the window is over ends the gathering in its own wake-up; the
    // task, due a little later, only ends it when the stream pauses.
    bool gather = m_readGatherTask.isActive() && since < window;
    if (!m_readGatherTask.isActive() && window.count() > 0 && since < window && m_isLoggedIn &&
        m_partialLine.isEmpty() && !m_readContinuationTask.isActive() && !anyStepWaiting()) {
        const QPointer<TcpConnection> reading(connection);
        m_readGatherTask.start(this, window - since + window / 4, [this, reading] {
            if (reading && isCurrent(reading))
                readAvailable(reading);
        });
        gather = true;
    }
    if (gather) {
        QTcpSocket *socket = connection->socket();
        const qint64 available = socket->bytesAvailable();
        if (available <= 0)
            return;
        if (m_gatheredReadBytes + available <= maximumGatheredReadBytes) {
            m_gatheredReads.append(socket->read(available));
            m_gatheredReadBytes += m_gatheredReads.constLast().size();
            return;
        }
    }
    readAvailable(connection);
}

bool ClusterConnection::hasUnreadData(TcpConnection *connection) const
{
    return !m_gatheredReads.isEmpty() || connection->socket()->bytesAvailable() > 0;
}

void ClusterConnection::readAvailable(TcpConnection *connection)
{
    m_readGatherTask.cancel();
    m_lastReadHandled.start();
    QElapsedTimer turn;
    turn.start();
    // readyRead is not repeated for data left unread, so what this turn leaves is read by a
    // continuation on the next turn; each chunk may end or replace the connection. Gathered
    // reads come first: they arrived before what the socket still holds.
    while (isCurrent(connection)) {
        QTcpSocket *socket = connection->socket();
        if (socket->readBufferSize() != socketReadBufferBytes)
            socket->setReadBufferSize(socketReadBufferBytes);
        if (!hasUnreadData(connection))
            break;
        if (turn.nsecsElapsed() >= readTurnBudgetNs) {
            const QPointer<TcpConnection> reading(connection);
            m_readContinuationTask.start(this, std::chrono::milliseconds(0), [this, reading] {
                if (!reading || !isCurrent(reading))
                    return;
                readAvailable(reading);
                if (m_receiveEndPending && isCurrent(reading) && !hasUnreadData(reading))
                    handleSocketClosedOrFailed(reading);
            });
            return;
        }
        QByteArray data;
        if (!m_gatheredReads.isEmpty()) {
            data = m_gatheredReads.takeFirst();
            m_gatheredReadBytes -= data.size();
        } else {
            data = socket->read(std::min(socket->bytesAvailable(), readSliceBytes));
            if (data.isEmpty())
                break;
        }
        receiveChunk(data);
    }
}

void ClusterConnection::handleSocketClosedOrFailed(TcpConnection *connection)
{
    if (!isCurrent(connection))
        return;
    // A close arrives with the node's last words still buffered: handle them first, and end the
    // connection only once they are all read.
    readAvailable(connection);
    if (!isCurrent(connection))
        return;
    QTcpSocket *socket = connection->socket();
    if (hasUnreadData(connection)) {
        m_receiveEndPending = true;
        return;
    }
    m_receiveEndPending = false;
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
    m_stepReplyTimeoutTask.cancel();
    m_awaitingSpotSubmission = false;
    m_pendingRecentSpots.clear();
    appendConsoleLine(consoleLine);
    flushPartialLine();
    // The socket is finished; let go of it so nothing more can be sent or reported on it.
    m_connectionAttemptTimeoutTask.cancel();
    releaseConnection();
    // A node that closes before the login completed failed this attempt, as a stalled login
    // does; counting it lets the failover happen.
    const bool supervisedAttempt = m_activeNodeRole == ClusterNodeRole::primary
                                       ? m_isPrimaryReconnectAttempt
                                       : m_isBackupConnectionAttempt;
    if (!wasLoggedIn && supervisedAttempt)
        handleAttemptEndedBeforeLogin();
    else
        applyConnectionLostPolicy(wasLoggedIn);
}

void ClusterConnection::receiveChunk(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    ++m_receiveSerial;
    // Bytes of a character cut by the previous read came with that read.
    m_readStart = m_bytesReceived - m_utf8Carry.size();
    m_bytesReceived += data.size();
    noteKeepaliveActivity();
    if (m_loginLineSentAt)
        noteLoginReply();
    decodeReceivedData(data);
}

void ClusterConnection::decodeReceivedData(const QByteArray &data)
{
    // A character cut by the end of a read is completed by the next one: its first bytes wait
    // here. Every invalid sequence becomes U+FFFD, so a node sending Latin-1 or garbage never
    // stops the connection.
    QByteArray bytes;
    QByteArrayView view(data);
    if (!m_utf8Carry.isEmpty()) {
        bytes = std::exchange(m_utf8Carry, QByteArray()) + data;
        view = bytes;
    }
    const qsizetype carry = incompleteUtf8Tail(bytes.isEmpty() ? data : bytes);
    if (carry > 0) {
        m_utf8Carry = view.last(carry).toByteArray();
        view.chop(carry);
    }
    const QString text = QString::fromUtf8(view);
    splitReceivedLines(text);
}

// ---------------------------------------------------------------------------------------------
// Line dispatch

void ClusterConnection::handleClusterLine(QStringView line)
{
    notePromptChangeLine(line);
    handleParsedLine(line,
                     line.size() > maximumSpotLineLength
                         ? DXSpotParser::ParseResult::notSpot()
                         : DXSpotParser::parse(line, currentDatabase(), *m_clock, &m_lookupCache));
}

void ClusterConnection::handleParsedLine(QStringView line, DXSpotParser::ParseResult result)
{
    if (result.kind == DXSpotParser::ParseResult::Kind::spot && result.spot) {
        DXSpot spot = std::move(*result.spot);
        spot.spotType = classifySpotType(spot);
        if (spotBelongsToBackFill()) {
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

    // The answer to our own "ping": a pong, or the refusal of nodes that do not let users ping.
    if (takeKeepaliveAnswer(lower))
        return;

    // What came before the command now answered is no part of its answer: shown as the node's own.
    if (!anyStepWaiting() || (!m_handingOnStepPrompt && promptsAwaitedHere() == 0)) {
        appendConsoleLine(line.toString());
        return;
    }
    const bool unsolicited = prompts::isUnsolicitedLine(line);
    // Whether the node answered at all tells a slow node from one whose prompt is not known.
    const bool spoke = !unsolicited && !line.trimmed().isEmpty() && !matchesNodePrompt(lower);
    if (spoke)
        m_nodeSpokeSinceCommand = true;

    // An empty line is answered with the prompt alone: a node that says more did not answer it.
    if (spoke && !m_owedPrompts.isEmpty() &&
        m_owedPrompts.constFirst().reply == OwedReply::promptQuestion) {
        m_owedPrompts.removeIf(
            [](const OwedPrompt &owed) { return owed.reply == OwedReply::promptQuestion; });
        armOwedPromptExpiry();
    }
    const OwedReply owed =
        m_owedPrompts.isEmpty() ? OwedReply::operatorLine : m_owedPrompts.constFirst().reply;
    if (owed != OwedReply::operatorLine && owed != OwedReply::spot &&
        owed != OwedReply::promptQuestion) {
        // The late reply of a step that timed out: read, never shown. What the node says of its
        // own accord before that reply is shown; the prompt that ended the step before is not.
        if (unsolicited || (owed == OwedReply::rbnStatus && !takeRBNStatusLine(line))) {
            appendConsoleLine(line.toString());
        } else if (owed == OwedReply::filterList && !m_handingOnStepPrompt) {
            if (!m_lateFilterReply.isEmpty() || ClusterFilterChecker::opensReply(line)) {
                if (m_lateFilterReply.size() < ClusterFilterChecker::maximumResponseLines)
                    m_lateFilterReply.append(line.toString());
            } else if (!line.trimmed().isEmpty()) {
                appendConsoleLine(line.toString());
            }
        }
        return;
    }

    if (m_awaitingSilentRegistrationCheck) {
        if (lower.contains(registrationAddress))
            m_silentRegistrationMarkerSeen = true;
        if (unsolicited)
            appendConsoleLine(line.toString());
        return;
    }

    if (m_awaitingSpotSubmission && lower.contains(QLatin1String("need to be registered"))) {
        m_awaitingSpotSubmission = false;
        setSpotSubmissionAlertMessage(QStringLiteral(
            "This DX cluster requires your callsign to be registered before you can submit "
            "spots."));
    }

    const bool stepCollectsReply =
        m_clusterFilterChecker.isAwaitingResponse() || m_awaitingRBNStatus ||
        m_rbnBootstrapState != RBNBootstrapState::idle || m_awaitingUpstreamFilterClear ||
        m_awaitingSSIDFilterOverride || m_awaitingSSIDFilterOverrideClear;
    // The filter list and the status know their reply's lines: the rest is shown.
    if (stepCollectsReply && unsolicited) {
        appendConsoleLine(line.toString());
    } else if (m_clusterFilterChecker.isAwaitingResponse()) {
        if (!m_clusterFilterChecker.captureLine(line) && !m_handingOnStepPrompt)
            appendConsoleLine(line.toString());
    } else if (m_awaitingRBNStatus) {
        if (!takeRBNStatusLine(line))
            appendConsoleLine(line.toString());
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

void ClusterConnection::loadRecentSpots(StepStart start)
{
    if (!m_isLoggedIn || m_activeNodeRole != ClusterNodeRole::primary || m_awaitingRecentSpots ||
        owes(OwedReply::recentSpots) || queueUntilItsTurn(WaitingStep::recentSpots, start))
        return;
    m_awaitingRecentSpots = true;
    m_pendingRecentSpots.clear();
    m_promptBuffer.clear();
    sendLine(recentSpotsCommand);
}

void ClusterConnection::finishRecentSpots()
{
    m_awaitingRecentSpots = false;
    if (!m_pendingRecentSpots.isEmpty()) {
        // The listing repeats spots that already came in live just before it was asked for.
        const auto key = [](const DXSpot &spot) {
            return spot.spotter + u'|' + spot.callsign + u'|' +
                   QString::number(spot.frequency, 'f', 3) + u'|' + spot.time;
        };
        // A spot that came in live while the listing was awaited is in it again, or twice in
        // the batch when it was taken for part of the listing.
        QSet<QString> listed;
        listed.reserve(m_spots.size() + m_pendingRecentSpots.size());
        for (const DXSpot &spot : std::as_const(m_spots))
            listed.insert(key(spot));
        QList<DXSpot> batch;
        batch.reserve(m_pendingRecentSpots.size() + m_spots.size());
        for (DXSpot &spot : m_pendingRecentSpots) {
            QString spotKey = key(spot);
            if (!listed.contains(spotKey)) {
                listed.insert(std::move(spotKey));
                batch.append(std::move(spot));
            }
        }
        m_pendingRecentSpots.clear();
        if (!batch.isEmpty()) {
            batch.append(m_spots);
            m_spots = std::move(batch);
            trimSpotsToLimit();
            emit spotsChanged();
        }
    }
    m_pendingRecentSpots.clear();
}

} // namespace varnello
