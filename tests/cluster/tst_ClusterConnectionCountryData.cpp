#include "AppPaths.h"
#include "BundledResources.h"
#include "CTYFileManager.h"
#include "ClusterConnectionTestKit.h"

#include <QFile>

using namespace varnello;
using namespace varnello::test;

namespace {

const QByteArray firstCountryFile =
    "# RELEASE 2026.01.01\n"
    "# ADIF 230\n"
    "Fed. Rep. of Germany:     14:  28:  EU:   51.00:   -10.00:    -1.0:  DL:\n"
    "    DA,DL;\n"
    "# ADIF 291\n"
    "United States:            05:  08:  NA:   37.53:    91.67:     5.0:  K:\n"
    "    K,W;\n";

// Germany under another name and number, the United States gone.
const QByteArray secondCountryFile =
    "# RELEASE 2026.02.01\n"
    "# ADIF 999\n"
    "Renamed Germany:          14:  28:  EU:   51.00:   -10.00:    -1.0:  DL:\n"
    "    DA,DL;\n";

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestClusterConnectionCountryData : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup() { BundledResources::setResolverForTesting({}); }

    void newCountryDatabase_looksEveryListedSpotUpAgain()
    {
        QTemporaryDir files;
        const QString first = files.filePath(QStringLiteral("first.dat"));
        const QString second = files.filePath(QStringLiteral("second.dat"));
        QVERIFY(writeFile(first, firstCountryFile));
        QVERIFY(writeFile(second, secondCountryFile));
        QString current = first;
        BundledResources::setResolverForTesting(
            [&](const QString &name, const QString &) -> std::optional<QString> {
                if (name == QLatin1String("cty_wt"))
                    return current;
                return std::nullopt;
            });

        ConnectionKit kit;
        AppPaths::Override paths(kit.dir.path() + QStringLiteral("/Varnello"));
        CTYFileManager manager;
        QVERIFY(manager.database());

        ClusterConnectionEnvironment env;
        env.settings = kit.store.get();
        env.timing = fastTiming();
        kit.connection = std::make_unique<ClusterConnection>(&manager, env);
        QSignalSpy spotChanges(kit.connection.get(), &ClusterConnection::spotsChanged);
        kit.node.setReply(
            QString(ClusterConnection::recentSpotsCommand),
            {spotLineFor(QStringLiteral("DL1ABC")), spotLineFor(QStringLiteral("W1AW"))});
        QVERIFY(kit.logIn());
        QVERIFY(kit.waitFor([&] { return kit.connection->spots().size() == 2; }));
        const DXSpot german = kit.connection->spots().at(0);
        QCOMPARE(german.dxcc, std::optional<QString>(QStringLiteral("Fed. Rep. of Germany")));
        QCOMPARE(german.dxccADIFNumber, std::optional<int>(230));
        QCOMPARE(kit.connection->spots().at(1).dxContinent,
                 std::optional<QString>(QStringLiteral("NA")));
        QCOMPARE(spotChanges.size(), 1); // the database present at start changes nothing

        current = second;
        QVERIFY(!manager.useBundledCountryFile());
        QVERIFY(kit.waitFor([&] { return spotChanges.size() == 2; }));
        const DXSpot renamed = kit.connection->spots().at(0);
        QCOMPARE(renamed.id, german.id);
        QCOMPARE(renamed.dxcc, std::optional<QString>(QStringLiteral("Renamed Germany")));
        QCOMPARE(renamed.dxccADIFNumber, std::optional<int>(999));
        const DXSpot american = kit.connection->spots().at(1);
        QVERIFY(!american.dxcc);
        QVERIFY(!american.dxccADIFNumber);
        // Only the two entity fields follow the new file.
        QCOMPARE(american.dxContinent, std::optional<QString>(QStringLiteral("NA")));
        QCOMPARE(american.spotterADIFNumber, std::optional<int>(291));
    }
};

QTEST_GUILESS_MAIN(TestClusterConnectionCountryData)
#include "tst_ClusterConnectionCountryData.moc"
