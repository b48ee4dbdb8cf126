#include "AppPaths.h"
#include "CTYFileManager.h"
#include "FactoryReset.h"
#include "SettingsTestKit.h"

#include "SettingsDocument.h"

#include <QMessageBox>
#include <QPushButton>

using namespace varnello;
using namespace varnello::test;

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A data folder with both downloaded files, settings and an autostart entry, and a reset over
// the real data-file manager.
struct ResetKit {
    QTemporaryDir dir;
    QString folder = dir.path() + QStringLiteral("/Varnello");
    AppPaths::Override paths{folder};
    StoreKit store;
    XdgAutostartLoginItem loginItem{dir.path() + QStringLiteral("/autostart"),
                                    QStringLiteral("/usr/bin/varnello")};
    RecordingAlerts alerts;
    int quits = 0;
    std::unique_ptr<CTYFileManager> manager;
    std::unique_ptr<FactoryReset> reset;

    QString country() const { return folder + QStringLiteral("/cty_wt.dat"); }
    QString lotw() const { return folder + QStringLiteral("/lotw-user-activity.csv"); }

    ResetKit()
    {
        QDir().mkpath(folder);
        manager = std::make_unique<CTYFileManager>();
        writeFile(country(), "downloaded country file");
        writeFile(lotw(), "downloaded list");
        loginItem.registerItem();
        store.store->setString(SettingsKeys::installationID, QStringLiteral("id-1"));
        store.store->setString(SettingsKeys::clusterCallsign, QStringLiteral("N0CALL"));
        FactoryReset defaults(*manager); // the real services build without a fault
        FactoryReset::Services services = {store.store.get(),
                                           [this]() -> std::optional<QString> {
                                               if (const auto failure =
                                                       manager->removeDownloadedFiles())
                                                   return failure->description();
                                               return std::nullopt;
                                           },
                                           &loginItem, &alerts, [this] { ++quits; }};
        reset = std::make_unique<FactoryReset>(services);
    }

    // The same reset, answered through real message boxes.
    std::unique_ptr<FactoryReset> withMessageBoxes()
    {
        FactoryReset::Services services = {store.store.get(),
                                           [this]() -> std::optional<QString> {
                                               if (const auto failure =
                                                       manager->removeDownloadedFiles())
                                                   return failure->description();
                                               return std::nullopt;
                                           },
                                           &loginItem, nullptr, [this] { ++quits; }};
        return std::make_unique<FactoryReset>(services);
    }

    // The keys in settings.json on disk.
    QStringList storedKeys() const
    {
        QFile f(*store.store->settingsPath());
        if (!f.open(QIODevice::ReadOnly))
            return {QStringLiteral("<unreadable>")};
        const auto document = SettingsDocument::decode(f.readAll());
        return document ? document->values.keys() : QStringList{QStringLiteral("<undecodable>")};
    }
};

} // namespace

class tst_FactoryReset final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void warning_cancelChangesNothing()
    {
        ResetKit kit;
        kit.reset->confirmFactoryReset();
        QCOMPARE(kit.alerts.titles(), QStringList{QStringLiteral("Factory Reset Varnello?")});
        const SettingsAlert &warning = kit.alerts.shown[0].alert;
        QCOMPARE(warning.icon, QMessageBox::Warning);
        QVERIFY(warning.message.startsWith(QStringLiteral(
            "This will return Varnello to its original settings and remove downloaded data "
            "files.\n\nYour cluster")));
        QCOMPARE(warning.buttons,
                 (QList<SettingsAlert::Button>{
                     {QStringLiteral("Factory Reset"), QMessageBox::DestructiveRole},
                     {QStringLiteral("Cancel"), QMessageBox::RejectRole}}));
        kit.alerts.answer(1);
        QVERIFY(QFile::exists(kit.country()) && QFile::exists(kit.lotw()));
        QVERIFY(QFile::exists(kit.loginItem.entryPath()));
        QCOMPARE(kit.store.store->string(SettingsKeys::clusterCallsign), QStringLiteral("N0CALL"));
        QCOMPARE(kit.quits, 0);
        QVERIFY(kit.alerts.shown.isEmpty());
    }

    void confirm_removesEverythingKeepsInstallationIDAndQuits_data()
    {
        QTest::addColumn<bool>("entryHidden");
        QTest::newRow("autostart entry on") << false;
        // The desktop's own switch hides the entry; the file is still ours to remove.
        QTest::newRow("autostart entry hidden") << true;
    }
    void confirm_removesEverythingKeepsInstallationIDAndQuits()
    {
        QFETCH(bool, entryHidden);
        ResetKit kit;
        if (entryHidden) {
            QFile entry(kit.loginItem.entryPath());
            QVERIFY(entry.open(QIODevice::Append));
            entry.write("Hidden=true\n");
            entry.close();
            QCOMPARE(kit.loginItem.status(), LoginItem::Status::notRegistered);
        }
        kit.reset->confirmFactoryReset();
        kit.alerts.answer(0);
        QVERIFY(!QFile::exists(kit.country()));
        QVERIFY(!QFile::exists(kit.lotw()));
        QVERIFY(!QFile::exists(kit.loginItem.entryPath()));
        QCOMPARE(kit.storedKeys(), QStringList{QStringLiteral("installationID")});
        QCOMPARE(kit.quits, 1);
        QVERIFY(kit.alerts.shown.isEmpty());
        // Nothing that runs while the program quits can write a setting back.
        kit.store.store->setString(SettingsKeys::VarnelloMainWindowFrame, QStringLiteral("x"));
        QCOMPARE(kit.storedKeys(), QStringList{QStringLiteral("installationID")});
    }

    void warningBox_returnOrEscapeChoosesCancel_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Enter") << int(Qt::Key_Enter);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }
    void warningBox_returnOrEscapeChoosesCancel()
    {
        QFETCH(int, key);
        ResetKit kit;
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto reset = kit.withMessageBoxes();
        reset->confirmFactoryReset(&window);
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = window.findChild<QMessageBox *>()) && box->isVisible());
        QCOMPARE(box->defaultButton()->text(), QStringLiteral("Cancel"));
        QCOMPARE(box->escapeButton(), box->defaultButton());
        QTest::keyClick(box, Qt::Key(key));
        QTRY_VERIFY(!window.findChild<QMessageBox *>());
        QVERIFY(QFile::exists(kit.country()) && QFile::exists(kit.loginItem.entryPath()));
        QCOMPARE(kit.store.store->string(SettingsKeys::clusterCallsign), QStringLiteral("N0CALL"));
        QCOMPARE(kit.quits, 0);

        // The destructive button still works when clicked.
        reset->confirmFactoryReset(&window);
        QTRY_VERIFY((box = window.findChild<QMessageBox *>()) && box->isVisible());
        const auto buttons = box->buttons();
        const auto confirm = std::find_if(buttons.begin(), buttons.end(), [](auto *button) {
            return button->text() == QStringLiteral("Factory Reset");
        });
        QVERIFY(confirm != buttons.end());
        QTest::mouseClick(*confirm, Qt::LeftButton);
        QTRY_COMPARE(kit.quits, 1);
        QCOMPARE(kit.storedKeys(), QStringList{QStringLiteral("installationID")});
    }

    // They may hold old passwords, so they go with the settings; so does an empty folder. A folder
    // with something in it was never the program's: it stops the reset before a copy is removed.
    void confirm_removesTheKeptDamagedSettingsCopies_data()
    {
        QTest::addColumn<QString>("second"); // at settings.json.bad-2: a file, or a folder's inside
        QTest::newRow("two files") << QString();
        QTest::newRow("a file and an empty folder") << QStringLiteral("/");
        QTest::newRow("a file and a folder in the way") << QStringLiteral("/inside");
    }
    void confirm_removesTheKeptDamagedSettingsCopies()
    {
        QFETCH(QString, second);
        ResetKit kit;
        const QString kept = *kit.store.store->settingsPath() + QStringLiteral(".bad");
        const QString other = kept + QStringLiteral("-2");
        const QByteArray old = R"({"values": {"clusterPassword": "old secret"}})";
        QVERIFY(writeFile(kept, old));
        QVERIFY(second.isEmpty() ? writeFile(other, old) : QDir().mkpath(other + second));
        kit.reset->confirmFactoryReset();
        kit.alerts.answer(0);
        const bool inTheWay = second.size() > 1;
        QCOMPARE(QFileInfo::exists(kept), inTheWay);
        QCOMPARE(QFileInfo::exists(other), inTheWay);
        QCOMPARE(kit.quits, inTheWay ? 0 : 1);
        QCOMPARE(kit.alerts.shown.size(), inTheWay ? 1 : 0);
        QVERIFY(!inTheWay || kit.alerts.shown[0].alert.message.contains(other + ") is a folder"));
    }

    void settingsWriteFailure_reportsAndKeepsRunning()
    {
        ResetKit kit;
        const QString file = *kit.store.store->settingsPath();
        // A folder in the settings file's place: neither written over nor removed, even by root.
        QVERIFY(QFile::remove(file));
        QVERIFY(QDir().mkpath(file + QStringLiteral("/inside")));
        kit.reset->confirmFactoryReset();
        kit.alerts.answer(0);
        QCOMPARE(kit.alerts.titles(), QStringList{QStringLiteral("Factory Reset Failed")});
        QCOMPARE(kit.alerts.shown[0].alert.icon, QMessageBox::Critical);
        QVERIFY2(kit.alerts.shown[0].alert.message.contains(file),
                 qPrintable(kit.alerts.shown[0].alert.message));
        QCOMPARE(kit.quits, 0);
        // The program goes on with its settings, and can still change them.
        QCOMPARE(kit.store.store->string(SettingsKeys::clusterCallsign), QStringLiteral("N0CALL"));
        QVERIFY(!kit.store.store->isFactoryResetInProgress());
    }

    void deletionFailure_reportsAndKeepsSettingsAndRuns()
    {
        ResetKit kit;
        // A folder in the LoTW list's place cannot be removed as a file, even by root.
        QVERIFY(QFile::remove(kit.lotw()));
        QVERIFY(QDir().mkpath(kit.lotw() + QStringLiteral("/inside")));
        kit.reset->confirmFactoryReset();
        kit.alerts.answer(0);
        QCOMPARE(kit.alerts.titles(), QStringList{QStringLiteral("Factory Reset Failed")});
        QCOMPARE(kit.alerts.shown[0].alert.icon, QMessageBox::Critical);
        QVERIFY2(kit.alerts.shown[0].alert.message.contains(QStringLiteral("could not be removed")),
                 qPrintable(kit.alerts.shown[0].alert.message));
        QCOMPARE(kit.quits, 0);
        QVERIFY(QFile::exists(kit.loginItem.entryPath()));
        QCOMPARE(kit.store.store->string(SettingsKeys::clusterCallsign), QStringLiteral("N0CALL"));
        QVERIFY(kit.storedKeys().contains(QStringLiteral("clusterCallsign")));
    }
};

QTEST_MAIN(tst_FactoryReset)
#include "tst_FactoryReset.moc"
