// Every file the program replaces whole, written where writes stop after a few bytes (as on a
// full disk): the old file stays as it was, nothing is left beside it, and a later write works.
#include "AtomicFile.h"
#include "FileSizeLimit.h"
#include "LoginItem.h"
#include "PrivateFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

using namespace varnello;
using namespace varnello::test;

namespace {

// Writes its file in `folder` and says why it failed, if it did.
using Writer = std::function<std::optional<QString>(const QString &folder)>;

const QByteArray newBytes = QByteArray(3000, 'n');

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

Q_DECLARE_METATYPE(Writer)

class TestAtomicFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void failedWrite_leavesTheOldFile_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<Writer>("write");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("private file")
            << QStringLiteral("settings.json") << Writer([](const QString &folder) {
                   return PrivateFiles::writeAtomically(folder + QStringLiteral("/settings.json"),
                                                        newBytes);
               })
            << newBytes;
        // The downloaded data files are written this way.
        QTest::newRow("readable file")
            << QStringLiteral("cty.plist") << Writer([](const QString &folder) {
                   return AtomicFile::write(folder + QStringLiteral("/cty.plist"), newBytes,
                                            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther,
                                            AtomicFile::Mode::bestEffort);
               })
            << newBytes;
        QTest::newRow("login item")
            << QStringLiteral("varnello.desktop") << Writer([](const QString &folder) {
                   return XdgAutostartLoginItem(folder, QStringLiteral("/opt/varnello/varnello"))
                       .registerItem();
               })
            << XdgAutostartLoginItem::entryText(QStringLiteral("/opt/varnello/varnello"));
    }
    void failedWrite_leavesTheOldFile()
    {
        QFETCH(QString, fileName);
        QFETCH(Writer, write);
        QTemporaryDir dir;
        const QString path = dir.filePath(fileName);
        const QByteArray old(200, 'o');
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
        file.close();

        std::optional<QString> failure;
        {
            FileSizeLimit limit(16);
            QVERIFY(limit.isActive());
            failure = write(dir.path());
        }
        QVERIFY(failure);
        QVERIFY2(failure->contains(QStringLiteral("File too large")), qPrintable(*failure));
        QCOMPARE(readAll(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{fileName});

        QCOMPARE(write(dir.path()), std::nullopt);
        QFETCH(QByteArray, written);
        QCOMPARE(readAll(path), written);
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_AtomicFile.moc"
