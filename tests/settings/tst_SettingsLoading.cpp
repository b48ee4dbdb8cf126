#include "AppPaths.h"
#include "SettingsTestHelpers.h"

#include <QDir>
#include <QtTest>

using namespace varnello;
using namespace varnello::test;

namespace {
// A complete document: the seven load defaults plus a path-like text, reordered and compact, with a
// schema version this program never wrote.
QByteArray completeCompactDocument(
    const char *backupHost = R"({"value":"gb7djk.dxcluster.net","type":"string"})")
{
    return QByteArray(
               R"({"values":{"updateCheckFrequency":{"value":"weekly","type":"string"},)"
               R"("backupClusterEnabled":{"type":"bool","value":false},"clusterPort":{"type":"string","value":"8000"},)"
               R"("autoReconnectEnabled":{"type":"bool","value":true},"backupClusterPort":{"type":"string","value":"7300"},)"
               R"("web":{"type":"string","value":"http:\/\/a/b"},"clusterHost":{"type":"string","value":"dx.example.org"},)"
               R"("backupClusterHost":)") +
           backupHost + R"(},"schemaVersion":7})";
}
} // namespace

// What creating the store does with the folder and the file it finds.
class TestSettingsLoading : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void firstRun_createsPrivateFolderAndWritesExactlyTheLoadDefaults()
    {
        StoreFixture f;
        f.folder = f.tmp.path() + QStringLiteral("/share/deeper/Varnello");
        f.file = f.folder + QStringLiteral("/settings.json");
        AppSettingsStore store(f.folder);

        QCOMPARE(modeOf(f.folder), 0700u);
        QCOMPARE(modeOf(f.file), 0600u);
        const QByteArray bytes = readAll(f.file);
        QVERIFY(bytes.contains("\"schemaVersion\": 1,"));
        const auto document = SettingsDocument::decode(bytes);
        QVERIFY(document);
        QVERIFY(document->values == loadDefaults());
        QVERIFY(store.values() == loadDefaults());
        // Sorted keys: capitals sort before lower case; here all are lower case.
        QVERIFY(bytes.indexOf("autoReconnectEnabled") < bytes.indexOf("backupClusterEnabled"));
        QVERIFY(bytes.indexOf("backupClusterPort") < bytes.indexOf("clusterHost"));
        QVERIFY(bytes.indexOf("clusterPort") < bytes.indexOf("updateCheckFrequency"));
        QVERIFY(!QFile::exists(f.folder + QStringLiteral("/settings.json.bad")));
    }

    void writtenDocument_readsBackEqual()
    {
        StoreFixture f;
        {
            AppSettingsStore store(f.folder);
            store.setData(QStringLiteral("blob"), QByteArray("\xff\xff\xfe\x00", 4));
            store.setString(QStringLiteral("path"), QStringLiteral("a/b"));
            store.setDouble(QStringLiteral("lastUsagePing"), 1765108800.123);
        }
        const QByteArray bytes = readAll(f.file);
        QVERIFY(bytes.contains(R"("a\/b")"));
        QVERIFY(bytes.contains(R"("\/\/\/+AA==")"));
        AppSettingsStore again(f.folder);
        QCOMPARE(again.data(QStringLiteral("blob")), QByteArray("\xff\xff\xfe\x00", 4));
        QCOMPARE(again.string(QStringLiteral("path")), QStringLiteral("a/b"));
        QCOMPARE(again.doubleValue(QStringLiteral("lastUsagePing")), 1765108800.123);
        QCOMPARE(readAll(f.file), bytes); // complete, so not rewritten
    }

    void completeDocument_isNotRewrittenAtStart_butFirstSetterWritesVersionOne()
    {
        StoreFixture f;
        QDir().mkpath(f.folder);
        QVERIFY(writeAll(f.file, completeCompactDocument()));
        QFile file(f.file);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addDays(-3),
                                 QFileDevice::FileModificationTime));
        file.close();
        const FileStamp before = stampOf(f.file);

        AppSettingsStore &store = f.open();
        QCOMPARE(stampOf(f.file), before);
        QCOMPARE(readAll(f.file), completeCompactDocument());
        QVERIFY(f.saves.isEmpty());
        QCOMPARE(store.string(SettingsKeys::clusterHost), QStringLiteral("dx.example.org"));
        QCOMPARE(store.boolValue(SettingsKeys::backupClusterEnabled), false);

        store.setBool(SettingsKeys::hideCWSpots, true);
        const QByteArray rewritten = readAll(f.file);
        QVERIFY(rewritten.contains("\"schemaVersion\": 1,"));
        QVERIFY(rewritten.contains(R"("http:\/\/a\/b")"));
        QCOMPARE(f.onDisk().values.value(QStringLiteral("web"), absent()),
                 StoredSetting::string(QStringLiteral("http://a/b")));
    }

    void undecodableDocument_isKeptAsBadAndReplacedByDefaults_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("taken"); // names of kept copies, each by an older one
        const auto withEntry = [](const char *entry) {
            return QByteArray(
                       R"({"schemaVersion":1,"values":{"clusterCallsign":{"type":"string","value":"N0CALL"},"x":)") +
                   entry + "}}";
        };
        QTest::newRow("unknown type") << withEntry(R"({"type":"url","value":"http:\/\/x"})") << 1;
        QTest::newRow("unpadded Base64") << withEntry(R"({"type":"data","value":"YWI"})") << 1;
        QTest::newRow("bool written as text")
            << withEntry(R"({"type":"bool","value":"true"})") << 1;
        QTest::newRow("null double") << withEntry(R"({"type":"double","value":null})") << 1;
        QTest::newRow("not JSON") << QByteArray("\x00\xffgarbage", 9) << 1;
        QTest::newRow("empty file") << QByteArray() << 1;
        QTest::newRow("every name taken: left as it is")
            << QByteArray("garbage") << AppSettingsStore::maximumBadCopies;
    }

    void undecodableDocument_isKeptAsBadAndReplacedByDefaults()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, taken);
        StoreFixture f;
        QDir().mkpath(f.folder);
        const auto kept = [&](int n) { return f.folder + u'/' + AppSettingsStore::badCopyName(n); };
        for (int n = 1; n <= taken; ++n)
            QVERIFY(writeAll(kept(n), "an older bad copy"));
        QVERIFY(writeAll(f.file, bytes));

        AppSettingsStore &store = f.open();
        QVERIFY(store.values() == loadDefaults());
        QCOMPARE(store.string(SettingsKeys::clusterCallsign), QString());
        QCOMPARE(readAll(kept(taken)), "an older bad copy");
        QVERIFY(taken == AppSettingsStore::maximumBadCopies || f.onDisk().values == loadDefaults());
        const bool left = taken == AppSettingsStore::maximumBadCopies; // and never written over
        store.setString(SettingsKeys::clusterCallsign, QStringLiteral("N1NEW"));
        QCOMPARE(readAll(left ? f.file : kept(taken + 1)), bytes);
        QCOMPARE(store.loadFailure()->keptAs.isEmpty(), left);
        QCOMPARE(f.saves.size(), left ? 0 : 2);
    }

    void oversizedFile_isTreatedAsUnreadable()
    {
        StoreFixture f;
        QDir().mkpath(f.folder);
        QByteArray huge = completeCompactDocument();
        huge.append(QByteArray(SettingsDocument::maximumFileSize, ' ')); // still valid JSON
        QVERIFY(writeAll(f.file, huge));
        AppSettingsStore &store = f.open();
        QVERIFY(store.values() == loadDefaults());
        QCOMPARE(QFileInfo(f.folder + QStringLiteral("/settings.json.bad")).size(), huge.size());
    }

    void legacyBackupAddress_isMigratedAndSavedAtOnce()
    {
        StoreFixture f;
        QDir().mkpath(f.folder);
        QVERIFY(
            writeAll(f.file, completeCompactDocument(R"({"type":"string","value":"192.0.2.73"})")));
        AppSettingsStore &store = f.open();
        QCOMPARE(store.string(SettingsKeys::backupClusterHost),
                 QStringLiteral("gb7djk.dxcluster.net"));
        QCOMPARE(f.saves.size(), 1);
        QCOMPARE(f.onDisk().values.value(QStringLiteral("backupClusterHost"), absent()),
                 StoredSetting::string(QStringLiteral("gb7djk.dxcluster.net")));
        QCOMPARE(f.onDisk().values.value(QStringLiteral("clusterHost"), absent()),
                 StoredSetting::string(QStringLiteral("dx.example.org")));
    }

    void otherBackupHostValues_stay_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<StoredSetting>("expected");
        QTest::newRow("bool") << QByteArray(R"({"type":"bool","value":true})")
                              << StoredSetting::boolean(true);
        QTest::newRow("other host") << QByteArray(R"({"type":"string","value":"dx.example.net"})")
                                    << StoredSetting::string(QStringLiteral("dx.example.net"));
        QTest::newRow("address with a blank")
            << QByteArray(R"({"type":"string","value":" 192.0.2.73"})")
            << StoredSetting::string(QStringLiteral(" 192.0.2.73"));
        QTest::newRow("address as data")
            << QByteArray(R"({"type":"data","value":"MTkyLjAuMi43Mw=="})")
            << StoredSetting::data("192.0.2.73");
    }

    void otherBackupHostValues_stay()
    {
        QFETCH(QByteArray, entry);
        QFETCH(StoredSetting, expected);
        StoreFixture f;
        QDir().mkpath(f.folder);
        QVERIFY(writeAll(f.file, completeCompactDocument(entry.constData())));
        AppSettingsStore &store = f.open();
        QCOMPARE(store.value(QStringLiteral("backupClusterHost")), std::optional(expected));
        QVERIFY(f.saves.isEmpty());
    }

    void presentKeyOfAnyCase_keepsItsValue_andMissingDefaultsAreFilled()
    {
        StoreFixture f;
        QDir().mkpath(f.folder);
        QVERIFY(writeAll(
            f.file,
            R"({"schemaVersion":1,"values":{"clusterHost":{"type":"bool","value":false}}})"));
        AppSettingsStore &store = f.open();
        QCOMPARE(store.value(QStringLiteral("clusterHost")),
                 std::optional(StoredSetting::boolean(false)));
        QCOMPARE(store.string(SettingsKeys::clusterHost),
                 QStringLiteral("dx.ka2pbt.com")); // the reader's default
        QCOMPARE(store.values().size(), 7);
        QCOMPARE(f.saves.size(), 1);
        QVERIFY(!QFile::exists(f.folder + QStringLiteral("/settings.json.bad")));
    }

    void noDataFolder_keepsSettingsInMemoryAndWritesNothing()
    {
        QTemporaryDir cwd;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(cwd.path()));
        {
            AppPaths::Override noFolder(std::nullopt);
            AppSettingsStore store(AppPaths::dataFolder());
            QVERIFY(!store.settingsPath());
            QVERIFY(store.values() == loadDefaults());
            store.setString(SettingsKeys::clusterCallsign, QStringLiteral("N0CALL"));
            QCOMPARE(store.string(SettingsKeys::clusterCallsign), QStringLiteral("N0CALL"));
            QVERIFY(!store.save());
        }
        QDir::setCurrent(previous);
        QVERIFY(
            QDir(cwd.path())
                .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
    }

    void everySave_leavesTheFileOwnerOnly()
    {
        StoreFixture f;
        QDir().mkpath(f.folder);
        QVERIFY(writeAll(f.file, completeCompactDocument()));
        QVERIFY(QFile::setPermissions(f.file, QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ReadGroup | QFile::ReadOther));
        AppSettingsStore store(f.folder);
        store.setString(SettingsKeys::clusterPassword, QStringLiteral("secret"));
        QCOMPARE(modeOf(f.file), 0600u);
    }
};

QTEST_GUILESS_MAIN(TestSettingsLoading)
#include "tst_SettingsLoading.moc"
