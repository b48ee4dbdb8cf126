#pragma once

// A local Club Log stand-in: the exact request path of each mode's chart for fixed test
// credentials, and chart bodies.

#include "ClubLogLookup.h"
#include "HttpStub.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace varnello::test {

inline const QString testApiKey = QStringLiteral("0123456789abcdef0123456789abcdef01234567");

inline ClubLogCredentials testCredentials()
{
    return {QStringLiteral("K1ABC"), QStringLiteral("name+tag@example.com"),
            QStringLiteral("p&ss=w#rd \u00e9")};
}

// Every value fully percent-encoded, in the service's order.
inline QByteArray chartPath(ClubLogMode mode)
{
    return "/json_dxccchart.php?call=K1ABC&api=" + testApiKey.toLatin1() +
           "&email=name%2Btag%40example.com&password=p%26ss%3Dw%23rd%20%C3%A9&mode=" +
           QByteArray::number(clubLogModeDigit(mode)) + "&date=0&sat=0";
}

inline ClubLogService testService(const HttpStub &stub,
                                  std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    ClubLogService service;
    service.chartUrl = stub.url(QStringLiteral("/json_dxccchart.php"));
    service.apiKey = testApiKey;
    service.timeout = timeout;
    return service;
}

// {"291": {"20": 1, ...}} from entity -> band key -> status.
inline QByteArray chartJson(const QHash<int, QHash<QString, int>> &chart)
{
    QJsonObject root;
    for (auto entity = chart.begin(); entity != chart.end(); ++entity) {
        QJsonObject bands;
        for (auto band = entity->begin(); band != entity->end(); ++band)
            bands.insert(band.key(), band.value());
        root.insert(QString::number(entity.key()), bands);
    }
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

} // namespace varnello::test
