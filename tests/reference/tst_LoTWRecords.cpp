#include "CTYFileManager.h"
#include "CivilDate.h"

#include <QtTest>

using namespace varnello;

namespace {

using State = CTYFileManager::LoTWReadingState;

const QDateTime kNow(QDate(2026, 12, 7), QTime(0, 0), Qt::UTC);

State readLines(const QStringList &lines, const QDateTime &now = kNow)
{
    State state = State::startingAt(now);
    for (const QString &line : lines) {
        CTYFileManager::parseLoTWActivityCSV(line, state);
        if (state.stop)
            break;
    }
    return state;
}

QStringList validRecords(int count, const QString &date = QStringLiteral("2026-06-01"))
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QStringLiteral("K%1ABC,%2,12:00:00").arg(i).arg(date);
    return lines;
}

// A list of `count` distinct records, `recent` of them within the last year.
QByteArray generatedList(int count, const char *lineEnd = "\n")
{
    QByteArray out;
    out.reserve(qsizetype(count) * 30);
    for (int i = 0; i < count; ++i) {
        out += "K" + QByteArray::number(i) + "ABC," + (i % 3 == 0 ? "2024-02-10" : "2026-06-01") +
               ",12:34:56" + lineEnd;
    }
    return out;
}

LoTWActivityFileError failureOf(const DataFileOutcome<CTYFileManager::LoTWValidationResult> &o)
{
    const auto *e = o.failure().as<LoTWActivityFileError>();
    return e ? *e : LoTWActivityFileError::bundledFileMissing;
}

} // namespace

class TestLoTWRecords : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dateField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "2025-01-05" << true;
        QTest::newRow("30 February passes") << "2025-02-30" << true;
        QTest::newRow("short month") << "2025-1-05" << false;
        QTest::newRow("short year") << "25-01-05" << false;
        QTest::newRow("month 13") << "2025-13-01" << false;
        QTest::newRow("day 0") << "2025-01-00" << false;
        QTest::newRow("day 32") << "2025-01-32" << false;
        QTest::newRow("empty piece dropped") << "2025--01-05" << true;
        QTest::newRow("four pieces") << "2025-01-05-01" << false;
        QTest::newRow("leading blank") << " 2025-01-05" << false;
        QTest::newRow("letter") << "2O25-01-05" << false;
        QTest::newRow("other digits") << "2025-01-0\u0665" << false;
        QTest::newRow("empty") << "" << false;
    }
    void dateField()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(CTYFileManager::isValidLoTWDate(text), valid);
    }

    void timeField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "12:34:56" << true;
        QTest::newRow("last second") << "23:59:59" << true;
        QTest::newRow("hour 24") << "24:00:00" << false;
        QTest::newRow("minute 60") << "12:60:00" << false;
        QTest::newRow("second 60") << "12:00:60" << false;
        QTest::newRow("short minute") << "12:5:00" << false;
        QTest::newRow("two pieces") << "12:00" << false;
        QTest::newRow("empty piece dropped") << "12::00:00" << true;
        QTest::newRow("trailing blank") << "12:00:00 " << false;
    }
    void timeField()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(CTYFileManager::isValidLoTWTime(text), valid);
    }

    void recordDate_isLenientAndNeverOverflows_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("plain") << "2025-01-05" << QDate(2025, 1, 5);
        QTest::newRow("30 February is 2 March") << "2025-02-30" << QDate(2025, 3, 2);
        QTest::newRow("leap day") << "2024-02-29" << QDate(2024, 2, 29);
        QTest::newRow("month 13 is next January") << "2025-13-01" << QDate(2026, 1, 1);
        QTest::newRow("month 0 is last December") << "2025-00-10" << QDate(2024, 12, 10);
        QTest::newRow("short pieces") << "2025-1-5" << QDate(2025, 1, 5);
        QTest::newRow("huge month") << "2025-99999999999-01" << QDate();
        QTest::newRow("huge day") << "2025-01-99999999999999" << QDate();
        QTest::newRow("beyond 64 bits") << "99999999999999999999-01-01" << QDate();
        QTest::newRow("two pieces") << "2025-01" << QDate();
    }
    void recordDate_isLenientAndNeverOverflows()
    {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QCOMPARE(CTYFileManager::lotwActivityDate(text).value_or(QDate()), date);
    }

    void releaseText_givesDate_data()
    {
        QTest::addColumn<QString>("release");
        QTest::addColumn<QDate>("date");
        QTest::newRow("short pieces") << "2025.1.5" << QDate(2025, 1, 5);
        QTest::newRow("empty piece dropped") << "2025..01.15" << QDate(2025, 1, 15);
        QTest::newRow("fourth piece ignored") << "2025.01.15.2" << QDate(2025, 1, 15);
        QTest::newRow("two pieces") << "2025.01" << QDate();
        QTest::newRow("letter") << "2025.x.15" << QDate();
        QTest::newRow("empty") << "" << QDate();
        QTest::newRow("overflowing month") << "2025.99999999999.1" << QDate();
        QTest::newRow("month 13") << "2025.13.1" << QDate(2026, 1, 1);
    }
    void releaseText_givesDate()
    {
        QFETCH(QString, release);
        QFETCH(QDate, date);
        QCOMPARE(CTYFileManager::installedReleaseDate(release).value_or(QDate()), date);
        QVERIFY(!CTYFileManager::installedReleaseDate(std::nullopt));
    }

    void civilDate_guardsAgainstOverflow()
    {
        QCOMPARE(civilDate(2025, 2, 30).value_or(QDate()), QDate(2025, 3, 2));
        QCOMPARE(civilDate(2025, 1, 0).value_or(QDate()), QDate(2024, 12, 31));
        QCOMPARE(civilDate(2024, 14, 1).value_or(QDate()), QDate(2025, 2, 1));
        QVERIFY(!civilDate(std::numeric_limits<qint64>::max(), 1, 1));
        QVERIFY(!civilDate(2025, std::numeric_limits<qint64>::min(), 1));
        QVERIFY(!civilDate(2025, 1, std::numeric_limits<qint64>::max()));
        QCOMPARE(parseDecimalInteger(QStringView(u"-9223372036854775808")).value_or(0),
                 std::numeric_limits<qint64>::min());
        QVERIFY(!parseDecimalInteger(QStringView(u"9223372036854775808")));
        QVERIFY(!parseDecimalInteger(QStringView(u"+")));
        QVERIFY(!parseDecimalInteger(QStringView(u" 1")));
    }

    void invalidLine_rejectsListOnlyAmongFirst100Records()
    {
        for (const QString &bad :
             {QStringLiteral("K1ABC,2025-01-05,12:00:00,extra"),
              QStringLiteral(",2025-01-05,12:00:00"), QStringLiteral("K1ABC,2025-1-05,12:00:00"),
              QStringLiteral("K1ABC,2025-01-05,24:00:00")}) {
            const State after99 = readLines(validRecords(99) << bad << validRecords(5));
            QVERIFY2(after99.invalid && after99.stop, qPrintable(bad));
            QCOMPARE(after99.activityCount, 99);

            const State after100 = readLines(validRecords(100) << bad << validRecords(5));
            QVERIFY2(!after100.invalid && !after100.stop, qPrintable(bad));
            QCOMPARE(after100.activityCount, 105);
        }
    }

    void emptyLine_isIgnoredBeforeAndAfter100Records()
    {
        const State early = readLines(QStringList{QString()} << validRecords(3) << QString());
        QVERIFY(!early.invalid);
        QCOMPARE(early.activityCount, 3);
        const State late = readLines(validRecords(150) << QString() << validRecords(1));
        QVERIFY(!late.invalid);
        QCOMPARE(late.activityCount, 151);
    }

    void callsignField_isTrimmedOfQuotesAndBlanksAndUpperCased()
    {
        const State s = readLines({QStringLiteral("\"g4abc \",2026-06-01,12:00:00"),
                                   QStringLiteral(" \" \" ,2026-06-02,12:00:00"),
                                   QStringLiteral("\u00a0ea8/dl1xyz\u00a0,2026-06-03,12:00:00")});
        QCOMPARE(s.activityCount, 3);
        QCOMPARE(s.table.size(), 2);
        QCOMPARE(s.table.value(QStringLiteral("G4ABC")), QDate(2026, 6, 1));
        QCOMPARE(s.table.value(QStringLiteral("EA8/DL1XYZ")), QDate(2026, 6, 3));
        QCOMPARE(s.latestDate.value_or(QDate()), QDate(2026, 6, 3));
    }

    void sameCallsignTwice_keepsLaterDateInEitherOrder()
    {
        const QString older = QStringLiteral("K1ABC,2026-01-10,12:00:00");
        const QString newer = QStringLiteral("k1abc,2026-05-20,00:00:00");
        QCOMPARE(readLines({older, newer}).table.value(QStringLiteral("K1ABC")),
                 QDate(2026, 5, 20));
        QCOMPARE(readLines({newer, older}).table.value(QStringLiteral("K1ABC")),
                 QDate(2026, 5, 20));
    }

    void cutOff_keepsRecordExactlyOneYearOld()
    {
        // Clock at 00:00 UTC on 7 December 2026: the cut-off is 7 December 2025, 00:00 UTC.
        const State s = readLines({QStringLiteral("K1OLD,2025-12-06,23:59:59"),
                                   QStringLiteral("K1EDGE,2025-12-07,00:00:00")});
        QCOMPARE(s.cutoff, QDateTime(QDate(2025, 12, 7), QTime(0, 0), Qt::UTC));
        QCOMPARE(s.activityCount, 2);
        QVERIFY(!s.table.contains(QStringLiteral("K1OLD")));
        QCOMPARE(s.table.value(QStringLiteral("K1EDGE")), QDate(2025, 12, 7));

        // An old record still counts and can be the latest date.
        const State old = readLines({QStringLiteral("K1OLD,2025-12-06,23:59:59")});
        QCOMPARE(old.activityCount, 1);
        QVERIFY(old.table.isEmpty());
        QCOMPARE(old.latestDate.value_or(QDate()), QDate(2025, 12, 6));
    }

    void cutOff_ofLeapDayIsLastDayOfFebruary()
    {
        const State s = State::startingAt(QDateTime(QDate(2028, 2, 29), QTime(6, 0), Qt::UTC));
        QCOMPARE(s.cutoff, QDateTime(QDate(2027, 2, 28), QTime(6, 0), Qt::UTC));
    }

    void validation_acceptsLargeCompleteList()
    {
        const QByteArray list = generatedList(100'001);
        const auto outcome = CTYFileManager::validateLoTWActivityData(list, kNow);
        QVERIFY(outcome.ok());
        QCOMPARE(outcome.value().activityCount, 100'001);
        QCOMPARE(outcome.value().latestActivityDate, QDate(2026, 6, 1));
        QCOMPARE(outcome.value().recentUploads.size(), 100'001 - 33'334);
        QCOMPARE(outcome.value().recentUploads.value(QStringLiteral("K1ABC")), QDate(2026, 6, 1));
        QVERIFY(!outcome.value().recentUploads.contains(QStringLiteral("K0ABC")));
    }

    void validation_refusesTooFewRecordsOrBytes()
    {
        const auto hundredThousand =
            CTYFileManager::validateLoTWActivityData(generatedList(100'000), kNow);
        QVERIFY(!hundredThousand.ok());
        QCOMPARE(failureOf(hundredThousand), LoTWActivityFileError::downloadFailedValidation);

        QByteArray small = generatedList(1000);
        small += QByteArray(1'000'000 - small.size(), '\n');
        QCOMPARE(small.size(), 1'000'000);
        QCOMPARE(failureOf(CTYFileManager::validateLoTWActivityData(small, kNow)),
                 LoTWActivityFileError::downloadFailedValidation);
    }

    void validation_readsEveryLineEnd_data()
    {
        QTest::addColumn<QByteArray>("lineEnd");
        QTest::newRow("LF") << QByteArray("\n");
        QTest::newRow("CR LF") << QByteArray("\r\n");
        QTest::newRow("CR") << QByteArray("\r");
        QTest::newRow("LINE SEPARATOR") << QByteArray("\xe2\x80\xa8");
    }
    void validation_readsEveryLineEnd()
    {
        QFETCH(QByteArray, lineEnd);
        const auto outcome =
            CTYFileManager::validateLoTWActivityData(generatedList(100'001, lineEnd), kNow);
        QVERIFY(outcome.ok());
        QCOMPARE(outcome.value().activityCount, 100'001);
    }

    void validation_refusesAnyNonUtf8Byte()
    {
        QByteArray list = generatedList(150'000);
        QByteArray latin1 = list;
        latin1.insert(list.size() / 2, "\xe9"); // é in ISO Latin-1
        QCOMPARE(failureOf(CTYFileManager::validateLoTWActivityData(latin1, kNow)),
                 LoTWActivityFileError::invalidTextEncoding);
        QByteArray truncated = list + "K9\xe2\x82";
        QCOMPARE(failureOf(CTYFileManager::validateLoTWActivityData(truncated, kNow)),
                 LoTWActivityFileError::invalidTextEncoding);
        QByteArray surrogate = list + "K9\xed\xa0\x80,2026-01-01,00:00:00\n";
        QCOMPARE(failureOf(CTYFileManager::validateLoTWActivityData(surrogate, kNow)),
                 LoTWActivityFileError::invalidTextEncoding);
    }

    void validation_acceptsMultiByteCharactersAcrossReadSlices()
    {
        // "Ä" starts one byte before a 256 KiB boundary of the encoding check.
        QByteArray list = QByteArray(262'143, 'A') + "\xc3\x84,2026-06-02,00:00:00\n";
        list += generatedList(100'001);
        const auto outcome = CTYFileManager::validateLoTWActivityData(list, kNow);
        QVERIFY(outcome.ok());
        QCOMPARE(outcome.value().latestActivityDate, QDate(2026, 6, 2));
        QVERIFY(outcome.value().recentUploads.contains(QString(262'143, u'A') + QChar(0xc4)));
    }

    void validation_badEarlyLineRejectsWholeList()
    {
        QByteArray list = "K1X,2025-01-05,12:00:00,extra\n" + generatedList(100'001);
        QCOMPARE(failureOf(CTYFileManager::validateLoTWActivityData(list, kNow)),
                 LoTWActivityFileError::downloadFailedValidation);
        QByteArray late = generatedList(200) + "garbage line\n" + generatedList(100'001);
        QVERIFY(CTYFileManager::validateLoTWActivityData(late, kNow).ok());
    }
};

QTEST_GUILESS_MAIN(TestLoTWRecords)
#include "tst_LoTWRecords.moc"
