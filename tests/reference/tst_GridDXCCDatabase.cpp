#include "BundledResources.h"
#include "GridDXCCDatabase.h"

#include <QFile>
#include <QFutureWatcher>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cmath>

using namespace varnello;
using Error = GridDXCCDatabase::DatabaseError;

namespace {

// The key of the 1/24 deg x 1/12 deg cell that holds a point.
QString cellKey(double lat, double lon)
{
    const int c = int(std::floor((lon + 180.0) * 12.0)) % 4320;
    const int r = std::min(4319, int(std::floor((lat + 90.0) * 24.0)));
    QString key;
    key += QChar(u'A' + c / 240);
    key += QChar(u'A' + r / 240);
    key += QChar(u'0' + (c % 240) / 24);
    key += QChar(u'0' + (r % 240) / 24);
    key += QChar(u'A' + c % 24);
    key += QChar(u'A' + r % 24);
    return key;
}

QSet<int> set(std::initializer_list<int> values)
{
    return QSet<int>(values);
}

QString keyOfCell(int c, int r)
{
    const QChar key[6] = {QChar(u'A' + c / 240),        QChar(u'A' + r / 240),
                          QChar(u'0' + (c % 240) / 24), QChar(u'0' + (r % 240) / 24),
                          QChar(u'A' + c % 24),         QChar(u'A' + r % 24)};
    return QString(key, 6);
}

using Table = QHash<QString, QList<int>>;

// The search done cell by cell with the haversine, the plain way.
QSet<int> referenceSearch(const Table &four, const Table &six, double lat, double lon, double km)
{
    const double rad = M_PI / 180.0;
    const double dLat = (km / 6371.0088) * 180 / M_PI;
    const double dLon = std::min(dLat / std::max(std::cos(lat * rad), 0.01), 180.0);
    const int r0 = std::max(0, int(std::floor((std::max(lat - dLat, -90.0) + 90) / (1.0 / 24))));
    const int r1 = std::min(4319, int(std::floor((std::min(lat + dLat, 90.0) + 90) / (1.0 / 24))));
    const int c0 = int(std::floor((lon - dLon + 180) / (1.0 / 12)));
    const int c1 = int(std::floor((lon + dLon + 180) / (1.0 / 12)));
    QSet<int> out;
    for (int r = r0; r <= r1; ++r) {
        for (int cc = c0; cc <= c1; ++cc) {
            const int c = ((cc % 4320) + 4320) % 4320;
            const double latMin = r / 24.0 - 90, lonMin = c / 12.0 - 180;
            const double nLat = std::clamp(lat, latMin, latMin + 1.0 / 24);
            double l = lon;
            while (l < lonMin - 180)
                l += 360;
            while (l > lonMin + 1.0 / 12 + 180)
                l -= 360;
            double dl = std::clamp(l, lonMin, lonMin + 1.0 / 12) - lon;
            while (dl > 180)
                dl -= 360;
            while (dl < -180)
                dl += 360;
            const double a =
                std::cos(nLat * rad) * std::cos(lat * rad) * std::pow(std::sin(dl * rad / 2), 2) +
                std::pow(std::sin((nLat - lat) * rad / 2), 2);
            const double d = 12742.0176 * std::atan2(std::sqrt(a), std::sqrt(std::max(0.0, 1 - a)));
            if (d > km)
                continue;
            const QString key = keyOfCell(c, r);
            const QList<int> numbers =
                (!six.isEmpty() && six.contains(key)) ? six.value(key) : four.value(key.left(4));
            for (int n : numbers)
                out.insert(n);
        }
    }
    return out;
}

} // namespace

class tst_GridDXCCDatabase : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_resolves = 0;

    // Points the database at test tables; a null text leaves that resource missing.
    void useTables(const QByteArray &four, const QByteArray &six)
    {
        const auto write = [&](const char *name, const QByteArray &text) {
            QFile f(m_dir.filePath(QString::fromLatin1(name) + ".csv"));
            if (text.isNull()) {
                f.remove();
                return;
            }
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(text);
        };
        write(GridDXCCDatabase::fourCharacterTableName, four);
        write(GridDXCCDatabase::sixCharacterTableName, six);
        BundledResources::setResolverForTesting(
            [this](const QString &name, const QString &ext) -> std::optional<QString> {
                ++m_resolves;
                const QString path = m_dir.filePath(name + "." + ext);
                return QFile::exists(path) ? std::optional<QString>(path) : std::nullopt;
            });
    }

    static GridDXCCDatabase::SearchResult search(const QString &grid, double radius,
                                                 DistanceUnit unit = DistanceUnit::kilometres)
    {
        GridDXCCDatabase db;
        return db.searchNow(grid, radius, unit);
    }

private slots:
    void cleanup() { BundledResources::setResolverForTesting({}); }

    void isValidGrid_data()
    {
        QTest::addColumn<QString>("grid");
        QTest::addColumn<bool>("valid");
        QTest::newRow("square") << "JO01" << true;
        QTest::newRow("subsquare") << "JO01AX" << true;
        QTest::newRow("lower case and blanks") << "  jo01ax\n" << true;
        QTest::newRow("five characters") << "JO01A" << false;
        QTest::newRow("first letter S") << "SO01" << false;
        QTest::newRow("subsquare letter Y") << "JO01AY" << false;
        QTest::newRow("letter for digit") << "JOO1" << false;
        QTest::newRow("other script digits") << QString::fromUtf8("JO\u0660\u0661") << true;
        QTest::newRow("empty") << "" << false;
    }
    void isValidGrid()
    {
        QFETCH(QString, grid);
        QTEST(GridDXCCDatabase::isValidGrid(grid), "valid");
    }

    void coordinates_areTheCentre()
    {
        const auto square = GridDXCCDatabase::coordinatesOfGrid(u"JO01");
        QCOMPARE(square->first, 51.5);
        QCOMPARE(square->second, 1.0);
        const auto sub = GridDXCCDatabase::coordinatesOfGrid(u"JO01AA");
        QVERIFY(std::abs(sub->first - 51.0208333) < 1e-6);
        QVERIFY(std::abs(sub->second - 0.0416667) < 1e-6);
    }

    void search_invalidInput_data()
    {
        QTest::addColumn<QString>("grid");
        QTest::addColumn<double>("radius");
        QTest::newRow("bad grid") << "JO01AY" << 100.0;
        QTest::newRow("radius zero") << "JO01" << 0.0;
        QTest::newRow("negative radius") << "JO01" << -5.0;
        QTest::newRow("radius not a number") << "JO01" << std::nan("");
    }
    void search_invalidInput()
    {
        QFETCH(QString, grid);
        QFETCH(double, radius);
        useTables("JO01,1\n", "");
        const auto r = search(grid, radius);
        QCOMPARE(r.error, Error::invalidGrid());
        QCOMPARE(r.error->description(),
                 QStringLiteral("Enter a valid four- or six-character Maidenhead grid square."));
        QCOMPARE(m_resolves, 0); // judged before any table is read
    }

    void search_tinyRadiusFindsTheHomeCell()
    {
        // The centre of a subsquare lies inside one cell; the centre of a square is a corner
        // shared by four cells.
        useTables("JO01,1\n", "JO01AA,7|8\n" + cellKey(51.5, 1.0).toLatin1() + ",9\n");
        QCOMPARE(search("jo01aa", 0.001).adifNumbers, set({7, 8}));
        QCOMPARE(search("JO01", 0.001).adifNumbers, set({1, 9}));
    }

    // An instance that goes away waits for its running searches instead of leaving them to
    // read freed memory.
    void search_runningWhenItsInstanceGoes_isWaitedFor()
    {
        useTables("JO01,1\n", "JO01AA,7\n");
        for (int i = 0; i < 20; ++i) {
            QFuture<GridDXCCDatabase::SearchResult> future;
            {
                GridDXCCDatabase db;
                future = db.entitiesWithinRadiusOfGrid(QStringLiteral("JO01AA"), 0.001,
                                                       DistanceUnit::kilometres);
            }
            QVERIFY(future.isFinished());
            QCOMPARE(future.result().adifNumbers, set({7}));
        }
    }

    void search_cellMissingFromSixTableUsesItsSquare()
    {
        useTables("JO01,1\nJO02,2\n", cellKey(51.5, 1.0).toLatin1() + ",7\n");
        // 30 km reaches other cells of JO01 (not in the six-character table) but not JO02.
        QCOMPARE(search("JO01", 30).adifNumbers, set({1, 7}));
        useTables("JO01,1\nJO02,2\n", "");
        QCOMPARE(search("JO01", 30).adifNumbers, set({1}));
    }

    void search_milesAreConverted()
    {
        // A cell whose nearest point lies 150 km north of the home point: inside 100 miles
        // (160.9 km), outside 100 km.
        const double lat = 51.5 + 150.0 / 6371.0088 * 180.0 / M_PI;
        const QString cell = cellKey(lat + 0.01, 1.0);
        useTables("", cell.toLatin1() + ",9\n");
        QCOMPARE(search("JO01", 100, DistanceUnit::miles).adifNumbers, set({9}));
        QCOMPARE(search("JO01", 100, DistanceUnit::kilometres).adifNumbers, set({}));
    }

    void search_wrapsAcrossTheAntimeridian()
    {
        // RR73 ends at 180 E; AR03 starts at 180 W, right next to it.
        useTables("AR03,5\nRR73,6\nAR05,7\n", "");
        QCOMPARE(search("RR73", 100).adifNumbers, set({5, 6}));
    }

    void search_nearThePoleTestsEveryColumnOnce()
    {
        // Cells round the pole at every longitude lie within 300 km of a point at 89.98 N.
        QByteArray six;
        for (int lonStep = -180; lonStep < 180; lonStep += 30)
            six += cellKey(89.99, lonStep + 0.05).toLatin1() + "," +
                   QByteArray::number(1000 + lonStep) + "\n";
        useTables("", six);
        const auto r = search("JR09XX", 300);
        QCOMPARE(r.adifNumbers.size(), 12);
        QVERIFY(r.adifNumbers.contains(820));
        QVERIFY(r.adifNumbers.contains(1150));
    }

    void search_wholeGlobe_everyCellCounts()
    {
        useTables("AA00,1\nRR99,2\nJO01,3\n", "");
        QCOMPARE(search("JO01", 20100).adifNumbers, set({1, 2, 3}));
    }

    void search_matchesCellByCellReference()
    {
        // Every square and, round a few homes, every subsquare carries its own number, so the
        // result names exactly the cells that were counted.
        Table four, six;
        QByteArray fourText, sixText;
        for (int c = 0; c < 4320; c += 24) {
            for (int r = 0; r < 4320; r += 24) {
                const QString key = keyOfCell(c, r).left(4);
                four.insert(key, {c / 24 * 1000 + r / 24});
                fourText +=
                    key.toLatin1() + "," + QByteArray::number(c / 24 * 1000 + r / 24) + "\n";
            }
        }
        int next = 1000000;
        for (const char *square : {"JO01", "JO02", "IO91", "RR73", "AR03", "JR09", "AR09"}) {
            const auto centre = GridDXCCDatabase::coordinatesOfGrid(QString::fromLatin1(square));
            const int c0 = int(std::floor((centre->second - 1 + 180) * 12));
            const int r0 = int(std::floor((centre->first - 0.5 + 90) * 24));
            for (int c = c0; c < c0 + 24; ++c) {
                for (int r = r0; r < r0 + 24; r += (c % 3 == 0 ? 1 : 2)) {
                    six.insert(keyOfCell(c, r), {next, 7});
                    sixText +=
                        keyOfCell(c, r).toLatin1() + "," + QByteArray::number(next++) + "|7\n";
                }
            }
        }
        useTables(fourText, sixText);
        GridDXCCDatabase db;
        db.retainCachedTables();
        const struct {
            const char *grid;
            double km;
        } cases[] = {{"JO01", 0.5},  {"JO01MM", 3.3}, {"JO01", 61.7},   {"IO91VL", 123.4},
                     {"RR73", 250},  {"AR03AA", 80},  {"JR09XX", 1000}, {"AR09", 1500},
                     {"JO01", 1200}, {"AA00", 700}};
        for (const auto &c : cases) {
            const auto home = GridDXCCDatabase::coordinatesOfGrid(QString::fromLatin1(c.grid));
            const auto result =
                db.searchNow(QString::fromLatin1(c.grid), c.km, DistanceUnit::kilometres);
            QVERIFY(result);
            QCOMPARE(result.adifNumbers,
                     referenceSearch(four, six, home->first, home->second, c.km));
        }
    }

    void tables_rowRules()
    {
        // Readable numbers of a mixed list are kept, unreadable ones dropped; blanks separate
        // like "|"; a later row replaces an earlier one; rows of unusable keys are harmless.
        useTables("  jo01 , 1|x| |2 3||\n\nJO02,5\nJO02,6\nJO01AY,8\nnot a grid,9\n", "");
        QCOMPARE(search("JO01", 1).adifNumbers, set({}));
        useTables("jo01,1|x| |2 3||+4|+-5|-+6\n\nJO02,5\nJO02,6\nJO01AY,8\nnot a grid,9\r\n", "");
        QCOMPARE(search("JO01", 1).adifNumbers, set({1, 2, 3, 4}));
        QCOMPARE(search("JO02", 1).adifNumbers, set({6}));
    }

    void tables_failures_data()
    {
        QTest::addColumn<QByteArray>("four");
        QTest::addColumn<QByteArray>("six");
        QTest::addColumn<QString>("error");
        QTest::newRow("row without comma") << QByteArray("JO01,1\nJO02\n") << QByteArray("")
                                           << "grid_dxcc_4char_simple.csv contains invalid data.";
        QTest::newRow("no readable number") << QByteArray("JO01,1\n") << QByteArray("JO01AA,x|\n")
                                            << "grid_dxcc_6char_simple.csv contains invalid data.";
        QTest::newRow("missing")
            << QByteArray() << QByteArray("")
            << "grid_dxcc_4char_simple.csv is missing from the program's built-in data.";
        QTest::newRow("not UTF-8") << QByteArray("JO01,1\n") << QByteArray("JO01AA,1\xff\n")
                                   << "grid_dxcc_6char_simple.csv could not be read.";
    }
    void tables_failures()
    {
        QFETCH(QByteArray, four);
        QFETCH(QByteArray, six);
        useTables(four, six);
        GridDXCCDatabase db;
        db.retainCachedTables();
        const auto r = db.searchNow("JO01", 100, DistanceUnit::kilometres);
        QVERIFY(r.adifNumbers.isEmpty());
        QVERIFY(r.error);
        QTEST(r.error->description(), "error");
        QVERIFY(!db.hasCachedTables());
    }

    void cache_retainedWhileSheetIsOpen()
    {
        useTables("JO01,1\n", "");
        GridDXCCDatabase db;
        db.searchNow("JO01", 10, DistanceUnit::kilometres);
        db.searchNow("JO01", 10, DistanceUnit::kilometres);
        QCOMPARE(db.tableLoadCount(), 2);
        QVERIFY(!db.hasCachedTables());

        db.retainCachedTables();
        db.searchNow("JO01", 10, DistanceUnit::kilometres);
        db.searchNow("JO01", 10, DistanceUnit::kilometres);
        QCOMPARE(db.tableLoadCount(), 3);
        QVERIFY(db.hasCachedTables());

        db.releaseCachedTables();
        QVERIFY(!db.hasCachedTables());
        db.searchNow("JO01", 10, DistanceUnit::kilometres);
        QCOMPARE(db.tableLoadCount(), 4);
    }

    // The built-in tables, searched in the background: the main thread stays free, and with
    // the cache retained the second search reads nothing.
    void builtInTables_searchOffTheMainThread()
    {
        GridDXCCDatabase db;
        db.retainCachedTables();
        int ticks = 0;
        QTimer timer;
        timer.setInterval(5);
        connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
        timer.start();

        QFuture<GridDXCCDatabase::SearchResult> whole =
            db.entitiesWithinRadiusOfGrid("JO01", 20100, DistanceUnit::kilometres);
        QTRY_VERIFY_WITH_TIMEOUT(whole.isFinished(), 60000);
        QVERIFY(ticks > 0);
        QVERIFY(whole.result());
        QVERIFY(whole.result().adifNumbers.size() > 300);

        QFuture<GridDXCCDatabase::SearchResult> near =
            db.entitiesWithinRadiusOfGrid("jo01", 100, DistanceUnit::kilometres);
        QTRY_VERIFY_WITH_TIMEOUT(near.isFinished(), 60000);
        QCOMPARE(near.result().adifNumbers, set({209, 223, 227, 263}));
        QCOMPARE(db.tableLoadCount(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_GridDXCCDatabase)
#include "tst_GridDXCCDatabase.moc"
