#pragma once

#include "PublicAddressSource.h"

#include <QUrl>
#include <chrono>

namespace varnello {

class HttpClient;

// The public-address echo service: a GET of its root answers with the caller's IPv4 address as
// plain text.
class PublicAddressService final : public PublicAddressSource {
public:
    static constexpr QLatin1StringView kDefaultBaseUrl{"https://api.ipify.org"};
    static constexpr std::chrono::milliseconds kTimeout{5000};
    // An address is at most 15 characters; anything much longer is not the answer we asked for.
    static constexpr qint64 kMaximumBodyBytes = 256;

    explicit PublicAddressService(HttpClient &http, QUrl baseUrl = QUrl(QString(kDefaultBaseUrl)));

    void fetchPublicIPv4Address(QObject *context, Completion done) override;

    const QUrl &baseUrl() const { return m_baseUrl; }

private:
    HttpClient &m_http;
    QUrl m_baseUrl;
};

} // namespace varnello
