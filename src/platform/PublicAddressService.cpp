#include "PublicAddressService.h"

#include "HttpClient.h"

#include <QStringDecoder>

namespace varnello {

PublicAddressService::PublicAddressService(HttpClient &http, QUrl baseUrl)
    : m_http(http), m_baseUrl(std::move(baseUrl))
{
}

void PublicAddressService::fetchPublicIPv4Address(QObject *context, Completion done)
{
    QUrl url = m_baseUrl;
    if (url.path().isEmpty())
        url.setPath(QStringLiteral("/"));
    HttpRequest request;
    request.url = url;
    request.timeout = kTimeout;
    request.maxBodyBytes = kMaximumBodyBytes;
    m_http.get(request, context, [done = std::move(done)](const HttpResult &result) {
        if (result.isTransportFailure() || result.status < 200 || result.status > 299) {
            done(std::nullopt);
            return;
        }
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString text = decoder.decode(result.body);
        if (decoder.hasError()) {
            done(std::nullopt);
            return;
        }
        const QString trimmed = text.trimmed();
        done(isIPv4Address(trimmed) ? std::optional<QString>(trimmed) : std::nullopt);
    });
}

} // namespace varnello
