#include "AutoReconnectController.h"
#include "Clock.h"
#include "PublicAddressSource.h"

#include <QPointer>
#include <QTimer>
#include <QtTest>

using namespace varnello;
using namespace std::chrono_literals;

namespace {

// Answers the public-address question after a short while, or never when told to hold.
class FakePublicAddress final : public PublicAddressSource {
public:
    std::optional<QString> answer;
    bool hold = false;
    int requests = 0;
    Completion held;

    void fetchPublicIPv4Address(QObject *context, Completion done) override
    {
        ++requests;
        if (hold) {
            held = std::move(done);
            return;
        }
        QTimer::singleShot(5ms, context, [done = std::move(done), a = answer] { done(a); });
    }
};

struct Fixture {
    ManualClock clock;
    FakePublicAddress address;
    bool autoReconnect = true;
    QString storedCallsign = QStringLiteral("N0CALL-3");
    int reconnects = 0;
    int failovers = 0;
    AutoReconnectController controller{
        AutoReconnectSettings{[this] { return autoReconnect; }, [this] { return storedCallsign; },
                              [this](const QString &c) { storedCallsign = c; }},
        &address, clock, AutoReconnectController::Timing{20ms, 45000ms, 8}};

    Fixture()
    {
        controller.setReconnectAction([this] { ++reconnects; });
        controller.setFailoverAction([this] { ++failovers; });
    }
};

} // namespace

class TestAutoReconnectController : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lostConnection_reconnectsAfterDelayAndEndsIncident()
    {
        Fixture f;
        f.controller.recordDisconnect(true, false);
        QVERIFY(f.controller.isIncidentBeingHandled());
        QVERIFY(f.controller.isReconnectPending());
        QCOMPARE(f.reconnects, 0);
        QTRY_COMPARE(f.reconnects, 1);
        QVERIFY(!f.controller.isIncidentBeingHandled());
        QVERIFY(f.controller.isReconnectSequenceActive());
    }

    void eighthDisconnectWithinWindow_raisesRepeatedFailuresAndStops()
    {
        Fixture f;
        for (int i = 1; i <= 7; ++i) {
            f.controller.recordDisconnect(true, false);
            QTRY_COMPARE(f.reconnects, i);
            f.controller.noteConnectAttemptStarted();
            f.clock.advance(5s);
        }
        QCOMPARE(f.controller.recentDisconnectCount(), 7);
        f.controller.recordDisconnect(true, false);
        QCOMPARE(f.controller.alert(), AutoReconnectAlert::repeatedFailures());
        QCOMPARE(f.controller.recentDisconnectCount(), 0);
        QVERIFY(!f.controller.isReconnectPending());
        QVERIFY(!f.controller.isReconnectSequenceActive());
        // Still handling the incident: later reports change nothing.
        f.controller.recordDisconnect(true, true);
        QTest::qWait(60);
        QCOMPARE(f.reconnects, 7);
    }

    void stampExactlyOneWindowOld_stillCounts()
    {
        Fixture f;
        f.controller.recordDisconnect(true, false);
        QTRY_COMPARE(f.reconnects, 1);
        f.clock.advance(45s);
        f.controller.recordDisconnect(true, false);
        QCOMPARE(f.controller.recentDisconnectCount(), 2);
        f.clock.advance(1ms);
        QTRY_COMPARE(f.reconnects, 2);
        f.controller.recordDisconnect(true, false);
        QCOMPARE(f.controller.recentDisconnectCount(), 2);
    }

    void reportDuringIncident_isIgnoredAndNotCounted()
    {
        Fixture f;
        f.controller.recordDisconnect(true, false);
        f.controller.recordDisconnect(true, false);
        f.controller.recordDisconnect(false, true);
        QCOMPARE(f.controller.recentDisconnectCount(), 1);
        QTRY_COMPARE(f.reconnects, 1);
        QTest::qWait(60);
        QCOMPARE(f.reconnects, 1);
    }

    void unrequestedLossOutsideSequence_recordsNothing()
    {
        Fixture f;
        f.controller.recordDisconnect(false, false);
        QVERIFY(!f.controller.isIncidentBeingHandled());
        QCOMPARE(f.controller.recentDisconnectCount(), 0);
        QTest::qWait(60);
        QCOMPARE(f.reconnects, 0);
    }

    void unrequestedLossDuringSequence_isStillCountedAndRetried()
    {
        Fixture f;
        f.controller.recordDisconnect(true, false);
        QTRY_COMPARE(f.reconnects, 1);
        f.controller.recordDisconnect(false, false);
        QCOMPARE(f.controller.recentDisconnectCount(), 2);
        QTRY_COMPARE(f.reconnects, 2);
    }

    void autoReconnectOff_lossRecordsNothingButFailedAttemptIsRetried()
    {
        Fixture f;
        f.autoReconnect = false;
        f.controller.recordDisconnect(true, false);
        QCOMPARE(f.controller.recentDisconnectCount(), 0);
        QVERIFY(!f.controller.isIncidentBeingHandled());
        f.controller.recordDisconnect(false, true);
        QCOMPARE(f.controller.recentDisconnectCount(), 1);
        QTRY_COMPARE(f.reconnects, 1);
    }

    void autoReconnectTurnedOffDuringPause_keepsIncidentOpenWithoutReconnect()
    {
        Fixture f;
        f.controller.recordDisconnect(true, false);
        f.autoReconnect = false;
        QTRY_VERIFY(!f.controller.isReconnectPending());
        QCOMPARE(f.reconnects, 0);
        QVERIFY(f.controller.isIncidentBeingHandled());
        f.controller.noteConnectAttemptStarted();
        QVERIFY(!f.controller.isIncidentBeingHandled());
    }

    void newAttempt_cancelsScheduledReconnect()
    {
        Fixture f;
        f.controller.recordDisconnect(true, false);
        f.controller.noteConnectAttemptStarted();
        QTest::qWait(80);
        QCOMPARE(f.reconnects, 0);
        QCOMPARE(f.controller.recentDisconnectCount(), 1);
        QVERIFY(f.controller.isReconnectSequenceActive());
    }

    void loginSucceeded_endsSequenceButKeepsWindow()
    {
        Fixture f;
        f.controller.recordDisconnect(true, false);
        f.controller.noteLoginSucceeded();
        QVERIFY(!f.controller.isReconnectSequenceActive());
        QCOMPARE(f.controller.recentDisconnectCount(), 1);
        QTest::qWait(60);
        QCOMPARE(f.reconnects, 0);
    }

    void failOverNow_emptiesWindowAndRunsFailover()
    {
        Fixture f;
        f.controller.recordDisconnect(true, false);
        f.controller.failOverNow();
        QCOMPARE(f.failovers, 1);
        QCOMPARE(f.controller.recentDisconnectCount(), 0);
        QVERIFY(!f.controller.isIncidentBeingHandled());
        QTest::qWait(60);
        QCOMPARE(f.reconnects, 0);
    }

    void reportAllClustersUnavailable_raisesAlertAndCancelsReconnect()
    {
        Fixture f;
        QSignalSpy alertSpy(&f.controller, &AutoReconnectController::alertChanged);
        f.controller.recordDisconnect(true, false);
        f.controller.reportAllClustersUnavailable();
        QCOMPARE(f.controller.alert(), AutoReconnectAlert::allClustersUnavailable());
        QCOMPARE(alertSpy.count(), 1);
        QTest::qWait(60);
        QCOMPARE(f.reconnects, 0);
        f.controller.reset();
        QVERIFY(!f.controller.alert());
        QCOMPARE(alertSpy.count(), 2);
    }

    void dismissAlert_keepsScheduledReconnect()
    {
        Fixture f;
        f.controller.reportAllClustersUnavailable();
        f.controller.recordDisconnect(true, false);
        f.controller.dismissAlert();
        QVERIFY(!f.controller.alert());
        QTRY_COMPARE(f.reconnects, 1);
    }

    void alertIds()
    {
        QCOMPARE(AutoReconnectAlert::repeatedFailures().id(), QStringLiteral("repeated-failures"));
        QCOMPARE(AutoReconnectAlert::allClustersUnavailable().id(),
                 QStringLiteral("all-clusters-unavailable"));
        QCOMPARE(AutoReconnectAlert::duplicateConnection(QStringLiteral("N0CALL-3"),
                                                         QStringLiteral("192.0.2.10"), std::nullopt,
                                                         std::nullopt)
                     .id(),
                 QStringLiteral("duplicate-N0CALL-3-192.0.2.10-unknown-none"));
        QCOMPARE(AutoReconnectAlert::duplicateConnection(
                     QStringLiteral("N0CALL-3"), QStringLiteral("192.0.2.10"),
                     QStringLiteral("203.0.113.7"), QStringLiteral("N0CALL-22"))
                     .id(),
                 QStringLiteral("duplicate-N0CALL-3-192.0.2.10-203.0.113.7-N0CALL-22"));
        QVERIFY(AutoReconnectAlert::duplicateConnection(QStringLiteral("A"), QStringLiteral("B"),
                                                        std::nullopt, std::nullopt) !=
                AutoReconnectAlert::duplicateConnection(QStringLiteral("A"), QStringLiteral("B"),
                                                        QStringLiteral(""), std::nullopt));
    }

    void suggestedCallsign_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("reported");
        QTest::addColumn<QString>("expected"); // empty: no suggestion
        QTest::newRow("ssid replaced") << "N0CALL-3"
                                       << "N0CALL-3"
                                       << "N0CALL-22";
        QTest::newRow("lower case, no ssid") << "n0call"
                                             << "N0CALL"
                                             << "N0CALL-22";
        QTest::newRow("blanks trimmed") << "  n0call-7 \r\n"
                                        << "N0CALL-7"
                                        << "N0CALL-22";
        QTest::newRow("empty setting uses node's callsign") << ""
                                                            << "N0CALL-5"
                                                            << "N0CALL-22";
        // The callsign just refused is never offered again.
        QTest::newRow("already -22") << "N0CALL-22"
                                     << "N0CALL-22"
                                     << "";
        QTest::newRow("already -22, other case") << "n0call-22"
                                                 << "N0CALL-22"
                                                 << "";
        QTest::newRow("ends in -22 after removal") << "N0CALL-22-5"
                                                   << "N0CALL-22-5"
                                                   << "";
        QTest::newRow("only one ssid removed") << "N0CALL-1-5"
                                               << "N0CALL-1-5"
                                               << "N0CALL-1-22";
    }

    void suggestedCallsign()
    {
        QFETCH(QString, stored);
        QFETCH(QString, reported);
        QFETCH(QString, expected);
        const auto suggestion = AutoReconnectController::suggestedCallsign(stored, reported);
        if (expected.isEmpty())
            QVERIFY2(!suggestion, qPrintable(suggestion.value_or(QString())));
        else
            QCOMPARE(suggestion.value_or(QStringLiteral("<none>")), expected);
    }

    void isIPv4Address_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("plain") << "203.0.113.7" << true;
        QTest::newRow("zeros") << "0.0.0.0" << true;
        QTest::newRow("leading zeros") << "010.001.0.255" << true;
        QTest::newRow("above 255") << "256.1.1.1" << false;
        QTest::newRow("three parts") << "1.2.3" << false;
        QTest::newRow("empty part") << "1..2.3" << false;
        QTest::newRow("five parts") << "1.2.3.4.5" << false;
        QTest::newRow("ipv6") << "2001:db8::1" << false;
        QTest::newRow("sign") << "+1.2.3.4" << false;
        QTest::newRow("blank inside") << "1.2.3 .4" << false;
        QTest::newRow("arabic-indic digit") << QString::fromUtf8("1.2.3.\u0664") << false;
        QTest::newRow("huge") << "1.2.3.99999999999999999999" << false;
        QTest::newRow("empty") << "" << false;
    }

    void isIPv4Address()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QCOMPARE(AutoReconnectController::isIPv4Address(text), accepted);
    }

    void duplicateLogin_raisesAlertWithAddressAndSuggestion_noReconnect()
    {
        Fixture f;
        f.address.answer = QStringLiteral("203.0.113.7");
        f.controller.setPendingDuplicateConnection(
            DuplicateConnection{QStringLiteral("N0CALL-3"), QStringLiteral("192.0.2.10")});
        f.controller.recordDisconnect(true, false);
        QVERIFY(!f.controller.pendingDuplicateConnection());
        QTRY_VERIFY(f.controller.alert().has_value());
        QCOMPARE(*f.controller.alert(),
                 AutoReconnectAlert::duplicateConnection(
                     QStringLiteral("N0CALL-3"), QStringLiteral("192.0.2.10"),
                     QStringLiteral("203.0.113.7"), QStringLiteral("N0CALL-22")));
        QVERIFY(f.controller.isIncidentBeingHandled());
        QTest::qWait(60);
        QCOMPARE(f.reconnects, 0);
        QCOMPARE(f.controller.recentDisconnectCount(), 0);
    }

    void duplicateLogin_withoutPublicAddress_leavesLocalAddressAbsent_data()
    {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::newRow("lookup failed") << std::optional<QString>();
        QTest::newRow("not an address") << std::optional<QString>(QStringLiteral("256.1.1.1"));
    }

    void duplicateLogin_withoutPublicAddress_leavesLocalAddressAbsent()
    {
        QFETCH(std::optional<QString>, answer);
        Fixture f;
        f.address.answer = answer;
        f.controller.setPendingDuplicateConnection(
            DuplicateConnection{QStringLiteral("N0CALL-3"), QStringLiteral("192.0.2.10")});
        f.controller.recordDisconnect(false, false);
        QTRY_VERIFY(f.controller.alert().has_value());
        QVERIFY(!f.controller.alert()->localIP);
        QCOMPARE(f.controller.alert()->suggestedCallsign,
                 std::optional(QStringLiteral("N0CALL-22")));
    }

    void resetDuringAddressLookup_dropsTheDuplicateAlert()
    {
        Fixture f;
        f.address.hold = true;
        f.controller.setPendingDuplicateConnection(
            DuplicateConnection{QStringLiteral("N0CALL-3"), QStringLiteral("192.0.2.10")});
        f.controller.recordDisconnect(true, false);
        f.controller.reset();
        f.address.held(QStringLiteral("203.0.113.7"));
        QVERIFY(!f.controller.alert());
    }

    void newAttempt_forgetsPendingDuplicate()
    {
        Fixture f;
        f.controller.setPendingDuplicateConnection(
            DuplicateConnection{QStringLiteral("N0CALL-3"), QStringLiteral("192.0.2.10")});
        f.controller.noteConnectAttemptStarted();
        f.controller.recordDisconnect(true, false);
        QTRY_COMPARE(f.reconnects, 1);
        QCOMPARE(f.address.requests, 0);
    }

    void reconnectWithCallsign_blank_changesNothing()
    {
        Fixture f;
        f.controller.reportAllClustersUnavailable();
        f.controller.reconnectWithCallsign(QStringLiteral(" \r\n"));
        QCOMPARE(f.storedCallsign, QStringLiteral("N0CALL-3"));
        QVERIFY(f.controller.alert());
        QCOMPARE(f.reconnects, 0);
    }

    void reconnectWithCallsign_storesItClearsAlertAndReconnects()
    {
        Fixture f;
        f.controller.setPendingDuplicateConnection(
            DuplicateConnection{QStringLiteral("N0CALL-3"), QStringLiteral("192.0.2.10")});
        f.controller.recordDisconnect(true, false);
        QTRY_VERIFY(f.controller.alert().has_value());
        f.controller.reconnectWithCallsign(QStringLiteral(" N0CALL-22 "));
        QCOMPARE(f.storedCallsign, QStringLiteral("N0CALL-22"));
        QVERIFY(!f.controller.alert());
        QVERIFY(!f.controller.isIncidentBeingHandled());
        QCOMPARE(f.reconnects, 1);
    }

    void destroyedController_pendingReconnectDoesNothing()
    {
        int reconnects = 0;
        ManualClock clock;
        {
            AutoReconnectController controller(AutoReconnectSettings{}, nullptr, clock,
                                               AutoReconnectController::Timing{20ms, 45000ms, 8});
            controller.setReconnectAction([&reconnects] { ++reconnects; });
            controller.recordDisconnect(true, false);
        }
        QTest::qWait(60);
        QCOMPARE(reconnects, 0);
    }
};

QTEST_GUILESS_MAIN(TestAutoReconnectController)
#include "tst_AutoReconnectController.moc"
