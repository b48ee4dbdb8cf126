#include "HttpClient.h"
#include "HttpStub.h"
#include "PublicAddressService.h"
#include "ResilienceHarness.h"

#include <QtTest>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

namespace {

const QString kDuplicateLine =
    QStringLiteral("Reconnected as N0CALL-3 at 192.0.2.10, this instance is disconnected");

} // namespace

class TestAutoReconnect : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void nodeClosingAfterEveryLogin_isConnectedEightTimes_thenAlert()
    {
        FakeClusterNode node;
        node.setBehaviour(FakeClusterNode::Behaviour::CloseAfterLogin);
        ResilienceHarness h;
        h.usePrimary(node);
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->autoReconnectController().alert().has_value(), 20000);
        QCOMPARE(*h.conn->autoReconnectController().alert(),
                 AutoReconnectAlert::repeatedFailures());
        QCOMPARE(h.conn->statusText(), QStringLiteral("Automatic reconnect stopped"));
        QCOMPARE(node.connectionCount(), 8);
        QVERIFY(!h.conn->isConnectionSequenceActive());
        settle(800ms);
        QCOMPARE(node.connectionCount(), 8); // no ninth
    }

    void closesFortySixSecondsApart_neverRaiseTheAlert()
    {
        FakeClusterNode node;
        node.setBehaviour(FakeClusterNode::Behaviour::CloseAfterLogin);
        ResilienceHarness h;
        node.onConnected = [&h](int) { h.clock.advance(46s); };
        h.usePrimary(node);
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(node.connectionCount() >= 12, 20000);
        QVERIFY(!h.conn->autoReconnectController().alert());
        QCOMPARE(h.conn->autoReconnectController().recentDisconnectCount(), 1);
    }

    void duplicateLogin_stopsAndOffersAnotherCallsign_data()
    {
        QTest::addColumn<bool>("echoAnswers");
        QTest::newRow("echo service answers") << true;
        QTest::newRow("echo service fails") << false;
    }

    void duplicateLogin_stopsAndOffersAnotherCallsign()
    {
        QFETCH(bool, echoAnswers);
        HttpStub echo;
        QVERIFY(echo.listen());
        echo.setResponse("/", echoAnswers ? HttpStub::Response::ok("203.0.113.7\n")
                                          : HttpStub::Response::withStatus(500));
        NetworkHttpClient http;
        PublicAddressService address(http, echo.baseUrl());

        FakeClusterNode node;
        answerStatus(node);
        ResilienceHarness h(scaledTiming(), QStringLiteral("dx.invalid"), &address);
        h.settings.setString(QString(SettingsKeys::clusterCallsign.name),
                             QStringLiteral("N0CALL-3"));
        logIn(h, node);

        node.sendLine(kDuplicateLine);
        node.closeConnection();
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->autoReconnectController().alert().has_value(), 10000);
        QCOMPARE(*h.conn->autoReconnectController().alert(),
                 AutoReconnectAlert::duplicateConnection(
                     QStringLiteral("N0CALL-3"), QStringLiteral("192.0.2.10"),
                     echoAnswers ? std::optional(QStringLiteral("203.0.113.7")) : std::nullopt,
                     QStringLiteral("N0CALL-22")));
        QCOMPARE(echo.requestCount("/"), 1);
        QVERIFY(h.consoleHas(kDuplicateLine));
        QVERIFY(!h.conn->isConnectionSequenceActive());
        settle(500ms);
        QCOMPARE(node.connectionCount(), 1); // no reconnect

        h.conn->autoReconnectController().reconnectWithCallsign(QStringLiteral("N0CALL-22"));
        QCOMPARE(h.settings.string(QString(SettingsKeys::clusterCallsign.name)),
                 QStringLiteral("N0CALL-22"));
        QVERIFY(!h.conn->autoReconnectController().alert());
        QTRY_COMPARE_WITH_TIMEOUT(node.connectionCount(), 2, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(node.loginCallsign(1), QStringLiteral("N0CALL-22"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->isLoggedIn(), 10000);
    }

    void duplicateLoginAsTheSuggestedCallsign_offersNothingNew()
    {
        FakeClusterNode node;
        answerStatus(node);
        ResilienceHarness h;
        h.settings.setString(QString(SettingsKeys::clusterCallsign.name),
                             QStringLiteral("n0call-22"));
        logIn(h, node);
        node.sendLine(QStringLiteral(
            "Reconnected as N0CALL-22 at 192.0.2.10, this instance is disconnected"));
        node.closeConnection();
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->autoReconnectController().alert().has_value(), 10000);
        QCOMPARE(h.conn->autoReconnectController().alert()->suggestedCallsign, std::nullopt);
    }

    void manualDisconnect_endsEverything()
    {
        FakeClusterNode node;
        node.setBehaviour(FakeClusterNode::Behaviour::CloseAfterLogin);
        ResilienceHarness h;
        h.usePrimary(node);
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(node.connectionCount() >= 2, 10000);
        h.conn->disconnect();
        const int count = node.connectionCount();
        settle(600ms);
        QCOMPARE(node.connectionCount(), count);
        QVERIFY(!h.conn->isConnectionSequenceActive());
        QCOMPARE(h.conn->statusText(), QStringLiteral("Disconnected"));
    }
};

QTEST_GUILESS_MAIN(TestAutoReconnect)
#include "tst_AutoReconnect.moc"
