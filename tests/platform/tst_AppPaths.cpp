#include "AppPaths.h"
#include "BundledResources.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace varnello;

class TestAppPaths : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void ensureDataFolder_createsPrivateFolder()
    {
        QTemporaryDir tmp;
        AppPaths::Override o(tmp.path() + QStringLiteral("/Varnello"));
        QVERIFY(AppPaths::ensureDataFolder());
        const auto perms = QFile::permissions(tmp.path() + QStringLiteral("/Varnello"));
        QVERIFY(perms & QFile::ReadOwner);
        QVERIFY(!(perms & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeGroup | QFile::ExeOther)));
        QCOMPARE(*AppPaths::filePath(QStringLiteral("settings.json")),
                 tmp.path() + QStringLiteral("/Varnello/settings.json"));
    }

    void noFolder_givesNothingToWrite()
    {
        AppPaths::Override o(std::nullopt);
        QVERIFY(!AppPaths::dataFolder());
        QVERIFY(!AppPaths::ensureDataFolder());
        QVERIFY(!AppPaths::filePath(QStringLiteral("settings.json")));
    }

    void bundledResources_areBuiltIn()
    {
        for (const auto &[name, ext] : {std::pair{"cty_wt", "dat"}, {"grid_dxcc_4char_simple", "csv"},
                                        {"grid_dxcc_6char_simple", "csv"}, {"alert1", "wav"}}) {
            const auto path = BundledResources::url(QString::fromLatin1(name), QString::fromLatin1(ext));
            QVERIFY2(path.has_value(), name);
            QFile f(*path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.size() > 1000);
        }
        QVERIFY(!BundledResources::url(QStringLiteral("lotw-user-activity"), QStringLiteral("csv")));
    }
};

QTEST_GUILESS_MAIN(TestAppPaths)
#include "tst_AppPaths.moc"
