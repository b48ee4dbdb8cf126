#include "DesktopEntry.h"
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

// An empty executable file, with its folders.
bool makeProgram(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.setPermissions(file.permissions() | QFile::ExeOwner);
}

} // namespace

class tst_LoginItem final : public QObject {
    Q_OBJECT

private slots:
    void register_writesEntryWithQuotedExec_data()
    {
        // Paths below a temporary folder: the program must be there for the entry to count.
        QTest::addColumn<QString>("executable");
        QTest::addColumn<bool>("installed"); // a desktop entry in <prefix>/share/applications
        QTest::newRow("plain") << "/usr/bin/varnello" << false;
        QTest::newRow("blanks") << "/home/ann/My Programs/varnello" << false;
        QTest::newRow("shell characters") << "/opt/a\"b`c$d\\e/varnello" << false;
        QTest::newRow("percent") << "/opt/100%/varnello" << false;
        QTest::newRow("line end and non-ASCII") << QString::fromUtf8("/opt/é\nx/varnello") << false;
        QTest::newRow("installed") << "/home/ann/.local/bin/varnello" << true;
        QTest::newRow("installed, odd prefix") << "/opt/my \"100%\" $x/bin/varnello" << true;
    }
    void register_writesEntryWithQuotedExec()
    {
        QFETCH(QString, executable);
        QFETCH(bool, installed);
        QTemporaryDir dir;
        executable = dir.path() + executable;
        QVERIFY(makeProgram(executable));
        const QString prefix = QFileInfo(executable).absolutePath() + QStringLiteral("/..");
        if (installed) {
            const QString applications = prefix + QStringLiteral("/share/applications");
            QVERIFY(QDir().mkpath(applications));
            QVERIFY(makeProgram(applications + u'/' + DesktopEntry::id() + ".desktop"));
        }
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
        // An installed program's entry shows its icon in the session's list of startup programs.
        QCOMPARE(entry.contains("\nIcon=" + DesktopEntry::id().toUtf8() + '\n'), installed);
        QCOMPARE(file.permissions() & (QFile::ReadOther | QFile::WriteOther), QFile::ReadOther);
        // No temporary file is left beside it.
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("varnello.desktop")});

        QCOMPARE(item.unregisterItem(), std::nullopt);
        QVERIFY(!QFileInfo::exists(item.entryPath()));
        QCOMPARE(item.unregisterItem(), std::nullopt); // nothing there: nothing to do
        QCOMPARE(item.status(), LoginItem::Status::notRegistered);
    }

    void status_readsTheEntry_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<LoginItem::Status>("status");
        const QByteArray sh = "Exec=sh\n";
        QTest::newRow("hidden") << sh + "Hidden=true" << LoginItem::Status::notRegistered;
        QTest::newRow("hidden, blanks around =")
            << sh + "Hidden = true" << LoginItem::Status::notRegistered;
        QTest::newRow("GNOME switch off")
            << sh + "X-GNOME-Autostart-enabled=false" << LoginItem::Status::notRegistered;
        QTest::newRow("GNOME switch on")
            << sh + "X-GNOME-Autostart-enabled=true" << LoginItem::Status::enabled;
        QTest::newRow("not hidden") << sh + "Hidden=false" << LoginItem::Status::enabled;
        QTest::newRow("quoted path and arguments")
            << QByteArray("Exec=\"/bin/sh\" -c true") << LoginItem::Status::enabled;
        QTest::newRow("program gone")
            << QByteArray("Exec=\"/gone/build/src/app/varnello\"") << LoginItem::Status::notFound;
        QTest::newRow("hidden, program gone")
            << QByteArray("Exec=/gone/varnello\nHidden=true") << LoginItem::Status::notRegistered;
        QTest::newRow("name not on the path")
            << QByteArray("Exec=varnello-nowhere-to-be-found") << LoginItem::Status::notFound;
        QTest::newRow("quote not closed")
            << QByteArray("Exec=\"/bin/sh") << LoginItem::Status::notFound;
        QTest::newRow("no Exec") << QByteArray("Name=Varnello") << LoginItem::Status::notFound;
        QTest::newRow("Exec of another group")
            << QByteArray("[Desktop Action x]\nExec=sh") << LoginItem::Status::notFound;
    }
    void status_readsTheEntry()
    {
        QFETCH(QByteArray, lines);
        QFETCH(LoginItem::Status, status);
        QTemporaryDir dir;
        const QString executable = dir.filePath(QStringLiteral("bin/varnello"));
        QVERIFY(makeProgram(executable));
        XdgAutostartLoginItem item(dir.path(), executable);
        QFile file(item.entryPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray written = "[Desktop Entry]\nType=Application\n" + lines + '\n';
        file.write(written);
        file.close();
        QCOMPARE(item.status(), status);
        QCOMPARE(item.refreshedStatus(false), status);
        // Wanted at login, an entry whose program is gone names this one instead; no other
        // entry is touched.
        const bool gone = status == LoginItem::Status::notFound;
        QCOMPARE(item.refreshedStatus(true), gone ? LoginItem::Status::enabled : status);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray now = file.readAll();
        file.close();
        QCOMPARE(now == written, !gone);
        QVERIFY(!gone || execArgument(now) == executable);
        // Off or on, the file is ours and goes with the registration.
        QVERIFY(item.hasRegistration());
        QCOMPARE(item.unregisterItem(), std::nullopt);
        QVERIFY(!item.hasRegistration());
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
