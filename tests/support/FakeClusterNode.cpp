#include "FakeClusterNode.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varnello::test {

FakeClusterNode::FakeClusterNode(QObject *parent) : QObject(parent)
{
    m_clock.start();
    m_server.setProxy(QNetworkProxy::NoProxy);
    connect(&m_server, &QTcpServer::newConnection, this, &FakeClusterNode::accept);
    listenOn(0);
    m_streamTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_streamTimer, &QTimer::timeout, this, [this] {
        const int index = resolve(m_streamConnection);
        if (index < 0 || m_streamRemaining == 0) {
            m_streamTimer.stop();
            return;
        }
        if (m_clients[index]->stage != Client::Stage::Commands)
            return; // a real node streams spots only to users who logged in
        sendLine(spotLine(m_streamIndex++), index);
        if (m_streamRemaining > 0)
            --m_streamRemaining;
    });
}

FakeClusterNode::~FakeClusterNode()
{
    releasePort();
    for (Client *client : std::as_const(m_clients)) {
        if (client->socket) {
            client->socket->disconnect(this);
            client->socket->abort();
            delete client->socket;
        }
        delete client;
    }
}

bool FakeClusterNode::listenOn(quint16 port)
{
    if (!m_server.listen(QHostAddress::LocalHost, port))
        return false;
    m_port = m_server.serverPort();
    return true;
}

void FakeClusterNode::setBehaviour(Behaviour behaviour)
{
    m_behaviour = behaviour;
    if (behaviour == Behaviour::Refuse) {
        if (m_server.isListening()) {
            m_server.close();
            reservePort();
        }
    } else if (!m_server.isListening()) {
        releasePort();
        // Same port again, so the connection under test keeps pointing at us.
        for (int tries = 0; tries < 50 && !listenOn(m_port); ++tries)
            QThread::msleep(20);
    }
}

void FakeClusterNode::reservePort()
{
    releasePort();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(m_port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // Connections the listener accepted may still hold the port; like the listener, allow that.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return;
    }
    m_reservedSocket = fd;
}

void FakeClusterNode::releasePort()
{
    if (m_reservedSocket >= 0) {
        ::close(m_reservedSocket);
        m_reservedSocket = -1;
    }
}

void FakeClusterNode::setReply(const QString &command, const QStringList &lines)
{
    m_replies.insert(command.trimmed().toLower(), lines);
}

void FakeClusterNode::setLinesBehindPrompt(const QString &command, const QStringList &lines)
{
    m_linesBehindPrompt.insert(command.trimmed().toLower(), lines);
}

QString FakeClusterNode::promptFor(const QString &callsign) const
{
    if (!m_customPrompt.isEmpty())
        return m_customPrompt.contains(QLatin1String("%1")) ? m_customPrompt.arg(callsign)
                                                            : m_customPrompt;
    switch (m_kind) {
    case Kind::DXSpider:
        return QStringLiteral("%1 de %2  7-Dec-2026 1200Z dxspider >").arg(callsign, m_nodeName);
    case Kind::CCCluster:
        return QStringLiteral("%1 de %2  7-Dec-2026 1200Z ccc >").arg(callsign, m_nodeName);
    case Kind::ARCluster:
        return QStringLiteral("%1 de %2  7-Dec-2026 1200Z arc6>").arg(callsign, m_nodeName);
    case Kind::Other:
        return m_nodeName + QLatin1Char('>');
    case Kind::EmailQuestion:
        return QStringLiteral("Email address: ");
    }
    return {};
}

void FakeClusterNode::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        const int index = static_cast<int>(m_clients.size());
        auto *client = new Client;
        client->socket = socket;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_clients.append(client);
        ++m_connectionCount;
        connect(socket, &QTcpSocket::readyRead, this, [this, index] { readFrom(index); });
        emit clientConnected(index);

        switch (m_behaviour) {
        case Behaviour::CloseBeforePrompt:
            socket->disconnectFromHost();
            break;
        case Behaviour::Silent:
            client->stage = Client::Stage::Stalled;
            break;
        default:
            if (!m_banner.isEmpty())
                sendLine(m_banner, index);
            sendText((m_lineBreak == LineBreak::Before ? QStringLiteral("\r\n") : QString()) +
                         m_callsignQuestion,
                     index);
            break;
        }
        if (onConnected)
            onConnected(index);
    }
}

void FakeClusterNode::readFrom(int index)
{
    Client *client = m_clients.value(index);
    if (!client || !client->socket)
        return;
    client->inBuffer += client->socket->readAll();
    for (;;) {
        const qsizetype end = client->inBuffer.indexOf('\n');
        if (end < 0)
            break;
        QByteArray raw = client->inBuffer.left(end);
        client->inBuffer.remove(0, end + 1);
        if (raw.endsWith('\r'))
            raw.chop(1);
        handleLine(index, QString::fromUtf8(raw));
        if (!m_clients.value(index) || !m_clients.value(index)->socket)
            return;
    }
}

void FakeClusterNode::handleLine(int index, const QString &line)
{
    Client *client = m_clients[index];
    m_received.append({m_clock.elapsed(), index, line});
    // The link delivers the rest of a cut write before anything the node writes later.
    sendCutRest(index);
    emit lineReceived(index, line);

    switch (m_silent ? Client::Stage::Stalled : client->stage) {
    case Client::Stage::Callsign:
        client->callsign = line.trimmed();
        if (m_behaviour == Behaviour::StallAfterCallsign) {
            client->stage = Client::Stage::Stalled;
        } else if (m_behaviour == Behaviour::CloseAfterCallsign) {
            client->stage = Client::Stage::Stalled;
            closeConnection(index);
        } else if (!m_password.isEmpty()) {
            const auto askPassword = [this, index] {
                Client *asked = m_clients[index];
                asked->stage = Client::Stage::Password;
                sendText((m_lineBreak == LineBreak::Before ? QStringLiteral("\r\n") : QString()) +
                             QStringLiteral("password: "),
                         index);
                // Lines are read in order: one that came during the greeting is the password.
                if (!asked->heldLines.isEmpty()) {
                    asked->password = asked->heldLines.takeFirst();
                    finishLogin(index);
                }
            };
            if (m_greetingBeforePassword) {
                client->stage = Client::Stage::Greeting;
                playGreeting(index, askPassword);
            } else {
                askPassword();
            }
        } else {
            finishLogin(index);
        }
        break;
    case Client::Stage::Password:
        client->password = line;
        finishLogin(index);
        break;
    case Client::Stage::Greeting:
        client->heldLines.append(line);
        break;
    case Client::Stage::Commands:
        answerLine(index, line);
        break;
    case Client::Stage::Stalled:
        break;
    }
    if (onLine)
        onLine(index, line);
}

void FakeClusterNode::answerLine(int index, const QString &line)
{
    const QString key = line.trimmed().toLower();
    if (!m_promptAfterCommands || (key.isEmpty() && !m_answersEmptyLines))
        return;
    const QStringList reply = m_replies.value(key);
    const int delay = m_replyDelays.value(key, m_replyDelayMs);
    if (delay <= 0 && m_pendingReplies.isEmpty()) {
        answerCommands(index, {key}, answerBytes(index, key, reply));
        return;
    }
    // Each timer answers the oldest commands waiting, so replies keep their order; those due
    // together go out in one write.
    const qint64 due = std::max(m_clock.elapsed() + delay, m_lastReplyDueMs);
    m_lastReplyDueMs = due;
    m_pendingReplies.append({index, key, reply, due});
    QTimer::singleShot(int(due - m_clock.elapsed()), this, [this] {
        if (m_pendingReplies.isEmpty())
            return;
        const int connection = m_pendingReplies.constFirst().connection;
        const qint64 dueMs = m_pendingReplies.constFirst().dueMs;
        QStringList keys;
        QByteArray bytes;
        while (!m_pendingReplies.isEmpty() && m_pendingReplies.constFirst().dueMs == dueMs &&
               m_pendingReplies.constFirst().connection == connection) {
            const PendingReply next = m_pendingReplies.takeFirst();
            if (resolve(next.connection) >= 0 && !m_silent)
                bytes += answerBytes(next.connection, next.key, next.lines);
            keys.append(next.key);
        }
        if (resolve(connection) >= 0 && !m_silent)
            answerCommands(connection, keys, bytes);
    });
}

QByteArray FakeClusterNode::answerBytes(int index, const QString &key, const QStringList &reply)
{
    QByteArray bytes;
    for (const QString &line : reply)
        bytes += lineBytes(line);
    if (!m_hasCommandPrompt)
        bytes += promptBytes(index);
    else if (!m_commandPrompt.isEmpty())
        bytes += (m_lineBreak == LineBreak::After ? QByteArray() : QByteArray("\r\n")) +
                 promptText(index, m_commandPrompt);
    const QStringList behind = m_linesBehindPrompt.value(key);
    // The prompt ends in a line break, as a DXSpider node's does.
    if (!behind.isEmpty() && m_lineBreak == LineBreak::After && !bytes.endsWith('\n'))
        bytes += "\r\n";
    for (const QString &line : behind)
        bytes += lineBytes(line);
    return bytes;
}

void FakeClusterNode::answerCommands(int index, const QStringList &keys, const QByteArray &bytes)
{
    sendCutRest(index);
    if (m_cutAt > 0 && m_cutAt < bytes.size() && keys.contains(m_cutCommand)) {
        write(index, bytes.first(m_cutAt));
        m_clients[index]->cutRest = bytes.mid(m_cutAt);
        m_cutAt = -1;
        QTimer::singleShot(m_cutPauseMs, this, [this, index] {
            if (resolve(index) >= 0)
                sendCutRest(index);
        });
    } else {
        write(index, bytes);
    }
    if (!m_closeAfterCommand.isEmpty() && keys.contains(m_closeAfterCommand.trimmed().toLower()))
        closeConnection(index);
}

void FakeClusterNode::sendCutRest(int index)
{
    if (!m_clients[index]->cutRest.isEmpty())
        write(index, std::exchange(m_clients[index]->cutRest, {}));
}

void FakeClusterNode::finishLogin(int index)
{
    const auto atPrompt = [this, index] {
        m_clients[index]->stage = Client::Stage::Commands;
        write(index, promptBytes(index));
        if (m_behaviour == Behaviour::CloseAfterLogin) {
            closeConnection(index);
            return;
        }
        for (const QString &held : std::exchange(m_clients[index]->heldLines, {}))
            answerLine(index, held);
    };
    if (m_greeting.isEmpty() || m_greetingBeforePassword) {
        atPrompt();
        return;
    }
    m_clients[index]->stage = Client::Stage::Greeting;
    playGreeting(index, atPrompt);
}

void FakeClusterNode::playGreeting(int index, std::function<void()> next)
{
    for (qsizetype i = 0; i < m_greeting.size(); ++i) {
        QTimer::singleShot(int(i) * m_greetingPauseMs, this,
                           [this, index, bytes = m_greeting[i].toUtf8()] {
                               if (resolve(index) >= 0)
                                   write(index, bytes);
                           });
    }
    QTimer::singleShot(int(m_greeting.size()) * m_greetingPauseMs, this,
                       [this, index, next = std::move(next)] {
                           if (resolve(index) >= 0)
                               next();
                       });
}

int FakeClusterNode::resolve(int connection) const
{
    const int index = connection < 0 ? static_cast<int>(m_clients.size()) - 1 : connection;
    if (index < 0 || index >= m_clients.size() || !m_clients[index]->socket)
        return -1;
    return index;
}

QByteArray FakeClusterNode::lineBytes(const QString &text) const
{
    const QByteArray utf8 = text.toUtf8();
    return m_lineBreak == LineBreak::After ? utf8 + "\r\n" : "\r\n" + utf8;
}

QByteArray FakeClusterNode::promptText(int index, const QString &promptTemplate)
{
    Client *client = m_clients[index];
    QString text = promptTemplate;
    text.replace(QLatin1String("%1"), client->callsign);
    // A clock that moves on between prompts sent apart, not between prompts sent together.
    const qint64 now = m_clock.elapsed();
    if (client->lastPromptMs >= 0 && now - client->lastPromptMs > 20)
        ++client->promptTime;
    client->lastPromptMs = now;
    text.replace(QLatin1String("%2"), QString::number(client->promptTime));
    // The day of the month moving on with it from the 8th, two columns wide as DXSpider writes it.
    text.replace(QLatin1String("%3"), QStringLiteral("%1").arg(8 + client->promptTime % 23, 2));
    return text.toUtf8();
}

QByteArray FakeClusterNode::promptBytes(int index)
{
    const QByteArray prompt = m_customPrompt.isEmpty()
                                  ? promptFor(m_clients[index]->callsign).toUtf8()
                                  : promptText(index, m_customPrompt);
    QByteArray bytes = m_lineBreak == LineBreak::After ? prompt : "\r\n" + prompt;
    if (m_spotAfterPrompt)
        bytes += "\r\n" + spotLine(m_streamIndex++).toUtf8() + "\r\n";
    return bytes;
}

void FakeClusterNode::write(int index, const QByteArray &bytes, bool allowSplit)
{
    Client *client = m_clients[index];
    if (!client->socket || bytes.isEmpty())
        return;
    if (!(allowSplit && m_splitWrites) && client->splitQueue.isEmpty()) {
        client->socket->write(bytes);
        client->socket->flush();
        return;
    }
    // Keep order behind pieces still waiting to go out.
    client->splitQueue += bytes;
    if (!client->splitTimer) {
        client->splitTimer = new QTimer(this);
        client->splitTimer->setTimerType(Qt::PreciseTimer);
        client->splitTimer->setInterval(2);
        connect(client->splitTimer, &QTimer::timeout, this, [this, index] { pumpSplit(index); });
    }
    if (!client->splitTimer->isActive())
        client->splitTimer->start();
}

void FakeClusterNode::pumpSplit(int index)
{
    Client *client = m_clients[index];
    if (!client->socket || client->splitQueue.isEmpty()) {
        client->splitTimer->stop();
        return;
    }
    // Piece sizes cycle 1, 2, 3 so every boundary position occurs.
    static int cycle = 0;
    const int size = std::min<qsizetype>(
        m_splitPieceBytes > 0 ? m_splitPieceBytes : 1 + (cycle++ % 3), client->splitQueue.size());
    client->socket->write(client->splitQueue.left(size));
    client->socket->flush();
    client->splitQueue.remove(0, size);
    if (client->splitQueue.isEmpty())
        client->splitTimer->stop();
}

void FakeClusterNode::send(const QByteArray &bytes, int connection)
{
    const int index = resolve(connection);
    if (index < 0)
        return;
    sendCutRest(index);
    write(index, bytes);
}

void FakeClusterNode::sendText(const QString &text, int connection)
{
    send(text.toUtf8(), connection);
}

void FakeClusterNode::sendLine(const QString &text, int connection)
{
    send(lineBytes(text), connection);
}

void FakeClusterNode::sendLines(const QStringList &lines, int connection)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += lineBytes(line);
    send(bytes, connection);
}

void FakeClusterNode::sendPrompt(int connection)
{
    const int index = resolve(connection);
    if (index >= 0)
        write(index, promptBytes(index));
}

void FakeClusterNode::sendBurst(const QByteArray &bytes, int connection)
{
    const int index = resolve(connection);
    if (index >= 0)
        write(index, bytes, false);
}

QString FakeClusterNode::spotLine(int index)
{
    // Frequencies stay inside the 20 m CW segment, away from the band edge test rule.
    const double khz = 14001.0 + (index % 600) * 0.1;
    return QStringLiteral("DX de W%1AB-#:   %2  DL%3ABC       CW 12 dB 22 WPM CQ            %4Z")
        .arg(index % 10)
        .arg(khz, 0, 'f', 1)
        .arg(index % 10)
        .arg(1000 + index % 960, 4, 10, QLatin1Char('0'));
}

void FakeClusterNode::startSpotStream(int linesPerSecond, int count, int connection)
{
    m_streamConnection = connection;
    m_streamRemaining = count;
    m_streamTimer.setInterval(std::max(1, 1000 / std::max(1, linesPerSecond)));
    m_streamTimer.start();
}

void FakeClusterNode::stopSpotStream()
{
    m_streamTimer.stop();
}

void FakeClusterNode::goSilent(bool silent)
{
    m_silent = silent;
    if (silent)
        m_streamTimer.stop();
}

void FakeClusterNode::closeConnection(int connection)
{
    const int index = resolve(connection);
    if (index < 0)
        return;
    Client *client = m_clients[index];
    if (!client->splitQueue.isEmpty()) {
        // Let the split pieces go out first.
        QTimer::singleShot(10, this, [this, index] { closeConnection(index); });
        return;
    }
    client->socket->disconnectFromHost();
}

void FakeClusterNode::resetConnection(int connection)
{
    const int index = resolve(connection);
    if (index < 0)
        return;
    m_clients[index]->socket->abort();
}

int FakeClusterNode::openConnectionCount() const
{
    int open = 0;
    for (const Client *client : m_clients)
        if (client->socket && client->socket->state() == QAbstractSocket::ConnectedState)
            ++open;
    return open;
}

QStringList FakeClusterNode::receivedLines(int connection) const
{
    QStringList lines;
    for (const Received &r : m_received)
        if (connection < 0 || r.connection == connection)
            lines.append(r.line);
    return lines;
}

bool FakeClusterNode::hasReceived(const QString &line, int connection) const
{
    return countReceived(line, connection) > 0;
}

int FakeClusterNode::countReceived(const QString &line, int connection) const
{
    int count = 0;
    for (const Received &r : m_received)
        if ((connection < 0 || r.connection == connection) && r.line == line)
            ++count;
    return count;
}

QString FakeClusterNode::loginCallsign(int connection) const
{
    const int index = connection < 0 ? static_cast<int>(m_clients.size()) - 1 : connection;
    return index >= 0 && index < m_clients.size() ? m_clients[index]->callsign : QString();
}

QString FakeClusterNode::loginPassword(int connection) const
{
    const int index = connection < 0 ? static_cast<int>(m_clients.size()) - 1 : connection;
    return index >= 0 && index < m_clients.size() ? m_clients[index]->password : QString();
}

} // namespace varnello::test
