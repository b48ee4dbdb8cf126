#include "HttpClient.h"
#include "HttpStub.h"
#include "NetworkReport.h"

#include <QTcpServer>
#include <QtTest>
#include <optional>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(varnello::HttpErrorKind)

class TestHttpClient : public QObject {
    Q_OBJECT

    // Runs one GET and waits (generously) for its result.
    std::optional<HttpResult> fetch(NetworkHttpClient &client, const QUrl &url,
                                    qint64 cap = 1 << 20, std::chrono::milliseconds timeout = 10s)
    {
        std::optional<HttpResult> result;
        client.get({url, timeout, cap}, this, [&](const HttpResult &r) { result = r; });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 20000); }();
        return result;
    }

    static void verifyNoAddressIn(const HttpResult &r, const HttpStub &stub)
    {
        QVERIFY(!r.errorMessage.isEmpty());
        QVERIFY(!r.errorMessage.contains(QStringLiteral("127.0.0.1")));
        QVERIFY(!r.errorMessage.contains(QString::number(stub.port())));
        QVERIFY(!r.errorMessage.contains(QStringLiteral("http"), Qt::CaseInsensitive));
    }

private Q_SLOTS:
    void answers_giveStatusAndBodyWithoutTransportError_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("200") << 200 << QByteArray("hello");
        QTest::newRow("203") << 203 << QByteArray("portal");
        QTest::newRow("404 with body") << 404 << QByteArray("missing");
        QTest::newRow("503") << 503 << QByteArray("busy");
        QTest::newRow("200 empty") << 200 << QByteArray();
    }
    void answers_giveStatusAndBodyWithoutTransportError()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse("/x", HttpStub::Response::withStatus(status, body));
        NetworkHttpClient client;
        const auto r = fetch(client, stub.url(QStringLiteral("/x")));
        QVERIFY(r);
        QCOMPARE(r->error, HttpErrorKind::none);
        QCOMPARE(r->status, status);
        QCOMPARE(r->body, body);
        QVERIFY(r->errorMessage.isEmpty());
    }

    void chunkedBody_isReassembled()
    {
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse("/c", {.body = QByteArray(300'000, 'z'), .chunked = true});
        NetworkHttpClient client;
        const auto r = fetch(client, stub.url(QStringLiteral("/c")));
        QCOMPARE(r->status, 200);
        QCOMPARE(r->body, QByteArray(300'000, 'z'));
    }

    void everyRequest_goesToTheNetwork()
    {
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse("/same", {.headers = {{"Cache-Control", "max-age=3600"}}, .body = "v"});
        NetworkHttpClient client;
        fetch(client, stub.url(QStringLiteral("/same")));
        fetch(client, stub.url(QStringLiteral("/same")));
        QCOMPARE(stub.requestCount("/same"), 2);
    }

    void silence_isReportedAsTimeOutNotCancellation_data()
    {
        QTest::addColumn<bool>("afterHeaders");
        QTest::newRow("no answer") << false;
        QTest::newRow("head, then nothing") << true;
    }
    void silence_isReportedAsTimeOutNotCancellation()
    {
        QFETCH(bool, afterHeaders);
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse("/h",
                         {.body = "abc", .hang = !afterHeaders, .hangAfterHeaders = afterHeaders});
        NetworkHttpClient client;
        const auto r = fetch(client, stub.url(QStringLiteral("/h")), 1 << 20, 300ms);
        QCOMPARE(r->error, HttpErrorKind::timeout);
        QCOMPARE(r->errorMessage, QStringLiteral("The request timed out."));
        QCOMPARE(r->status, 0);
        verifyNoAddressIn(*r, stub);
    }

    void bodyCap_abortsOnDeclaredOrReceivedSize_data()
    {
        QTest::addColumn<bool>("chunked");
        QTest::addColumn<bool>("declareLength");
        QTest::newRow("declared length") << false << true;
        QTest::newRow("chunked, no length") << true << false;
        QTest::newRow("until close, no length") << false << false;
    }
    void bodyCap_abortsOnDeclaredOrReceivedSize()
    {
        QFETCH(bool, chunked);
        QFETCH(bool, declareLength);
        HttpStub stub;
        QVERIFY(stub.listen());
        constexpr qint64 kHuge = 512LL * 1024 * 1024;
        stub.setResponse("/big", {.generatedBodyBytes = kHuge,
                                  .chunked = chunked,
                                  .omitContentLength = !declareLength && !chunked});
        NetworkHttpClient client;
        const auto r = fetch(client, stub.url(QStringLiteral("/big")), 1 << 20);
        QCOMPARE(r->error, HttpErrorKind::bodyTooLarge);
        QVERIFY(r->body.isEmpty());
        verifyNoAddressIn(*r, stub);
        // The transfer was cut off, not read to its end.
        QTRY_COMPARE_WITH_TIMEOUT(stub.openConnectionCount(), 0, 20000);
    }

    void bodyCap_allowsExactlyTheCap()
    {
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse("/fit", {.generatedBodyBytes = 1000});
        stub.setResponse("/over", {.generatedBodyBytes = 1001, .chunked = true});
        NetworkHttpClient client;
        const auto fit = fetch(client, stub.url(QStringLiteral("/fit")), 1000);
        QCOMPARE(fit->error, HttpErrorKind::none);
        QCOMPARE(fit->body.size(), 1000);
        const auto over = fetch(client, stub.url(QStringLiteral("/over")), 1000);
        QCOMPARE(over->error, HttpErrorKind::bodyTooLarge);
        QCOMPARE(over->status, 200);
    }

    void bodyCap_keepsTheStatusOfTheCutOffAnswer()
    {
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse("/declared", {.status = 503, .generatedBodyBytes = 5000});
        stub.setResponse("/streamed", {.status = 404, .generatedBodyBytes = 5000, .chunked = true});
        NetworkHttpClient client;
        const auto declared = fetch(client, stub.url(QStringLiteral("/declared")), 1000);
        QCOMPARE(declared->error, HttpErrorKind::bodyTooLarge);
        QCOMPARE(declared->status, 503);
        const auto streamed = fetch(client, stub.url(QStringLiteral("/streamed")), 1000);
        QCOMPARE(streamed->error, HttpErrorKind::bodyTooLarge);
        QCOMPARE(streamed->status, 404);
    }

    void lies_aboutLengthOrClosing_areTransportFailures()
    {
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse("/close", {.closeWithoutAnswer = true});
        stub.setResponse("/short", {.body = "abc", .declaredLength = 10});
        NetworkHttpClient client;
        for (const char *path : {"/close", "/short"}) {
            const auto r = fetch(client, stub.url(QString::fromLatin1(path)));
            QVERIFY2(r->isTransportFailure(), path);
            QCOMPARE(r->status, 0);
            verifyNoAddressIn(*r, stub);
        }
    }

    // A machine without any network says so rather than the platform's reason of the moment.
    void refusedConnection_isCannotConnectOrNotConnected_data()
    {
        QTest::addColumn<bool>("offline");
        QTest::addColumn<HttpErrorKind>("error");
        QTest::newRow("connected") << false << HttpErrorKind::cannotConnect;
        QTest::newRow("no network connection") << true << HttpErrorKind::notConnected;
    }
    void refusedConnection_isCannotConnectOrNotConnected()
    {
        QFETCH(bool, offline);
        QFETCH(HttpErrorKind, error);
        std::optional<ScopedNoNetworkConnection> noNetwork;
        if (offline)
            noNetwork.emplace();
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        NetworkHttpClient client;
        const auto r = fetch(client, QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(port)));
        QCOMPARE(r->error, error);
        QCOMPARE(r->errorMessage, httpErrorSentence(error));
        QVERIFY(!r->errorMessage.contains(QString::number(port)));
    }

    void cancel_reportsCancellation()
    {
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse("/h", {.hang = true});
        NetworkHttpClient client;
        std::optional<HttpResult> result;
        const auto id = client.get({stub.url(QStringLiteral("/h")), 10s, 100}, this,
                                   [&](const HttpResult &r) { result = r; });
        QTRY_COMPARE_WITH_TIMEOUT(stub.requestCount("/h"), 1, 20000);
        client.cancel(id);
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 20000);
        QCOMPARE(result->error, HttpErrorKind::cancelled);
        client.cancel(id); // finished ids are ignored
    }

    void destroyedContext_receivesNothing()
    {
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse("/slow", {.body = "x", .delay = 200ms});
        NetworkHttpClient client;
        bool called = false;
        auto *context = new QObject;
        client.get({stub.url(QStringLiteral("/slow")), 10s, 100}, context,
                   [&](const HttpResult &) { called = true; });
        delete context;
        // A later request on the same client completes, so the first has had its chance.
        fetch(client, stub.url(QStringLiteral("/slow")));
        QTRY_COMPARE_WITH_TIMEOUT(stub.requestCount("/slow"), 2, 20000);
        QTest::qWait(300);
        QVERIFY(!called);
    }

    void bodySink_takesA2xxBodyInSlicesUnderTheCap_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("chunked");
        QTest::addColumn<qint64>("cap");
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<HttpErrorKind>("error");
        QTest::addColumn<bool>("sunk"); // the body went to the sink, not into the result
        QTest::newRow("chunked") << 200 << true << qint64(1 << 20) << false << HttpErrorKind::none
                                 << true;
        QTest::newRow("404 is collected")
            << 404 << false << qint64(1 << 20) << false << HttpErrorKind::none << false;
        QTest::newRow("declared past the cap")
            << 200 << false << qint64(1000) << false << HttpErrorKind::bodyTooLarge << true;
        QTest::newRow("streamed past the cap")
            << 200 << true << qint64(1000) << false << HttpErrorKind::bodyTooLarge << true;
        QTest::newRow("sink refuses")
            << 200 << true << qint64(1 << 20) << true << HttpErrorKind::cancelled << true;
    }
    void bodySink_takesA2xxBodyInSlicesUnderTheCap()
    {
        QFETCH(int, status);
        QFETCH(bool, chunked);
        QFETCH(qint64, cap);
        QFETCH(bool, refuse);
        QFETCH(HttpErrorKind, error);
        QFETCH(bool, sunk);
        QByteArray body(300'000, Qt::Uninitialized);
        for (qsizetype i = 0; i < body.size(); ++i)
            body[i] = char(i * 7 % 251);
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse("/file", {.status = status, .body = body, .chunked = chunked});
        NetworkHttpClient client;
        QByteArray received;
        HttpRequest request{stub.url(QStringLiteral("/file")), 10s, cap};
        request.bodySink = [&](QByteArrayView slice) {
            received.append(slice);
            return !refuse;
        };
        std::optional<HttpResult> result;
        client.get(request, this, [&](const HttpResult &r) { result = r; });
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 20000);
        QCOMPARE(result->error, error);
        if (error != HttpErrorKind::none)
            return;
        QCOMPARE(result->status, status);
        QCOMPARE(sunk ? received : result->body, body);
        QVERIFY(sunk ? result->body.isEmpty() : received.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestHttpClient)
#include "tst_HttpClient.moc"
