// The start decision of a copy of the program, over a scripted channel.
#include "InstanceChannel.h"
#include "SingleInstanceGuard.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
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
    Holder holder() const override
    {
        return {4242, QStringLiteral("old-shack-pc"), QStringLiteral("/home/op/varnello.lock")};
    }
};

// Records the alerts and answers each with the next scripted button; the last one repeats.
class ScriptedAlerts final : public SettingsAlertPresenter {
public:
    QList<int> answers{SingleInstanceGuard::quitButton};
    QList<SettingsAlert> shown;

    void present(QWidget *, const SettingsAlert &alert, Answer answer) override
    {
        shown.append(alert);
        answer(answers.at(std::min<qsizetype>(shown.size() - 1, answers.size() - 1)));
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
        QTest::addColumn<QList<int>>("answers"); // to the alert of a holder that never answers
        QTest::addColumn<int>("alerts");
        const QList<int> quit{SingleInstanceGuard::quitButton};
        QTest::newRow("free folder: runs and listens")
            << QList{Claim::acquired} << QList{false} << Start::run << true << 0 << quit << 0;
        QTest::newRow("no lock possible: runs unguarded")
            << QList{Claim::unavailable} << QList{false} << Start::run << false << 0 << quit << 0;
        QTest::newRow("running copy answers: leaves")
            << QList{Claim::heldByAnotherCopy} << QList{true} << Start::leave << false << 1 << quit
            << 0;
        // The running copy was still starting: the second try reaches it.
        QTest::newRow("running copy answers late: leaves")
            << QList{Claim::heldByAnotherCopy} << QList{false, false, true} << Start::leave << false
            << 3 << quit << 0;
        // Nothing answers within the budget: the operator is told, then Quit (-1: any number of
        // tries). A dismissed alert counts as Quit.
        QTest::newRow("running copy never answers: says so, leaves")
            << QList{Claim::heldByAnotherCopy} << QList{false} << Start::leave << false << -1
            << quit << 1;
        QTest::newRow("never answers, tried again twice")
            << QList{Claim::heldByAnotherCopy} << QList{false} << Start::leave << false << -1
            << QList<int>{SingleInstanceGuard::tryAgainButton, SingleInstanceGuard::tryAgainButton,
                          -1}
            << 3;
        // The running copy ended meanwhile: this one takes over.
        QTest::newRow("holder went away: runs")
            << QList{Claim::heldByAnotherCopy, Claim::acquired} << QList{false} << Start::run
            << true << 1 << quit << 0;
    }
    void claim_decidesWhetherThisCopyRuns()
    {
        QFETCH(QList<Claim>, claims);
        QFETCH(QList<bool>, raises);
        ScriptedChannel channel;
        channel.claims = claims;
        channel.raises = raises;
        ScriptedAlerts alerts;
        QFETCH(QList<int>, answers);
        alerts.answers = answers;
        SingleInstanceGuard guard(channel, alerts, {.raiseBudget = 100ms, .retryInterval = 1ms});
        QTEST(guard.claim(), "start");
        QTEST(channel.listened, "listens");
        QFETCH(int, raiseCalls);
        if (raiseCalls >= 0)
            QCOMPARE(channel.raiseCalls, raiseCalls);
        QTEST(int(alerts.shown.size()), "alerts");
    }

    void holderThatDoesNotAnswer_isNamedInAMessageBox()
    {
        ScriptedChannel channel;
        channel.claims = {Claim::heldByAnotherCopy};
        channel.raises = {false};
        MessageBoxAlertPresenter alerts;
        QString shown;
        QString defaultButton;
        QTimer::singleShot(0, [&] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(widget);
                if (!box || !box->isVisible())
                    continue;
                shown = box->text() + QLatin1Char('\n') + box->informativeText();
                defaultButton = box->defaultButton()->text();
                box->defaultButton()->click();
            }
        });
        SingleInstanceGuard guard(channel, alerts, {.raiseBudget = 10ms, .retryInterval = 1ms});
        QCOMPARE(guard.claim(), Start::leave);
        QCOMPARE(shown, QStringLiteral(
                            "Varnello is already running\nVarnello (process 4242 on old-shack-pc) "
                            "holds the data folder but does not answer.\n\nLock file: "
                            "/home/op/varnello.lock\n\nClose the other copy of Varnello and try "
                            "again. If no copy is running, on this or another computer, remove "
                            "the lock file and try again."));
        QCOMPARE(defaultButton, QStringLiteral("Quit"));
    }
};

QTEST_MAIN(TestSingleInstanceGuard)
#include "tst_SingleInstanceGuard.moc"
