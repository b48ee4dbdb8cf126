// The send-spot bar against a fake node: input filter, the sent command, refusals that keep the
// texts, and the registration path.
#include "AppSettingsStore.h"
#include "ClusterConnection.h"
#include "ClusterConnectionTestAccess.h"
#include "FakeClusterNode.h"
#include "SendSpotBar.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

using namespace varnello;
using namespace varnello::test;


namespace {

struct Scene {
    AppSettingsStore settings{std::nullopt};
    ClusterConnection cluster{nullptr, [this] {
                                  ClusterConnectionEnvironment e;
                                  e.settings = &settings;
                                  return e;
                              }()};
    QList<QUrl> opened;
    SendSpotBar bar{cluster,
                    [](const QString &callsign) -> std::optional<QUrl> {
                        return QUrl(QStringLiteral("mailto:register@example.org?subject=") +
                                    callsign);
                    },
                    [this](const QUrl &url) {
                        opened.append(url);
                        return true;
                    }};

    QLineEdit *field(const char *name) { return bar.findChild<QLineEdit *>(name); }
    QPushButton *button() { return bar.findChild<QPushButton *>("sendSpotButton"); }
};

} // namespace

class TestSendSpotBar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void frequencyFilter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<bool>("parses");
        QTest::newRow("grouping and unit") << "14,025.5 kHz"
                                           << "14025.5" << true;
        QTest::newRow("second point dropped") << "7.0.1"
                                              << "7.01" << true;
        QTest::newRow("minus sign") << "-3"
                                    << "3" << true;
        QTest::newRow("lone point") << "."
                                    << "." << false;
        QTest::newRow("ends in the point") << "14025."
                                           << "14025." << true;
        QTest::newRow("starts with the point") << ".5"
                                               << ".5" << true;
        QTest::newRow("empty") << ""
                               << "" << false;
    }

    void frequencyFilter()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(bool, parses);
        Scene s;
        s.field("spotFrequency")->setText(typed);
        QCOMPARE(s.field("spotFrequency")->text(), kept);
        QCOMPARE(SendSpotBar::parsesAsDecimal(kept), parses);
    }

    // A refused character leaves the cursor where it was, not at the end.
    void frequencyFilter_keepsTheCursor()
    {
        Scene s;
        s.bar.show();
        QLineEdit *field = s.field("spotFrequency");
        field->setText(QStringLiteral("14025"));
        field->setCursorPosition(2);
        QTest::keyClick(field, Qt::Key_X);
        QCOMPARE(field->text(), QStringLiteral("14025"));
        QCOMPARE(field->cursorPosition(), 2);
        QTest::keyClick(field, Qt::Key_Period);
        QTest::keyClick(field, Qt::Key_Period);
        QCOMPARE(field->text(), QStringLiteral("14.025"));
        QCOMPARE(field->cursorPosition(), 3);
        field->setCursorPosition(4);
        field->insert(QStringLiteral(" ,5"));
        QCOMPARE(field->text(), QStringLiteral("14.0525"));
        QCOMPARE(field->cursorPosition(), 5);
    }

    void send_reachesTheNodeAndClearsTheFields()
    {
        Scene s;
        FakeClusterNode node;
        s.bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.bar));
        s.field("spotCallsign")->setText(" k1abc ");
        s.field("spotFrequency")->setText("14,025.5 kHz");
        s.field("spotComment")->setText("   ");
        // Not logged in: Return sends nothing and keeps the texts.
        QVERIFY(!s.button()->isEnabled());
        QTest::keyClick(s.field("spotComment"), Qt::Key_Return);
        QCOMPARE(s.field("spotCallsign")->text(), QStringLiteral(" k1abc "));
        QCOMPARE(s.field("spotFrequency")->text(), QStringLiteral("14025.5"));

        s.cluster.connect(QStringLiteral("127.0.0.1"), node.port(), QStringLiteral("N0CALL"), {},
                          ClusterNodeRole::primary, false, false, ConnectionOrigin::manual);
        QTRY_VERIFY_WITH_TIMEOUT(s.cluster.isLoggedIn(), 10000);
        QVERIFY(s.button()->isEnabled());
        QCOMPARE(s.button()->text(), QStringLiteral("Send Spot"));
        QTest::keyClick(s.field("spotComment"), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(node.hasReceived(QStringLiteral("dx 14025.5 K1ABC")), 10000);
        QVERIFY(s.field("spotCallsign")->text().isEmpty());
        QVERIFY(s.field("spotFrequency")->text().isEmpty());
        QVERIFY(s.field("spotComment")->text().isEmpty());
        QTRY_VERIFY(s.field("spotCallsign")->hasFocus());
    }

    void register_opensTheMailAndShowsTheAlertOnce()
    {
        Scene s;
        FakeClusterNode node;
        s.bar.show();
        s.cluster.connect(QStringLiteral("127.0.0.1"), node.port(), QStringLiteral("N0CALL"), {},
                          ClusterNodeRole::primary, false, false, ConnectionOrigin::manual);
        QTRY_VERIFY_WITH_TIMEOUT(s.cluster.isLoggedIn(), 10000);
        ClusterConnectionTestAccess::requireRegistration(s.cluster);
        QCOMPARE(s.button()->text(), QStringLiteral("Register"));
        s.field("spotCallsign")->setText("K1ABC");
        s.field("spotFrequency")->setText("14025");
        // Return never registers and never sends while registration is needed.
        QTest::keyClick(s.field("spotComment"), Qt::Key_Return);
        QVERIFY(s.opened.isEmpty());
        QCOMPARE(s.field("spotCallsign")->text(), QStringLiteral("K1ABC"));
        s.button()->click();
        QCOMPARE(s.opened.size(), 1);
        QCOMPARE(s.opened[0].scheme(), QStringLiteral("mailto"));
        QVERIFY(s.opened[0].toString().contains("N0CALL"));
        const auto alerts = s.bar.findChildren<QMessageBox *>("registrationAlert");
        QCOMPARE(alerts.size(), 1);
        QCOMPARE(alerts[0]->text(), QStringLiteral("Registration request"));
        QVERIFY(alerts[0]->findChild<QLabel *>("qt_msgbox_label")->font().bold());
        QTest::qWait(20);
        alerts[0]->grab().save(QCoreApplication::applicationDirPath() +
                               "/registration-request-alert.png");
        QCOMPARE(s.button()->text(), QStringLiteral("Register"));
        QVERIFY(!node.hasReceived(QStringLiteral("dx 14025 K1ABC")));
    }
};

QTEST_MAIN(TestSendSpotBar)
#include "tst_SendSpotBar.moc"
