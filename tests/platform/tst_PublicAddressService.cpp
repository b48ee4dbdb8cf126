#include "HttpClient.h"
#include "HttpStub.h"
#include "PublicAddressService.h"

#include <QtTest>

using namespace varnello;
using varnello::test::HttpStub;

class TestPublicAddressService : public QObject {
    Q_OBJECT

    // Runs one lookup against the stub's root and returns its answer.
    static std::optional<QString> lookup(const QUrl &base)
    {
        NetworkHttpClient http;
        PublicAddressService service(http, base);
        bool finished = false;
        std::optional<QString> answer;
        QObject context;
        service.fetchPublicIPv4Address(&context, [&](std::optional<QString> a) {
            finished = true;
            answer = std::move(a);
        });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(finished, 15000); }();
        return answer;
    }

private Q_SLOTS:
    void defaultService_isTheEchoServiceRoot()
    {
        QCOMPARE(QString(PublicAddressService::kDefaultBaseUrl),
                 QStringLiteral("https://api.ipify.org"));
    }

    void answer_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected"); // empty: absent
        QTest::newRow("address and line end")
            << 200 << QByteArray("203.0.113.7\r\n") << "203.0.113.7";
        QTest::newRow("blanks around") << 200 << QByteArray("  198.51.100.1 ") << "198.51.100.1";
        QTest::newRow("not found") << 404 << QByteArray("203.0.113.7") << "";
        QTest::newRow("server error") << 503 << QByteArray("203.0.113.7") << "";
        QTest::newRow("out of range") << 200 << QByteArray("256.1.1.1") << "";
        QTest::newRow("ipv6") << 200 << QByteArray("2001:db8::1") << "";
        QTest::newRow("html page") << 200 << QByteArray("<html>203.0.113.7</html>") << "";
        QTest::newRow("bad utf-8") << 200 << QByteArray("203.0.113.7\xff") << "";
        QTest::newRow("empty") << 200 << QByteArray() << "";
        QTest::newRow("body past the cap")
            << 200 << QByteArray("203.0.113.7") + QByteArray(300, ' ') << "";
    }

    void answer()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse("/", HttpStub::Response::withStatus(status, body));
        const auto answer = lookup(stub.baseUrl());
        QCOMPARE(stub.requestCount("/"), 1);
        if (expected.isEmpty())
            QVERIFY2(!answer, qPrintable(answer.value_or(QString())));
        else
            QCOMPARE(answer.value_or(QStringLiteral("<absent>")), expected);
    }

    void closedWithoutAnswer_givesNoAddress()
    {
        HttpStub stub;
        QVERIFY(stub.listen());
        HttpStub::Response response;
        response.closeWithoutAnswer = true;
        stub.setResponse("/", response);
        QVERIFY(!lookup(stub.baseUrl()));
    }

    void unreachableService_givesNoAddress()
    {
        quint16 port = 0;
        {
            HttpStub stub;
            QVERIFY(stub.listen());
            port = stub.port();
        }
        QVERIFY(!lookup(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port))));
    }

    void destroyedContext_getsNoCallback()
    {
        HttpStub stub;
        QVERIFY(stub.listen());
        stub.setResponse("/", HttpStub::Response::ok("203.0.113.7"));
        NetworkHttpClient http;
        PublicAddressService service(http, stub.baseUrl());
        bool called = false;
        {
            QObject context;
            service.fetchPublicIPv4Address(&context,
                                           [&](std::optional<QString>) { called = true; });
        }
        QTest::qWait(300);
        QVERIFY(!called);
    }
};

QTEST_GUILESS_MAIN(TestPublicAddressService)
#include "tst_PublicAddressService.moc"
