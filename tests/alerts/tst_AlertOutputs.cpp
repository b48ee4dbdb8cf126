#include "AlertNotificationManager.h"
#include "AlertSoundPlayer.h"
#include "AlertTestSupport.h"
#include "BundledResources.h"
#include "SystemNotifications.h"

#include <QTest>

using namespace varnello;
using namespace varnello::test;

class tst_AlertOutputs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { BundledResources::setResolverForTesting({}); }

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
