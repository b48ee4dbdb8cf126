#include "AtomicFile.h"
#include "LoginItem.h"
#include "SettingsTestHelpers.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>
#include <cmath>
#include <limits>

using namespace varnello;
using namespace varnello::test;
using Writer = std::function<std::optional<QString>(const QString &path, QString text)>;

// Reading, writing and removing keys, the reset state after Factory Reset, and files written whole
// on a full disk.
class TestSettingsAccess : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void getter_ofAnotherCase_returnsTheDefaultAndWritesNothing()
    {
        StoreFixture f;
        AppSettingsStore &store = f.open();
        store.setString(SettingsKeys::udpFeedPort, QStringLiteral("7301"));
        store.setString(QStringLiteral("number"), QStringLiteral("1.5"));
        store.setBool(QStringLiteral("flag"), true);
        const qsizetype saves = f.saves.size();

        QCOMPARE(store.boolValue(QStringLiteral("udpFeedPort"), true), true);
        QCOMPARE(store.doubleValue(QStringLiteral("number"), 2.0), 2.0);
        QCOMPARE(store.string(QStringLiteral("flag"), QStringLiteral("d")), QStringLiteral("d"));
        QCOMPARE(store.data(QStringLiteral("flag"), "d"), QByteArray("d"));
        QCOMPARE(store.boolValue(QStringLiteral("absent"), true), true);
        QCOMPARE(store.string(SettingsKeys::udpFeedMode), QStringLiteral("everything"));
        QCOMPARE(store.doubleValue(SettingsKeys::lastSuccessfulUpdateCheck), std::nullopt);
        QVERIFY(!store.values().contains(QStringLiteral("absent")));
        QCOMPARE(f.saves.size(), saves);
    }

    void setter_storesItsCaseOnceAndSignals()
    {
        StoreFixture f;
        AppSettingsStore &store = f.open();
        QSignalSpy changed(&store, &AppSettingsStore::valueChanged);
        f.saves.clear();

        store.setBool(SettingsKeys::hideCWSpots, false);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0).at(0).toString(), QStringLiteral("hideCWSpots"));
        QCOMPARE(f.saves.size(), 1);
        QCOMPARE(f.onDisk().values.value(QStringLiteral("hideCWSpots"), absent()),
                 StoredSetting::boolean(false));

        // An equal value: no signal, no write (the file may even be gone).
        QFile::remove(f.file);
        store.setBool(SettingsKeys::hideCWSpots, false);
        store.setString(SettingsKeys::clusterHost, QStringLiteral("dx.ka2pbt.com"));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(f.saves.size(), 1);
        QVERIFY(!QFile::exists(f.file));
    }

    void setter_replacesAValueOfAnotherCase()
    {
        StoreFixture f;
        AppSettingsStore &store = f.open();
        store.setString(QStringLiteral("k"), QStringLiteral("1"));
        store.setBool(QStringLiteral("k"), true);
        QCOMPARE(store.value(QStringLiteral("k")), std::optional(StoredSetting::boolean(true)));
        QCOMPARE(f.onDisk().values.value(QStringLiteral("k"), absent()),
                 StoredSetting::boolean(true));
        store.setDouble(QStringLiteral("k"), 1.0);
        QCOMPARE(store.value(QStringLiteral("k")), std::optional(StoredSetting::number(1.0)));
    }

    void setDouble_ignoresNonFiniteNumbers_data()
    {
        QTest::addColumn<double>("number");
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("+inf") << std::numeric_limits<double>::infinity();
        QTest::newRow("-inf") << -std::numeric_limits<double>::infinity();
    }

    void setDouble_ignoresNonFiniteNumbers()
    {
        QFETCH(double, number);
        StoreFixture f;
        AppSettingsStore &store = f.open();
        store.setDouble(SettingsKeys::lastUsagePing, 12.5);
        QSignalSpy changed(&store, &AppSettingsStore::valueChanged);
        const qsizetype saves = f.saves.size();
        store.setDouble(SettingsKeys::lastUsagePing, number);
        QCOMPARE(store.doubleValue(SettingsKeys::lastUsagePing), 12.5);
        QCOMPARE(changed.size(), 0);
        QCOMPARE(f.saves.size(), saves);
        // The document on disk still loads with every setting.
        AppSettingsStore reloaded(f.folder);
        QCOMPARE(reloaded.doubleValue(SettingsKeys::lastUsagePing), 12.5);
    }

    void failedSave_keepsTheValueForTheNextSave()
    {
        StoreFixture f;
        AppSettingsStore &store = f.open();
        f.failWrites = true;
        store.setString(SettingsKeys::clusterCallsign, QStringLiteral("N0CALL"));
        QCOMPARE(store.string(SettingsKeys::clusterCallsign), QStringLiteral("N0CALL"));
        QCOMPARE(f.onDisk().values.value(QStringLiteral("clusterCallsign"), absent()), absent());
        f.failWrites = false;
        store.setBool(SettingsKeys::advancedMode, true);
        QCOMPARE(f.onDisk().values.value(QStringLiteral("clusterCallsign"), absent()),
                 StoredSetting::string(QStringLiteral("N0CALL")));
    }

    // Where writes stop after a few bytes (a full disk) a file written whole keeps its old contents
    // and nothing beside it; once space is back the next write puts in what the failed one meant.
    void fileWrittenWhole_survivesAFullDisk_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<Writer>("write");
        auto store = std::make_shared<std::unique_ptr<AppSettingsStore>>();
        QTest::newRow("settings document, whose values wait in memory")
            << QStringLiteral("settings.json")
            << Writer([store](const QString &path, QString text) {
                   if (!*store)
                       *store = std::make_unique<AppSettingsStore>(QFileInfo(path).path());
                   (*store)->setString(text, text);
                   return (*store)->save() ? std::nullopt
                                           : std::optional((*store)->saveFailure()->reason);
               });
        QTest::newRow("login item")
            << QStringLiteral("varnello.desktop") << Writer([](const QString &path, QString text) {
                   return XdgAutostartLoginItem(QFileInfo(path).path(), text).registerItem();
               });
        QTest::newRow("downloaded data file")
            << QStringLiteral("cty.plist") << Writer([](const QString &path, QString text) {
                   return AtomicFile::write(path, text.toUtf8().repeated(1000),
                                            QFile::ReadOwner | QFile::WriteOwner,
                                            AtomicFile::Mode::bestEffort);
               });
    }
    void fileWrittenWhole_survivesAFullDisk()
    {
        QFETCH(QString, fileName);
        QFETCH(Writer, write);
        QTemporaryDir dir;
        const QString path = dir.filePath(fileName);
        QCOMPARE(write(path, QStringLiteral("old")), std::nullopt);
        const QByteArray old = readAll(path);
        std::optional<QString> failure;
        {
            FileSizeLimit limit(16);
            failure = write(path, QStringLiteral("kept"));
        }
        QVERIFY(failure.value_or(QString()).contains(QStringLiteral("File too large")));
        QCOMPARE(readAll(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{fileName});
        QCOMPARE(write(path, QStringLiteral("kept")), std::nullopt);
        QVERIFY(readAll(path).contains("kept"));
    }

    void removeValue_writesOnlyWhenSomethingWasRemoved()
    {
        StoreFixture f;
        AppSettingsStore &store = f.open();
        store.setBool(SettingsKeys::suppressUpstreamFilterWarning, true);
        QSignalSpy changed(&store, &AppSettingsStore::valueChanged);
        f.saves.clear();

        store.removeValue(QStringLiteral("neverStored"));
        QCOMPARE(f.saves.size(), 0);
        QCOMPARE(changed.size(), 0);

        store.removeValue(SettingsKeys::suppressUpstreamFilterWarning.name);
        QCOMPARE(f.saves.size(), 1);
        QCOMPARE(changed.size(), 1);
        QVERIFY(!f.onDisk().values.contains(QStringLiteral("suppressUpstreamFilterWarning")));
        QVERIFY(f.onDisk().values.contains(QStringLiteral("clusterHost")));
    }

    void factoryReset_keepsOnlyTheInstallationID()
    {
        StoreFixture f;
        AppSettingsStore &store = f.open();
        const auto id =
            StoredSetting::string(QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e"));
        store.setString(SettingsKeys::installationID, *id.stringValue());
        store.setString(SettingsKeys::clusterPassword, QStringLiteral("secret"));

        store.factoryReset();
        QVERIFY(store.isFactoryResetInProgress());
        QCOMPARE(store.values().size(), 1);
        QCOMPARE(store.value(QStringLiteral("installationID")), std::optional(id));
        QCOMPARE(f.onDisk().values.size(), 1);
        QCOMPARE(f.onDisk().values.value(QStringLiteral("installationID"), absent()), id);
        QVERIFY(!readAll(f.file).contains("secret"));
        QCOMPARE(store.string(SettingsKeys::clusterHost), QStringLiteral("dx.ka2pbt.com"));
    }

    void factoryReset_withoutInstallationID_leavesEmptyValues()
    {
        StoreFixture f;
        AppSettingsStore &store = f.open();
        store.factoryReset();
        QVERIFY(store.values().isEmpty());
        const QByteArray bytes = readAll(f.file);
        QVERIFY(SettingsDocument::decode(bytes));
        QVERIFY(f.onDisk().values.isEmpty());
    }

    void afterFactoryReset_writesChangeNothing()
    {
        StoreFixture f;
        AppSettingsStore &store = f.open();
        store.setBool(SettingsKeys::hideQRPSpots, true);
        store.factoryReset();
        const QByteArray afterReset = readAll(f.file);
        QSignalSpy changed(&store, &AppSettingsStore::valueChanged);
        f.saves.clear();

        store.setString(SettingsKeys::clusterCallsign, QStringLiteral("N0CALL"));
        store.setBool(SettingsKeys::hideQRPSpots, true);
        store.setData(SettingsKeys::spotAlertsEnabled, "[true]");
        store.setDouble(SettingsKeys::lastUsagePing, 5);
        store.setString(SettingsKeys::installationID, QStringLiteral("new"));
        store.removeValue(QStringLiteral("installationID"));

        QVERIFY(store.values().isEmpty());
        QCOMPARE(store.boolValue(SettingsKeys::hideQRPSpots), false);
        QCOMPARE(changed.size(), 0);
        QCOMPARE(f.saves.size(), 0);
        QCOMPARE(readAll(f.file), afterReset);
    }

    void factoryReset_whoseSaveFails_removesTheFile()
    {
        StoreFixture f;
        AppSettingsStore &store = f.open();
        store.setString(SettingsKeys::clusterCallsign, QStringLiteral("N0CALL"));
        QVERIFY(QFile::exists(f.file));
        f.failWrites = true;
        store.factoryReset();
        QVERIFY(!QFile::exists(f.file));
        // So the next start really begins from the defaults.
        AppSettingsStore next(f.folder);
        QVERIFY(next.values() == loadDefaults());
    }

    void coalescedWrite_isCarriedByTheNextSaveOrTheFlush()
    {
        StoreFixture f;
        AppSettingsStore &store = f.open();
        f.saves.clear();
        store.setData(SettingsKeys::DXSpotTableColumnLayout, "layout 1",
                      AppSettingsStore::SaveTiming::coalesced);
        QCOMPARE(f.saves.size(), 0);
        store.setBool(SettingsKeys::hideCWSpots, true); // an ordinary change saves everything
        QCOMPARE(f.saves.size(), 1);
        QVERIFY(!store.hasPendingSave());
        QCOMPARE(f.onDisk().values.value(QStringLiteral("DXSpotTableColumnLayout"), absent()),
                 StoredSetting::data("layout 1"));
        store.setData(SettingsKeys::DXSpotTableColumnLayout, "layout 2",
                      AppSettingsStore::SaveTiming::coalesced);
        store.flushPendingSave();
        QCOMPARE(f.saves.size(), 2);
        QCOMPARE(f.onDisk().values.value(QStringLiteral("DXSpotTableColumnLayout"), absent()),
                 StoredSetting::data("layout 2"));
        store.setData(SettingsKeys::DXSpotTableColumnLayout, "layout 3",
                      AppSettingsStore::SaveTiming::coalesced);
        f.store.reset(); // a store going away keeps what it was told
        QCOMPARE(f.onDisk().values.value(QStringLiteral("DXSpotTableColumnLayout"), absent()),
                 StoredSetting::data("layout 3"));
    }

    void sharedOverride_swapsTheProcessStoreForItsLifetime()
    {
        StoreFixture f;
        AppSettingsStore &store = f.open();
        {
            AppSettingsStore::SharedOverride use(store);
            QCOMPARE(&AppSettingsStore::shared(), &store);
            StoreFixture g;
            AppSettingsStore &inner = g.open();
            {
                AppSettingsStore::SharedOverride nested(inner);
                QCOMPARE(&AppSettingsStore::shared(), &inner);
            }
            QCOMPARE(&AppSettingsStore::shared(), &store);
        }
    }
};

QTEST_GUILESS_MAIN(TestSettingsAccess)
#include "tst_SettingsAccess.moc"
