#include "LoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace varnello;

namespace {

// Reads the Exec key back as a desktop environment would: first the string escapes of the
// desktop-file format, then the quoting rules of the Exec key. Returns the single argument, or
// nothing when the line does not follow the rules.
std::optional<QString> execArgument(const QByteArray &entry)
{
    QString value;
    bool found = false;
    for (const QByteArray &line : entry.split('\n')) {
        if (line.startsWith("Exec=")) {
            value = QString::fromUtf8(line.mid(5));
            found = true;
        }
    }
    if (!found)
        return std::nullopt;
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\') {
            unescaped += value[i];
            continue;
        }
        if (++i == value.size())
            return std::nullopt;
        const QChar c = value[i];
        unescaped += c == u'n'   ? QChar(u'\n')
                     : c == u't' ? QChar(u'\t')
                     : c == u'r' ? QChar(u'\r')
                     : c == u's' ? QChar(u' ')
                                 : c;
    }
    if (unescaped.size() < 2 || !unescaped.startsWith(u'"') || !unescaped.endsWith(u'"'))
        return std::nullopt;
    QString argument;
    for (qsizetype i = 1; i + 1 < unescaped.size(); ++i) {
        QChar c = unescaped[i];
        if (c == u'\\') {
            const QChar next = unescaped[++i];
            if (next != u'"' && next != u'`' && next != u'$' && next != u'\\')
                return std::nullopt;
            c = next;
        } else if (c == u'"' || c == u'`' || c == u'$') {
            return std::nullopt; // must have been escaped
        } else if (c == u'%') {
            if (unescaped[++i] != u'%')
                return std::nullopt; // a field code
        }
        argument += c;
    }
    return argument;
}

} // namespace

class tst_LoginItem final : public QObject {
    Q_OBJECT

private slots:
    void register_writesEntryWithQuotedExec_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::newRow("plain") << "/usr/bin/varnello";
        QTest::newRow("blanks") << "/home/ann/My Programs/varnello";
        QTest::newRow("shell characters") << "/opt/a\"b`c$d\\e/varnello";
        QTest::newRow("percent") << "/opt/100%/varnello";
        QTest::newRow("line end and non-ASCII") << QString::fromUtf8("/opt/é\nx/varnello");
    }
    void register_writesEntryWithQuotedExec()
    {
        QFETCH(QString, executable);
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/config/autostart");
        XdgAutostartLoginItem item(folder, executable);
        QCOMPARE(item.status(), LoginItem::Status::notRegistered);
        QCOMPARE(item.registerItem(), std::nullopt);
        QCOMPARE(item.status(), LoginItem::Status::enabled);
        QCOMPARE(item.entryPath(), folder + QStringLiteral("/varnello.desktop"));
        QFile file(item.entryPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray entry = file.readAll();
        QVERIFY(entry.startsWith("[Desktop Entry]\n"));
        QVERIFY(entry.contains("\nType=Application\n"));
        QVERIFY(entry.contains("\nName=Varnello\n"));
        QCOMPARE(execArgument(entry), executable);
        QCOMPARE(file.permissions() & (QFile::ReadOther | QFile::WriteOther), QFile::ReadOther);
        // No temporary file is left beside it.
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("varnello.desktop")});
    }

    void unregister_removesEntryAndIsHarmlessWhenAbsent()
    {
        QTemporaryDir dir;
        XdgAutostartLoginItem item(dir.path() + QStringLiteral("/autostart"),
                                   QStringLiteral("/usr/bin/varnello"));
        QCOMPARE(item.unregisterItem(), std::nullopt);
        QCOMPARE(item.registerItem(), std::nullopt);
        QCOMPARE(item.unregisterItem(), std::nullopt);
        QVERIFY(!QFileInfo::exists(item.entryPath()));
        QCOMPARE(item.status(), LoginItem::Status::notRegistered);
    }

    void status_hiddenEntryCountsAsOff()
    {
        QTemporaryDir dir;
        XdgAutostartLoginItem item(dir.path(), QStringLiteral("/usr/bin/varnello"));
        QFile file(item.entryPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Entry]\nType=Application\nExec=varnello\nHidden=true\n");
        file.close();
        QCOMPARE(item.status(), LoginItem::Status::notRegistered);
    }

    void register_failureGivesSystemSentence()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/autostart");
        QFile blocker(folder); // a regular file where the folder belongs
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        XdgAutostartLoginItem item(folder, QStringLiteral("/usr/bin/varnello"));
        const std::optional<QString> failure = item.registerItem();
        QVERIFY(failure);
        QVERIFY2(failure->contains(folder) && failure->contains(QStringLiteral("File exists")),
                 qPrintable(*failure));
        QCOMPARE(item.status(), LoginItem::Status::notRegistered);
    }
};

QTEST_MAIN(tst_LoginItem)
#include "tst_LoginItem.moc"
