#include "HttpClient.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkInformation>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>

namespace varnello {

QString httpErrorSentence(HttpErrorKind kind)
{
    switch (kind) {
    case HttpErrorKind::none:
        return {};
    case HttpErrorKind::timeout:
        return QStringLiteral("The request timed out.");
    case HttpErrorKind::cannotConnect:
        return QStringLiteral("Could not connect to the server.");
    case HttpErrorKind::hostNotFound:
        return QStringLiteral("A server with the specified hostname could not be found.");
    case HttpErrorKind::connectionLost:
        return QStringLiteral("The network connection was lost.");
    case HttpErrorKind::secureConnectionFailed:
        return QStringLiteral("A secure connection to the server could not be made.");
    case HttpErrorKind::cancelled:
        return QStringLiteral("The request was cancelled.");
    case HttpErrorKind::bodyTooLarge:
        return QStringLiteral("The server sent more data than expected.");
    case HttpErrorKind::notConnected:
        return QStringLiteral("The Internet connection appears to be offline.");
    case HttpErrorKind::other:
        break;
    }
    return QStringLiteral("The request could not be completed.");
}

namespace {

std::function<bool()> &networkConnectionProbe()
{
    static std::function<bool()> probe;
    return probe;
}

} // namespace

bool systemReportsNoNetworkConnection()
{
    if (const auto &probe = networkConnectionProbe())
        return probe();
    static const bool loaded =
        QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
    const QNetworkInformation *information = loaded ? QNetworkInformation::instance() : nullptr;
    return information &&
           information->reachability() == QNetworkInformation::Reachability::Disconnected;
}

void setNetworkConnectionProbeForTesting(std::function<bool()> reportsNoConnection)
{
    networkConnectionProbe() = std::move(reportsNoConnection);
}

HttpClient &HttpClient::shared()
{
    // Never destroyed: the network manager must not outlive the application object's teardown
    // order.
    static NetworkHttpClient *const client = [] {
        auto *c = new NetworkHttpClient;
        if (auto *app = QCoreApplication::instance(); app && c->thread() != app->thread())
            c->moveToThread(app->thread());
        return c;
    }();
    return *client;
}

struct NetworkHttpClient::Pending {
    QNetworkReply *reply = nullptr;
    QPointer<QObject> context;
    bool hasContext = false;
    Completion done;
    qint64 cap = 0;
    std::function<bool(QByteArrayView)> sink;
    qint64 received = 0;
    QByteArray body;
    HttpErrorKind forcedError = HttpErrorKind::none; // our own reason for an abort
    int statusAtAbort = 0;                           // the answer's status when cut off for size
};

NetworkHttpClient::NetworkHttpClient(QObject *parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this))
{
    m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

NetworkHttpClient::~NetworkHttpClient()
{
    for (auto &[id, pending] : m_pending) {
        pending->reply->disconnect(this);
        pending->reply->abort();
        pending->reply->deleteLater();
    }
}

HttpClient::RequestId NetworkHttpClient::get(const HttpRequest &request, QObject *context,
                                             Completion done)
{
    const RequestId id = m_nextId++;
    QNetworkRequest req(request.url);
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    req.setTransferTimeout(int(std::max<qint64>(1, request.timeout.count())));

    auto pending = std::make_unique<Pending>();
    pending->context = context;
    pending->hasContext = context != nullptr;
    pending->done = std::move(done);
    pending->cap = std::max<qint64>(0, request.maxBodyBytes);
    pending->sink = request.bodySink;
    pending->reply = m_manager->get(req);
    QNetworkReply *reply = pending->reply;
    m_pending.emplace(id, std::move(pending));

    connect(reply, &QNetworkReply::metaDataChanged, this, [this, id] { onMetaData(id); });
    connect(reply, &QNetworkReply::readyRead, this, [this, id] { onReadyRead(id); });
    connect(reply, &QNetworkReply::finished, this, [this, id] { onFinished(id); });
    return id;
}

void NetworkHttpClient::cancel(RequestId id)
{
    const auto it = m_pending.find(id);
    if (it == m_pending.end())
        return;
    it->second->forcedError = HttpErrorKind::cancelled;
    it->second->reply->abort(); // emits finished synchronously
}

void NetworkHttpClient::abortForSize(Pending &pending)
{
    pending.forcedError = HttpErrorKind::bodyTooLarge;
    pending.statusAtAbort =
        pending.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    pending.body.clear();
    pending.body.squeeze();
    pending.reply->abort();
}

void NetworkHttpClient::onMetaData(RequestId id)
{
    const auto it = m_pending.find(id);
    if (it == m_pending.end() || it->second->forcedError != HttpErrorKind::none)
        return;
    Pending &p = *it->second;
    const QVariant length = p.reply->header(QNetworkRequest::ContentLengthHeader);
    bool ok = false;
    const qint64 declared = length.toLongLong(&ok);
    if (length.isValid() && ok && declared > p.cap)
        abortForSize(p);
}

void NetworkHttpClient::onReadyRead(RequestId id)
{
    const auto it = m_pending.find(id);
    if (it == m_pending.end() || it->second->forcedError != HttpErrorKind::none)
        return;
    Pending &p = *it->second;
    take(p, p.reply->bytesAvailable());
}

bool NetworkHttpClient::take(Pending &p, qint64 bytes)
{
    if (bytes > p.cap - p.received) {
        abortForSize(p);
        return false;
    }
    p.received += bytes;
    const int status = p.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!p.sink || status < 200 || status > 299) {
        p.body.append(p.reply->read(bytes));
        return true;
    }
    const QByteArray slice = p.reply->read(bytes);
    // A receiver that is gone cannot take the rest: end the transfer rather than feed nobody.
    if ((p.hasContext && !p.context) || !p.sink(slice)) {
        p.forcedError = HttpErrorKind::cancelled;
        p.reply->abort();
        return false;
    }
    return true;
}

namespace {

HttpErrorKind kindOf(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::NoError:
        return HttpErrorKind::none;
    case QNetworkReply::TimeoutError:
    // An expired transfer time-out aborts the reply, which Qt reports as a cancellation; our own
    // cancellations are recorded before the abort, so this one can only be the time-out.
    case QNetworkReply::OperationCanceledError:
        return HttpErrorKind::timeout;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
        return HttpErrorKind::cannotConnect;
    case QNetworkReply::HostNotFoundError:
        return HttpErrorKind::hostNotFound;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ProxyConnectionClosedError:
        return HttpErrorKind::connectionLost;
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::InsecureRedirectError:
        return HttpErrorKind::secureConnectionFailed;
    case QNetworkReply::ProxyTimeoutError:
        return HttpErrorKind::timeout;
    default:
        return HttpErrorKind::other;
    }
}

// Errors Qt raises for an HTTP answer that did arrive (4xx/5xx statuses).
bool isHttpStatusError(QNetworkReply::NetworkError error)
{
    const int code = int(error);
    return (code >= 201 && code <= 299) || (code >= 401 && code <= 499);
}

} // namespace

void NetworkHttpClient::onFinished(RequestId id)
{
    const auto it = m_pending.find(id);
    if (it == m_pending.end())
        return;
    std::unique_ptr<Pending> p = std::move(it->second);
    m_pending.erase(it);
    QNetworkReply *reply = p->reply;
    reply->disconnect(this);
    reply->deleteLater();

    HttpResult result;
    if (p->forcedError != HttpErrorKind::none) {
        result.error = p->forcedError;
        result.status = p->statusAtAbort;
    } else {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const QNetworkReply::NetworkError error = reply->error();
        if (error == QNetworkReply::NoError || (status.isValid() && isHttpStatusError(error))) {
            result.status = status.toInt();
            const qint64 rest = reply->bytesAvailable();
            if (rest > p->cap - p->received) {
                result.error = HttpErrorKind::bodyTooLarge;
            } else if (rest > 0 && !take(*p, rest)) {
                result.error = p->forcedError;
            } else {
                result.body = std::move(p->body);
            }
        } else {
            result.error = kindOf(error);
            // Without any network the platform's own reason (no host, refused, timed out) only
            // hides the real one.
            if (result.error != HttpErrorKind::secureConnectionFailed &&
                systemReportsNoNetworkConnection())
                result.error = HttpErrorKind::notConnected;
        }
    }
    result.errorMessage = httpErrorSentence(result.error);
    if (p->hasContext && !p->context)
        return;
    if (p->done)
        p->done(result);
}

} // namespace varnello
