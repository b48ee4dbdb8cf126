#include "CTYDatabase.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace varnello;

namespace {

CTYDatabase parsed(const QString &text)
{
    CTYDatabase::ParseResult r = CTYDatabase::parse(text);
    if (!r)
        qWarning() << "unexpected parse error:" << r.error->description();
    return r.database.value_or(CTYDatabase());
}

QString errorText(const QString &text)
{
    const CTYDatabase::ParseResult r = CTYDatabase::parse(text);
    if (r.database)
        return QStringLiteral("<parsed>");
    return r.error->description();
}

const QString twoEntities =
    QStringLiteral("# RELEASE 2024.01.02\n"
                   "# ADIF 230\n"
                   "Fed. Rep. of Germany:     14:  28:  EU:   51.00:   -10.00:    -1.0:  DL:\n"
                   "    DA,DL,=DL0XYZ(5);\n"
                   "# ADIF 291\n"
                   "United States:            05:  08:  NA:   37.53:    91.67:     5.0:  K:\n"
                   "    K,W,\n"
                   "    =DL0XYZ;\n");

} // namespace

class tst_CTYDatabase : public QObject {
    Q_OBJECT

private slots:
    void builtInFile_loadsEveryEntity()
    {
        const auto r = CTYDatabase::load(QStringLiteral(":/resources/cty_wt.dat"));
        QVERIFY(r.database);
        QCOMPARE(r.database->entityCount(), 346);
        QCOMPARE(r.database->entities().size(), 346);
        QCOMPARE(r.database->release(), QStringLiteral("2023.05.02"));
        QCOMPARE(r.database->ruleCount(),
                 int(r.database->prefixRules().size() + r.database->exactRules().size()));
    }

    void builtInFile_answersWellKnownCalls_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("entity");
        QTest::addColumn<int>("adif");
        QTest::addColumn<QString>("continent");
        QTest::newRow("W1AW") << "W1AW"
                              << "United States of America" << 291 << "NA";
        QTest::newRow("DL1ABC") << "DL1ABC"
                                << "Fed. Rep. of Germany" << 230 << "EU";
        QTest::newRow("portable abroad") << "EA8/DL1ABC/P"
                                         << "Canary Islands" << 29 << "AF";
        QTest::newRow("foreign prefix") << "KH6/K1ABC"
                                        << "Hawaii" << 110 << "OC";
    }
    void builtInFile_answersWellKnownCalls()
    {
        QFETCH(QString, call);
        QFETCH(QString, entity);
        QFETCH(int, adif);
        QFETCH(QString, continent);
        const auto db = CTYDatabase::load(QStringLiteral(":/resources/cty_wt.dat")).database;
        QVERIFY(db);
        const auto r = db->lookup(call);
        QVERIFY(r);
        QCOMPARE(r->entityName, entity);
        QCOMPARE(r->adifNumber, adif);
        QCOMPARE(r->continent, continent);
    }

    void lineEnds_crlfAndLoneCrReadLikeLf()
    {
        const CTYDatabase lf = parsed(twoEntities);
        QString crlf = twoEntities;
        crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        QString cr = twoEntities;
        cr.replace(QLatin1Char('\n'), QLatin1Char('\r'));
        for (const QString &text : {crlf, cr}) {
            const CTYDatabase db = parsed(text);
            QCOMPARE(db.entities(), lf.entities());
            QCOMPARE(db.prefixRules(), lf.prefixRules());
            QCOMPARE(db.exactRules(), lf.exactRules());
            QCOMPARE(db.release(), lf.release());
        }
    }

    void errors_haveTheirSentenceAndLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("only blanks") << " \n\t\r\n  \n"
                                     << "CTY.DAT is empty.";
        QTest::newRow("missing ADIF after previous entry")
            << "# ADIF 1\nA:1:2:EU:1:2:3:A:\n  A;\n\n  B:  1:2:EU:1:2:3:B:\n  B;\n"
            << "Malformed CTY.DAT entity header at line 5: Missing # ADIF line before: "
               "B:  1:2:EU:1:2:3:B:";
        QTest::newRow("ADIF number unreadable")
            << "# ADIF x7\nA:1:2:EU:1:2:3:A:\n  A;\n"
            << "Malformed CTY.DAT entity header at line 2: Missing # ADIF line before: "
               "A:1:2:EU:1:2:3:A:";
        QTest::newRow("ADIF without blank is a comment")
            << "#ADIF 7\n# ADIF\nA:1:2:EU:1:2:3:A:\n  A;\n"
            << "Malformed CTY.DAT entity header at line 3: Missing # ADIF line before: "
               "A:1:2:EU:1:2:3:A:";
        QTest::newRow("seven fields")
            << "# ADIF 1\n  A:1:2:EU:1:2:3  \n  A;\n"
            << "Malformed CTY.DAT entity header at line 2: A:1:2:EU:1:2:3";
        QTest::newRow("letter in CQ zone") << "# ADIF 1\nA:1x:2:EU:1:2:3:A:\n  A;\n"
                                           << "Malformed CTY.DAT entity header at line 2: "
                                              "A:1x:2:EU:1:2:3:A:";
        QTest::newRow("exponent is no number") << "# ADIF 1\nA:1:2:EU:1e2:2:3:A:\nA;\n"
                                               << "Malformed CTY.DAT entity header at line 2: "
                                                  "A:1:2:EU:1e2:2:3:A:";
        QTest::newRow("last entry unterminated")
            << "# ADIF 1\nA:1:2:EU:1:2:3:A:\n  A;\n# ADIF 2\nBravo Land:1:2:EU:1:2:3:B:\n  B,\n"
            << "CTY.DAT entry for Bravo Land has no terminating prefix list near line 5.";
    }
    void errors_haveTheirSentenceAndLine()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        QCOMPARE(errorText(text), error);
    }

    void load_unreadableFile_namesThePath()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("missing.dat"));
        const auto r = CTYDatabase::load(path);
        QVERIFY(!r.database);
        QCOMPARE(r.error->description(), QStringLiteral("Could not read CTY.DAT at ") + path + ".");
    }

    void load_latin1Bytes_areDecoded()
    {
        const QByteArray bytes = "# ADIF 5\nR\xe9union:39:53:AF:-21.12:-55.48:-4.0:FR:\n  FR;\n";
        const auto r = CTYDatabase::parse(bytes);
        QVERIFY(r.database);
        QCOMPARE(r.database->entities().front().name, QStringLiteral("R\u00e9union"));
    }

    void release_onlyInFirstTenLinesAndNotBlank()
    {
        const QString entity = QStringLiteral("# ADIF 1\nA:1:2:EU:1:2:3:A:\n A;\n");
        QCOMPARE(
            parsed(QStringLiteral("\n").repeated(10) + "# RELEASE 2024.1\n" + entity).release(),
            std::nullopt);
        QCOMPARE(parsed(QStringLiteral("\n").repeated(9) + "# RELEASE 2024.1\n" + entity).release(),
                 QStringLiteral("2024.1"));
        QCOMPARE(parsed("# RELEASE     \n# RELEASE  v2 \n" + entity).release(),
                 QStringLiteral("v2"));
    }

    void commentsOnly_giveAnEmptyDatabase()
    {
        const auto r = CTYDatabase::parse(QStringLiteral("# just a note\n# ADIF 4\n"));
        QVERIFY(r.database);
        QCOMPARE(r.database->entityCount(), 0);
        QCOMPARE(r.database->ruleCount(), 0);
    }

    void header_fieldsAreReadAsWritten()
    {
        const CTYDatabase db = parsed(QStringLiteral(
            "# ADIF 999\n Some Island :  +07 : -12 :  oc :  -1.5 :  +170 : 12.5 :  *vk9:x:  \n"
            "  VK9X;\n"));
        QCOMPARE(db.entities(), QList<CTYEntity>{(CTYEntity{999, "Some Island", "VK9:X", true})});
        const CTYResult r = db.prefixRules().front().result;
        QCOMPARE(r.cqZone, 7);
        QCOMPARE(r.ituZone, -12);
        QCOMPARE(r.continent, QStringLiteral("OC"));
        QCOMPARE(r.latitude, -1.5);
        QCOMPARE(r.longitude, 170.0);
        QCOMPARE(r.utcOffset, 12.5);
        // A header whose last field lacks its ":" reads the same.
        const CTYDatabase bare = parsed(QStringLiteral("# ADIF 1\nA:1:2:EU:1:2:3:*A*\n A;\n"));
        QCOMPARE(bare.entities().front(), (CTYEntity{1, "A", "A", true}));
    }

    void tokens_overridesReplaceEntityValues()
    {
        const CTYDatabase db =
            parsed(QStringLiteral("# ADIF 7\nA:1:2:EU:10.5:20.5:3:A:\n"
                                  "  =a1b(5)[9]{as}<-1.5/2.25>~-4~, b2(x), c3 <1/2, ~;\n"));
        QCOMPARE(db.exactRules().size(), size_t(1));
        const CTYDatabase::Rule exact = db.exactRules().front();
        QCOMPARE(exact.key, QStringLiteral("A1B"));
        QVERIFY(exact.isExactCallsign);
        QCOMPARE(exact.result, (CTYResult{7, "A", "A", 5, 9, "AS", -1.5, 2.25, -4, false}));
        // Incomplete override text stays in the key and changes nothing.
        QStringList keys;
        for (const auto &rule : db.prefixRules())
            keys << rule.key;
        QCOMPARE(keys, (QStringList{"C3 <1/2", "B2(X)", "~"}));
        QCOMPARE(db.prefixRules().front().result.cqZone, 1);
    }

    void exact_firstDefinitionWins()
    {
        const CTYDatabase db = parsed(twoEntities);
        QCOMPARE(db.exactRules().size(), size_t(1));
        QCOMPARE(db.exactRules().front().result.adifNumber, 230);
        QCOMPARE(db.exactRules().front().result.cqZone, 5);
        QCOMPARE(db.ruleCount(), 5);
        QCOMPARE(db.lookup(u"DL0XYZ")->adifNumber, 230);
        QCOMPARE(db.lookup(u"DL0XYZ")->cqZone, 5);
        QCOMPARE(db.prefixRules()[2].key, QStringLiteral("K"));
        QCOMPARE(db.prefixRules()[2].sequence, 3);
    }

    void voidTokens_takeNoSequenceNumber()
    {
        const CTYDatabase db =
            parsed(QStringLiteral("# ADIF 1\nA:1:2:EU:1:2:3:A:\n  AA, (5)[7], ,; BB,CC;\n"));
        QCOMPARE(db.prefixRules().size(), size_t(3));
        QCOMPARE(db.prefixRules()[0].sequence, 0);
        QCOMPARE(db.prefixRules()[1].key, QStringLiteral("BB"));
        QCOMPARE(db.prefixRules()[1].sequence, 1);
        QCOMPARE(db.prefixRules()[2].sequence, 2);
        QCOMPARE(db.ruleCount(), 3);
    }

    void prefixRules_longestFirstThenFileOrder()
    {
        const CTYDatabase db = parsed(QStringLiteral(
            "# ADIF 1\nA:1:2:EU:1:2:3:A:\n  X,XYZ,XY;\n# ADIF 2\nB:1:2:EU:1:2:3:B:\n  QQ,XY,Q;\n"));
        QStringList order;
        for (const auto &rule : db.prefixRules())
            order << QStringLiteral("%1/%2").arg(rule.key).arg(rule.result.adifNumber);
        QCOMPARE(order, (QStringList{"XYZ/1", "XY/1", "QQ/2", "XY/2", "X/1", "Q/2"}));
        QCOMPARE(db.lookup(u"XY1")->adifNumber, 1);
    }

    void prefixList_takesBlankAndCommentLinesUpToTheSemicolon()
    {
        const CTYDatabase db = parsed(QStringLiteral(
            "# ADIF 1\nA:1:2:EU:1:2:3:A:\n  AA,\n\n# not a comment here\n  AB;\n# ADIF 2\n"
            "B:1:2:EU:1:2:3:B:\n B;\n"));
        QCOMPARE(db.entityCount(), 2);
        QStringList keys;
        for (const auto &rule : db.prefixRules())
            keys << rule.key;
        QCOMPARE(keys, (QStringList{"# NOT A COMMENT HERE AB", "AA", "B"}));
    }

    void entities_sortByNameIgnoringCase()
    {
        const CTYDatabase db = parsed(QStringLiteral(
            "# ADIF 1\nZulu:1:2:EU:1:2:3:Z:\n Z;\n# ADIF 2\nbravo:1:2:EU:1:2:3:B:\n B;\n"
            "# ADIF 3\nAlpha:1:2:EU:1:2:3:A:\n A;\n# ADIF 4\nCharlie:1:2:EU:1:2:3:C:\n ;\n"));
        QStringList names;
        for (const auto &e : db.entities())
            names << e.name;
        QCOMPARE(names, (QStringList{"Alpha", "bravo", "Charlie", "Zulu"}));
        QCOMPARE(db.entityCount(), 4); // Charlie has no rules but is still listed
    }
};

QTEST_GUILESS_MAIN(tst_CTYDatabase)
#include "tst_CTYDatabase.moc"
