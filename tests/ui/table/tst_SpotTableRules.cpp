// The table's pure rules: time texts, lookup addresses, list changes, restored column order.

#include "SpotListChange.h"
#include "SpotTableCells.h"
#include "SpotTableColumns.h"
#include "SpotTableTestSupport.h"

#include <QTest>

using namespace varnello;
using namespace varnello::test;

class tst_SpotTableRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void formatSpotTime_data();
    void formatSpotTime();
    void callsignLookupUrl_data();
    void callsignLookupUrl();
    void frontInsertionChange_data();
    void frontInsertionChange();
    void restoredColumnOrder_data();
    void restoredColumnOrder();
};

void tst_SpotTableRules::formatSpotTime_data()
{
    QTest::addColumn<QString>("time");
    QTest::addColumn<bool>("local");
    QTest::addColumn<int>("zoneOffsetSeconds");
    QTest::addColumn<QString>("expected");

    QTest::newRow("utc") << "0905Z" << false << 0 << "0905Z";
    QTest::newRow("utc without Z") << "0905" << false << 0 << "0905Z";
    QTest::newRow("utc digits only kept") << "09:05" << false << 0 << "0905Z";
    QTest::newRow("utc hour 24 as received") << "2400Z" << false << 0 << "2400ZZ";
    QTest::newRow("utc minute 60 as received") << "1260Z" << false << 0 << "1260ZZ";
    QTest::newRow("utc five digits") << "12345Z" << false << 0 << "12345ZZ";
    QTest::newRow("utc empty") << "" << false << 0 << "Z";
    QTest::newRow("local one hour ahead") << "0905Z" << true << 3600 << "1005";
    QTest::newRow("local past midnight") << "2330Z" << true << 3600 << "0030";
    QTest::newRow("local behind") << "0300Z" << true << -5 * 3600 << "2200";
    QTest::newRow("local invalid unchanged") << "2400Z" << true << 3600 << "2400Z";
    QTest::newRow("local short unchanged") << "905" << true << 3600 << "905";
}

void tst_SpotTableRules::formatSpotTime()
{
    QFETCH(QString, time);
    QFETCH(bool, local);
    QFETCH(int, zoneOffsetSeconds);
    QFETCH(QString, expected);
    const QDateTime now(QDate(2026, 12, 7), QTime(23, 50), QTimeZone::utc());
    QCOMPARE(varnello::formatSpotTime(time, local, now, QTimeZone(zoneOffsetSeconds)), expected);
}

void tst_SpotTableRules::callsignLookupUrl_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("expected"); // empty: no address

    QTest::newRow("slash kept in path") << "VP2E/K1ABC"
                                        << "https://www.qrz.com/db/VP2E/K1ABC";
    QTest::newRow("trimmed") << "  k1abc \n"
                             << "https://www.qrz.com/db/k1abc";
    QTest::newRow("space encoded") << "K1 ABC"
                                   << "https://www.qrz.com/db/K1%20ABC";
    QTest::newRow("query and fragment encoded") << "A#B?C"
                                                << "https://www.qrz.com/db/A%23B%3FC";
    QTest::newRow("angle brackets encoded") << "<x>"
                                            << "https://www.qrz.com/db/%3Cx%3E";
    QTest::newRow("non-ASCII as UTF-8") << "ÄB"
                                        << "https://www.qrz.com/db/%C3%84B";
    QTest::newRow("blank") << "  \t"
                           << "";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_SpotTableRules::callsignLookupUrl()
{
    QFETCH(QString, call);
    QFETCH(QString, expected);
    const std::optional<QUrl> url = varnello::callsignLookupUrl(call);
    if (expected.isEmpty()) {
        QVERIFY(!url);
        return;
    }
    QVERIFY(url);
    QCOMPARE(QString::fromLatin1(url->toEncoded()), expected);
}

namespace {

// One spot per letter, the letter as its call; the same letter is the same spot (same id).
QList<DXSpot> lettered(const QString &letters)
{
    static QHash<QChar, DXSpot> spots;
    QList<DXSpot> list;
    for (const QChar letter : letters) {
        auto it = spots.find(letter);
        if (it == spots.end()) {
            DXSpot spot;
            spot.id = QUuid::createUuid();
            spot.callsign = letter;
            it = spots.insert(letter, spot);
        }
        list.append(*it);
    }
    return list;
}

} // namespace

void tst_SpotTableRules::frontInsertionChange_data()
{
    QTest::addColumn<QString>("oldList");
    QTest::addColumn<QString>("newList");
    QTest::addColumn<int>("inserted"); // -1: not a front insertion
    QTest::addColumn<int>("removedFrom");

    QTest::newRow("first spots into an empty table") << ""
                                                     << "ABC" << 3 << 0;
    QTest::newRow("unchanged") << "ABCDE"
                               << "ABCDE" << 0 << 5;
    QTest::newRow("three in front") << "ABCDE"
                                    << "XYZABCDE" << 3 << 5;
    QTest::newRow("three in front, three off the end") << "ABCDE"
                                                       << "XYZAB" << 3 << 2;
    QTest::newRow("only the end cut") << "ABCDE"
                                      << "ABC" << 0 << 3;
    QTest::newRow("old first spot gone") << "ABCDE"
                                         << "XBCDE" << -1 << 0;
    QTest::newRow("old part not a prefix") << "ABCDE"
                                           << "XABDE" << -1 << 0;
    QTest::newRow("extra spots after the old part") << "ABC"
                                                    << "XABCQ" << -1 << 0;
    QTest::newRow("emptied") << "ABC"
                             << "" << -1 << 0;
}

void tst_SpotTableRules::frontInsertionChange()
{
    QFETCH(QString, oldList);
    QFETCH(QString, newList);
    QFETCH(int, inserted);
    QFETCH(int, removedFrom);
    const auto change = varnello::frontInsertionChange(lettered(oldList), lettered(newList));
    if (inserted < 0) {
        QVERIFY(!change);
        return;
    }
    QVERIFY(change);
    QCOMPARE(*change, (FrontInsertionChange{inserted, removedFrom}));
}

void tst_SpotTableRules::restoredColumnOrder_data()
{
    QTest::addColumn<QStringList>("saved");
    QTest::addColumn<QStringList>("expected");
    const QStringList standard{"time",    "dx",      "frequency", "band",
                               "spotter", "comment", "dxcc",      "lotw"};

    QTest::newRow("dxcc before dx")
        << QStringList{"dxcc", "dx"}
        << QStringList{"dxcc", "dx", "time", "frequency", "band", "spotter", "comment", "lotw"};
    QTest::newRow("unknown identifier skipped")
        << QStringList{"nope", "lotw"}
        << QStringList{"time", "lotw", "dx", "frequency", "band", "spotter", "comment", "dxcc"};
    QTest::newRow("empty") << QStringList{} << standard;
}

void tst_SpotTableRules::restoredColumnOrder()
{
    QFETCH(QStringList, saved);
    QFETCH(QStringList, expected);
    const QStringList standard{"time",    "dx",      "frequency", "band",
                               "spotter", "comment", "dxcc",      "lotw"};
    QCOMPARE(varnello::restoredColumnOrder(standard, saved), expected);
}

QTEST_GUILESS_MAIN(tst_SpotTableRules)
#include "tst_SpotTableRules.moc"
