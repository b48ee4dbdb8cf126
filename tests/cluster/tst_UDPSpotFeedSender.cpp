#include "ClusterTypes.h"
#include "UDPSpotFeedSender.h"

#include <QNetworkDatagram>
#include <QProcess>
#include <QUdpSocket>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <mutex>
#include <vector>

using namespace varnello;

namespace {

constexpr int waitMs = 10'000;

// Collects every datagram that reaches one local port.
struct Receiver {
    QUdpSocket socket;
    QList<QByteArray> datagrams;

    explicit Receiver(const QHostAddress &address = QHostAddress::LocalHost)
    {
        QVERIFY(socket.bind(address, 0));
        QObject::connect(&socket, &QUdpSocket::readyRead, [this] {
            while (socket.hasPendingDatagrams())
                datagrams.append(socket.receiveDatagram().data());
        });
    }
    quint16 port() const { return socket.localPort(); }
};

QByteArray loopbackAddress(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return QByteArray(reinterpret_cast<const char *>(&address), sizeof address);
}

// A name service that only answers when asked without AI_ADDRCONFIG, as glibc does on a machine
// whose only IPv4 address is the loopback one.
struct FakeLookup {
    std::mutex mutex;
    std::vector<std::pair<QByteArray, bool>> calls;
    bool answers = true;

    UDPSpotFeedSender::HostLookup function()
    {
        return [this](const QByteArray &host, quint16 port,
                      bool requireConfigured) -> std::optional<QByteArray> {
            std::lock_guard lock(mutex);
            calls.emplace_back(host, requireConfigured);
            if (!answers || requireConfigured)
                return std::nullopt;
            return loopbackAddress(port);
        };
    }
    std::vector<std::pair<QByteArray, bool>> recorded()
    {
        std::lock_guard lock(mutex);
        return calls;
    }
};

} // namespace

class tst_UDPSpotFeedSender : public QObject {
    Q_OBJECT

private slots:
    void portSettingText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -1: no port
        QTest::newRow("plain") << QStringLiteral("7301") << 7301;
        QTest::newRow("zero") << QStringLiteral("0") << 0;
        QTest::newRow("largest") << QStringLiteral("65535") << 65535;
        QTest::newRow("too large") << QStringLiteral("65536") << -1;
        QTest::newRow("huge") << QStringLiteral("99999999999999999999") << -1;
        QTest::newRow("leading zeros") << QStringLiteral("007301") << 7301;
        QTest::newRow("plus") << QStringLiteral("+7301") << 7301;
        QTest::newRow("plus only") << QStringLiteral("+") << -1;
        QTest::newRow("minus") << QStringLiteral("-1") << -1;
        // Zero however signed is zero, which the connection refuses as "Invalid port".
        QTest::newRow("minus zero") << QStringLiteral("-000") << 0;
        QTest::newRow("two signs") << QStringLiteral("-+0") << -1;
        QTest::newRow("empty") << QString() << -1;
        QTest::newRow("leading blank") << QStringLiteral(" 7301") << -1;
        QTest::newRow("trailing blank") << QStringLiteral("7301 ") << -1;
        QTest::newRow("arabic-indic digits") << QStringLiteral("٧٣٠١") << -1;
        QTest::newRow("letters") << QStringLiteral("73x1") << -1;
    }
    void portSettingText()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const std::optional<quint16> port = parsePortText(text);
        QCOMPARE(port ? int(*port) : -1, expected);
    }

    void datagram_isRawLinePlusCRLF_inUtf8_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("ascii") << QStringLiteral(
            "DX de K1ABC:     14025.0  DL1XYZ       CW 23 dB 22 WPM CQ       1200Z");
        QTest::newRow("non-ascii comment")
            << QStringLiteral("DX de R9ÄBC:  7012.0  UA0ЖЖ  Привет 73 ÿ € 😀  0815Z");
        QTest::newRow("empty") << QString();
    }
    void datagram_isRawLinePlusCRLF_inUtf8()
    {
        QFETCH(QString, line);
        Receiver receiver;
        UDPSpotFeedSender sender;
        sender.configure(true, QStringLiteral("127.0.0.1"), receiver.port());
        sender.send(line);
        QTRY_COMPARE_WITH_TIMEOUT(receiver.datagrams.size(), 1, waitMs);
        QCOMPARE(receiver.datagrams.first(), line.toUtf8() + QByteArray("\x0d\x0a"));
    }

    void sends_keepTheirOrder_andFollowTheConfigurationBeforeThem()
    {
        Receiver first;
        Receiver second;
        UDPSpotFeedSender sender;
        sender.send(QStringLiteral("before any configuration"));
        sender.configure(true, QStringLiteral("127.0.0.1"), first.port());
        for (int i = 0; i < 50; ++i)
            sender.send(QString::number(i));
        sender.configure(true, QStringLiteral("127.0.0.1"), second.port());
        sender.send(QStringLiteral("moved"));

        QTRY_COMPARE_WITH_TIMEOUT(second.datagrams.size(), 1, waitMs);
        QCOMPARE(second.datagrams.first(), QByteArray("moved\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(first.datagrams.size(), 50, waitMs);
        for (int i = 0; i < 50; ++i)
            QCOMPARE(first.datagrams.at(i), QByteArray::number(i) + "\r\n");
    }

    // Sends go over in batches: a burst arrives whole and in order, the worker goes to sleep
    // after a quiet spell, and the next send wakes it again.
    void batches_keepBurstsWhole_andASleepingWorkerWakesForTheNextSend()
    {
        using namespace std::chrono_literals;
        constexpr auto delay = 5ms;
        Receiver receiver;
        UDPSpotFeedSender sender(&UDPSpotFeedSender::systemHostLookup, delay);
        sender.configure(true, QStringLiteral("127.0.0.1"), receiver.port());
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < 200; ++i)
                sender.send(QString::number(round * 1000 + i));
            QTRY_COMPARE_WITH_TIMEOUT(receiver.datagrams.size(), (round + 1) * 200, waitMs);
            for (int i = 0; i < 200; ++i)
                QCOMPARE(receiver.datagrams.at(round * 200 + i),
                         QByteArray::number(round * 1000 + i) + "\r\n");
            QTRY_VERIFY_WITH_TIMEOUT(!sender.stateForTesting().isSendingBatches, waitMs);
        }
    }

    void sameConfiguration_keepsTheSocket_evenWithSurroundingBlanks()
    {
        Receiver receiver;
        UDPSpotFeedSender sender;
        sender.configure(true, QStringLiteral("127.0.0.1"), receiver.port());
        sender.configure(true, QStringLiteral("  127.0.0.1\n"), receiver.port());
        sender.applySettings(true, QStringLiteral("127.0.0.1 "), QString::number(receiver.port()));
        const UDPSpotFeedSender::State state = sender.stateForTesting();
        QVERIFY(state.isEnabled);
        QVERIFY(state.hasSocket);
        QCOMPARE(state.socketsOpened, 1);
        QCOMPARE(state.configuredDestination, QStringLiteral("127.0.0.1"));
        QCOMPARE(state.configuredPort, receiver.port());

        Receiver other;
        sender.configure(true, QStringLiteral("127.0.0.1"), other.port());
        QCOMPARE(sender.stateForTesting().socketsOpened, 2);
    }

    void closingConfigurations_closeTheFeed_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("portText");
        QTest::newRow("disabled") << false << QStringLiteral("127.0.0.1") << QStringLiteral("PORT");
        QTest::newRow("port zero") << true << QStringLiteral("127.0.0.1") << QStringLiteral("0");
        QTest::newRow("port text not a number")
            << true << QStringLiteral("127.0.0.1") << QStringLiteral("73o1");
        QTest::newRow("port too large")
            << true << QStringLiteral("127.0.0.1") << QStringLiteral("70000");
        QTest::newRow("empty destination")
            << true << QStringLiteral("  ") << QStringLiteral("PORT");
        QTest::newRow("ipv6 only destination")
            << true << QStringLiteral("::1") << QStringLiteral("PORT");
    }
    void closingConfigurations_closeTheFeed()
    {
        QFETCH(bool, enabled);
        QFETCH(QString, destination);
        QFETCH(QString, portText);
        Receiver receiver;
        UDPSpotFeedSender sender;
        sender.configure(true, QStringLiteral("127.0.0.1"), receiver.port());
        sender.send(QStringLiteral("open"));
        QTRY_COMPARE_WITH_TIMEOUT(receiver.datagrams.size(), 1, waitMs);

        portText.replace(QStringLiteral("PORT"), QString::number(receiver.port()));
        sender.applySettings(enabled, destination, portText);
        sender.send(QStringLiteral("closed"));
        const UDPSpotFeedSender::State state = sender.stateForTesting();
        QVERIFY(!state.isEnabled);
        QVERIFY(!state.hasSocket);
        QCOMPARE(state.configuredDestination, QString());
        QCOMPARE(state.configuredPort, quint16(0));
        QTest::qWait(100);
        QCOMPARE(receiver.datagrams.size(), 1);
    }

    void broadcastDestination_isDelivered()
    {
        // The loopback network's own broadcast address: the kernel refuses it without
        // SO_BROADCAST, and the datagram never leaves the machine.
        Receiver receiver(QHostAddress::AnyIPv4);
        UDPSpotFeedSender sender;
        sender.configure(true, QStringLiteral("127.255.255.255"), receiver.port());
        sender.send(QStringLiteral("to everyone"));
        QTRY_COMPARE_WITH_TIMEOUT(receiver.datagrams.size(), 1, waitMs);
        QCOMPARE(receiver.datagrams.first(), QByteArray("to everyone\r\n"));
    }

    void numericAddress_isUsedWithoutAnyLookup()
    {
        FakeLookup lookup;
        lookup.answers = false;
        Receiver receiver;
        UDPSpotFeedSender sender(lookup.function());
        sender.configure(true, QStringLiteral("127.0.0.1"), receiver.port());
        sender.send(QStringLiteral("numeric"));
        QTRY_COMPARE_WITH_TIMEOUT(receiver.datagrams.size(), 1, waitMs);
        QVERIFY(lookup.recorded().empty());
    }

    void failedLookup_isRetriedWithoutAddressConfiguration()
    {
        FakeLookup lookup;
        Receiver receiver;
        UDPSpotFeedSender sender(lookup.function());
        sender.configure(true, QStringLiteral("logger.local"), receiver.port());
        sender.send(QStringLiteral("by name"));
        QTRY_COMPARE_WITH_TIMEOUT(receiver.datagrams.size(), 1, waitMs);
        const std::vector<std::pair<QByteArray, bool>> expected{{"logger.local", true},
                                                                {"logger.local", false}};
        QCOMPARE(lookup.recorded(), expected);
        QCOMPARE(sender.stateForTesting().configuredDestination, QStringLiteral("logger.local"));
    }

    void unresolvableDestination_leavesFeedClosed_andTheSameValuesTryAgain()
    {
        FakeLookup lookup;
        lookup.answers = false;
        Receiver receiver;
        UDPSpotFeedSender sender(lookup.function());
        sender.configure(true, QStringLiteral("nowhere.invalid"), receiver.port());
        sender.send(QStringLiteral("lost"));
        QVERIFY(!sender.stateForTesting().isEnabled);
        QCOMPARE(lookup.recorded().size(), size_t(2));

        lookup.answers = true;
        sender.configure(true, QStringLiteral("nowhere.invalid"), receiver.port());
        sender.send(QStringLiteral("found"));
        QTRY_COMPARE_WITH_TIMEOUT(receiver.datagrams.size(), 1, waitMs);
        QCOMPARE(receiver.datagrams.first(), QByteArray("found\r\n"));
    }

    void destinationWithNulCharacter_isRefused()
    {
        FakeLookup lookup;
        UDPSpotFeedSender sender(lookup.function());
        sender.configure(true, QStringLiteral("127.0.0.1") + QChar(0) + QStringLiteral("x"), 7301);
        QVERIFY(!sender.stateForTesting().isEnabled);
        QVERIFY(lookup.recorded().empty());
    }

    // Re-runs this test inside a network namespace whose only interface is the loopback one.
    void loopbackOnlyMachine_stillFeedsLocalPrograms()
    {
        if (qEnvironmentVariableIsSet("VARNELLO_LOOPBACK_ONLY_CHILD")) {
            for (const QString &destination :
                 {QStringLiteral("127.0.0.1"), QStringLiteral("localhost")}) {
                Receiver receiver;
                UDPSpotFeedSender sender;
                sender.configure(true, destination, receiver.port());
                sender.send(destination);
                QTRY_COMPARE_WITH_TIMEOUT(receiver.datagrams.size(), 1, waitMs);
                QCOMPARE(receiver.datagrams.first(), destination.toUtf8() + "\r\n");
            }
            return;
        }

        QProcess probe;
        probe.start(QStringLiteral("unshare"),
                    {QStringLiteral("-rn"), QStringLiteral("ip"), QStringLiteral("link"),
                     QStringLiteral("set"), QStringLiteral("lo"), QStringLiteral("up")});
        if (!probe.waitForFinished(waitMs) || probe.exitStatus() != QProcess::NormalExit ||
            probe.exitCode() != 0)
            QSKIP("this machine does not allow a private network namespace");

        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VARNELLO_LOOPBACK_ONLY_CHILD"), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QStringLiteral("unshare"),
                    {QStringLiteral("-rn"), QStringLiteral("sh"), QStringLiteral("-c"),
                     QStringLiteral("ip link set lo up && exec \"$0\" \"$1\""),
                     QCoreApplication::applicationFilePath(),
                     QStringLiteral("loopbackOnlyMachine_stillFeedsLocalPrograms")});
        QVERIFY(child.waitForFinished(50'000));
        const QByteArray output = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 output.constData());
        QVERIFY2(output.contains("PASS   : tst_UDPSpotFeedSender::loopbackOnlyMachine"),
                 output.constData());
    }
};

QTEST_GUILESS_MAIN(tst_UDPSpotFeedSender)
#include "tst_UDPSpotFeedSender.moc"
