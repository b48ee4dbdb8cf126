#include "ClusterFilterChecker.h"

#include <QTest>

using namespace varnello;

Q_DECLARE_METATYPE(varnello::UpstreamFilterEvaluation)

namespace {

// Runs one check over a scripted reply.
UpstreamFilterEvaluation check(const QStringList &reply, const QString &callsign, bool suppressed)
{
    ClusterFilterChecker checker;
    checker.begin(false);
    for (const QString &line : reply)
        checker.captureLine(line);
    return checker.evaluate(callsign, suppressed);
}

} // namespace

class tst_ClusterFilterChecker : public QObject {
    Q_OBJECT

private slots:
    void numericSSID_onlyDigitsAfterLastHyphenCount_data()
    {
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<bool>("expected");
        QTest::newRow("no hyphen") << "N0CALL" << false;
        QTest::newRow("hyphen with nothing after it") << "N0CALL-" << false;
        QTest::newRow("hyphen and a letter") << "N0CALL-A" << false;
        QTest::newRow("hyphen and two digits") << "N0CALL-12" << true;
        QTest::newRow("hyphenated prefix, numeric suffix") << "EA8-N0CALL-7" << true;
        QTest::newRow("numeric prefix part, letter suffix") << "N0CALL-2-P" << false;
        QTest::newRow("digits then letter") << "N0CALL-2A" << false;
        QTest::newRow("blanks around are trimmed") << "  N0CALL-2 \r\n" << true;
        QTest::newRow("trailing hyphen after digits") << "N0CALL-2-" << false;
        QTest::newRow("empty") << "" << false;
    }
    void numericSSID_onlyDigitsAfterLastHyphenCount()
    {
        QFETCH(QString, callsign);
        QFETCH(bool, expected);
        QCOMPARE(callsignHasNumericSSID(callsign), expected);
    }

    void begin_runsOncePerProgramRunUnlessForced()
    {
        ClusterFilterChecker checker;
        QVERIFY(checker.begin(false));
        QVERIFY(checker.isAwaitingResponse());
        QVERIFY2(!checker.begin(true), "a reply already being collected is not restarted");

        checker.evaluate(u"N0CALL", false);
        QVERIFY(checker.hasCompletedSessionCheck());
        QVERIFY(!checker.isAwaitingResponse());
        QVERIFY(!checker.begin(false));
        QVERIFY(checker.begin(true));
    }

    void markCheckDone_stopsCollectingAndBlocksLaterChecks()
    {
        ClusterFilterChecker checker;
        checker.begin(false);
        checker.captureLine(u"Filter1 accept on hf");
        checker.markCheckDone();
        QVERIFY(!checker.isAwaitingResponse());
        QVERIFY(checker.responseLines().isEmpty());
        QVERIFY(!checker.begin(false));

        // Once done, a forced check collects again and a second mark leaves it alone.
        QVERIFY(checker.begin(true));
        checker.markCheckDone();
        QVERIFY(checker.isAwaitingResponse());
    }

    void captureLine_trimsAndSkipsBlankLines()
    {
        ClusterFilterChecker checker;
        checker.captureLine(u"before begin");
        checker.begin(false);
        checker.captureLine(u"  filter1 reject on hf  \r");
        checker.captureLine(u"   ");
        checker.captureLine(u"");
        QCOMPARE(checker.responseLines(), QStringList{"filter1 reject on hf"});
    }

    void captureLine_keepsAtMostTheCapOfForeignFilterLines()
    {
        // A node that floods the reply with long lines: only filter lines are kept, each cut to
        // the line cap, at most the line cap of them; the rest is judged and let go.
        ClusterFilterChecker checker;
        checker.begin(false);
        const QString tail(5000, u'x');
        for (int i = 0; i < 5000; ++i) {
            checker.captureLine(QStringLiteral("filter%1 reject on hf ").arg(i) + tail);
            checker.captureLine(QStringLiteral("chatter ") + tail);
        }
        checker.captureLine(u"filter9 reject on 100000/100001");
        const QStringList kept = checker.responseLines();
        QCOMPARE(kept.size(), ClusterFilterChecker::maximumResponseLines);
        QVERIFY(kept.constLast().startsWith(
            QStringLiteral("filter%1 ").arg(ClusterFilterChecker::maximumResponseLines - 1)));
        for (const QString &line : kept)
            QCOMPARE(line.size(), ClusterFilterChecker::maximumResponseLineLength);

        const UpstreamFilterEvaluation outcome = checker.evaluate(u"N0CALL-2", false);
        const auto &found = std::get<ForeignFilters>(outcome.result);
        QCOMPARE(found.lines, kept);
        QVERIFY2(found.includesOwnOverride, "lines past the cap are still judged");
    }

    void evaluate_judgesReplyKinds_data()
    {
        QTest::addColumn<QStringList>("reply");
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<bool>("suppressed");
        QTest::addColumn<UpstreamFilterEvaluation>("expected");

        const UpstreamFilterEvaluation cleanSend{NoForeignFilters{true}, true};
        const UpstreamFilterEvaluation cleanNoSend{NoForeignFilters{false}, true};

        QTest::newRow("no filters, numeric SSID")
            << QStringList{"sh/filter", "No filters defined for N0CALL-2"} << "N0CALL-2" << false
            << cleanSend;
        QTest::newRow("no filters, plain callsign, any case")
            << QStringList{"NO FILTERS DEFINED FOR N0CALL"} << "N0CALL" << false << cleanNoSend;
        QTest::newRow("no-filters line wins over filter lines")
            << QStringList{"filter1 accept on hf", "no filters defined for n0call-2"} << "N0CALL-2"
            << true << cleanSend;
        QTest::newRow("empty reply counts as clean")
            << QStringList{} << "N0CALL-2" << true << cleanSend;
        QTest::newRow("reply without filter lines counts as clean")
            << QStringList{"N0CALL de GB7XX 7-Dec-2026 0512Z dxspider >"} << "N0CALL" << false
            << cleanNoSend;
        QTest::newRow("only own filter is not sent again")
            << QStringList{"Filter9 reject on 100000/100001"} << "N0CALL-2" << false << cleanNoSend;
        QTest::newRow("own filter with odd spacing and case")
            << QStringList{"FILTER9   REJECT ON 100000 / 100001"} << "N0CALL-2" << false
            << cleanNoSend;
        QTest::newRow("foreign filters in collected order, own one left out")
            << QStringList{"  filter1 accept on hf/cw", "Filter9 reject on 100000/100001",
                           "Filter2 reject call_dxcc 223", "spot filter list"}
            << "N0CALL-2" << false
            << UpstreamFilterEvaluation{
                   ForeignFilters{{"filter1 accept on hf/cw", "Filter2 reject call_dxcc 223"},
                                  true},
                   false};
        QTest::newRow("foreign filters, plain callsign, own line ignored for flag")
            << QStringList{"filter1 accept on hf", "filter9 reject on 100000/100001"} << "N0CALL"
            << false
            << UpstreamFilterEvaluation{ForeignFilters{{"filter1 accept on hf"}, false}, false};
        QTest::newRow("word filter needs a number and a blank")
            << QStringList{"filters: none", "filter1", "filterX reject"} << "N0CALL" << false
            << cleanNoSend;
        QTest::newRow("suppressed, own filter with numeric SSID")
            << QStringList{"filter1 accept on hf", "filter9 reject on 100000/100001"} << "N0CALL-2"
            << true << UpstreamFilterEvaluation{WarningSuppressed{true}, false};
        QTest::newRow("suppressed, no own filter")
            << QStringList{"filter1 accept on hf"} << "N0CALL-2" << true
            << UpstreamFilterEvaluation{WarningSuppressed{false}, false};
        QTest::newRow("suppressed, own filter but plain callsign")
            << QStringList{"filter1 accept on hf", "filter9 reject on 100000/100001"} << "N0CALL"
            << true << UpstreamFilterEvaluation{WarningSuppressed{false}, false};
    }
    void evaluate_judgesReplyKinds()
    {
        QFETCH(QStringList, reply);
        QFETCH(QString, callsign);
        QFETCH(bool, suppressed);
        QFETCH(UpstreamFilterEvaluation, expected);
        QCOMPARE(check(reply, callsign, suppressed), expected);
    }

    void evaluate_withoutCollectingChangesNothing()
    {
        ClusterFilterChecker checker;
        const UpstreamFilterEvaluation outcome = checker.evaluate(u"N0CALL-2", false);
        QCOMPARE(outcome, (UpstreamFilterEvaluation{NoForeignFilters{false}, false}));
        QVERIFY(!checker.hasCompletedSessionCheck());
        QVERIFY(checker.begin(false));
    }

    void evaluate_emptiesCollectedLines()
    {
        ClusterFilterChecker checker;
        checker.begin(false);
        checker.captureLine(u"filter1 accept on hf");
        checker.evaluate(u"N0CALL", false);
        QVERIFY(checker.responseLines().isEmpty());
        checker.captureLine(u"filter2 accept on vhf");
        QVERIFY2(checker.responseLines().isEmpty(), "lines after the check are not collected");
    }
};

QTEST_GUILESS_MAIN(tst_ClusterFilterChecker)
#include "tst_ClusterFilterChecker.moc"
