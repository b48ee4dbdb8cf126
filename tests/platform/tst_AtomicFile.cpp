// Files replaced whole, written where writes stop after a few bytes (as on a full disk).
#include "AtomicFile.h"
#include "FileSizeLimit.h"
#include "LoginItem.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

using namespace varnello;
using Writer = std::function<std::optional<QString>(const QString &path)>;

class TestAtomicFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The settings document has its own test with the store around it.
    void failedWrite_leavesTheOldFileAndNothingElse_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<Writer>("write");
        QTest::addColumn<QByteArray>("written");
        const QByteArray data(3000, 'n');
        QTest::newRow("downloaded data file")
            << QStringLiteral("cty.plist") << Writer([data](const QString &path) {
                   return AtomicFile::write(path, data, QFile::ReadOwner | QFile::WriteOwner,
                                            AtomicFile::Mode::bestEffort);
               })
            << data;
        const QString exe = QStringLiteral("/opt/varnello/varnello");
        QTest::newRow("login item")
            << QStringLiteral("varnello.desktop") << Writer([exe](const QString &path) {
                   return XdgAutostartLoginItem(QFileInfo(path).path(), exe).registerItem();
               })
            << XdgAutostartLoginItem::entryText(exe);
    }
    void failedWrite_leavesTheOldFileAndNothingElse()
    {
        QFETCH(QString, fileName);
        QFETCH(Writer, write);
        QTemporaryDir dir;
        const QString path = dir.filePath(fileName);
        const auto contents = [&path] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
        };
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(200, 'o')) == 200);
        old.close();
        std::optional<QString> failure;
        {
            test::FileSizeLimit limit(16);
            QVERIFY(limit.active);
            failure = write(path);
        }
        QVERIFY2(failure.value_or(QString()).contains(QStringLiteral("File too large")),
                 qPrintable(failure.value_or(QStringLiteral("no failure"))));
        QCOMPARE(contents(), QByteArray(200, 'o'));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{fileName});
        QCOMPARE(write(path), std::nullopt);
        QTEST(contents(), "written");
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_AtomicFile.moc"
