#include "LoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace varnello;

namespace {

// Reads the Exec key back as a desktop environment would: first the string escapes of the
// desktop-file format, then the quoting rules of the Exec key. Returns the single argument, or
// nothing when the line does not follow the rules.
std::optional<QString> execArgument(const QByteArray &entry)
{
    const qsizetype at = entry.indexOf("\nExec=");
    if (at < 0)
        return std::nullopt;
    const QString value =
        QString::fromUtf8(entry.mid(at + 6, entry.indexOf('\n', at + 1) - at - 6));
    // Takes one character after a backslash through `map`; nothing when it is not allowed.
    const auto unescape = [](const QString &text, auto map) -> std::optional<QString> {
        QString out;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] != u'\\') {
                out += text[i];
            } else if (++i == text.size() || !map(text[i])) {
                return std::nullopt;
            } else {
                out += *map(text[i]);
            }
        }
        return out;
    };
    const auto stringEscape = [](QChar c) -> std::optional<QChar> {
        return c == u'n' ? u'\n' : c == u't' ? u'\t' : c == u'r' ? u'\r' : c == u's' ? u' ' : c;
    };
    const auto quotedEscape = [](QChar c) -> std::optional<QChar> {
        return QStringLiteral("\"`$\\").contains(c) ? std::optional<QChar>(c) : std::nullopt;
    };
    const std::optional<QString> line = unescape(value, stringEscape);
    if (!line || line->size() < 2 || !line->startsWith(u'"') || !line->endsWith(u'"'))
        return std::nullopt;
    const QString inner = line->mid(1, line->size() - 2);
    static const QRegularExpression unescapedSpecial(QStringLiteral("(^|[^\\\\])[\"`$]"));
    if (inner.contains(unescapedSpecial) || inner.count(u'%') % 2 != 0)
        return std::nullopt; // a bare special character or a field code
    const std::optional<QString> argument = unescape(inner, quotedEscape);
    return argument ? std::optional<QString>(
                          QString(*argument).replace(QStringLiteral("%%"), QStringLiteral("%")))
                    : std::nullopt;
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

        QCOMPARE(item.unregisterItem(), std::nullopt);
        QVERIFY(!QFileInfo::exists(item.entryPath()));
        QCOMPARE(item.unregisterItem(), std::nullopt); // nothing there: nothing to do
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
