#include "AppSettingsStore.h"
#include "Clock.h"
#include "HttpStub.h"
#include "UsageTracker.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <QtTest>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

namespace {

const QByteArray kPingPath = "/varnello/stats/ping.php";
const QString kStoredId = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");

struct Rig {
    HttpStub stub;
    AppSettingsStore settings{std::nullopt};
    ManualClock clock;
    QTemporaryDir sysfs;
    std::unique_ptr<UsageTracker> tracker;

    explicit Rig(bool withEndpoint = true, UsageTracker::Timing timing = {})
    {
        stub.listen();
        stub.setResponse(kPingPath, HttpStub::Response::ok("ok"));
        QDir().mkpath(sysfs.filePath(QStringLiteral("class/dmi/id")));
        QFile model(sysfs.filePath(QStringLiteral("class/dmi/id/product_name")));
        model.open(QIODevice::WriteOnly);
        model.write("Mini PC+ 3&4\n");
        model.close();
        tracker = std::make_unique<UsageTracker>(UsageTracker::Setup{
            .http = &HttpClient::shared(),
            .settings = &settings,
            .clock = &clock,
            .endpoint = withEndpoint ? stub.url(QString::fromLatin1(kPingPath)) : QUrl(),
            .version = QStringLiteral("0.1.0"),
            .build = QStringLiteral("12"),
            .machine = QStringLiteral("aarch64"),
            .sysfsRoot = sysfs.path(),
            .timing = timing,
        });
    }
    double now() const { return clock.now().toMSecsSinceEpoch() / 1000.0; }
    // Sends one ping and waits for its end.
    void ping(bool force)
    {
        QSignalSpy finished(tracker.get(), &UsageTracker::pingFinished);
        tracker->sendUsagePing(force);
        QTRY_COMPARE(finished.size(), 1);
    }
    QList<QPair<QString, QString>> lastQuery() const
    {
        const QByteArray path = stub.requests().constLast().path;
        return QUrlQuery(QUrl(QString::fromLatin1(path)).query(QUrl::FullyEncoded))
            .queryItems(QUrl::FullyDecoded);
    }
};

} // namespace

class TestUsageTracker : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ping_sendsFiveItemsInOrder()
    {
        Rig rig;
        rig.settings.setString(SettingsKeys::installationID, kStoredId);
        rig.ping(true);
        QCOMPARE(rig.stub.requestCount(kPingPath), 0); // it carries a query
        QCOMPARE(rig.stub.totalRequestCount(), 1);
        const QList<QPair<QString, QString>> expected{{"id", kStoredId},
                                                      {"arch", "arm64"},
                                                      {"model", "Mini PC+ 3&4"},
                                                      {"version", "0.1.0"},
                                                      {"build", "12"}};
        QCOMPARE(rig.lastQuery(), expected);
        // "+" and "&" inside a value are encoded, so no server reads a blank or a new item.
        QVERIFY(rig.stub.requests().constLast().path.contains("model=Mini%20PC%2B%203%264"));
    }

    void ping_storesStartTimeOnlyOnSuccess_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("stored");
        QTest::newRow("200") << 200 << true;
        QTest::newRow("204") << 204 << true;
        QTest::newRow("500") << 500 << false;
        QTest::newRow("404") << 404 << false;
    }
    void ping_storesStartTimeOnlyOnSuccess()
    {
        QFETCH(int, status);
        QFETCH(bool, stored);
        Rig rig;
        rig.stub.setResponse(kPingPath, {.status = status, .delay = 100ms});
        QSignalSpy finished(rig.tracker.get(), &UsageTracker::pingFinished);
        const double start = rig.now();
        rig.tracker->sendUsagePing(true);
        rig.clock.advance(30s); // the answer comes later; the start time is what counts
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(rig.settings.doubleValue(SettingsKeys::lastUsagePing), stored ? start : 0.0);
    }

    void ping_isSentOnceADayUnlessForced_data()
    {
        QTest::addColumn<double>("ago"); // seconds since the last successful ping; 0: never
        QTest::addColumn<bool>("force");
        QTest::addColumn<bool>("sent");
        QTest::newRow("never, unforced") << 0.0 << false << true;
        QTest::newRow("86,399 s, unforced") << 86399.0 << false << false;
        QTest::newRow("86,400 s, unforced") << 86400.0 << false << true;
        QTest::newRow("1 s, forced") << 1.0 << true << true;
        QTest::newRow("86,399 s, forced") << 86399.0 << true << true;
    }
    void ping_isSentOnceADayUnlessForced()
    {
        QFETCH(double, ago);
        QFETCH(bool, force);
        QFETCH(bool, sent);
        Rig rig;
        if (ago > 0)
            rig.settings.setDouble(SettingsKeys::lastUsagePing, rig.now() - ago);
        rig.ping(force);
        QCOMPARE(rig.stub.totalRequestCount(), sent ? 1 : 0);
        QVERIFY(!rig.tracker->isPinging());
    }

    void identifier_keptWhenUuidElseReplacedBeforeSending_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("kept");
        QTest::newRow("lower-case UUID") << kStoredId << true;
        QTest::newRow("upper-case UUID") << kStoredId.toUpper() << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("garbage") << "not-a-uuid" << false;
        QTest::newRow("braces") << "{" + kStoredId + "}" << false;
        QTest::newRow("no dashes") << QString(kStoredId).remove(u'-') << false;
    }
    void identifier_keptWhenUuidElseReplacedBeforeSending()
    {
        QFETCH(QString, stored);
        QFETCH(bool, kept);
        Rig rig;
        rig.settings.setString(SettingsKeys::installationID, stored);
        QString storedWhenRequested;
        connect(&rig.stub, &HttpStub::requestReceived, &rig.stub,
                [&] { storedWhenRequested = rig.settings.string(SettingsKeys::installationID); });
        rig.ping(true);
        const QString sent = rig.lastQuery().value(0).second;
        if (kept) {
            QCOMPARE(sent, stored);
        } else {
            static const QRegularExpression lowerUuid(QStringLiteral(
                "^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$"));
            QVERIFY2(lowerUuid.match(sent).hasMatch(), qPrintable(sent));
        }
        QCOMPARE(storedWhenRequested, sent);
    }

    void ping_withoutEndpoint_sendsNothingButKeepsTheIdentifier()
    {
        Rig rig(false);
        rig.ping(true);
        QTest::qWait(50);
        QCOMPARE(rig.stub.totalRequestCount(), 0);
        QVERIFY(!rig.settings.string(SettingsKeys::installationID).isEmpty());
    }

    void schedule_pingsAtStartThenHourlyWhenDue()
    {
        Rig rig(true, {.firstPingDelay = 20ms, .interval = 150ms});
        // A ping a minute ago: the forced first ping goes anyway, the hourly ones wait a day.
        rig.settings.setDouble(SettingsKeys::lastUsagePing, rig.now() - 60);
        rig.tracker->runUsagePingSchedule();
        rig.tracker->runUsagePingSchedule();
        QTRY_COMPARE(rig.stub.totalRequestCount(), 1);
        QTest::qWait(400);
        QCOMPARE(rig.stub.totalRequestCount(), 1);
        rig.clock.advance(std::chrono::hours(24));
        QTRY_COMPARE(rig.stub.totalRequestCount(), 2);
        QVERIFY(rig.tracker->isMonitoring());
    }
};

QTEST_GUILESS_MAIN(TestUsageTracker)
#include "tst_UsageTracker.moc"
