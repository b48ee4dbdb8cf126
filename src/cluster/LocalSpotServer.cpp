#include "LocalSpotServer.h"

#include "ClusterTypes.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>

#include <utility>
#include <vector>

namespace varnello {

LocalSpotServer::LocalSpotServer(QObject *parent) : LocalSpotServer(LocalSpotServerLimits{}, parent)
{
}

LocalSpotServer::LocalSpotServer(LocalSpotServerLimits limits, QObject *parent)
    : QObject(parent), m_limits(limits)
{
}

LocalSpotServer::~LocalSpotServer()
{
    // The sockets are children and would otherwise report their closing into a half-destroyed
    // object.
    stop();
}

void LocalSpotServer::start(quint16 port)
{
    if (port == 0) {
        emit consoleLine(
            QStringLiteral("Local server could not start: invalid port %1.").arg(port));
        return;
    }
    // A listener left running here would hold its port until the program ends.
    stop();

    auto *listener = new QTcpServer(this);
    listener->setProxy(QNetworkProxy::NoProxy);
    if (!listener->listen(QHostAddress::Any, port)) {
        const QAbstractSocket::SocketError error = listener->serverError();
        const QString description = listener->errorString();
        delete listener;
        // No socket at all is a start that never happened; a refused bind (a busy port, most
        // often) is the listener failing.
        if (error == QAbstractSocket::SocketResourceError ||
            error == QAbstractSocket::UnsupportedSocketOperationError)
            emit consoleLine(QStringLiteral("Local spot server could not start: ") + description);
        else
            handleListenerFailure(description);
        return;
    }

    m_listener = listener;
    m_port = port;
    const quint64 generation = ++m_listenerGeneration;
    connect(listener, &QTcpServer::newConnection, this, &LocalSpotServer::acceptPendingConnections);
    // Qt stops accepting after a hard accept error; a server that silently accepts nobody is
    // worse than one that says it failed.
    connect(listener, &QTcpServer::acceptError, this, [this, listener] {
        if (listener == m_listener)
            handleListenerFailure(listener->errorString());
    });
    // Reported from the event loop, so that a listener replaced at once by a newer start never
    // announces itself.
    QMetaObject::invokeMethod(
        this,
        [this, generation, port] {
            if (generation == m_listenerGeneration && m_listener)
                emit consoleLine(
                    QStringLiteral("Local spot server listening on port %1.").arg(port));
        },
        Qt::QueuedConnection);
}

void LocalSpotServer::stop()
{
    ++m_listenerGeneration;
    if (m_listener) {
        m_listener->disconnect(this);
        m_listener->close();
        m_listener->deleteLater();
        m_listener = nullptr;
    }
    m_port.reset();
    const std::map<quint64, Client> clients = std::exchange(m_clients, {});
    for (const auto &entry : clients)
        discardSocket(entry.second.socket, this);
}

void LocalSpotServer::ensureListening(quint16 port)
{
    if (m_listener && m_port == port)
        return;
    // start() stops the old listener itself, but only once the port is known to be usable.
    start(port);
}

void LocalSpotServer::applySettings(bool enabled, const QString &portText)
{
    if (!enabled) {
        stop();
        return;
    }
    const std::optional<quint16> port = parsePortText(portText);
    if (!port || *port == 0)
        return;
    ensureListening(*port);
}

void LocalSpotServer::broadcastLine(const QString &rawLine)
{
    if (!m_listener || m_clients.empty())
        return;
    const QByteArray payload = rawLine.toUtf8() + "\r\n";

    std::vector<quint64> overLimit;
    for (auto &[id, client] : m_clients) {
        const qint64 unsent = client.unsent.size() + client.socket->bytesToWrite();
        if (unsent + payload.size() > m_limits.maximumUnsentBytesPerClient) {
            overLimit.push_back(id);
            continue;
        }
        client.unsent.append(payload);
    }
    for (const quint64 id : overLimit)
        removeClient(id);
    if (!m_clients.empty())
        scheduleFlush();
}

qint64 LocalSpotServer::bufferedClientInput() const
{
    qint64 total = 0;
    for (const auto &entry : m_clients)
        total += entry.second.socket->bytesAvailable();
    return total;
}

void LocalSpotServer::acceptPendingConnections()
{
    while (m_listener && m_listener->hasPendingConnections()) {
        QTcpSocket *socket = m_listener->nextPendingConnection();
        if (!socket)
            break;
        if (clientCount() >= m_limits.maximumClients) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        acceptClient(socket);
    }
}

void LocalSpotServer::acceptClient(QTcpSocket *socket)
{
    socket->setParent(this);
    if (m_limits.clientSendBufferBytes > 0)
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption,
                                m_limits.clientSendBufferBytes);
    const quint64 id = m_nextClientId++;
    m_clients.emplace(id, Client{socket, {}});

    // The server reads nothing, but Qt buffers whatever arrives until someone does.
    connect(socket, &QIODevice::readyRead, this,
            [socket] { socket->skip(socket->bytesAvailable()); });
    connect(socket, &QAbstractSocket::disconnected, this, [this, id] { removeClient(id); });
    connect(socket, &QAbstractSocket::errorOccurred, this, [this, id] { removeClient(id); });
    if (socket->state() != QAbstractSocket::ConnectedState)
        removeClient(id);
}

void LocalSpotServer::handleListenerFailure(const QString &description)
{
    emit consoleLine(QStringLiteral("Local spot server failed: ") + description);
    stop();
}

void LocalSpotServer::scheduleFlush()
{
    if (m_flushScheduled)
        return;
    m_flushScheduled = true;
    QMetaObject::invokeMethod(
        this, [this] { flushClients(); }, Qt::QueuedConnection);
}

void LocalSpotServer::flushClients()
{
    m_flushScheduled = false;
    std::vector<quint64> ids;
    ids.reserve(m_clients.size());
    for (const auto &entry : m_clients) {
        if (!entry.second.unsent.isEmpty())
            ids.push_back(entry.first);
    }
    // Looked up one by one: a write may report a broken connection, which removes its client.
    for (const quint64 id : ids) {
        const auto it = m_clients.find(id);
        if (it == m_clients.end())
            continue;
        const QByteArray chunk = std::exchange(it->second.unsent, {});
        if (it->second.socket->write(chunk) != chunk.size())
            removeClient(id);
    }
}

void LocalSpotServer::removeClient(quint64 id)
{
    const auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    QTcpSocket *socket = it->second.socket;
    m_clients.erase(it);
    discardSocket(socket, this);
}

void LocalSpotServer::discardSocket(QTcpSocket *socket, QObject *receiver)
{
    // abort() reports the closing at once; nobody may be listening by then.
    socket->disconnect(receiver);
    socket->abort();
    socket->deleteLater();
}

} // namespace varnello
