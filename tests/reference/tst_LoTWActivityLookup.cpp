#include "LoTWActivityLookup.h"
#include "NotificationHub.h"

#include <QThread>
#include <QtTest>
#include <ctime>

using namespace varnello;

class TestLoTWActivityLookup : public QObject {
    Q_OBJECT

    static LoTWActivityLookup::Table sampleTable()
    {
        return {{QStringLiteral("G4ABC"), QDate(2026, 1, 5)},
                {QStringLiteral("G4ABC/P"), QDate(2026, 3, 1)},
                {QStringLiteral("K1ABC"), QDate(2025, 12, 24)},
                {QStringLiteral("VP2E"), QDate(2026, 6, 30)}};
    }

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void cleanup() { LoTWActivityLookup::shared().replaceAll({}); }

    void lookupKeys_wholeCallFirstThenLongestPieces_data()
    {
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("plain") << "G4ABC" << QStringList{"G4ABC"};
        QTest::newRow("lower case, portable")
            << "ea8/g4abc/p" << QStringList{"EA8/G4ABC/P", "G4ABC", "EA8"};
        QTest::newRow("prefix before call")
            << "VP2E/K1ABC" << QStringList{"VP2E/K1ABC", "K1ABC", "VP2E"};
        QTest::newRow("equal lengths ascending")
            << "W1AW/K1AW" << QStringList{"W1AW/K1AW", "K1AW", "W1AW"};
        QTest::newRow("suffixes dropped")
            << "K1ABC/QRP/MM/AM/A/B/M" << QStringList{"K1ABC/QRP/MM/AM/A/B/M", "K1ABC"};
        QTest::newRow("digit-only and letter-only pieces dropped")
            << "K1ABC/7/XYZ" << QStringList{"K1ABC/7/XYZ", "K1ABC"};
        QTest::newRow("repeat once") << "K1ABC/K1ABC" << QStringList{"K1ABC/K1ABC", "K1ABC"};
        QTest::newRow("blanks trimmed") << "  g4abc \r\n" << QStringList{"G4ABC"};
        QTest::newRow("empty slashes") << "/K1ABC//" << QStringList{"/K1ABC//", "K1ABC"};
        QTest::newRow("blank") << " \t " << QStringList{};
        QTest::newRow("empty") << "" << QStringList{};
    }
    void lookupKeys_wholeCallFirstThenLongestPieces()
    {
        QFETCH(QString, callsign);
        QFETCH(QStringList, keys);
        QCOMPARE(LoTWActivityLookup::lookupKeys(callsign), keys);
    }

    void lastUpload_firstKeyFoundWins_data()
    {
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<QDate>("date");
        QTest::newRow("portable finds base call") << "g4abc/m" << QDate(2026, 1, 5);
        QTest::newRow("whole text stored") << "G4ABC/P" << QDate(2026, 3, 1);
        QTest::newRow("longer piece before later date") << "VP2E/K1ABC" << QDate(2025, 12, 24);
        QTest::newRow("prefix alone") << "VP2E/W9XYZ" << QDate(2026, 6, 30);
        QTest::newRow("unknown") << "N0CALL" << QDate();
        QTest::newRow("blank") << "  " << QDate();
    }
    void lastUpload_firstKeyFoundWins()
    {
        QFETCH(QString, callsign);
        QFETCH(QDate, date);
        LoTWActivityLookup::shared().replaceAll(sampleTable());
        const auto found = LoTWActivityLookup::shared().lastUpload(callsign);
        QCOMPARE(found.value_or(QDate()), date);
        QCOMPARE(LoTWActivityLookup::shared().hasRecentUpload(callsign), date.isValid());
        QCOMPARE(LoTWActivityLookup::shared().lastUploadText(callsign).has_value(), date.isValid());
    }

    void baseCallEntry_isNotFoundThroughPortableOnlyEntry()
    {
        LoTWActivityLookup::shared().replaceAll({{QStringLiteral("G4ABC/P"), QDate(2026, 3, 1)}});
        QVERIFY(!LoTWActivityLookup::shared().hasRecentUpload(u"G4ABC"));
        QVERIFY(LoTWActivityLookup::shared().hasRecentUpload(u"g4abc/p"));
    }

    void lastUploadText_namesTheListDateInEveryTimeZone_data()
    {
        QTest::addColumn<QByteArray>("tz");
        QTest::newRow("UTC+14") << QByteArray("Pacific/Kiritimati");
        QTest::newRow("UTC-11") << QByteArray("Pacific/Pago_Pago");
        QTest::newRow("UTC") << QByteArray("UTC");
    }
    void lastUploadText_namesTheListDateInEveryTimeZone()
    {
        QFETCH(QByteArray, tz);
        const QByteArray previous = qgetenv("TZ");
        qputenv("TZ", tz);
        tzset();
        LoTWActivityLookup::shared().replaceAll({{QStringLiteral("G4ABC"), QDate(2026, 1, 5)}});
        const auto text = LoTWActivityLookup::shared().lastUploadText(u"G4ABC");
        const auto endOfYear = [] {
            LoTWActivityLookup::shared().replaceAll(
                {{QStringLiteral("K1ABC"), QDate(2025, 12, 31)}});
            return LoTWActivityLookup::shared().lastUploadText(u"K1ABC");
        }();
        qputenv("TZ", previous);
        tzset();
        QCOMPARE(text.value_or(QString()), QStringLiteral("5 January 2026"));
        QCOMPARE(endOfYear.value_or(QString()), QStringLiteral("31 December 2025"));
    }

    void dateTexts_dropTheWeekdayWithItsWordsAndSeparators_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("longText"); // empty: check the shape only
        QTest::newRow("en_US") << "en_US"
                               << "January 5, 2026";
        QTest::newRow("weekday last, Hungarian")
            << "hu_HU" << QStringLiteral("2026. janu\u00e1r 5.");
        QTest::newRow("weekday with its word, Danish") << "da_DK"
                                                       << "5. januar 2026";
        QTest::newRow("weekday last, Lithuanian") << "lt_LT" << QString();
        QTest::newRow("Arabic comma") << "ar_SA" << QString();
        QTest::newRow("weekday with its word, Thai") << "th_TH" << QString();
    }
    void dateTexts_dropTheWeekdayWithItsWordsAndSeparators()
    {
        QFETCH(QString, locale);
        QFETCH(QString, longText);
        const QLocale l(locale);
        const QDate date(2026, 1, 5);
        const QString weekday = l.dayName(date.dayOfWeek(), QLocale::LongFormat);
        const QString separators = QStringLiteral(", \u060C");
        for (const QString &text :
             {formatLongDateWithoutWeekday(date, l), formatAbbreviatedDate(date, l)}) {
            QVERIFY2(!text.isEmpty(), qPrintable(locale));
            QVERIFY2(!text.contains(weekday), qPrintable(text));
            QVERIFY2(!separators.contains(text.front()), qPrintable(text));
            QVERIFY2(!separators.contains(text.back()), qPrintable(text));
        }
        if (!longText.isEmpty())
            QCOMPARE(formatLongDateWithoutWeekday(date, l), longText);
    }

    void replaceAll_notifiesLaterOnTheMainThread()
    {
        QCoreApplication::sendPostedEvents(); // notices of earlier tests
        int notices = 0;
        QThread *deliveredOn = nullptr;
        const auto connection = connect(
            &NotificationHub::instance(), &NotificationHub::posted, this,
            [&](const QString &name, const QVariantMap &info) {
                if (name != QLatin1String(kLoTWActivityLookupDidReload))
                    return;
                QVERIFY(info.isEmpty());
                ++notices;
                deliveredOn = QThread::currentThread();
            },
            Qt::DirectConnection);
        LoTWActivityLookup::shared().replaceAll(sampleTable());
        QCOMPARE(notices, 0); // never during the call
        QTRY_COMPARE_WITH_TIMEOUT(notices, 1, 10000);
        QCOMPARE(deliveredOn, qApp->thread());

        // A replacement from a worker thread is announced on the main thread too.
        QThread *worker = QThread::create([] { LoTWActivityLookup::shared().replaceAll({}); });
        worker->start();
        QVERIFY(worker->wait(10000));
        delete worker;
        QTRY_COMPARE_WITH_TIMEOUT(notices, 2, 10000);
        QCOMPARE(deliveredOn, qApp->thread());
        QCOMPARE(LoTWActivityLookup::shared().size(), 0);
        disconnect(connection);
    }
};

QTEST_GUILESS_MAIN(TestLoTWActivityLookup)
#include "tst_LoTWActivityLookup.moc"
