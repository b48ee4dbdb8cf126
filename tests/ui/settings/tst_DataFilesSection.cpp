#include "DataFilesSettingsSection.h"
#include "SettingsTestKit.h"

#include <QLabel>
#include <QPushButton>

using namespace varnello;
using namespace varnello::test;
using Source = DataFilesSource::FileSource;

Q_DECLARE_METATYPE(Source)

namespace {

struct SectionKit {
    FakeDataFiles files;
    RecordingAlerts alerts;
    DataFilesSettingsSection section{files, alerts};
    SectionKit() { section.show(); }
    template <typename T> T *named(const char *name) { return findNamed<T>(&section, name); }
};

} // namespace

class tst_DataFilesSection final : public QObject {
    Q_OBJECT

private slots:
    void buttons_followManagerState_data()
    {
        QTest::addColumn<Source>("country");
        QTest::addColumn<Source>("lotw");
        QTest::addColumn<bool>("hasLoTW");
        QTest::addColumn<QString>("lotwTitle");
        QTest::addColumn<bool>("bundledLoTW");
        QTest::newRow("built-in files")
            << Source::bundled << Source::bundled << true << "Update LoTW Activity" << true;
        QTest::newRow("downloaded files")
            << Source::downloaded << Source::downloaded << true << "Update LoTW Activity" << true;
        // Going back to a list the build does not carry could only fail.
        QTest::newRow("downloaded files, no built-in LoTW list")
            << Source::downloaded << Source::downloaded << true << "Update LoTW Activity" << false;
        QTest::newRow("no LoTW list") << Source::unavailable << Source::unavailable << false
                                      << "Download LoTW Activity" << true;
    }
    void buttons_followManagerState()
    {
        QFETCH(Source, country);
        QFETCH(Source, lotw);
        QFETCH(bool, hasLoTW);
        QFETCH(bool, bundledLoTW);
        SectionKit kit;
        kit.files.country = country;
        kit.files.lotw = lotw;
        kit.files.hasLoTW = hasLoTW;
        kit.files.bundledLoTW = bundledLoTW;
        kit.files.publish();
        QCOMPARE(kit.named<QPushButton>("countryUpdateButton")->text(),
                 QStringLiteral("Update CTY_WT.DAT"));
        QTEST(kit.named<QPushButton>("lotwUpdateButton")->text(), "lotwTitle");
        QCOMPARE(kit.named<QPushButton>("countryUseBundledButton")->isVisible(),
                 country == Source::downloaded);
        QCOMPARE(kit.named<QPushButton>("lotwUseBundledButton")->isVisible(),
                 lotw == Source::downloaded && bundledLoTW);
    }

    void download_disablesOnlyItsOwnColumn_data()
    {
        QTest::addColumn<bool>("country");
        QTest::newRow("country file downloading") << true;
        QTest::newRow("LoTW list downloading") << false;
    }
    void download_disablesOnlyItsOwnColumn()
    {
        QFETCH(bool, country);
        SectionKit kit;
        kit.files.country = kit.files.lotw = Source::downloaded;
        (country ? kit.files.updating : kit.files.updatingLoTW) = true;
        kit.files.publish();
        const QString busy = country ? QStringLiteral("country") : QStringLiteral("lotw");
        const QString idle = country ? QStringLiteral("lotw") : QStringLiteral("country");
        const auto widget = [&](const QString &prefix, const char *suffix) {
            return findNamed<QWidget>(&kit.section, (prefix + QLatin1String(suffix)).toLatin1());
        };
        QVERIFY(!widget(busy, "UpdateButton")->isEnabled());
        QVERIFY(!widget(busy, "UseBundledButton")->isEnabled());
        QVERIFY(widget(busy, "Progress")->isVisible());
        QVERIFY(widget(busy, "Progress")->findChild<QLabel *>()->text() ==
                QStringLiteral("Downloading…"));
        QVERIFY(widget(idle, "UpdateButton")->isEnabled());
        QVERIFY(widget(idle, "UseBundledButton")->isEnabled());
        QVERIFY(!widget(idle, "Progress")->isVisible());
    }

    void lotwStatus_splitsAtLatestActivity_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second"); // empty: hidden
        QTest::newRow("counted list")
            << QString::fromUtf8("Downloaded — 151,234 callsigns — latest activity 6 Dec 2026")
            << QString::fromUtf8("Downloaded — 151,234 callsigns") << "Latest activity 6 Dec 2026";
        QTest::newRow("still loading")
            << QString::fromUtf8("Bundled — loading activity data…")
            << QString::fromUtf8("Bundled — loading activity data…") << "";
        QTest::newRow("no list") << "No LoTW activity file loaded"
                                 << "No LoTW activity file loaded"
                                 << "";
        QTest::newRow("split at the first occurrence")
            << QString::fromUtf8("A — latest activity B — latest activity C") << "A"
            << QString::fromUtf8("Latest activity B — latest activity C");
    }
    void lotwStatus_splitsAtLatestActivity()
    {
        QFETCH(QString, description);
        QFETCH(QString, first);
        QFETCH(QString, second);
        SectionKit kit;
        kit.files.lotwText = description;
        kit.files.publish();
        QCOMPARE(kit.named<QLabel>("lotwStatusLine1")->text(), first);
        auto *line2 = kit.named<QLabel>("lotwStatusLine2");
        QCOMPARE(line2->isVisible(), !second.isEmpty());
        if (!second.isEmpty())
            QCOMPARE(line2->text(), second);
        QVERIFY(!kit.named<QLabel>("countryStatusLine2")->isVisible());
    }

    void failures_raiseTheirColumnsAlert_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        const QString country = QStringLiteral("Country file update failed");
        const QString lotw = QStringLiteral("LoTW activity update failed");
        QTest::newRow("country download") << "countryUpdateButton"
                                          << "The downloaded CTY_WT.DAT file was empty." << country
                                          << "The downloaded CTY_WT.DAT file was empty.";
        QTest::newRow("country download, no sentence")
            << "countryUpdateButton"
            << "" << country << "The country file could not be updated.";
        QTest::newRow("country built-in copy")
            << "countryUseBundledButton"
            << "The bundled CTY_WT.DAT file could not be found." << country
            << "The bundled CTY_WT.DAT file could not be found.";
        QTest::newRow("LoTW download") << "lotwUpdateButton"
                                       << "The LoTW server returned an invalid "
                                          "response."
                                       << lotw << "The LoTW server returned an invalid response.";
        QTest::newRow("LoTW built-in copy, no sentence")
            << "lotwUseBundledButton"
            << "" << lotw << "The LoTW activity file could not be updated.";
    }
    void failures_raiseTheirColumnsAlert()
    {
        QFETCH(QString, action);
        QFETCH(QString, failure);
        SectionKit kit;
        kit.files.country = kit.files.lotw = Source::downloaded;
        kit.files.bundledCountryFailure = kit.files.bundledLoTWFailure = failure;
        kit.files.publish();
        findNamed<QPushButton>(&kit.section, action.toLatin1())->click();
        if (action == QLatin1String("countryUpdateButton"))
            kit.files.pendingCountry(failure);
        else if (action == QLatin1String("lotwUpdateButton"))
            kit.files.pendingLoTW(failure);
        QCOMPARE(kit.alerts.shown.size(), 1);
        QTEST(kit.alerts.shown[0].alert.title, "title");
        QTEST(kit.alerts.shown[0].alert.message, "message");
        QCOMPARE(kit.alerts.shown[0].alert.buttons.size(), 1);
        QCOMPARE(kit.alerts.shown[0].alert.buttons[0].text, QStringLiteral("OK"));
        kit.alerts.answer();
        const bool countryColumn = action.startsWith(QLatin1String("country"));
        QVERIFY(!(countryColumn ? kit.section.countryFileError() : kit.section.lotwFileError()));
    }

    void failures_inBothColumnsEachClearOnlyTheirOwn()
    {
        SectionKit kit;
        kit.files.publish();
        kit.named<QPushButton>("countryUpdateButton")->click();
        kit.named<QPushButton>("lotwUpdateButton")->click();
        kit.files.pendingCountry(QStringLiteral("country broke"));
        kit.files.pendingLoTW(QStringLiteral("lotw broke"));
        QCOMPARE(kit.alerts.titles(),
                 (QStringList{"Country file update failed", "LoTW activity update failed"}));
        kit.alerts.answer();
        QVERIFY(!kit.section.countryFileError());
        QCOMPARE(kit.section.lotwFileError(), QStringLiteral("lotw broke"));
        kit.alerts.answer();
        QVERIFY(!kit.section.lotwFileError());
        kit.files.pendingCountry(std::nullopt); // a success raises nothing
        QVERIFY(kit.alerts.shown.isEmpty());
    }
};

QTEST_MAIN(tst_DataFilesSection)
#include "tst_DataFilesSection.moc"
