// The start decision of a copy of the program, over a scripted channel.
#include "InstanceChannel.h"
#include "SingleInstanceGuard.h"

#include <QtTest>

using namespace varnello;
using namespace std::chrono_literals;

namespace {

// Answers claims and raise requests from scripts (the last entry repeats), and any alert with Quit.
class ScriptedChannel final : public InstanceChannel, public SettingsAlertPresenter {
public:
    QList<Claim> claims;
    QList<bool> raises;
    LockFileProblem problem = LockFileProblem::none;
    int claimCalls = 0;
    int raiseCalls = 0;
    bool listened = false;
    QStringList alerts;                      // message and default button
    std::chrono::milliseconds outOfReach{0}; // a raise fails until this has passed
    const std::chrono::steady_clock::time_point created = std::chrono::steady_clock::now();

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
        return raises.at(std::min<qsizetype>(raiseCalls++, raises.size() - 1)) &&
               std::chrono::steady_clock::now() - created >= outOfReach;
    }
    std::chrono::milliseconds longestOutOfReach() const override { return outOfReach; }
    Holder holder() const override { return {4242, QStringLiteral("old-shack-pc"), "/v.lock"}; }
    LockFileProblem lockFileProblem() const override { return problem; }
    void present(QWidget *, const SettingsAlert &alert, Answer answer) override
    {
        alerts.append(alert.message + u'|' + alert.buttons.value(alert.defaultButton).text);
        answer(SingleInstanceGuard::quitButton);
    }
};

using Claim = InstanceChannel::Claim;
using Problem = InstanceChannel::LockFileProblem;
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
        QTest::addColumn<int>("outOfReachMs");
        QTest::newRow("free folder: runs and listens")
            << QList{Claim::acquired} << QList{false} << Start::run << true << 1 << 0;
        // Its lock file was removed under it; another program at the socket would not answer.
        QTest::newRow("free folder, a copy answers all the same: leaves")
            << QList{Claim::acquired} << QList{true} << Start::leave << false << 1 << 0;
        QTest::newRow("no lock possible: runs unguarded")
            << QList{Claim::unavailable} << QList{false} << Start::run << false << 0 << 0;
        QTest::newRow("running copy answers: leaves")
            << QList{Claim::heldByAnotherCopy} << QList{true} << Start::leave << false << 1 << 0;
        // The running copy was still starting: the second try reaches it.
        QTest::newRow("running copy answers late: leaves")
            << QList{Claim::heldByAnotherCopy} << QList{false, false, true} << Start::leave << false
            << 3 << 0;
        // Nothing answers within the budget: the operator chose Quit (-1: any number of tries).
        QTest::newRow("running copy never answers: leaves")
            << QList{Claim::heldByAnotherCopy} << QList{false} << Start::leave << false << -1 << 0;
        // Its socket was removed just before this start: it listens again at its next check.
        QTest::newRow("running copy's socket just removed: leaves")
            << QList{Claim::heldByAnotherCopy} << QList{true} << Start::leave << false << -1 << 400;
        // The running copy ended meanwhile: this one takes over.
        QTest::newRow("holder went away: runs") << QList{Claim::heldByAnotherCopy, Claim::acquired}
                                                << QList{false} << Start::run << true << 2 << 0;
        // A copy may still run from before its lock file was spoiled.
        QTest::newRow("unusable lock file, a copy answers: leaves")
            << QList{Claim::lockFileUnusable} << QList{true} << Start::leave << false << 1 << 0;
    }
    void claim_decidesWhetherThisCopyRuns()
    {
        QFETCH(QList<Claim>, claims);
        QFETCH(QList<bool>, raises);
        ScriptedChannel channel;
        channel.claims = claims;
        channel.raises = raises;
        QFETCH(int, outOfReachMs);
        channel.outOfReach = std::chrono::milliseconds(outOfReachMs);
        SingleInstanceGuard guard(channel, channel, {.raiseBudget = 250ms, .retryInterval = 1ms});
        QFETCH(Start, start);
        QCOMPARE(guard.claim(), start);
        QTEST(channel.listened, "listens");
        QFETCH(int, raiseCalls);
        if (raiseCalls >= 0)
            QCOMPARE(channel.raiseCalls, raiseCalls);
        // Leaving without a confirmed raise is never silent.
        QCOMPARE(channel.alerts, start == Start::leave && !raises.contains(true)
                                     ? QStringList{QStringLiteral(
                                           "Varnello (process 4242 on old-shack-pc) holds the data "
                                           "folder but does not answer.\n\nLock file: /v.lock\n\n"
                                           "Close the other copy of Varnello and try again. If no "
                                           "copy is running, on this or another computer, remove "
                                           "the lock file and try again.|Quit")}
                                     : QStringList());
    }

    // A lock file that cannot be used is named with its path and what to do, after one try to
    // reach a copy and no waiting for one; never as a copy that does not answer.
    void unusableLockFile_isNamedWithWhatToDo_data()
    {
        QTest::addColumn<Problem>("problem");
        QTest::addColumn<QString>("told");
        QTest::newRow("folder") << Problem::folder
                                << QStringLiteral(
                                       "Varnello's lock file is a folder. Without a working lock "
                                       "file Varnello cannot make sure that only one copy uses "
                                       "the data folder.\n\nLock file: /v.lock\n\nRemove or "
                                       "rename the folder, then try again.|Quit");
        QTest::newRow("not readable")
            << Problem::noPermission
            << QStringLiteral("Varnello is not permitted to read its lock file.");
        QTest::newRow("pipe") << Problem::notAFile
                              << QStringLiteral(
                                     "is not a regular file but a pipe, socket or device");
    }
    void unusableLockFile_isNamedWithWhatToDo()
    {
        ScriptedChannel channel;
        QFETCH(Problem, problem);
        channel.problem = problem;
        channel.claims = {Claim::lockFileUnusable};
        channel.raises = {false};
        SingleInstanceGuard guard(channel, channel, {.raiseBudget = 5000ms, .retryInterval = 1ms});
        QCOMPARE(guard.claim(), Start::leave);
        QCOMPARE(channel.raiseCalls, 1);
        QFETCH(QString, told);
        QVERIFY2(channel.alerts.size() == 1 && channel.alerts.first().contains(told),
                 qPrintable(channel.alerts.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstanceGuard)
#include "tst_SingleInstanceGuard.moc"
