#pragma once

// A local HTTP/1.1 server for tests: listens on 127.0.0.1 on a free port and answers GET
// requests from a script per path. Lives on the test's thread; the client under test runs on the
// same event loop, so tests wait with QTRY_* macros.
//
//   HttpStub stub;
//   QVERIFY(stub.listen());
//   stub.setResponse("/feed/", HttpStub::Response::ok(feedBytes));
//   stub.setResponse("/slow", {.status = 200, .body = "x", .delay = 2s});
//   stub.setResponse("/hang", {.hang = true});                  // accepts, never answers
//   stub.setResponse("/big", {.generatedBodyBytes = 70 << 20});  // streamed, not held in memory
//   QUrl url = stub.url("/feed/");                              // http://127.0.0.1:<port>/feed/
//   QTRY_COMPARE(stub.requestCount("/feed/"), 1);
//
// A request with a query is answered by the script of its exact path, else of its bare path.
// Unscripted paths get 404. Every answer carries "Connection: close" and the connection is
// closed after it, so each request is on a fresh connection.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QUrl>
#include <chrono>

class QTcpServer;
class QTcpSocket;

namespace varnello::test {

class HttpStub final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpStub)

public:
    struct Response {
        int status = 200;
        QByteArray reason{};                            // empty: a standard phrase for the status
        QList<QPair<QByteArray, QByteArray>> headers{}; // extra header lines
        QByteArray body{};
        // When > 0 the body is this many bytes of a repeating pattern (body is ignored), written
        // in slices as the client reads, so bodies of any size cost the stub no memory.
        qint64 generatedBodyBytes = 0;
        std::chrono::milliseconds delay{0}; // wait before the status line
        bool hang = false;                  // never answer, keep the connection open
        bool hangAfterHeaders = false;      // send the head, then nothing more
        bool closeWithoutAnswer = false;    // close the connection at once
        bool chunked = false;               // Transfer-Encoding: chunked instead of Content-Length
        bool omitContentLength = false;     // no length: the body ends when the connection closes
        qint64 declaredLength = -1;         // Content-Length to announce instead of the true one

        static Response ok(QByteArray body) { return Response{.body = std::move(body)}; }
        static Response withStatus(int status, QByteArray body = {})
        {
            return Response{.status = status, .body = std::move(body)};
        }
    };

    struct Request {
        QByteArray method;
        QByteArray path; // including any query
        QList<QPair<QByteArray, QByteArray>> headers;
    };

    explicit HttpStub(QObject *parent = nullptr);
    ~HttpStub() override;

    bool listen();
    quint16 port() const;
    QUrl baseUrl() const;                // http://127.0.0.1:<port>
    QUrl url(const QString &path) const; // baseUrl + path

    void setResponse(const QByteArray &path, Response response);
    void clearResponses();

    int requestCount(const QByteArray &path) const;
    int totalRequestCount() const { return int(m_requests.size()); }
    QList<Request> requests() const { return m_requests; }
    // Connections currently open (a client that aborted is gone once its close is seen).
    int openConnectionCount() const;

Q_SIGNALS:
    void requestReceived(const QByteArray &path);

private:
    struct Connection;
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Request &request);
    void sendHead(QTcpSocket *socket, const Response &response);
    void pump(QTcpSocket *socket);
    void finish(QTcpSocket *socket);

    QTcpServer *m_server;
    QHash<QByteArray, Response> m_responses;
    QList<Request> m_requests;
    QHash<QTcpSocket *, Connection *> m_connections;
};

} // namespace varnello::test
