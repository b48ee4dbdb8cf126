#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <map>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace varnello {

// Why a request produced no HTTP answer. An answer with any status (404, 503, ...) is not a
// transport failure: it comes back with `kind == none` and its status, and the caller judges it.
enum class HttpErrorKind {
    none,
    timeout,       // no data for the request's time-out
    cannotConnect, // refused or unreachable
    hostNotFound,
    connectionLost, // closed or reset before the answer was complete
    secureConnectionFailed,
    cancelled,    // HttpClient::cancel
    bodyTooLarge, // declared or received body passed the request's cap
    notConnected, // failed while the system reports no network connection at all
    other,
};

// Whether the system reports that this machine has no network connection (Qt's network
// information, where a backend is available; unknown counts as connected). Tests replace the
// probe; an empty function restores the system's.
bool systemReportsNoNetworkConnection();
void setNetworkConnectionProbeForTesting(std::function<bool()> reportsNoConnection);

// One user-facing sentence per kind. It never names the address, which may carry credentials.
QString httpErrorSentence(HttpErrorKind kind);

struct HttpRequest {
    QUrl url;
    // Longest silence tolerated while waiting for the next byte.
    std::chrono::milliseconds timeout{std::chrono::seconds(30)};
    // The body may be at most this many bytes; the transfer is aborted as soon as the declared
    // length or the bytes received pass it.
    qint64 maxBodyBytes = 4 * 1024 * 1024;
    // When set, the body of a 2xx answer is handed over slice by slice as it arrives instead of
    // being collected in HttpResult::body, so large files never sit in memory; the cap still
    // counts every byte received. Returning false ends the transfer (HttpErrorKind::cancelled).
    // Bodies of other statuses are collected as usual.
    std::function<bool(QByteArrayView slice)> bodySink{};
};

struct HttpResult {
    // 0 when no HTTP answer arrived. A body cut off by the cap (bodyTooLarge) keeps the status of
    // its answer, so callers can still tell a refused request from an oversized file.
    int status = 0;
    QByteArray body;
    HttpErrorKind error = HttpErrorKind::none;
    QString errorMessage; // httpErrorSentence(error), empty when none

    bool isTransportFailure() const { return error != HttpErrorKind::none; }
};

// HTTP GET with the local cache bypassed. Results come back on the thread of the context
// object given to `get` (the main thread in this program); a destroyed context gets nothing.
class HttpClient {
public:
    using RequestId = quint64;
    using Completion = std::function<void(const HttpResult &)>;

    virtual ~HttpClient() = default;

    virtual RequestId get(const HttpRequest &request, QObject *context, Completion done) = 0;
    // Ends a running request; its completion receives HttpErrorKind::cancelled (possibly before
    // cancel returns). Unknown or finished ids are ignored.
    virtual void cancel(RequestId id) = 0;

    // The process-wide client, made on first use on the main thread.
    static HttpClient &shared();
};

// The real client: one QNetworkAccessManager on the main thread.
class NetworkHttpClient final : public QObject, public HttpClient {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkHttpClient)

public:
    explicit NetworkHttpClient(QObject *parent = nullptr);
    ~NetworkHttpClient() override;

    RequestId get(const HttpRequest &request, QObject *context, Completion done) override;
    void cancel(RequestId id) override;

private:
    struct Pending;
    void onMetaData(RequestId id);
    void onReadyRead(RequestId id);
    void onFinished(RequestId id);
    void abortForSize(Pending &pending);
    // Takes `bytes` of the answer into the body or the sink; false when the transfer was ended.
    bool take(Pending &pending, qint64 bytes);

    QNetworkAccessManager *m_manager;
    RequestId m_nextId = 1;
    std::map<RequestId, std::unique_ptr<Pending>> m_pending;
};

} // namespace varnello
