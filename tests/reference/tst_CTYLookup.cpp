#include "CTYDatabase.h"
#include "CTYLookupCache.h"

#include <QHash>
#include <QtTest>

using namespace varnello;

namespace {

// The lookup written the plain way: every prefix rule scanned in order for every candidate. The
// database's indexed lookup must give the same answer for every input.
class ReferenceLookup {
public:
    explicit ReferenceLookup(const CTYDatabase &db) : m_db(db)
    {
        for (const auto &rule : db.exactRules())
            m_exact.insert(rule.key, rule.result);
    }

    std::optional<CTYResult> lookup(const QString &callsign) const
    {
        QString n = callsign.toUpper().trimmed();
        n.replace(QStringLiteral("/-#"), QString());
        n.replace(QStringLiteral("-#"), QString());
        if (n.isEmpty())
            return std::nullopt;
        const QStringList parts = n.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (const QString &c : QStringList{n} + parts) {
            if (m_exact.contains(c))
                return m_exact.value(c);
        }
        for (const QString &c : prefixCandidates(n, parts)) {
            for (const auto &rule : m_db.prefixRules()) {
                if (c.startsWith(rule.key))
                    return rule.result;
            }
        }
        return std::nullopt;
    }

private:
    static QStringList prefixCandidates(const QString &n, const QStringList &parts)
    {
        if (parts.size() < 2)
            return {n};
        static const QStringList modifiers{"P", "M", "MM", "AM", "A", "QRP", "QRPP", "LH"};
        QStringList out;
        if (!modifiers.contains(parts.first()) && parts.first().size() <= 4)
            out << parts.first();
        const QString last = parts.last();
        if (!modifiers.contains(last) && last.size() <= 4 &&
            std::any_of(last.begin(), last.end(), [](QChar ch) { return ch.isDigit(); }))
            out << last;
        out << n;
        QStringList rest;
        for (const QString &p : parts) {
            if (!modifiers.contains(p))
                rest << p;
        }
        std::stable_sort(rest.begin(), rest.end(),
                         [](const QString &a, const QString &b) { return a.size() > b.size(); });
        return out + rest;
    }

    const CTYDatabase &m_db;
    QHash<QString, CTYResult> m_exact;
};

CTYDatabase builtIn()
{
    return CTYDatabase::load(QStringLiteral(":/resources/cty_wt.dat")).database.value();
}

// A small file whose entities are told apart by ADIF number.
const CTYDatabase &testDatabase()
{
    static const CTYDatabase db =
        CTYDatabase::parse(QStringLiteral("# ADIF 1\nHome:1:1:EU:0:0:0:K:\n  K,K1,K1A;\n"
                                          "# ADIF 2\nCanaries:33:36:AF:0:0:0:EA8:\n  EA8;\n"
                                          "# ADIF 3\nHawaii:31:61:OC:0:0:0:KH6:\n  KH6;\n"
                                          "# ADIF 4\nSpecial:5:5:NA:0:0:0:K:\n  =K1ABC(7){sa};\n"
                                          "# ADIF 5\nGermany:14:28:EU:0:0:0:DL:\n  DL;\n"
                                          "# ADIF 6\nWeird:1:1:EU:0:0:0:X:\n  K1ABC/;\n"))
            .database.value();
    return db;
}

} // namespace

class tst_CTYLookup : public QObject {
    Q_OBJECT

private slots:
    void lookup_picksTheEntity_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("adif"); // 0: no result
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("blank") << "  \t " << 0;
        QTest::newRow("only skimmer marks") << "-#/-#-#" << 0;
        QTest::newRow("no rule") << "9Z9ZZ" << 0;
        QTest::newRow("longest key") << "K1AB" << 1;
        QTest::newRow("lower case and blanks") << "  dl1abc \r\n" << 5;
        QTest::newRow("skimmer -#") << "DL1ABC-#" << 5;
        QTest::newRow("skimmer /-#") << "DL1ABC/-#" << 5;
        QTest::newRow("exact beats prefix") << "k1abc" << 4;
        QTest::newRow("exact part beats foreign prefix") << "EA8/K1ABC/P" << 4;
        QTest::newRow("foreign prefix, portable") << "EA8/DL1ABC/P" << 2;
        QTest::newRow("maritime mobile") << "DL1ABC/MM" << 5;
        QTest::newRow("QRP suffix") << "DL1ABC/QRP" << 5;
        QTest::newRow("long home call, /KH6") << "DL1ABC/KH6" << 3;
        QTest::newRow("short home call, /KH6") << "DL1A/KH6" << 5;
        QTest::newRow("two short parts: first wins") << "EA8/KH6" << 2;
        QTest::newRow("trailing slash keeps whole call") << "K1ABC/" << 4;
        QTest::newRow("trailing slash prefix candidate") << "DL9/" << 5;
    }
    void lookup_picksTheEntity()
    {
        QFETCH(QString, call);
        QFETCH(int, adif);
        const auto r = testDatabase().lookup(call);
        QCOMPARE(r ? r->adifNumber : 0, adif);
    }

    void lookup_exactEntryCarriesItsOverrides()
    {
        const auto r = testDatabase().lookup(u"K1ABC");
        QVERIFY(r);
        QCOMPARE(r->cqZone, 7);
        QCOMPARE(r->continent, QStringLiteral("SA"));
        QCOMPARE(r->entityName, QStringLiteral("Special"));
    }

    void candidates_areInLookupOrder_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QStringList>("exact");
        QTest::addColumn<QStringList>("prefix");
        QTest::newRow("plain") << "dl1abc" << QStringList{"DL1ABC"} << QStringList{"DL1ABC"};
        QTest::newRow("portable abroad")
            << "EA8/DL1ABC/P" << QStringList{"EA8/DL1ABC/P", "EA8", "DL1ABC", "P"}
            << QStringList{"EA8", "EA8/DL1ABC/P", "DL1ABC"};
        QTest::newRow("maritime mobile") << "DL1ABC/MM" << QStringList{"DL1ABC/MM", "DL1ABC", "MM"}
                                         << QStringList{"DL1ABC/MM", "DL1ABC"};
        QTest::newRow("foreign suffix")
            << "DL1ABC/KH6" << QStringList{"DL1ABC/KH6", "DL1ABC", "KH6"}
            << QStringList{"KH6", "DL1ABC/KH6", "DL1ABC"};
        QTest::newRow("trailing slash")
            << "K1ABC/" << QStringList{"K1ABC/", "K1ABC"} << QStringList{"K1ABC/"};
        QTest::newRow("skimmer") << "EA5WU/-#" << QStringList{"EA5WU"} << QStringList{"EA5WU"};
        QTest::newRow("nothing left") << " -# " << QStringList{} << QStringList{};
    }
    void candidates_areInLookupOrder()
    {
        QFETCH(QString, call);
        QFETCH(QStringList, exact);
        QFETCH(QStringList, prefix);
        QCOMPARE(CTYDatabase::exactLookupCandidates(call), exact);
        QCOMPARE(CTYDatabase::prefixLookupCandidates(call), prefix);
    }

    // The index must answer exactly what a scan of the sorted rules answers, for every key of
    // the built-in file and the shapes callsigns take on the air.
    void indexedLookup_matchesPlainScan()
    {
        const CTYDatabase db = builtIn();
        const ReferenceLookup reference(db);
        QStringList calls;
        for (const auto &rule : db.exactRules()) {
            const QString k = rule.key;
            calls << k << k.toLower() << k + "/P"
                  << "EA8/" + k + "/P" << k + "-#" << k + "/-#";
        }
        for (const auto &rule : db.prefixRules()) {
            const QString k = rule.key;
            const QString call = k + "1XYZ";
            calls << k << call << " " + call.toLower() + " " << call + "/P" << call + "/MM"
                  << call + "/QRP"
                  << "EA8/" + call + "/P" << call + "/KH6" << call + "-#" << call + "/-#"
                  << "K1A/" + k << k + "/K1ABC" << call + "/"
                  << "/" + k;
        }
        int mismatches = 0;
        for (const QString &call : std::as_const(calls)) {
            const auto expected = reference.lookup(call);
            const auto actual = db.lookup(call);
            if (expected != actual && ++mismatches <= 5)
                qWarning() << "lookup differs for" << call;
        }
        QCOMPARE(mismatches, 0);
        QVERIFY(calls.size() > 100000);
    }

    // Keys the index cannot pack (non-ASCII, longer than 16 characters) take its slow path.
    void indexedLookup_matchesPlainScan_unusualKeys()
    {
        const auto r = CTYDatabase::parse(QString::fromUtf8(
            "# ADIF 1\nA:1:1:EU:0:0:0:A:\n  \u00c9A,\u00c9,AB\u00c9C,ABCDEFGHIJKLMNOPQ,ABCDEFGH,"
            "=ABCDEFGHIJKLMNOPQRS/P,=\u00e9T1;\n"
            "# ADIF 2\nB:1:1:EU:0:0:0:B:\n  "
            "A,ABCDEFGHIJKLMNOP,=ABCDEFGHIJKLMNOP,ABCDEFGHIJKLMNOPQR,=X\u00c9/P;\n"));
        QVERIFY(r.database);
        const CTYDatabase &db = *r.database;
        const ReferenceLookup reference(db);
        QStringList calls;
        const QStringList stems{QString::fromUtf8("\u00e9a1"),
                                QString::fromUtf8("ab\u00e9c9"),
                                "ABCDEFGHIJKLMNOPQRS",
                                "ABCDEFGHIJKLMNOPQ",
                                "ABCDEFGHIJKLMNOP",
                                "ABCDEFGHIJKLMNO",
                                "ABCDEFGH1",
                                "ABCDEFG",
                                QString::fromUtf8("x\u00e9"),
                                QString::fromUtf8("\u00e9t1"),
                                "A\u0000B",
                                "AB"};
        for (const QString &stem : stems) {
            calls << stem << stem + "/P"
                  << "EA8/" + stem << stem + "/KH6" << stem + "-#"
                  << "K1/" + stem << stem.toLower();
        }
        for (const QString &call : std::as_const(calls))
            QVERIFY2(reference.lookup(call) == db.lookup(call), qPrintable(call));
        QCOMPARE(db.lookup(u"ABCDEFGHIJKLMNOPQRS/P")->adifNumber, 1);
        QCOMPARE(db.lookup(QString::fromUtf8("\u00e9a1"))->adifNumber, 1);
        QCOMPARE(db.lookup(u"ABCDEFGHIJKLMNOPQR1")->adifNumber, 2);
    }

    // The cache answers what the database answers: for calls it holds, calls that take each
    // other's slots, calls it cannot hold, and after the database it serves is replaced.
    void lookupCache_answersAsTheDatabase()
    {
        const CTYDatabase db = builtIn();
        QStringList calls{
            QString(), QString::fromUtf8("\u00e9a1"), "ABCDEFGHIJKLMNOPQRS", "QQ0QQQ", "K1ABC",
            "DL1ABC"};
        for (const auto &rule : db.prefixRules())
            calls << rule.key + "1XYZ" << rule.key.toLower() + "1xyz-#";
        CTYLookupCache cache;
        for (int round = 0; round < 2; ++round) {
            for (const QString &call : std::as_const(calls))
                QVERIFY2(cache.find(db, call) == db.find(call), qPrintable(call));
        }
        const CTYDatabase &other = testDatabase();
        for (const char *call : {"K1ABC", "DL1ABC", "QQ0QQQ"})
            QCOMPARE(cache.find(other, QString::fromLatin1(call)),
                     other.find(QString::fromLatin1(call)));
        QCOMPARE(cache.find(other, u"K1ABC")->adifNumber, 4);
    }

    void lookup_hugeCallsign_isLinear()
    {
        const CTYDatabase db = builtIn();
        // 200,000 parts: a quadratic candidate list would take minutes.
        const QString call = QStringLiteral("DL/").repeated(200000);
        QCOMPARE(db.lookup(call)->adifNumber, 230);
        QVERIFY(!db.lookup(QString(100000, QLatin1Char('/'))));
    }
};

QTEST_GUILESS_MAIN(tst_CTYLookup)
#include "tst_CTYLookup.moc"
