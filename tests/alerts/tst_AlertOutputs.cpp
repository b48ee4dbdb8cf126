#include "AlertNotificationManager.h"
#include "AlertSoundPlayer.h"
#include "AlertTestSupport.h"
#include "BundledResources.h"
#include "SystemNotifications.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace varnello;
using namespace varnello::test;

class tst_AlertOutputs : public QObject {
    Q_OBJECT

    // The sounds' cache, and a temporary folder that nothing is to be left in.
    QTemporaryDir m_cache;
    QTemporaryDir m_temp;

    QString soundsFolder() const { return m_cache.filePath(QStringLiteral("Varnello/sounds")); }

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
        if (change == QLatin1String("remove"))
            QVERIFY(file.remove());

        AlertSoundPlayer next(output);
        QVERIFY(QDir(m_temp.path()).isEmpty()); // also while a player lives
        next.play(AlertSoundChoice::alert1);
        QCOMPARE(output.played.last(), QStringLiteral("alert1.wav"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), original);
        QCOMPARE(file.fileTime(QFileDevice::FileModificationTime) != old, rewritten);
        QCOMPARE(QDir(soundsFolder()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"alert1.wav", "alert2.wav"}));
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
