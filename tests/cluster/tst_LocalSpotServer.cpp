#include "LocalSpotServer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <vector>

using namespace varnello;

namespace {

constexpr int waitMs = 10'000;

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::Any, 0))
        return 0;
    return probe.serverPort();
}

QString spotLine(int index)
{
    return QStringLiteral("DX de K1ABC:     14025.0  DL%1XYZ        CW 23 dB 22 WPM CQ       1200Z")
        .arg(index);
}

QByteArray wireLines(int from, int to)
{
    QByteArray out;
    for (int i = from; i <= to; ++i)
        out += spotLine(i).toUtf8() + "\r\n";
    return out;
}

// A well-behaved client that keeps everything it receives.
struct Reader {
    QTcpSocket socket;
    QByteArray received;

    explicit Reader(quint16 port)
    {
        QObject::connect(&socket, &QIODevice::readyRead, [this] { received += socket.readAll(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
};

// A client that never reads, with a small receive window so the server's buffer for it fills.
struct StalledClient {
    int fd = -1;

    explicit StalledClient(quint16 port)
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int small = 4096;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ~StalledClient()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

struct StartedServer {
    std::unique_ptr<LocalSpotServer> server;
    quint16 port = 0;
    QStringList console;
};

std::unique_ptr<StartedServer> startServer(LocalSpotServerLimits limits = {})
{
    auto started = std::make_unique<StartedServer>();
    started->server = std::make_unique<LocalSpotServer>(limits);
    QObject::connect(started->server.get(), &LocalSpotServer::consoleLine,
                     [list = &started->console](const QString &line) { list->append(line); });
    started->port = freePort();
    started->server->start(started->port);
    return started;
}

} // namespace

class tst_LocalSpotServer : public QObject {
    Q_OBJECT

private slots:
    void start_announcesListeningPortOnce()
    {
        auto s = startServer();
        QVERIFY(s->server->hasListener());
        QCOMPARE(s->server->port(), s->port);
        QTRY_COMPARE_WITH_TIMEOUT(s->console.size(), 1, waitMs);
        QCOMPARE(s->console.first(),
                 QStringLiteral("Local spot server listening on port %1.").arg(s->port));
    }

    void start_portZero_refusedWithConsoleLine()
    {
        auto s = startServer();
        s->server->start(0);
        s->server->ensureListening(0);
        QCOMPARE(s->console.count(QStringLiteral("Local server could not start: invalid port 0.")),
                 2);
        QVERIFY(
            s->console.contains(QStringLiteral("Local server could not start: invalid port 0.")));
        // The refused start leaves the running server alone.
        QCOMPARE(s->server->port(), s->port);
        QVERIFY(s->server->hasListener());
    }

    void clients_receiveOnlySpotsAfterConnecting_asRawLinesWithCRLF_noGreeting()
    {
        auto s = startServer();
        Reader early(s->port);
        QTRY_COMPARE_WITH_TIMEOUT(s->server->clientCount(), 1, waitMs);
        for (int i = 1; i <= 3; ++i)
            s->server->broadcastLine(spotLine(i));
        QTRY_COMPARE_WITH_TIMEOUT(early.received, wireLines(1, 3), waitMs);

        Reader late(s->port);
        QTRY_COMPARE_WITH_TIMEOUT(s->server->clientCount(), 2, waitMs);
        for (int i = 4; i <= 6; ++i)
            s->server->broadcastLine(spotLine(i));
        QTRY_COMPARE_WITH_TIMEOUT(early.received, wireLines(1, 6), waitMs);
        QTRY_COMPARE_WITH_TIMEOUT(late.received, wireLines(4, 6), waitMs);
    }

    void nonAsciiLine_isSentAsItsUtf8Bytes()
    {
        auto s = startServer();
        Reader reader(s->port);
        QTRY_COMPARE_WITH_TIMEOUT(s->server->clientCount(), 1, waitMs);
        const QString line = QStringLiteral("DX de R9ÄBC:  7012.0  UA0ЖЖ  Привет 73 ÿ  0815Z");
        s->server->broadcastLine(line);
        QTRY_COMPARE_WITH_TIMEOUT(reader.received, line.toUtf8() + "\r\n", waitMs);
    }

    void clientText_getsNoReply_andClientStaysConnected()
    {
        auto s = startServer();
        Reader chatty(s->port);
        QTRY_COMPARE_WITH_TIMEOUT(s->server->clientCount(), 1, waitMs);
        chatty.socket.write("sh/dx\r\nbye\r\n" + QByteArray(512 * 1024, 'x'));
        QTRY_COMPARE_WITH_TIMEOUT(chatty.socket.bytesToWrite(), qint64(0), waitMs);
        QTest::qWait(200);
        QVERIFY(chatty.received.isEmpty());
        // Thrown away as it arrives rather than piling up unread.
        QCOMPARE(s->server->bufferedClientInput(), qint64(0));
        QCOMPARE(s->server->clientCount(), 1);

        s->server->broadcastLine(spotLine(1));
        QTRY_COMPARE_WITH_TIMEOUT(chatty.received, wireLines(1, 1), waitMs);
        QCOMPARE(chatty.socket.state(), QAbstractSocket::ConnectedState);
    }

    void stalledClient_doesNotHoldUpOthers_andIsDroppedAtTheCap()
    {
        auto s = startServer();
        Reader fast(s->port);
        StalledClient stalled(s->port);
        QVERIFY(stalled.fd >= 0);
        QTRY_COMPARE_WITH_TIMEOUT(s->server->clientCount(), 2, waitMs);

        // Long lines reach the 1 MiB cap plus whatever the kernel holds in few rounds.
        const QString padding(8 * 1024, u'.');
        QByteArray expected;
        qint64 slowestMs = 0;
        for (int i = 0; i < 4000 && s->server->clientCount() == 2; ++i) {
            const QString line = spotLine(i) + padding;
            expected += line.toUtf8() + "\r\n";
            QElapsedTimer sent;
            sent.start();
            s->server->broadcastLine(line);
            QTRY_COMPARE_WITH_TIMEOUT(fast.received.size(), expected.size(), waitMs);
            slowestMs = std::max(slowestMs, sent.elapsed());
        }
        QCOMPARE(s->server->clientCount(), 1);
        QCOMPARE(fast.received, expected);
        QVERIFY(expected.size() > 1024 * 1024);
        // A stuck client must not make the others wait; the bound is loose for loaded machines.
        QVERIFY2(slowestMs < 2000, qPrintable(QString::number(slowestMs)));
        // A dropped client is dropped silently.
        QCOMPARE(s->console.size(), 1);
    }

    void connectionsBeyondTheClientLimit_areClosedAtOnce()
    {
        auto s = startServer();
        std::vector<std::unique_ptr<Reader>> readers;
        for (int i = 0; i < LocalSpotServerLimits{}.maximumClients; ++i)
            readers.push_back(std::make_unique<Reader>(s->port));
        QTRY_COMPARE_WITH_TIMEOUT(s->server->clientCount(), 64, waitMs);

        Reader extra(s->port);
        QTRY_COMPARE_WITH_TIMEOUT(extra.socket.state(), QAbstractSocket::UnconnectedState, waitMs);
        QCOMPARE(s->server->clientCount(), 64);

        // A free place is taken by the next connection.
        readers.front()->socket.abort();
        QTRY_COMPARE_WITH_TIMEOUT(s->server->clientCount(), 63, waitMs);
        Reader next(s->port);
        QTRY_COMPARE_WITH_TIMEOUT(s->server->clientCount(), 64, waitMs);
        s->server->broadcastLine(spotLine(1));
        QTRY_COMPARE_WITH_TIMEOUT(next.received, wireLines(1, 1), waitMs);
    }

    void closedClient_isRemoved()
    {
        auto s = startServer();
        {
            Reader gone(s->port);
            QTRY_COMPARE_WITH_TIMEOUT(s->server->clientCount(), 1, waitMs);
        }
        QTRY_COMPARE_WITH_TIMEOUT(s->server->clientCount(), 0, waitMs);
    }

    void reapplyingTheSamePort_keepsClients()
    {
        auto s = startServer();
        const QString portText = QString::number(s->port);
        s->server->applySettings(true, portText);
        Reader reader(s->port);
        QTRY_COMPARE_WITH_TIMEOUT(s->server->clientCount(), 1, waitMs);

        s->server->applySettings(true, portText);
        s->server->ensureListening(s->port);
        QCOMPARE(s->server->clientCount(), 1);
        s->server->broadcastLine(spotLine(7));
        QTRY_COMPARE_WITH_TIMEOUT(reader.received, wireLines(7, 7), waitMs);
        QCOMPARE(reader.socket.state(), QAbstractSocket::ConnectedState);
    }

    void applySettings_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("portText");
        QTest::addColumn<bool>("keepsOldPort");
        QTest::addColumn<bool>("listening");
        QTest::newRow("disabled stops") << false << QStringLiteral("7300") << false << false;
        QTest::newRow("zero keeps old") << true << QStringLiteral("0") << true << true;
        QTest::newRow("empty keeps old") << true << QString() << true << true;
        QTest::newRow("blank keeps old") << true << QStringLiteral(" 7300") << true << true;
        QTest::newRow("too big keeps old") << true << QStringLiteral("65536") << true << true;
        QTest::newRow("letters keep old") << true << QStringLiteral("73a0") << true << true;
        QTest::newRow("new port moves") << true << QStringLiteral("NEW") << false << true;
        QTest::newRow("plus sign moves") << true << QStringLiteral("+NEW") << false << true;
    }
    void applySettings()
    {
        QFETCH(bool, enabled);
        QFETCH(QString, portText);
        QFETCH(bool, keepsOldPort);
        QFETCH(bool, listening);
        auto s = startServer();
        Reader reader(s->port);
        QTRY_COMPARE_WITH_TIMEOUT(s->server->clientCount(), 1, waitMs);
        const quint16 newPort = freePort();
        portText.replace(QStringLiteral("NEW"), QString::number(newPort));

        s->server->applySettings(enabled, portText);
        QCOMPARE(s->server->hasListener(), listening);
        if (keepsOldPort) {
            QCOMPARE(s->server->port(), s->port);
            QCOMPARE(s->server->clientCount(), 1);
        } else {
            QCOMPARE(s->server->port(),
                     listening ? std::optional<quint16>(newPort) : std::optional<quint16>());
            QCOMPARE(s->server->clientCount(), 0);
            QTRY_COMPARE_WITH_TIMEOUT(reader.socket.state(), QAbstractSocket::UnconnectedState,
                                      waitMs);
        }
    }

    void busyPort_reportsFailureAndStops()
    {
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::Any, 0));
        LocalSpotServer server;
        QSignalSpy lines(&server, &LocalSpotServer::consoleLine);
        server.start(occupant.serverPort());

        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().first().toString().startsWith(
                     QStringLiteral("Local spot server failed: ")),
                 qPrintable(lines.first().first().toString()));
        QVERIFY(lines.first().first().toString().size() > 26);
        QVERIFY(!server.hasListener());
        QCOMPARE(server.port(), std::nullopt);
        QTest::qWait(100);
        QCOMPARE(lines.size(), 1);
    }

    void restart_closesPreviousListener_andOnlyTheNewOneAnnouncesItself()
    {
        LocalSpotServer server;
        QSignalSpy lines(&server, &LocalSpotServer::consoleLine);
        const quint16 first = freePort();
        quint16 second = freePort();
        while (second == first)
            second = freePort();
        server.start(first);
        server.start(second);
        QTRY_COMPARE_WITH_TIMEOUT(lines.size(), 1, waitMs);
        QTest::qWait(100);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.first().first().toString(),
                 QStringLiteral("Local spot server listening on port %1.").arg(second));

        // The first port is free again: nothing of the old listener is left behind.
        QTcpServer reuse;
        QVERIFY2(reuse.listen(QHostAddress::Any, first), qPrintable(reuse.errorString()));
    }

    void stop_dropsClients_withoutConsoleLine_andLateSpotsAreIgnored()
    {
        auto s = startServer();
        Reader reader(s->port);
        QTRY_COMPARE_WITH_TIMEOUT(s->server->clientCount(), 1, waitMs);
        QTRY_COMPARE_WITH_TIMEOUT(s->console.size(), 1, waitMs);
        s->server->broadcastLine(spotLine(1));
        s->server->stop();
        s->server->broadcastLine(spotLine(2));
        QCOMPARE(s->server->clientCount(), 0);
        QVERIFY(!s->server->hasListener());
        QTRY_COMPARE_WITH_TIMEOUT(reader.socket.state(), QAbstractSocket::UnconnectedState, waitMs);
        QVERIFY(!reader.received.contains(wireLines(2, 2)));
        QCOMPARE(s->console.size(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_LocalSpotServer)
#include "tst_LocalSpotServer.moc"
