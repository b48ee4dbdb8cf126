#include "JSONAppStorage.h"
#include "SettingsTestHelpers.h"

#include <QSignalSpy>
#include <QtTest>

using namespace varnello;
using namespace varnello::test;

// Typed settings for views and models, and the deferred write of a control's binding.
class TestJSONAppStorage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void value_readsWithTheKeysDefault_andSetValueWritesAtOnce()
    {
        StoreFixture f;
        AppSettingsStore &store = f.open();
        JSONAppStorage<QString> mode(SettingsKeys::udpFeedMode, store);
        JSONAppStorage<double> ping(SettingsKeys::lastUsagePing, store);
        JSONAppStorage<QByteArray> bands(SettingsKeys::selectedBandFilters, store);
        JSONAppStorage<bool> local(QStringLiteral("DXSpotTableShowLocalTime"), true, store);
        QCOMPARE(mode.value(), QStringLiteral("everything"));
        QCOMPARE(ping.value(), 0.0);
        QCOMPARE(bands.value(), QByteArray());
        QCOMPARE(local.value(), true);

        mode.setValue(QStringLiteral("alerts"));
        QCOMPARE(store.string(SettingsKeys::udpFeedMode), QStringLiteral("alerts"));
        QCOMPARE(f.onDisk().values.value(QStringLiteral("udpFeedMode"), absent()),
                 StoredSetting::string(QStringLiteral("alerts")));
    }

    void observe_firesForItsOwnKeyOnly()
    {
        StoreFixture f;
        AppSettingsStore &store = f.open();
        JSONAppStorage<bool> hideCW(SettingsKeys::hideCWSpots, store);
        int calls = 0;
        QObject context;
        hideCW.observe(&context, [&] { ++calls; });
        store.setBool(SettingsKeys::hideSSBSpots, true);
        QCOMPARE(calls, 0);
        hideCW.setValue(true);
        hideCW.setValue(true);
        QCOMPARE(calls, 1);
    }

    void binding_writesOneEventLoopTurnLater()
    {
        StoreFixture f;
        AppSettingsStore &store = f.open();
        f.saves.clear();
        const auto toggle = JSONAppStorage<bool>(SettingsKeys::hideFTxSpots, store).binding();

        toggle.set(true);
        QCOMPARE(toggle.get(), false);
        QCOMPARE(store.boolValue(SettingsKeys::hideFTxSpots), false);
        QVERIFY(f.saves.isEmpty());

        QTRY_COMPARE_WITH_TIMEOUT(store.boolValue(SettingsKeys::hideFTxSpots), true, 5000);
        QCOMPARE(toggle.get(), true);
        QCOMPARE(f.saves.size(), 1);
        QCOMPARE(f.onDisk().values.value(QStringLiteral("hideFTxSpots"), absent()),
                 StoredSetting::boolean(true));
    }

    void binding_twoQuickChanges_saveTwiceInOrder()
    {
        StoreFixture f;
        AppSettingsStore &store = f.open();
        f.saves.clear();
        const auto field = JSONAppStorage<QString>(SettingsKeys::clusterCallsign, store).binding();
        const auto setter = field.setter();
        setter(QStringLiteral("N0CAL"));
        setter(QStringLiteral("N0CALL"));
        QCOMPARE(field.get(), QString());

        QTRY_COMPARE_WITH_TIMEOUT(f.saves.size(), 2, 5000);
        const auto first = SettingsDocument::decode(f.saves.at(0));
        const auto second = SettingsDocument::decode(f.saves.at(1));
        QVERIFY(first && second);
        QCOMPARE(first->values.value(QStringLiteral("clusterCallsign"), absent()),
                 StoredSetting::string(QStringLiteral("N0CAL")));
        QCOMPARE(second->values.value(QStringLiteral("clusterCallsign"), absent()),
                 StoredSetting::string(QStringLiteral("N0CALL")));
        QCOMPARE(store.string(SettingsKeys::clusterCallsign), QStringLiteral("N0CALL"));
    }

    void binding_whoseStoreIsGone_dropsTheWrite()
    {
        auto f = std::make_unique<StoreFixture>();
        f->open();
        const auto toggle = JSONAppStorage<bool>(SettingsKeys::advancedMode, *f->store).binding();
        toggle.set(true);
        f->store.reset();
        QCoreApplication::processEvents();
        QCOMPARE(toggle.get(), false);
    }
};

QTEST_GUILESS_MAIN(TestJSONAppStorage)
#include "tst_JSONAppStorage.moc"
