// The start decision of a copy of the program, over a scripted channel.
#include "InstanceChannel.h"
#include "SingleInstanceGuard.h"

#include <QtTest>

using namespace varnello;
using namespace std::chrono_literals;

namespace {

// Answers claims, raise requests and alerts from scripts (the last entry repeats).
class ScriptedChannel final : public InstanceChannel, public SettingsAlertPresenter {
public:
    QList<Claim> claims;
    QList<bool> raises;
    QList<int> answers{SingleInstanceGuard::quitButton};
    LockFileProblem problem = LockFileProblem::none;
    int claimCalls = 0;
    int raiseCalls = 0;
    bool listened = false;
    QStringList alerts; // message and default button

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
    Holder holder() const override { return {4242, QStringLiteral("old-shack-pc"), "/v.lock"}; }
    LockFileProblem lockFileProblem() const override { return problem; }
    void present(QWidget *, const SettingsAlert &alert, Answer answer) override
    {
        alerts.append(alert.title + u'|' + alert.message + u'|' +
                      alert.buttons.value(alert.defaultButton).text);
        answer(answers.at(std::min<qsizetype>(alerts.size() - 1, answers.size() - 1)));
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
        // Nothing answers within the budget: the operator chose Quit (-1: any number of tries).
        QTest::newRow("running copy never answers: leaves")
            << QList{Claim::heldByAnotherCopy} << QList{false} << Start::leave << false << -1;
        // The running copy ended meanwhile: this one takes over.
        QTest::newRow("holder went away: runs") << QList{Claim::heldByAnotherCopy, Claim::acquired}
                                                << QList{false} << Start::run << true << 1;
        // A copy may still run from before its lock file was spoiled.
        QTest::newRow("unusable lock file, a copy answers: leaves")
            << QList{Claim::lockFileUnusable} << QList{true} << Start::leave << false << 1;
    }
    void claim_decidesWhetherThisCopyRuns()
    {
        QFETCH(QList<Claim>, claims);
        QFETCH(QList<bool>, raises);
        ScriptedChannel channel;
        channel.claims = claims;
        channel.raises = raises;
        SingleInstanceGuard guard(channel, channel, {.raiseBudget = 100ms, .retryInterval = 1ms});
        QFETCH(Start, start);
        QCOMPARE(guard.claim(), start);
        QTEST(channel.listened, "listens");
        QFETCH(int, raiseCalls);
        if (raiseCalls >= 0)
            QCOMPARE(channel.raiseCalls, raiseCalls);
        // Leaving without a confirmed raise is never silent.
        QCOMPARE(channel.alerts, start == Start::leave && !raises.contains(true)
                                     ? QStringList{QStringLiteral(
                                           "Varnello is already running|Varnello (process 4242 on "
                                           "old-shack-pc) holds the data "
                                           "folder but does not answer.\n\nLock file: /v.lock\n\n"
                                           "Close the other copy of Varnello and try again. If no "
                                           "copy is running, on this or another computer, remove "
                                           "the lock file and try again.|Quit")}
                                     : QStringList());
    }

    // A lock file that cannot be used is named with its path and what to do, once, without
    // waiting for a copy to answer; and never as a copy that does not answer. Try Again, once the
    // operator mended it, starts the program.
    void unusableLockFile_isNamedWithWhatToDo_data()
    {
        QTest::addColumn<Problem>("problem");
        QTest::addColumn<QString>("wrong");
        QTest::addColumn<QString>("remedy");
        QTest::newRow("folder") << Problem::folder
                                << QStringLiteral("Varnello's lock file is a folder.")
                                << QStringLiteral("Remove or rename the folder, then try again.");
        QTest::newRow("not readable")
            << Problem::noPermission
            << QStringLiteral("Varnello is not permitted to read its lock file.")
            << QStringLiteral("Make the file readable and writable for your user, or remove it if "
                              "no copy of Varnello is running, then try again.");
        QTest::newRow("pipe") << Problem::notAFile
                              << QStringLiteral("Varnello's lock file is not a regular file but a "
                                                "pipe, socket or device.")
                              << QStringLiteral("Remove or rename it, then try again.");
        QTest::newRow("link to nothing")
            << Problem::brokenLink
            << QStringLiteral("Varnello's lock file is a symbolic link that leads to no file.")
            << QStringLiteral("Remove the link, then try again.");
    }
    void unusableLockFile_isNamedWithWhatToDo()
    {
        QFETCH(QString, wrong);
        QFETCH(QString, remedy);
        ScriptedChannel channel;
        QFETCH(Problem, problem);
        channel.problem = problem;
        channel.claims = {Claim::lockFileUnusable, Claim::acquired};
        channel.raises = {false};
        channel.answers = {SingleInstanceGuard::tryAgainButton};
        const QString message = wrong +
                                QStringLiteral(" Without a working lock file Varnello cannot "
                                               "make sure that only one copy uses the data "
                                               "folder.\n\n"
                                               "Lock file: /v.lock\n\n") +
                                remedy;
        // The console hears the same.
        QTest::ignoreMessage(QtWarningMsg, qPrintable(QString(message).replace(
                                               QStringLiteral("\n\n"), QStringLiteral(" "))));
        SingleInstanceGuard guard(channel, channel, {.raiseBudget = 5000ms, .retryInterval = 1ms});
        QCOMPARE(guard.claim(), Start::run);
        QCOMPARE(channel.alerts, QStringList{QStringLiteral("Varnello cannot use its lock file|") +
                                             message + QStringLiteral("|Quit")});
        QCOMPARE(channel.raiseCalls, 1);
        QVERIFY(channel.listened);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstanceGuard)
#include "tst_SingleInstanceGuard.moc"
