#include "ClusterConnection.h"

#include "DXSpotParser.h"
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

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r';
}

// Blanks and BEL characters only: what is left of a spot line after its text, never a line of
// its own worth showing.
bool isBlankOrBellOnly(QStringView line)
{
    if (line.isEmpty())
        return false;
    for (QChar c : line)
        if (c != u' ' && c != u'\a' && c != u'\t')
            return false;
    return true;
}

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

bool mayBeSpotLine(QStringView line)
{
    return line.startsWith(QLatin1StringView("DX de"), Qt::CaseInsensitive);
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
    noteKeepaliveActivity();
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
// Framing: lines end in CR LF, LF or a lone CR. Each line is dispatched, and while the login or
// a post-login step waits for a prompt, the prompt logic looks at each line as it completes and
// at the unfinished tail, so a prompt followed by more data in the same read is still seen.

void ClusterConnection::splitReceivedLines(QStringView text)
{
    if (text.isEmpty())
        return;
    // A CR LF pair cut between two reads is still one line break.
    if (m_lastChunkEndedInCR) {
        m_lastChunkEndedInCR = false;
        if (text.startsWith(u'\n'))
            text = text.mid(1);
    }
    // A line handed on before its line break arrived (a question, a prompt, a spot) is ended by
    // the break that opens the next read; that break adds no empty line.
    if (m_skipLeadingLineBreak && !text.isEmpty()) {
        m_skipLeadingLineBreak = false;
        if (text.startsWith(QLatin1StringView("\r\n")))
            text = text.mid(2);
        else if (isLineBreak(text.front())) {
            m_lastChunkEndedInCR = text.front() == u'\r' && text.size() == 1;
            text = text.mid(1);
        }
    }
    if (text.isEmpty())
        return;

    const std::uint64_t generation = m_connectionGeneration;
    // A node prompt that arrived without a line end is complete: hand it on before this read
    // glues the following line onto it. While a step runs, or once the node's prompt proved not
    // to be one the program knows, so is any other text ending like a prompt: a line glued to it
    // would not be recognised as talk or an announcement and would be lost in the step's reply.
    if (m_isLoggedIn && !isLineBreak(text.front()) && !m_partialLine.isEmpty() &&
        !m_dropSpotRemainder &&
        (matchesNodePrompt(m_partialLine) || ((automaticStepWaiting() || m_nodePromptUnconfirmed) &&
                                              looksLikeUnknownPrompt(m_partialLine)))) {
        const QString prompt = std::exchange(m_partialLine, QString());
        m_promptBuffer.clear();
        dispatchLine(prompt);
        if (generation != m_connectionGeneration)
            return;
    }

    qsizetype position = 0;
    const qsizetype size = text.size();
    const QChar *data = text.data();
    while (position < size) {
        qsizetype end = position;
        while (end < size && data[end] != u'\n' && data[end] != u'\r')
            ++end;
        if (end == size)
            break;
        const QStringView piece = text.sliced(position, end - position);
        if (data[end] == u'\r') {
            if (end + 1 < size && data[end + 1] == u'\n')
                ++end;
            else if (end + 1 == size)
                m_lastChunkEndedInCR = true;
        }
        position = end + 1;
        handleCompleteLine(piece);
        if (generation != m_connectionGeneration)
            return;
    }
    handleUnfinishedTail(text.sliced(position));
}

void ClusterConnection::handleCompleteLine(QStringView piece)
{
    const std::uint64_t generation = m_connectionGeneration;
    if (m_isLoggedIn && !m_dropSpotRemainder) {
        // A node answering two commands in a row sends the second reply right behind the first
        // one's prompt, without a line break: the prompt is complete, and is handled on its own.
        const QString joined =
            m_partialLine.isEmpty() ? QString() : m_partialLine + piece.toString();
        const QStringView line = m_partialLine.isEmpty() ? piece : QStringView(joined);
        const qsizetype promptLength = leadingNodePromptLength(line);
        if (promptLength > 0 && promptLength < line.size()) {
            const QString text = line.toString();
            m_partialLine.clear();
            m_promptBuffer.clear();
            handleCompleteLine(QStringView(text).first(promptLength));
            if (generation != m_connectionGeneration)
                return;
            m_promptBuffer.clear();
            handleCompleteLine(QStringView(text).sliced(promptLength));
            return;
        }
    }
    const bool promptWork = needsPromptWork();
    if (promptWork)
        appendToPromptBuffer(piece);
    // The line may begin in an earlier read; it is taken out of partialLine first, since what
    // the line sets off may start a new line.
    QString joined;
    QStringView line = piece;
    if (!m_partialLine.isEmpty()) {
        joined = std::exchange(m_partialLine, QString());
        joined += piece;
        line = joined;
    }
    if (std::exchange(m_dropSpotRemainder, false) && !mayBeSpotLine(line)) {
        // The rest of a spot line that was already handled (its locator, its BEL characters).
        m_promptBuffer.clear();
        return;
    }
    if (line.size() > maximumPartialLineLength) {
        // Overlong lines are handled in pieces of the cap, like an overlong tail.
        m_promptBuffer.clear();
        for (qsizetype at = 0; at < line.size(); at += maximumPartialLineLength) {
            dispatchLine(line.mid(at, std::min(maximumPartialLineLength, line.size() - at)));
            if (generation != m_connectionGeneration)
                return;
        }
        return;
    }

    switch (promptWork ? matchPrompt(true) : PromptMatch::none) {
    case PromptMatch::loginQuestion:
        dispatchLine(line);
        if (generation == m_connectionGeneration)
            answerLoginQuestion();
        break;
    case PromptMatch::stepPrompt:
        // The step ends before the prompt line is handled, so the prompt is not taken for part
        // of the reply.
        if (!endStepAtRecognisedPrompt() && generation == m_connectionGeneration)
            dispatchLine(line);
        break;
    case PromptMatch::nodeType:
        detectNodeType();
        if (generation == m_connectionGeneration)
            dispatchLine(line);
        break;
    case PromptMatch::unknownNodePrompt: // only ever an unfinished line
    case PromptMatch::none:
        dispatchLine(line);
        break;
    }
    if (generation == m_connectionGeneration)
        m_promptBuffer.clear();
}

void ClusterConnection::handleUnfinishedTail(QStringView tail)
{
    if (tail.isEmpty())
        return;
    const std::uint64_t generation = m_connectionGeneration;
    const bool promptWork = needsPromptWork();
    if (promptWork)
        appendToPromptBuffer(tail);
    m_partialLine += tail;
    while (m_partialLine.size() > maximumPartialLineLength) {
        // A node that never ends its line can neither exhaust memory nor make every read
        // re-parse the whole buffer.
        const QString piece = m_partialLine.left(maximumPartialLineLength);
        m_partialLine.remove(0, maximumPartialLineLength);
        m_promptBuffer.clear();
        m_dropSpotRemainder = false;
        dispatchLine(piece);
        if (generation != m_connectionGeneration)
            return;
    }

    switch (promptWork ? matchPrompt(false) : PromptMatch::none) {
    case PromptMatch::loginQuestion: {
        // The question is a console line of its own: what the node says next must not be glued
        // to it.
        const QString question = std::exchange(m_partialLine, QString());
        m_skipLeadingLineBreak = true;
        dispatchLine(question);
        if (generation == m_connectionGeneration)
            answerLoginQuestion();
        return;
    }
    case PromptMatch::stepPrompt:
        if (endStepAtRecognisedPrompt() && generation == m_connectionGeneration) {
            m_partialLine.clear();
            m_skipLeadingLineBreak = true;
        }
        return;
    case PromptMatch::nodeType:
        detectNodeType();
        return;
    case PromptMatch::unknownNodePrompt:
        // Only a prompt when nothing follows it: a greeting line may end in ">" too, and its
        // line break may simply not have arrived yet.
        m_tailSettleTask.start(this, m_timing.tailSettleDelay,
                               [this, serial = m_receiveSerial] { handleSettledTail(serial); });
        return;
    case PromptMatch::none:
        break;
    }

    // A spot line cut by the read may still be missing its end (the spotter's locator); it is
    // handled once nothing more arrives for a moment, so a node that leaves the line open is
    // still served quickly.
    if (!mayBeSpotLine(m_partialLine))
        return;
    // Whether it reads as a spot does not depend on the country data: no lookups here.
    if (DXSpotParser::parse(m_partialLine, nullptr, *m_clock).kind !=
        DXSpotParser::ParseResult::Kind::notASpot)
        m_tailSettleTask.start(this, m_timing.tailSettleDelay,
                               [this, serial = m_receiveSerial] { handleSettledTail(serial); });
}

void ClusterConnection::handleSettledTail(std::uint64_t receiveSerial)
{
    if (receiveSerial != m_receiveSerial || !m_connection || m_partialLine.isEmpty())
        return;
    // Data the kernel holds but the socket has not picked up yet counts as arrived: a busy event
    // loop must not make the wait look longer than it was.
    if (QTcpSocket *socket = m_connection->socket();
        (socket && socket->bytesAvailable() > 0) || m_connection->unreadSystemBytes() > 0)
        return; // the read that follows handles the tail
    if (matchPrompt(false) == PromptMatch::unknownNodePrompt) {
        setDetectedNodeType(ClusterNodeType::other);
        handleUnsupportedNode();
        return;
    }
    DXSpotParser::ParseResult result =
        DXSpotParser::parse(m_partialLine, currentDatabase(), *m_clock, &m_lookupCache);
    if (result.kind == DXSpotParser::ParseResult::Kind::notASpot)
        return;
    const QString line = std::exchange(m_partialLine, QString());
    m_promptBuffer.clear();
    m_dropSpotRemainder = true;
    handleParsedLine(line, std::move(result));
}

void ClusterConnection::flushPartialLine()
{
    m_tailSettleTask.cancel();
    m_dropSpotRemainder = false;
    if (m_partialLine.isEmpty())
        return;
    const QString line = std::exchange(m_partialLine, QString());
    dispatchLine(line);
}

void ClusterConnection::dispatchLine(QStringView line)
{
    if (isBlankOrBellOnly(line))
        return;
    handleClusterLine(line);
}

// ---------------------------------------------------------------------------------------------
// Line dispatch

void ClusterConnection::handleClusterLine(QStringView line)
{
    handleParsedLine(line, DXSpotParser::parse(line, currentDatabase(), *m_clock, &m_lookupCache));
}

void ClusterConnection::handleParsedLine(QStringView line, DXSpotParser::ParseResult result)
{
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

    // The answer to our own "ping": a pong, or the refusal of nodes that do not let users ping.
    if (takeKeepaliveAnswer(lower))
        return;

    if (m_awaitingSilentRegistrationCheck) {
        if (lower.contains(registrationAddress))
            m_silentRegistrationMarkerSeen = true;
        if (isUnsolicitedNodeLine(line))
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
    if (stepCollectsReply && isUnsolicitedNodeLine(line)) {
        appendConsoleLine(line.toString());
    } else if (m_clusterFilterChecker.isAwaitingResponse()) {
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
        QSet<QString> listed;
        listed.reserve(m_spots.size());
        for (const DXSpot &spot : std::as_const(m_spots))
            listed.insert(key(spot));
        QList<DXSpot> batch;
        batch.reserve(m_pendingRecentSpots.size() + m_spots.size());
        for (DXSpot &spot : m_pendingRecentSpots)
            if (!listed.contains(key(spot)))
                batch.append(std::move(spot));
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
