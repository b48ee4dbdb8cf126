// The question whether a line ending in ">" is the node's prompt, played event by event against
// a clock: what it decides, and how long the login watchdog waits for it.

#include "PromptQuestion.h"

#include <QTest>

using namespace varnello;
using namespace std::chrono_literals;

namespace {

QString decisionName(PromptQuestion::Decision decision)
{
    switch (decision) {
    case PromptQuestion::Decision::wait:
        return QStringLiteral("wait");
    case PromptQuestion::Decision::ask:
        return QStringLiteral("ask");
    case PromptQuestion::Decision::nodePrompt:
        return QStringLiteral("prompt");
    }
    return {};
}

} // namespace

class TestPromptQuestion : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each step is "<ms> <event> [argument] = <expected>", at full-scale timing (1 s quiet, 4 s
    // answer wait, the watchdog at 5 s). Events:
    //   line <text> <readStart>   a line in question, complete; "wait", "ask", "prompt",
    //                             "answer" marks the line as the node's answer ("ask answer")
    //   asked <mark>              an empty line went out (no result)
    //   deadline                  the question's deadline passed
    //   watchdog                  the login watchdog fired: the ms it waits until, or "none"
    //   due                       the question's deadline in ms, or "none"
    //   no-asking                 from now on no empty line may go out (no result)
    void decisions_followTheEventsAndTheClock_data()
    {
        QTest::addColumn<QStringList>("steps");
        // Prompt at 3 s, 1.5 s each way: each answer takes a round trip of 3 s.
        QTest::newRow("slow link: the second answer is waited for")
            << QStringList{"3000 line N0CALL> 10 = wait",
                           "3000 due = 4000",
                           "4000 deadline = ask",
                           "4000 asked 20",
                           "5000 watchdog = 8040",
                           "7000 line N0CALL> 30 = ask answer",
                           "7000 asked 40",
                           "8040 watchdog = 11040",
                           "10000 line N0CALL> 50 = prompt answer"};
        // The prompt came just before the watchdog, which asks at once: the second wait is cut.
        QTest::newRow("no wait past the watchdog plus two answer waits")
            << QStringList{"4500 line N0CALL> 10 = wait",
                           "5000 deadline = ask",
                           "5000 asked 20",
                           "5000 watchdog = 9040",
                           "8990 line N0CALL> 30 = ask answer",
                           "8990 asked 40",
                           "9040 watchdog = 13000"};
        // A new line every 3.9 s never comes back: one wait, then the attempt ends.
        QTest::newRow("a new line each time: the watchdog waits once")
            << QStringList{"500 line A> 10 = wait",  "1500 deadline = ask", "1500 asked 20",
                           "4400 line B> 30 = wait", "4400 due = 8400",     "5000 watchdog = 8440",
                           "8300 line C> 40 = wait", "8440 watchdog = none"};
        QTest::newRow("a line back once but no second question: the watchdog waits once")
            << QStringList{
                   "500 line A> 10 = wait", "1500 deadline = ask",           "1500 asked 20",
                   "4000 no-asking",        "4500 line A> 30 = wait answer", "5000 watchdog = 8540",
                   "8540 watchdog = none"};
        QTest::newRow("after a verdict nothing is asked or waited for")
            << QStringList{"0 line A> 10 = wait",    "1000 deadline = ask",
                           "1000 asked 20",          "1100 line A> 30 = ask answer",
                           "1100 asked 40",          "1200 line A> 50 = prompt answer",
                           "1200 due = none",        "1300 line A> 60 = wait",
                           "1300 line B> 70 = wait", "1300 due = none",
                           "2300 deadline = wait",   "5000 watchdog = none"};
        // The mark is where the stream stood when the empty line went out.
        QTest::newRow("a copy read before the question's mark is no answer")
            << QStringList{"0 line A> 10 = wait", "1000 deadline = ask", "1000 asked 50",
                           "1100 line A> 40 = wait", "1200 line A> 50 = ask answer"};
    }

    void decisions_followTheEventsAndTheClock()
    {
        QFETCH(QStringList, steps);
        PromptQuestion question;
        question.reset(1000ms, 4000ms);
        const PromptQuestion::TimePoint start{};
        const auto ms = [&](const QString &text) {
            return start + std::chrono::milliseconds(text.toInt());
        };
        const auto inMs = [&](std::optional<PromptQuestion::TimePoint> at) {
            return at ? QString::number(
                            std::chrono::duration_cast<std::chrono::milliseconds>(*at - start)
                                .count())
                      : QStringLiteral("none");
        };
        bool mayAsk = true;
        for (const QString &step : steps) {
            const QString event = step.section(u'=', 0, 0).trimmed();
            const QString expected = step.section(u'=', 1).trimmed();
            const QStringList words = event.split(u' ');
            const auto now = ms(words[0]);
            const QString &kind = words[1];
            QString result;
            if (kind == QLatin1String("line")) {
                const PromptQuestion::Outcome outcome =
                    question.noteCandidate(words[2], words[3].toInt(), false, now, mayAsk);
                result = decisionName(outcome.decision) +
                         (outcome.isAnswer ? QStringLiteral(" answer") : QString());
            } else if (kind == QLatin1String("asked")) {
                question.noteAsked(words[2].toInt(), now);
            } else if (kind == QLatin1String("deadline")) {
                result = decisionName(question.deadlineReached(now, mayAsk));
            } else if (kind == QLatin1String("watchdog")) {
                result = inMs(question.takeWatchdogExtension(now, 40ms));
            } else if (kind == QLatin1String("due")) {
                result = inMs(question.deadline());
            } else if (kind == QLatin1String("no-asking")) {
                mayAsk = false;
            } else {
                QFAIL(qPrintable(QStringLiteral("unknown step: ") + step));
            }
            QVERIFY2(result == expected, qPrintable(step + QStringLiteral(" gave ") + result));
        }
    }

    // Lines that neither are the line in question nor show it was greeting.
    void passingTraffic_isBlankSpotsAndUnsolicitedLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("passing");
        QTest::newRow("BEL characters") << "\a\a \a" << true;
        QTest::newRow("announcement ending in -->")
            << "To LOCAL de N3INJ: QSY 9 to 14.009 -->" << true;
        QTest::newRow("talk ending in >") << "N0CALL de K1ABC: see you on 20 m >" << true;
        QTest::newRow("a user's own prompt") << "N0CALL de GB7TST 2044Z >" << false;
        QTest::newRow("greeting line") << "Welcome to GB7TST -->" << false;
    }

    void passingTraffic_isBlankSpotsAndUnsolicitedLines()
    {
        QFETCH(QString, line);
        QFETCH(bool, passing);
        QCOMPARE(PromptQuestion::isPassingTraffic(line), passing);
    }
};

QTEST_GUILESS_MAIN(TestPromptQuestion)
#include "tst_PromptQuestion.moc"
