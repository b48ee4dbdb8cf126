#include "TcpConnection.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace varnello;
using namespace std::chrono_literals;
using State = TcpConnection::State;

namespace {

// A port on 127.0.0.1 where nothing listens (taken from a server that was closed again).
quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

} // namespace

class TestTcpConnection : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reachablePeer_reportsPreparingThenReady()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        TcpConnection connection(QStringLiteral("127.0.0.1"), server.serverPort());
        QList<State> states;
        connect(&connection, &TcpConnection::stateChanged, this,
                [&](State s, const QString &) { states << s; });
        connection.start();
        QTRY_COMPARE(connection.state(), State::ready);
        QCOMPARE(states, (QList<State>{State::preparing, State::ready}));
        QVERIFY(connection.socket()->state() == QAbstractSocket::ConnectedState);
    }

    void refusedPeer_waitsOnceAndKeepsTrying()
    {
        const quint16 port = freePort();
        TcpConnection connection(QStringLiteral("127.0.0.1"), port, 30ms);
        QList<State> states;
        QString reason;
        connect(&connection, &TcpConnection::stateChanged, this, [&](State s, const QString &r) {
            states << s;
            reason = r;
        });
        connection.start();
        QTRY_VERIFY(connection.attemptCount() >= 4);
        // Repeated identical refusals are one waiting report, not one per retry.
        QCOMPARE(states, (QList<State>{State::preparing, State::waiting}));
        QVERIFY(!reason.isEmpty());
        QCOMPARE(connection.state(), State::waiting);
    }

    void waitingConnection_becomesReadyWhenPeerAppears()
    {
        const quint16 port = freePort();
        TcpConnection connection(QStringLiteral("127.0.0.1"), port, 30ms);
        connection.start();
        QTRY_COMPARE(connection.state(), State::waiting);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, port));
        QTRY_COMPARE_WITH_TIMEOUT(connection.state(), State::ready, 10000);
        QTRY_VERIFY(server.hasPendingConnections());
    }

    void errorsAfterReady_areLeftToTheReader()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        TcpConnection connection(QStringLiteral("127.0.0.1"), server.serverPort(), 30ms);
        connection.start();
        QTRY_COMPARE(connection.state(), State::ready);
        QTRY_VERIFY(server.hasPendingConnections());
        QSignalSpy states(&connection, &TcpConnection::stateChanged);
        QSignalSpy closed(connection.socket(), &QTcpSocket::disconnected);
        delete server.nextPendingConnection();
        QTRY_COMPARE(closed.count(), 1);
        QTest::qWait(100);
        QCOMPARE(states.count(), 0);
        QCOMPARE(connection.attemptCount(), 1);
    }

    void quietCancel_reportsNothingAndStopsRetrying()
    {
        TcpConnection connection(QStringLiteral("127.0.0.1"), freePort(), 20ms);
        connection.start();
        QTRY_COMPARE(connection.state(), State::waiting);
        QSignalSpy states(&connection, &TcpConnection::stateChanged);
        connection.cancel(true);
        const int attempts = connection.attemptCount();
        QTest::qWait(150);
        QCOMPARE(states.count(), 0);
        QCOMPARE(connection.attemptCount(), attempts);
    }

    void cancel_reportsCancelledOnce()
    {
        TcpConnection connection(QStringLiteral("127.0.0.1"), freePort(), 20ms);
        QSignalSpy states(&connection, &TcpConnection::stateChanged);
        connection.start();
        connection.cancel();
        connection.cancel();
        QCOMPARE(states.count(), 2);
        QCOMPARE(states.at(1).at(0).value<State>(), State::cancelled);
    }
};

QTEST_GUILESS_MAIN(TestTcpConnection)
#include "tst_TcpConnection.moc"
