// The start decision of a copy of the program, over a scripted channel.
#include "InstanceChannel.h"
#include "SingleInstanceGuard.h"

#include <QtTest>

using namespace varnello;
using namespace std::chrono_literals;

namespace {

// Answers claims and raise requests from scripts; the last entry repeats.
class ScriptedChannel final : public InstanceChannel {
public:
    QList<Claim> claims;
    QList<bool> raises;
    int claimCalls = 0;
    int raiseCalls = 0;
    bool listened = false;

    Claim claim() override
    {
        return claims.at(std::min<qsizetype>(claimCalls++, claims.size() - 1));
    }
    bool listen() override
    {
        listened = true;
        return true;
    }
    bool requestRaise(std::chrono::milliseconds) override
    {
        return raises.at(std::min<qsizetype>(raiseCalls++, raises.size() - 1));
    }
};

using Claim = InstanceChannel::Claim;
using Start = SingleInstanceGuard::Start;

} // namespace

class TestSingleInstanceGuard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void claim_decidesWhetherThisCopyRuns_data()
    {
        QTest::addColumn<QList<Claim>>("claims");
        QTest::addColumn<QList<bool>>("raises");
        QTest::addColumn<Start>("start");
        QTest::addColumn<bool>("listens");
        QTest::addColumn<int>("raiseCalls");
        QTest::newRow("free folder: runs and listens")
            << QList{Claim::acquired} << QList{false} << Start::run << true << 0;
        QTest::newRow("no lock possible: runs unguarded")
            << QList{Claim::unavailable} << QList{false} << Start::run << false << 0;
        QTest::newRow("running copy answers: leaves")
            << QList{Claim::heldByAnotherCopy} << QList{true} << Start::leave << false << 1;
        // The running copy was still starting: the second try reaches it.
        QTest::newRow("running copy answers late: leaves")
            << QList{Claim::heldByAnotherCopy} << QList{false, false, true} << Start::leave << false
            << 3;
        // Nothing answers within the budget: still no second copy (-1: any number of tries).
        QTest::newRow("running copy never answers: leaves")
            << QList{Claim::heldByAnotherCopy} << QList{false} << Start::leave << false << -1;
        // The running copy ended meanwhile: this one takes over.
        QTest::newRow("holder went away: runs") << QList{Claim::heldByAnotherCopy, Claim::acquired}
                                                << QList{false} << Start::run << true << 1;
    }
    void claim_decidesWhetherThisCopyRuns()
    {
        QFETCH(QList<Claim>, claims);
        QFETCH(QList<bool>, raises);
        ScriptedChannel channel;
        channel.claims = claims;
        channel.raises = raises;
        SingleInstanceGuard guard(channel, {.raiseBudget = 100ms, .retryInterval = 1ms});
        QTEST(guard.claim(), "start");
        QTEST(channel.listened, "listens");
        QFETCH(int, raiseCalls);
        if (raiseCalls >= 0)
            QCOMPARE(channel.raiseCalls, raiseCalls);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstanceGuard)
#include "tst_SingleInstanceGuard.moc"
