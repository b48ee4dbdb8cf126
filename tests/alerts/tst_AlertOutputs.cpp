#include "AlertNotificationManager.h"
#include "AlertSoundPlayer.h"
#include "AlertTestSupport.h"
#include "BundledResources.h"
#include "SystemNotifications.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace varnello;
using namespace varnello::test;

class tst_AlertOutputs : public QObject {
    Q_OBJECT

    // The sounds' cache, and a temporary folder that nothing is to be left in.
    QTemporaryDir m_cache;
    QTemporaryDir m_temp;

    QString soundsFolder() const { return m_cache.filePath(QStringLiteral("Varnello/sounds")); }

    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static ino_t inode(const QString &path)
    {
        struct stat status {};
        return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
        qputenv("TMPDIR", QFile::encodeName(m_temp.path()));
    }
    void cleanup()
    {
        BundledResources::setResolverForTesting({});
        QVERIFY(QDir(m_temp.path()).isEmpty());
    }

    void notificationText_withAndWithoutEntity_data()
    {
        QTest::addColumn<std::optional<QString>>("entity");
        QTest::addColumn<QString>("subtitle");
        QTest::newRow("no entity") << std::optional<QString>() << QStringLiteral("1234Z  K1ABC");
        QTest::newRow("entity") << std::optional<QString>(QStringLiteral(" United States\n"))
                                << QStringLiteral("1234Z  K1ABC \u2014 United States");
        QTest::newRow("blank entity")
            << std::optional<QString>(QStringLiteral("  \t")) << QStringLiteral("1234Z  K1ABC");
    }
    void notificationText_withAndWithoutEntity()
    {
        QFETCH(std::optional<QString>, entity);
        QFETCH(QString, subtitle);
        DXSpot spot = makeSpot(QStringLiteral("K1ABC"));
        spot.dxcc = entity;
        const auto content =
            AlertNotificationManager::spotNotificationContent(spot, QStringLiteral("Alert 1"));
        QCOMPARE(content.title, QStringLiteral("Varnello \u2013 Alert 1"));
        QCOMPARE(content.subtitle, subtitle);
        QCOMPARE(content.body, QStringLiteral("14,025.0 kHz \u2014 spotted by DL1ABC"));
    }

    void notificationText_controlCharactersBecomeBlanksAndDirectionsGo()
    {
        DXSpot spot = makeSpot(QStringLiteral("K1\x1b[31mA\u202EBC\u2066"));
        spot.spotter = QStringLiteral("DL1\nABC\u0085");
        const auto content =
            AlertNotificationManager::spotNotificationContent(spot, QStringLiteral("A\tB"));
        QCOMPARE(content.title, QStringLiteral("Varnello \u2013 A B"));
        QCOMPARE(content.subtitle, QStringLiteral("1234Z  K1 [31mABC"));
        QVERIFY(content.body.endsWith(QStringLiteral("DL1 ABC ")));
    }

    void posting_sendsTitleAndPlainText()
    {
        FakeNotifications output;
        AlertNotificationManager manager(output);
        DXSpot spot = makeSpot(QStringLiteral("K1ABC"));
        spot.dxcc = QStringLiteral("Antigua & Barbuda <b>");
        manager.postSpotNotification(spot, QStringLiteral("Alert 2"));
        manager.postSpotNotification(spot, QStringLiteral("Alert 3"));
        QCOMPARE(output.titles,
                 (QStringList{"Varnello \u2013 Alert 2", "Varnello \u2013 Alert 3"}));
        QCOMPARE(output.texts.at(0), QStringLiteral("1234Z  K1ABC \u2014 Antigua & Barbuda "
                                                    "<b>\n14,025.0 kHz \u2014 spotted by DL1ABC"));
        manager.requestNotificationAuthorization();
        QCOMPARE(output.prepared, 1);
    }

    void markupFromTheNetwork_isEscapedForMarkupServices()
    {
        QCOMPARE(DBusSystemNotifications::escapeForMarkup(QStringLiteral("A & B <i>x</i>")),
                 QStringLiteral("A &amp; B &lt;i&gt;x&lt;/i&gt;"));
    }

    void withoutADesktop_postingAndPlayingDoNothing()
    {
        DBusSystemNotifications notifications;
        notifications.prepare();
        notifications.post(QStringLiteral("Varnello \u2013 Alert 1"), QStringLiteral("text"));
        const auto sound = SoundOutput::createSystemOutput();
        sound->playBeep();
        AlertSoundPlayer player(*sound);
        player.play(AlertSoundChoice::alert1);
        QTest::qWait(200);
    }

    void sounds_mapChoicesToBeepAndBuiltInFiles()
    {
        FakeSound output;
        AlertSoundPlayer player(output);
        player.play(AlertSoundChoice::appleDefault);
        player.play(AlertSoundChoice::alert1);
        player.play(AlertSoundChoice::alert2);
        QCOMPARE(output.played, (QStringList{"beep", "alert1.wav", "alert2.wav"}));
    }

    void missingBuiltInSound_fallsBackToBeep()
    {
        BundledResources::setResolverForTesting(
            [](const QString &name, const QString &ext) -> std::optional<QString> {
                if (name == QLatin1String("alert2"))
                    return std::nullopt;
                return QStringLiteral(":/resources/") + name + QLatin1Char('.') + ext;
            });
        FakeSound output;
        AlertSoundPlayer player(output);
        QVERIFY(!player.loadBundledAlertSound(QStringLiteral("alert2")));
        player.play(AlertSoundChoice::alert2);
        player.play(AlertSoundChoice::alert1);
        QCOMPARE(output.played, (QStringList{"beep", "alert1.wav"}));
    }

    // What alert1.wav holds when the next player starts; marked old, so that a rewrite shows.
    void builtInSounds_stayInTheCacheAndAreRewrittenOnlyWhenChanged_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("rewritten");
        QTest::newRow("untouched") << QStringLiteral("none") << false;
        QTest::newRow("missing") << QStringLiteral("remove") << true;
        QTest::newRow("one byte changed") << QStringLiteral("flip") << true;
        QTest::newRow("cut short") << QStringLiteral("truncate") << true;
    }
    void builtInSounds_stayInTheCacheAndAreRewrittenOnlyWhenChanged()
    {
        QFETCH(QString, change);
        QFETCH(bool, rewritten);
        QVERIFY(QDir(soundsFolder()).removeRecursively());
        QFile built(QStringLiteral(":/resources/alert1.wav"));
        QVERIFY(built.open(QIODevice::ReadOnly));
        const QByteArray original = built.readAll();
        FakeSound output;
        {
            AlertSoundPlayer first(output);
        }
        QFile file(soundsFolder() + QStringLiteral("/alert1.wav"));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QCOMPARE(file.readAll(), original);
        const QDateTime old(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
        if (change == QLatin1String("flip"))
            QVERIFY(file.seek(100) && file.putChar(static_cast<char>(original.at(100) ^ 1)));
        if (change == QLatin1String("truncate"))
            QVERIFY(file.resize(original.size() / 2));
        QVERIFY(file.flush() && file.setFileTime(old, QFileDevice::FileModificationTime));
        file.close();
        // A second name for the old file stands for a copy that is playing it: a rewrite must
        // leave it whole and put the new bytes in a file of their own.
        const QString held = m_cache.filePath(QStringLiteral("held.wav"));
        QFile::remove(held);
        const QByteArray before = contents(file.fileName());
        if (change == QLatin1String("remove"))
            QVERIFY(file.remove());
        else
            QCOMPARE(::link(QFile::encodeName(file.fileName()).constData(),
                            QFile::encodeName(held).constData()),
                     0);

        AlertSoundPlayer next(output);
        QVERIFY(QDir(m_temp.path()).isEmpty()); // also while a player lives
        next.play(AlertSoundChoice::alert1);
        QCOMPARE(output.played.last(), QStringLiteral("alert1.wav"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), original);
        QCOMPARE(file.fileTime(QFileDevice::FileModificationTime) != old, rewritten);
        if (change != QLatin1String("remove")) {
            QCOMPARE(contents(held), before);
            QCOMPARE(inode(held) != inode(file.fileName()), rewritten);
        }
        QCOMPARE(QDir(soundsFolder()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"alert1.wav", "alert2.wav"}));
    }

    // What else may have a sound's name; "own.wav" beside it is a file of the user's.
    void builtInSounds_replaceWhatElseHasTheirNameButNoFolder_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("played");
        QTest::newRow("link to a file")
            << QStringLiteral("own.wav") << QStringLiteral("alert1.wav");
        QTest::newRow("dangling link")
            << QStringLiteral("missing.wav") << QStringLiteral("alert1.wav");
        QTest::newRow("FIFO") << QStringLiteral("fifo") << QStringLiteral("alert1.wav");
        QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("beep");
    }
    void builtInSounds_replaceWhatElseHasTheirNameButNoFolder()
    {
        QFETCH(QString, kind);
        QFETCH(QString, played);
        QVERIFY(QDir(soundsFolder()).removeRecursively());
        QDir elsewhere(m_cache.filePath(QStringLiteral("elsewhere")));
        QVERIFY(elsewhere.removeRecursively() && elsewhere.mkpath(QStringLiteral(".")));
        QFile own(elsewhere.filePath(QStringLiteral("own.wav")));
        QVERIFY(own.open(QIODevice::WriteOnly) && own.write("the user's") == 10);
        own.close();
        QVERIFY(QDir().mkpath(soundsFolder()));
        const QString target = soundsFolder() + QStringLiteral("/alert1.wav");
        if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0644), 0);
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(target + QStringLiteral("/inside")));
        else
            QVERIFY(QFile::link(elsewhere.filePath(kind), target));

        FakeSound output;
        AlertSoundPlayer player(output);
        player.play(AlertSoundChoice::alert1);
        QCOMPARE(output.played, QStringList{played});
        if (kind == QLatin1String("folder")) {
            QVERIFY(QFileInfo(target + QStringLiteral("/inside")).isDir());
        } else {
            QVERIFY(!QFileInfo(target).isSymLink() && QFileInfo(target).isFile());
            QCOMPARE(contents(target), contents(QStringLiteral(":/resources/alert1.wav")));
        }
        QCOMPARE(contents(own.fileName()), QByteArray("the user's"));
        QCOMPARE(elsewhere.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"own.wav"});
    }

    // What an earlier start, or the user, left in the sounds folder; "locked" stands for a copy
    // still writing.
    void builtInSounds_startRemovesHalfWrittenLeftoversOnly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("removed");
        const auto row = [](const char *tag, const char *name, const char *kind, bool removed) {
            QTest::newRow(tag) << QString::fromLatin1(name) << QString::fromLatin1(kind) << removed;
        };
        row("alert1's", ".alert1.wav.varnello-Ab3xYz", "file", true);
        row("alert2's", ".alert2.wav.varnello-0q9Z8y", "file", true);
        row("still written", ".alert1.wav.varnello-a1B2c3", "locked", false);
        row("longer suffix", ".alert1.wav.varnello-Ab3xYz1", "file", false);
        row("not a sound", ".alert3.wav.varnello-Ab3xYz", "file", false);
        row("not hidden", "alert1.wav.varnello-Ab3xYz", "file", false);
        row("folder", ".alert1.wav.varnello-Ab3xYz", "folder", false);
        row("user's backup", "alert1.wav.backup", "file", false);
        row("user's custom", "alert1.wav.custom", "file", false);
        row("user's old123", "alert2.wav.old123", "file", false);
        // An older build's leftover has the same shape as the three above.
        row("older build's", "alert1.wav.Ab3xYz", "file", false);
    }
    void builtInSounds_startRemovesHalfWrittenLeftoversOnly()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(bool, removed);
        QVERIFY(QDir(soundsFolder()).removeRecursively() && QDir().mkpath(soundsFolder()));
        const QString path = soundsFolder() + QLatin1Char('/') + name;
        QFile leftover(path);
        if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else {
            QVERIFY(leftover.open(QIODevice::WriteOnly) && leftover.write("RIFF") == 4 &&
                    leftover.flush());
            if (kind == QLatin1String("locked"))
                QCOMPARE(::flock(leftover.handle(), LOCK_EX | LOCK_NB), 0);
            else
                leftover.close();
        }

        FakeSound output;
        AlertSoundPlayer player(output);
        QCOMPARE(QFileInfo::exists(path), !removed);
        QVERIFY(QFileInfo::exists(soundsFolder() + QStringLiteral("/alert1.wav")));
    }

    void extractedSound_isARealWavFile()
    {
        FakeSound output;
        AlertSoundPlayer player(output);
        const auto path = player.loadBundledAlertSound(QStringLiteral("alert1"));
        QVERIFY(path);
        QFile file(*path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(4), QByteArray("RIFF"));
    }
};

QTEST_GUILESS_MAIN(tst_AlertOutputs)
#include "tst_AlertOutputs.moc"
