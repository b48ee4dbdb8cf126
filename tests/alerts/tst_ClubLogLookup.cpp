#include "ClubLogTestSupport.h"
#include "NetworkReport.h"

#include <QTcpServer>
#include <QTest>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

namespace {

ClubLogLookupError httpError(int status, std::optional<QString> text = std::nullopt)
{
    return ClubLogLookupError::httpError(status, std::move(text));
}

} // namespace

class tst_ClubLogLookup : public QObject {
    Q_OBJECT

private:
    NetworkHttpClient m_http;

    // Runs one lookup to its end.
    ClubLogChartLookup::Result lookup(const ClubLogService &service,
                                      const QList<ClubLogMode> &modes,
                                      const ClubLogCredentials &credentials = testCredentials())
    {
        ClubLogChartLookup lookup(m_http, service);
        std::optional<ClubLogChartLookup::Result> result;
        lookup.start(credentials, modes, [&](const ClubLogChartLookup::Result &r) { result = r; });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 20000); }();
        return result.value_or(ClubLogChartLookup::Result{});
    }

    static QString failureText(const ClubLogChartLookup::Result &r)
    {
        return r.error ? clubLogLookupFailureMessage(*r.error) : QStringLiteral("(no error)");
    }

private Q_SLOTS:
    void errorTexts_data()
    {
        QTest::addColumn<ClubLogLookupError>("error");
        QTest::addColumn<QString>("text");
        const QString login =
            QStringLiteral("Club Log rejected the login details. Check the callsign, email "
                           "address and application password in Settings.");
        QTest::newRow("401") << httpError(401, "whatever") << login;
        QTest::newRow("403") << httpError(403) << login;
        QTest::newRow("429") << httpError(429)
                             << "Club Log is temporarily limiting requests. Try again later.";
        QTest::newRow("503 with body") << httpError(503, "Not Found")
                                       << "Club Log is temporarily unavailable. Try again later.";
        QTest::newRow("404 text") << httpError(404, "Not Found")
                                  << "Club Log returned HTTP 404: Not Found";
        QTest::newRow("404 none") << httpError(404) << "Club Log returned HTTP 404.";
        QTest::newRow("404 tags only")
            << httpError(404, "<html><br/></html>") << "Club Log returned HTTP 404.";
        QTest::newRow("club log") << ClubLogLookupError::clubLogError("  Bad <b>call</b>")
                                  << "Club Log returned an error:   Bad <b>call</b>";
        QTest::newRow("invalid response")
            << ClubLogLookupError{} << "Club Log returned an invalid network response.";
        ClubLogLookupError invalidJson;
        invalidJson.kind = ClubLogLookupError::Kind::invalidJSON;
        QTest::newRow("invalid json")
            << invalidJson << "Club Log returned data that was not a valid DXCC matrix.";
        QTest::newRow("timeout") << ClubLogLookupError::transport(HttpErrorKind::timeout)
                                 << "The Club Log request timed out.";
        QTest::newRow("refused") << ClubLogLookupError::transport(HttpErrorKind::cannotConnect)
                                 << "Club Log could not be reached.";
        QTest::newRow("no host") << ClubLogLookupError::transport(HttpErrorKind::hostNotFound)
                                 << "Club Log could not be reached.";
        QTest::newRow("lost") << ClubLogLookupError::transport(HttpErrorKind::connectionLost)
                              << "The Club Log request failed: The network connection was lost.";
        QTest::newRow("offline") << ClubLogLookupError::transport(HttpErrorKind::notConnected)
                                 << "There is no internet connection.";
    }
    void errorTexts()
    {
        QFETCH(ClubLogLookupError, error);
        QFETCH(QString, text);
        QCOMPARE(clubLogLookupFailureMessage(error), text);
    }

    void cleaningErrorPages()
    {
        QCOMPARE(cleanClubLogErrorText(
                     "<html><head><title>x</title></head>\n<body><h1>Not found</h1></body></html>"),
                 QStringLiteral("x Not found"));
        QCOMPARE(cleanClubLogErrorText("<p></p>\n\t<br>"), QString());
        QCOMPARE(cleanClubLogErrorText("  a \n\n b  "), QStringLiteral("a b"));
    }

    void bandKeys_data()
    {
        QTest::addColumn<QString>("band");
        QTest::addColumn<QString>("key");
        QTest::newRow("160m") << "160m"
                              << "160";
        QTest::newRow("20m") << "20m"
                             << "20";
        QTest::newRow("70cm") << "70cm"
                              << "0.7";
        QTest::newRow("1.2cm") << "1.2cm"
                               << "0.012";
        QTest::newRow("2mm") << "2mm"
                             << "0.002";
        QTest::newRow("2200m") << "2200m" << QString();
        QTest::newRow("1.25m") << "1.25m" << QString();
        QTest::newRow("capitals") << "20M" << QString();
    }
    void bandKeys()
    {
        QFETCH(QString, band);
        QFETCH(QString, key);
        QCOMPARE(clubLogBandKey(band).value_or(QString()), key);
    }

    void eachMode_sendsTheExactQuery_data()
    {
        QTest::addColumn<ClubLogMode>("mode");
        for (ClubLogMode mode : allClubLogModes)
            QTest::newRow(qPrintable(toRaw(mode))) << mode;
    }
    void eachMode_sendsTheExactQuery()
    {
        QFETCH(ClubLogMode, mode);
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse(chartPath(mode), HttpStub::Response::ok(chartJson({{291, {{"20", 1}}}})));
        const auto result = lookup(testService(stub), {mode});
        QCOMPARE(stub.totalRequestCount(), 1);
        QCOMPARE(stub.requests().at(0).path, chartPath(mode));
        QVERIFY2(result.charts, qPrintable(failureText(result)));
        QCOMPARE(result.charts->value(mode).value("291").value("20"), 1);
    }

    void replies_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("text");
        const QString login =
            QStringLiteral("Club Log rejected the login details. Check the callsign, email "
                           "address and application password in Settings.");
        QTest::newRow("403 html") << 403 << QByteArray("<html><body>Forbidden</body></html>")
                                  << login;
        QTest::newRow("401") << 401 << QByteArray() << login;
        QTest::newRow("404 html") << 404
                                  << QByteArray("<html><body><h1>Not found</h1></body></html>")
                                  << "Club Log returned HTTP 404: Not found";
        QTest::newRow("200 text") << 200 << QByteArray("Invalid callsign\n")
                                  << "Club Log returned an error: Invalid callsign";
        QTest::newRow("200 blanks") << 200 << QByteArray(" \r\n ")
                                    << "Club Log returned data that was not a valid DXCC matrix.";
        QTest::newRow("200 not utf-8")
            << 200 << QByteArray("\xff\xfe")
            << "Club Log returned data that was not a valid DXCC matrix.";
        QTest::newRow("string status") << 200 << QByteArray(R"({"1":{"20":"1"}})")
                                       << R"(Club Log returned an error: {"1":{"20":"1"}})";
        QTest::newRow("fraction status") << 200 << QByteArray(R"({"1":{"20":1.5}})")
                                         << R"(Club Log returned an error: {"1":{"20":1.5}})";
        QTest::newRow("huge status") << 200 << QByteArray(R"({"1":{"20":1e300}})")
                                     << R"(Club Log returned an error: {"1":{"20":1e300}})";
        QTest::newRow("array") << 200 << QByteArray("[]") << "Club Log returned an error: []";
    }
    void replies()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse(chartPath(ClubLogMode::cw), HttpStub::Response::withStatus(status, body));
        const auto result = lookup(testService(stub), {ClubLogMode::cw});
        QVERIFY(!result.charts);
        QCOMPARE(failureText(result), text);
    }

    // A reply is cut down where it is read: a sentence quotes at most one short line of it.
    void pagesAreCondensed_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("text");
        const auto instead = [](const QByteArray &body, const char *kind, const QString &words) {
            return QStringLiteral("Club Log returned an error: %1 bytes of %2 (HTTP 200) instead "
                                  "of a DXCC matrix%3.")
                .arg(body.size())
                .arg(QLatin1String(kind), words.isEmpty() ? QString()
                                                          : QStringLiteral(", beginning \u201c") +
                                                                words + QChar(0x201d));
        };
        const QString title = QStringLiteral("Hotel Wi-Fi & Lounge \u2013 Log in");
        QTest::newRow("200 login page")
            << 200 << loginPage(2 << 20)
            << QStringLiteral("Club Log returned an error: 2.0 MiB of HTML (HTTP 200) instead "
                              "of a DXCC matrix, beginning \u201c") +
                   title + QStringLiteral("\u201d.");
        QTest::newRow("404 login page")
            << 404 << loginPage(2 << 20) << QStringLiteral("Club Log returned HTTP 404: ") + title;
        const QByteArray lines("Maintenance\nBack at 18:00 UTC\n");
        QTest::newRow("200 lines") << 200 << lines << instead(lines, "text", "Maintenance");
        const QByteArray longLine = QByteArray("word ").repeated(60);
        QTest::newRow("200 long line")
            << 200 << longLine
            << instead(longLine, "text",
                       QStringLiteral("word ").repeated(40).trimmed() + QChar(0x2026));
        const QByteArray small("<html><body><h1>Error</h1></body></html>");
        QTest::newRow("200 small page") << 200 << small << instead(small, "HTML", "Error");
        const QByteArray empty("<html>\n<body></body>\n</html>");
        QTest::newRow("200 page without words") << 200 << empty << instead(empty, "HTML", {});
        const QByteArray hidden("<html><!-- a\nnote --><script>\nvar x = '<p>';\n</script>\n"
                                "<p>Sign in &lt;here&gt; &#x2192;&#32;now</p>");
        QTest::newRow("scripts and comments skipped")
            << 200 << hidden
            << instead(hidden, "HTML", QStringLiteral("Sign in <here> \u2192 now"));
        // No blank to cut at: the cut never splits a character.
        const QString faces = QLatin1Char('a') + QStringLiteral("\U0001F600").repeated(150);
        QTest::newRow("no blank") << 200 << faces.toUtf8()
                                  << instead(faces.toUtf8(), "text",
                                             faces.left(199) + QChar(0x2026));
    }
    void pagesAreCondensed()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse(chartPath(ClubLogMode::cw), HttpStub::Response::withStatus(status, body));
        QCOMPARE(failureText(lookup(testService(stub), {ClubLogMode::cw})), text);
    }

    void emptyObject_isAnEmptyChart()
    {
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse(chartPath(ClubLogMode::ssb), HttpStub::Response::ok("{}"));
        const auto result = lookup(testService(stub), {ClubLogMode::ssb});
        QVERIFY(result.charts);
        QVERIFY(result.charts->value(ClubLogMode::ssb).isEmpty());
    }

    void hangingService_timesOut()
    {
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse(chartPath(ClubLogMode::cw), HttpStub::Response{.hang = true});
        const auto result = lookup(testService(stub, 300ms), {ClubLogMode::cw});
        QCOMPARE(failureText(result), QStringLiteral("The Club Log request timed out."));
    }

    // A refused connection cannot reach the service; while the system reports no network at
    // all, the same failure is told as the missing connection.
    void closedPort_cannotBeReached_data()
    {
        QTest::addColumn<bool>("offline");
        QTest::addColumn<QString>("text");
        QTest::newRow("online") << false << "Club Log could not be reached.";
        QTest::newRow("offline") << true << "There is no internet connection.";
    }

    void closedPort_cannotBeReached()
    {
        QFETCH(bool, offline);
        QFETCH(QString, text);
        std::optional<ScopedNoNetworkConnection> noNetwork;
        if (offline)
            noNetwork.emplace();
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        ClubLogService service;
        service.chartUrl =
            QUrl(QStringLiteral("http://127.0.0.1:%1/json_dxccchart.php").arg(server.serverPort()));
        service.apiKey = testApiKey;
        server.close();
        QCOMPARE(failureText(lookup(service, {ClubLogMode::cw})), text);
    }

    void modesAreFetchedInTurn_andTheFirstFailureStopsTheRest()
    {
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse(chartPath(ClubLogMode::cw), HttpStub::Response::ok("{}"));
        stub.setResponse(chartPath(ClubLogMode::ssb), HttpStub::Response::withStatus(500));
        stub.setResponse(chartPath(ClubLogMode::data), HttpStub::Response::ok("{}"));
        const auto failed =
            lookup(testService(stub), {ClubLogMode::cw, ClubLogMode::ssb, ClubLogMode::data});
        QVERIFY(!failed.charts);
        QCOMPARE(failureText(failed),
                 QStringLiteral("Club Log is temporarily unavailable. Try again later."));
        QCOMPARE(stub.requestCount(chartPath(ClubLogMode::data)), 0);
        QCOMPARE(stub.totalRequestCount(), 2);

        stub.setResponse(chartPath(ClubLogMode::ssb), HttpStub::Response::ok("{}"));
        const auto done =
            lookup(testService(stub), {ClubLogMode::cw, ClubLogMode::ssb, ClubLogMode::data});
        QVERIFY(done.charts);
        QCOMPARE(done.charts->size(), 3);
        const auto requests = stub.requests();
        QCOMPARE(requests.mid(2).size(), 3);
        QCOMPARE(requests[2].path, chartPath(ClubLogMode::cw));
        QCOMPARE(requests[3].path, chartPath(ClubLogMode::ssb));
        QCOMPARE(requests[4].path, chartPath(ClubLogMode::data));
    }

    void noApiKey_sendsNothing()
    {
        HttpStub stub;
        QVERIFY(stub.listen());
        ClubLogService service = testService(stub);
        service.apiKey.clear();
        QCOMPARE(failureText(lookup(service, {ClubLogMode::cw})),
                 QStringLiteral("This build has no Club Log API key."));
        QCOMPARE(stub.totalRequestCount(), 0);
    }

    void errorTexts_neverCarryTheSecrets()
    {
        HttpStub stub;
        QVERIFY(stub.listen());
        const ClubLogCredentials c = testCredentials();
        stub.setResponse(chartPath(ClubLogMode::cw),
                         HttpStub::Response::withStatus(
                             404, "No account " + c.email.toUtf8() + " with password " +
                                      c.password.toUtf8() + " key " + testApiKey.toUtf8()));
        stub.setResponse(chartPath(ClubLogMode::ssb),
                         HttpStub::Response::ok("Bad login NAME%2BTAG%40EXAMPLE.COM " +
                                                testApiKey.toUpper().toUtf8()));
        // A secret that the cut of a long line would split still goes as a whole.
        stub.setResponse(chartPath(ClubLogMode::data),
                         HttpStub::Response::ok(QByteArray("word ").repeated(38) +
                                                c.password.toUtf8() + " and more\nwords"));
        for (ClubLogMode mode : {ClubLogMode::cw, ClubLogMode::ssb, ClubLogMode::data}) {
            const QString text = failureText(lookup(testService(stub), {mode}));
            QVERIFY2(text.startsWith(QStringLiteral("Club Log returned")), qPrintable(text));
            QVERIFY2(!text.contains(QStringLiteral("example.com"), Qt::CaseInsensitive),
                     qPrintable(text));
            QVERIFY2(!text.contains(QStringLiteral("w#rd")), qPrintable(text));
            QVERIFY2(!text.contains(QStringLiteral("p&ss")), qPrintable(text));
            QVERIFY2(!text.contains(testApiKey, Qt::CaseInsensitive), qPrintable(text));
        }
    }

    void destroyingTheLookup_abortsItSilently()
    {
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse(chartPath(ClubLogMode::cw), HttpStub::Response{.hang = true});
        bool completed = false;
        {
            ClubLogChartLookup lookup(m_http, testService(stub));
            lookup.start(testCredentials(), {ClubLogMode::cw},
                         [&](const auto &) { completed = true; });
            QTRY_COMPARE_WITH_TIMEOUT(stub.totalRequestCount(), 1, 10000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(stub.openConnectionCount(), 0, 10000);
        QTest::qWait(50);
        QVERIFY(!completed);
    }
};

QTEST_GUILESS_MAIN(tst_ClubLogLookup)
#include "tst_ClubLogLookup.moc"
