#include "HttpStub.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace varnello::test {

namespace {
constexpr qint64 kMaxRequestHead = 64 * 1024;
constexpr qint64 kSlice = 64 * 1024;
constexpr qint64 kHighWater = 256 * 1024;

QByteArray reasonFor(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 203:
        return "Non-Authoritative Information";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}
} // namespace

struct HttpStub::Connection {
    QByteArray inbox;
    bool answered = false;
    Response response;
    qint64 bodySent = 0;
    qint64 bodyTotal = 0;
    bool streaming = false;
};

HttpStub::HttpStub(QObject *parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &HttpStub::onNewConnection);
}

HttpStub::~HttpStub()
{
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        it.key()->disconnect(this);
        it.key()->abort();
        delete it.value();
    }
}

bool HttpStub::listen()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 HttpStub::port() const
{
    return m_server->serverPort();
}

QUrl HttpStub::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port()));
}

QUrl HttpStub::url(const QString &path) const
{
    return QUrl(baseUrl().toString() + path);
}

void HttpStub::setResponse(const QByteArray &path, Response response)
{
    m_responses.insert(path, std::move(response));
}

void HttpStub::clearResponses()
{
    m_responses.clear();
}

int HttpStub::requestCount(const QByteArray &path) const
{
    int n = 0;
    for (const auto &r : m_requests)
        n += r.path == path ? 1 : 0;
    return n;
}

int HttpStub::openConnectionCount() const
{
    return int(m_connections.size());
}

void HttpStub::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        m_connections.insert(socket, new Connection);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { pump(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { finish(socket); });
    }
}

void HttpStub::onReadyRead(QTcpSocket *socket)
{
    Connection *c = m_connections.value(socket);
    if (!c)
        return;
    if (c->answered) {
        socket->skip(socket->bytesAvailable());
        return;
    }
    c->inbox.append(socket->readAll());
    const qsizetype end = c->inbox.indexOf("\r\n\r\n");
    if (end < 0) {
        if (c->inbox.size() > kMaxRequestHead)
            socket->abort();
        return;
    }
    c->answered = true;
    const QList<QByteArray> lines = c->inbox.left(end).split('\n');
    Request request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.path = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.append(
                {line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
    }
    m_requests.append(request);
    Q_EMIT requestReceived(request.path);
    answer(socket, request);
}

void HttpStub::answer(QTcpSocket *socket, const Request &request)
{
    Connection *c = m_connections.value(socket);
    // A script for the bare path also answers requests that carry a query.
    const qsizetype query = request.path.indexOf('?');
    const QByteArray bare = query < 0 ? request.path : request.path.left(query);
    c->response = m_responses.value(
        request.path, m_responses.value(bare, Response::withStatus(404, "not found")));
    const Response &r = c->response;
    if (r.closeWithoutAnswer) {
        socket->disconnectFromHost();
        return;
    }
    if (r.hang)
        return;
    if (r.delay.count() > 0) {
        QPointer<QTcpSocket> guard(socket);
        QTimer::singleShot(r.delay, this, [this, guard] {
            if (guard && m_connections.contains(guard.data()))
                sendHead(guard.data(), m_connections.value(guard.data())->response);
        });
        return;
    }
    sendHead(socket, r);
}

void HttpStub::sendHead(QTcpSocket *socket, const Response &r)
{
    Connection *c = m_connections.value(socket);
    c->bodyTotal = r.generatedBodyBytes > 0 ? r.generatedBodyBytes : r.body.size();
    QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' +
                      (r.reason.isEmpty() ? reasonFor(r.status) : r.reason) + "\r\n";
    head += "Connection: close\r\n";
    if (r.chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else if (!r.omitContentLength)
        head += "Content-Length: " +
                QByteArray::number(r.declaredLength >= 0 ? r.declaredLength : c->bodyTotal) +
                "\r\n";
    for (const auto &[name, value] : r.headers)
        head += name + ": " + value + "\r\n";
    head += "\r\n";
    socket->write(head);
    if (r.hangAfterHeaders)
        return;
    c->streaming = true;
    pump(socket);
}

void HttpStub::pump(QTcpSocket *socket)
{
    Connection *c = m_connections.value(socket);
    if (!c || !c->streaming)
        return;
    const Response &r = c->response;
    while (c->bodySent < c->bodyTotal && socket->bytesToWrite() < kHighWater) {
        const qint64 n = std::min(kSlice, c->bodyTotal - c->bodySent);
        QByteArray slice;
        if (r.generatedBodyBytes > 0) {
            slice.resize(n);
            for (qint64 i = 0; i < n; ++i)
                slice[i] = "0123456789abcdef\n"[(c->bodySent + i) % 17];
        } else {
            slice = r.body.mid(c->bodySent, n);
        }
        if (r.chunked)
            socket->write(QByteArray::number(n, 16) + "\r\n" + slice + "\r\n");
        else
            socket->write(slice);
        c->bodySent += n;
    }
    if (c->bodySent >= c->bodyTotal) {
        c->streaming = false;
        if (r.chunked)
            socket->write("0\r\n\r\n");
        socket->disconnectFromHost();
    }
}

void HttpStub::finish(QTcpSocket *socket)
{
    delete m_connections.take(socket);
    socket->deleteLater();
}

} // namespace varnello::test
