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

// A hotel's login page of about `bytes` bytes, as a captive portal answers any request: its
// title first, then styles, a script and a long body.
inline QByteArray loginPage(qsizetype bytes)
{
    QByteArray page = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
                      "<title>Hotel Wi-Fi &amp; Lounge \xe2\x80\x93 Log in</title>\n"
                      "<style>body { font: 14px sans-serif; }</style>\n"
                      "<script>var room = 'unknown';</script>\n</head>\n<body>\n";
    const QByteArray paragraph =
        "<p>Please enter your room number and surname to use the internet.</p>\n";
    while (page.size() + paragraph.size() < bytes - 15)
        page += paragraph;
    return page + "</body></html>\n";
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
