#include "AppPaths.h"
#include "CTYFileManager.h"
#include "ClusterConnection.h"
#include "NotificationHub.h"
#include "SettingsTestKit.h"
#include "SettingsWindow.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>

using namespace varnello;
using namespace varnello::test;

namespace {

// A login item in a temporary autostart folder.
struct LoginItemKit {
    QTemporaryDir dir;
    QString folder = dir.path() + QStringLiteral("/config/autostart");
    // The test program stands in for the program the entry starts: it must exist.
    XdgAutostartLoginItem item{folder, QCoreApplication::applicationFilePath()};
};

struct ViewKit {
    StoreKit store;
    FakeConnectionLink connection;
    FakeDataFiles files;
    LoginItemKit login;
    RecordingAlerts alerts;
    QList<QUrl> opened;
    std::unique_ptr<SettingsWindow> window;

    ViewKit()
    {
        SettingsViewServices services;
        services.settings = store.store.get();
        services.connection = &connection;
        services.dataFiles = &files;
        services.loginItem = &login.item;
        services.alerts = &alerts;
        services.openUrl = [this](const QUrl &url) {
            opened.append(url);
            return true;
        };
        window = std::make_unique<SettingsWindow>(services);
    }
    SettingsView &view() { return window->view(); }
    AppSettingsStore &settings() { return *store.store; }
    template <typename T> T *named(const char *name) { return findNamed<T>(window.get(), name); }
    void show()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
};

} // namespace

class tst_SettingsView final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void tabs_labelsInOrderAndFreshWindowOnStandard()
    {
        ViewKit kit;
        auto *tabs = kit.named<QTabBar>("settingsTabs");
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Standard"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Club Log"));
        QCOMPARE(kit.view().selectedTab(), SettingsView::SettingsTab::standard);
        QCOMPARE(kit.window->windowTitle(), QStringLiteral("Settings"));
        QCOMPARE(SettingsView::settingsTab(QStringLiteral("Club Log")),
                 SettingsView::SettingsTab::clubLog);
        QCOMPARE(SettingsView::settingsTab(QStringLiteral("club log")), std::nullopt);
    }

    void dismissKeys_hideWindowAndKeepIt_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("focusInField");
        QTest::newRow("Escape, no control focused") << int(Qt::Key_Escape) << false;
        QTest::newRow("Escape in a field") << int(Qt::Key_Escape) << true;
        QTest::newRow("Return in a field presses OK") << int(Qt::Key_Return) << true;
    }
    void dismissKeys_hideWindowAndKeepIt()
    {
        QFETCH(int, key);
        QFETCH(bool, focusInField);
        ViewKit kit;
        kit.show();
        QPointer<SettingsWindow> window = kit.window.get();
        QSignalSpy ok(kit.view().okButton(), &QPushButton::clicked);
        QWidget *target = window;
        if (focusInField) {
            target = kit.named<QLineEdit>("callsignField");
            target->setFocus();
        }
        QTest::keyClick(target, Qt::Key(key));
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(window); // hidden, never deleted
        QCOMPARE(ok.count(), key == Qt::Key_Return ? 1 : 0);
        kit.show(); // shown again as it was
        QVERIFY(window->isVisible());
    }

    void locks_followConnectionState_data()
    {
        QTest::addColumn<bool>("active");
        QTest::newRow("idle") << false;
        QTest::newRow("connecting, connected or logged in") << true;
    }
    void locks_followConnectionState()
    {
        QFETCH(bool, active);
        ViewKit kit;
        kit.connection.setActive(active);
        for (const char *locked :
             {"primaryHostField", "primaryPortField", "backupEnabledCheckBox", "backupHostField",
              "backupPortField", "callsignField", "passwordField"})
            QVERIFY2(kit.named<QWidget>(locked)->isEnabled() == !active, locked);
        for (const char *node : {"primaryPortField", "backupEnabledCheckBox", "callsignField"})
            QCOMPARE(kit.named<QWidget>(node)->toolTip().startsWith("Disconnect to change the "),
                     active);
        kit.settings().setBool(SettingsKeys::localTelnetServerEnabled, true);
        kit.settings().setBool(SettingsKeys::udpFeedEnabled, true);
        for (const char *free :
             {"connectOnStartupCheckBox", "autoReconnectCheckBox", "localServerEnabledCheckBox",
              "localServerPortField", "udpFeedEnabledCheckBox", "udpDestinationField",
              "udpPortField", "udpSendRow"})
            QVERIFY2(kit.named<QWidget>(free)->isEnabled(), free);
    }

    // A node port is stored as typed and checked once its editing ends, the reason beside the
    // field until put right; blanks around it are forgiven, as the connection forgives them.
    void nodePorts_checkedWhenEditingEnds_data()
    {
        QTest::addColumn<bool>("backup");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("refused");
        QTest::newRow("minus zero") << false << "-0" << true;
        QTest::newRow("zero") << false << "0" << true;
        QTest::newRow("above 65535") << false << "70000" << true;
        QTest::newRow("empty backup") << true << QString() << true;
        QTest::newRow("blanks around, leading zero") << false << " 07373 " << false;
        QTest::newRow("highest backup") << true << "65535" << false;
    }
    void nodePorts_checkedWhenEditingEnds()
    {
        QFETCH(bool, backup);
        QFETCH(QString, typed);
        QFETCH(bool, refused);
        ViewKit kit;
        kit.show();
        QVERIFY(QTest::qWaitForWindowActive(kit.window.get()));
        auto *edit = kit.named<QLineEdit>(backup ? "backupPortField" : "primaryPortField");
        auto *message = kit.named<QLabel>(backup ? "backupPortMessage" : "primaryPortMessage");
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, typed);
        QVERIFY(message->isHidden()); // not while typing
        QTest::keyClick(edit, Qt::Key_Tab);
        QTRY_COMPARE(message->isVisible(), refused);
        if (refused)
            QCOMPARE(message->text(), QStringLiteral("Use a port from 1 to 65535."));
        const StringSettingKey &key =
            backup ? SettingsKeys::backupClusterPort : SettingsKeys::clusterPort;
        QTRY_COMPARE(kit.settings().string(key), typed);
        kit.settings().setString(key, QStringLiteral("7300"));
        QTRY_VERIFY(message->isHidden());
    }

    void backupFields_offWithBackup()
    {
        ViewKit kit;
        auto *box = kit.named<QCheckBox>("backupEnabledCheckBox");
        QVERIFY(box->isChecked());
        QVERIFY(kit.named<QWidget>("backupHostField")->isEnabled());
        box->click();
        QTRY_VERIFY(!kit.settings().boolValue(SettingsKeys::backupClusterEnabled));
        QVERIFY(!kit.named<QWidget>("backupHostField")->isEnabled());
        QVERIFY(!kit.named<QWidget>("backupPortField")->isEnabled());
        QVERIFY(kit.named<QWidget>("primaryHostField")->isEnabled());
    }

    void restoreBackupDefaults_fillsBlankBackupNode_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("expectedHost");
        QTest::addColumn<QString>("expectedPort");
        const QString name(SettingsDefaults::backupClusterHost);
        QTest::newRow("blank host: the host name, never the old address")
            << ""
            << "7300" << name << "7300";
        QTest::newRow("blanks and line ends") << " \n"
                                              << " \t " << name << "7300";
        QTest::newRow("own node kept") << "node.example.org"
                                       << "8000"
                                       << "node.example.org"
                                       << "8000";
    }
    void restoreBackupDefaults_fillsBlankBackupNode()
    {
        QFETCH(QString, host);
        QFETCH(QString, port);
        ViewKit kit;
        kit.settings().setString(SettingsKeys::backupClusterHost, host);
        kit.settings().setString(SettingsKeys::backupClusterPort, port);
        kit.show(); // the Standard tab comes on screen
        QTEST(kit.settings().string(SettingsKeys::backupClusterHost), "expectedHost");
        QTEST(kit.settings().string(SettingsKeys::backupClusterPort), "expectedPort");
        QVERIFY(kit.settings().string(SettingsKeys::backupClusterHost) !=
                QString(SettingsDefaults::legacyBackupClusterAddress));
    }

    void primaryEdit_keepsSuppressionOnlyForSameNode_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("kept");
        QTest::newRow("host in other case") << "primaryHostField"
                                            << "DX.KA2PBT.COM" << true;
        QTest::newRow("host with blanks") << "primaryHostField"
                                          << " dx.ka2pbt.com " << true;
        QTest::newRow("another host") << "primaryHostField"
                                      << "dx.example.org" << false;
        QTest::newRow("port with leading zero") << "primaryPortField"
                                                << "07300" << true;
        QTest::newRow("another port") << "primaryPortField"
                                      << "7301" << false;
        QTest::newRow("port letters") << "primaryPortField"
                                      << "abc" << false;
        QTest::newRow("port emptied") << "primaryPortField"
                                      << "" << false;
    }
    void primaryEdit_keepsSuppressionOnlyForSameNode()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(bool, kept);
        ViewKit kit;
        ClusterConnectionEnvironment env;
        env.settings = &kit.settings();
        ClusterConnection cluster(nullptr, env);
        ClusterConnectionLink link(cluster);
        SettingsViewServices services;
        services.settings = &kit.settings();
        services.connection = &link;
        services.dataFiles = &kit.files;
        services.loginItem = &kit.login.item;
        services.alerts = &kit.alerts;
        SettingsView view(services);
        const QString node = QStringLiteral("dx.ka2pbt.com:7300");
        kit.settings().setString(SettingsKeys::suppressedUnsupportedPrimaryClusterWarningNode,
                                 node);
        // One edit of the whole text: typed key by key, the text would pass through other nodes.
        pasteInto(findNamed<QLineEdit>(&view, field.toLatin1().constData()), typed);
        QTRY_COMPARE(kit.settings().string(field == QLatin1String("primaryHostField")
                                               ? SettingsKeys::clusterHost
                                               : SettingsKeys::clusterPort),
                     typed);
        QCOMPARE(
            kit.settings().string(SettingsKeys::suppressedUnsupportedPrimaryClusterWarningNode),
            kept ? node : QString());
    }

    void passwords_neverShownInClear()
    {
        ViewKit kit;
        const QString secret = QStringLiteral("s3cret-Pa55");
        kit.show();
        for (const char *name : {"passwordField", "clubLogPasswordField"}) {
            auto *field = kit.named<QLineEdit>(name);
            QCOMPARE(field->echoMode(), QLineEdit::Password);
            typeInto(field, secret);
            QVERIFY(!field->displayText().contains(QStringLiteral("s3cret")));
        }
        QTRY_COMPARE(kit.settings().string(SettingsKeys::clusterPassword), secret);
        QTRY_COMPARE(kit.settings().string(SettingsKeys::clubLogAppPassword), secret);
        for (QWidget *w : kit.window->findChildren<QWidget *>()) {
            QVERIFY(!w->toolTip().contains(secret));
            if (auto *label = qobject_cast<QLabel *>(w))
                QVERIFY(!label->text().contains(secret));
        }
    }

    void startAtLogin_followsTheAutostartEntry()
    {
        ViewKit kit;
        kit.show();
        auto *box = kit.named<QCheckBox>("startAtLoginCheckBox");
        box->click();
        QVERIFY(QFileInfo(kit.login.item.entryPath()).isFile());
        QVERIFY(box->isChecked() && kit.settings().boolValue(SettingsKeys::startVarnelloAtLogin));
        // Left naming a program that is gone (a moved build): written again for this one.
        QFile stale(kit.login.item.entryPath());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("[Desktop Entry]\nType=Application\nExec=/gone/varnello\n");
        stale.close();
        kit.view().selectTab(SettingsView::SettingsTab::clubLog);
        kit.view().selectTab(SettingsView::SettingsTab::standard);
        QVERIFY(box->isChecked());
        QCOMPARE(kit.login.item.status(), LoginItem::Status::enabled);
        // Removed outside the program: shown when the Standard tab comes on screen again.
        QVERIFY(QFile::remove(kit.login.item.entryPath()));
        kit.view().selectTab(SettingsView::SettingsTab::clubLog);
        kit.view().selectTab(SettingsView::SettingsTab::standard);
        QVERIFY(!box->isChecked() && !kit.settings().boolValue(SettingsKeys::startVarnelloAtLogin));
        QVERIFY(kit.alerts.shown.isEmpty());

        // A regular file where the autostart folder belongs: the alert, and the box reverts.
        QVERIFY(QDir().rmdir(kit.login.folder));
        QFile blocker(kit.login.folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        box->click();
        QVERIFY(!box->isChecked() && !kit.settings().boolValue(SettingsKeys::startVarnelloAtLogin));
        QCOMPARE(kit.alerts.titles(), QStringList{QStringLiteral("Unable to change login item")});
        QVERIFY2(kit.alerts.shown[0].alert.message.contains(QStringLiteral("File exists")),
                 qPrintable(kit.alerts.shown[0].alert.message));
    }

    void updates_frequencyBehavesAsOneChoice()
    {
        ViewKit kit;
        kit.settings().removeValue(SettingsKeys::updateCheckFrequency.name);
        auto *daily = kit.named<QCheckBox>("updateFrequency_daily");
        auto *weekly = kit.named<QCheckBox>("updateFrequency_weekly");
        auto *disabled = kit.named<QCheckBox>("updateFrequency_disabled");
        QVERIFY(daily->isChecked());
        daily->click(); // the chosen one stays chosen, nothing written
        QVERIFY(daily->isChecked());
        QVERIFY(!kit.settings().value(SettingsKeys::updateCheckFrequency.name));
        weekly->click(); // written at once, not a turn later
        QCOMPARE(kit.settings().string(SettingsKeys::updateCheckFrequency),
                 QStringLiteral("weekly"));
        QVERIFY(weekly->isChecked() && !daily->isChecked() && !disabled->isChecked());
        kit.settings().setString(SettingsKeys::updateCheckFrequency, QStringLiteral("hourly"));
        QVERIFY(!weekly->isChecked() && !daily->isChecked() && !disabled->isChecked());
        disabled->click();
        QCOMPARE(kit.settings().string(SettingsKeys::updateCheckFrequency),
                 QStringLiteral("disabled"));

        QSignalSpy posted(&NotificationHub::instance(), &NotificationHub::posted);
        kit.named<QPushButton>("checkNowButton")->click();
        QTRY_COMPARE(posted.count(), 1);
        QCOMPARE(posted[0][0].toString(), QStringLiteral("VarnelloCheckForUpdates"));
    }

    void clubLog_storesAsTypedAndLinkOpensPasswordPage()
    {
        ViewKit kit;
        kit.view().selectTab(SettingsView::SettingsTab::clubLog);
        typeInto(kit.named<QLineEdit>("clubLogCallsignField"), QStringLiteral("g4abc "));
        QTRY_COMPARE(kit.settings().string(SettingsKeys::clubLogCallsign),
                     QStringLiteral("g4abc "));
        auto *link = kit.named<QLabel>("clubLogPasswordLink");
        QMetaObject::invokeMethod(link, "linkActivated", Q_ARG(QString, QString()));
        QCOMPARE(kit.opened.size(), 1);
        QCOMPARE(kit.opened[0].path(), QStringLiteral("/edituser.php"));
        QCOMPARE(kit.opened[0].query(), QStringLiteral("tab=7"));
    }

    void messageBoxes_oneAtATimeAsPlainText()
    {
        QWidget parent;
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        MessageBoxAlertPresenter presenter;
        QList<int> answers;
        SettingsAlert first;
        first.title = QStringLiteral("Country file update failed");
        first.message = QStringLiteral("<img src=x> <b>not bold</b>");
        first.buttons = {{QStringLiteral("Factory Reset"), QMessageBox::DestructiveRole},
                         {QStringLiteral("Cancel"), QMessageBox::RejectRole}};
        SettingsAlert second = first;
        second.title = QStringLiteral("LoTW activity update failed");
        presenter.present(&parent, first, [&](int b) { answers.append(b); });
        presenter.present(&parent, second, [&](int b) { answers.append(10 + b); });
        const auto boxes = [&] { return parent.findChildren<QMessageBox *>(); };
        QTRY_COMPARE(boxes().size(), 1);
        QMessageBox *box = boxes().constFirst();
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        auto *message = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
        QVERIFY(message);
        QCOMPARE(message->textFormat(), Qt::PlainText);
        QCOMPARE(box->buttons().size(), 2);
        for (QAbstractButton *b : box->buttons())
            if (b->text() == QLatin1String("Cancel"))
                b->click();
        QTRY_COMPARE(answers, QList<int>{1});
        QTRY_COMPARE(boxes().size(), 1); // the second one, now
        box = boxes().constFirst();
        QCOMPARE(box->text(), second.title);
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_COMPARE(answers, (QList<int>{1, 11}));
        QTRY_COMPARE(boxes().size(), 0);
    }

    void realServices_showManagerAndFollowConnection()
    {
        StoreKit store;
        QTemporaryDir data;
        AppPaths::Override paths(data.path());
        CTYFileManager manager;
        ClusterConnectionEnvironment env;
        env.settings = store.store.get();
        ClusterConnection cluster(&manager, env);
        SettingsWindow window(manager, cluster);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(findNamed<QLabel>(&window, "countryStatusLine1")->text(),
                 manager.installedDescription());
        QVERIFY(manager.installedDescription().startsWith(QStringLiteral("Bundled")));
        cluster.setIsConnectionSequenceActive(true);
        QVERIFY(!findNamed<QWidget>(&window, "primaryHostField")->isEnabled());
        cluster.setIsConnectionSequenceActive(false);
        QVERIFY(findNamed<QWidget>(&window, "primaryHostField")->isEnabled());
    }
};

QTEST_MAIN(tst_SettingsView)
#include "tst_SettingsView.moc"
