#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <array>
#include <chrono>
#include <optional>

namespace varnello {

// Before the login, a line ending in ">" that names no known node type is either the prompt of a
// node this program does not know (or one a DXSpider user set for themselves), or a line of the
// node's greeting. Neither a pause nor a line seen twice tells them apart, so the node is asked:
// an empty line is answered with the node's prompt once its greeting is out. This is that
// question's state for one connection, and the one place that decides what it means.
//
// The rules:
// - A line is asked about only once the node has gone quiet after it (spots and chatter do not
//   break the quiet): more greeting or a known prompt in what arrives next makes the question
//   needless.
// - A line can be the node's answer only if it arrived in a read that began after the empty line
//   was written; lines alike within one greeting prove nothing.
// - The line is the node's prompt when it came back after each of two questions with nothing but
//   spots and chatter in between, or when it stands unanswered for a whole answer wait after a
//   question (or, when no question may be asked, after the quiet) as from a node that ignores
//   empty lines. Any other text shows it was greeting.
// - A line that reads like the node's own traffic (an announcement, talk, WWV/WCY, a spot), or
//   holds "<" or a second ">" as greeting placeholders do, may still be a prompt a user set for
//   themselves: its shape cannot tell. What the node does can. The node answers each empty line
//   with its prompt, in order and one round trip after it, and sends it at no other time: after
//   its first sighting, such a line's n-th copy answers the n-th question, or it is no prompt.
//   Traffic comes on its own time. Such a line is the prompt when a copy came back after a
//   question it had been quiet before, and the next question, asked the moment that copy came,
//   was answered after a round trip like the first. Traffic that repeats at its own pace shows
//   that pace in the second round trip (asked in its rhythm) and not in the first (asked after a
//   quiet). While a line of the other kind is in question, it goes first; such a line that came
//   back when that one did not is asked about in its place.
// - Blank lines, spots and the node's unsolicited lines are passing traffic: never proof of
//   greeting.
// - At most maximumQuestions empty lines go to one connection. The login watchdog waits for an
//   awaited answer once, and a second time only for the second answer of a line that came back
//   once after a question: behind a slow link both answers take a round trip each. It never
//   waits past its own time plus two answer waits. After a verdict nothing more is asked.
class PromptQuestion {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::milliseconds;

    // A greeting full of lines ending in ">" makes no more empty lines than this.
    static constexpr int maximumQuestions = 4;

    enum class Decision : quint8 {
        wait,
        // Send the node an empty line now (then noteAsked).
        ask,
        // The line in question is the node's prompt.
        nodePrompt,
    };
    struct Outcome {
        Decision decision = Decision::wait;
        // The line is the node's answer (the line in question once more): not shown again.
        bool isAnswer = false;
        // A line that must come back: it leaves the answers held as they are.
        bool isTraffic = false;
    };

    // Empties the state for a new connection.
    void reset(Duration quiet, Duration answerWait);

    // A line that is no proof of greeting.
    static bool isPassingTraffic(QStringView line);
    // The same line, a prompt's time or date moving on aside.
    static bool sameLine(QStringView a, QStringView b);
    // A line ending in ">" that is the prompt only if it comes back on cue (see above).
    static bool mustComeBack(QStringView line);

    // A line of no known node type ending in ">", complete or still `open` (no line break yet).
    // `readStart`: where in the received stream the read that brought its first character began.
    // `mayAsk`: whether the connection may send an empty line now.
    Outcome noteCandidate(const QString &line, qint64 readStart, bool open, TimePoint now,
                          bool mayAsk);
    // The open line in question got its line break with nothing added: true when it was, and
    // whether it was an answer (not to be shown) in `isAnswer`.
    bool endsOpenLine(QStringView line, bool *isAnswer);
    // The open line in question was ended by what followed it.
    void openLineEnded() { m_openLine.clear(); }
    // Whether `text` begins with a copy of a line in question (of any kind, the open line too).
    bool beginsWithCopy(QStringView text) const;
    // Text that is neither such a line, nor spots, chatter or blank: the line in question was
    // greeting.
    void noteGreetingText();
    // An empty line went out; nothing that arrived before `mark` (a position in the received
    // stream) can answer it.
    void noteAsked(qint64 mark, TimePoint now);
    // The deadline passed.
    Decision deadlineReached(TimePoint now, bool mayAsk);
    // The node type is decided otherwise (a known prompt, a refused node, the login).
    void decide();

    std::optional<TimePoint> deadline() const;
    // Some line is in question, or the quiet after one still runs.
    bool hasLineInQuestion() const { return !m_candidate.isEmpty() || m_phase != Phase::idle; }
    // The quiet after the line still runs: no question about it has gone out.
    bool isWaitingForQuiet() const { return m_phase == Phase::quiet; }
    // The login watchdog fired at `now`: until when it waits for an awaited answer (`margin`
    // after the answer wait ends, so the wait's own verdict comes first), or nothing when it is
    // to end the attempt.
    std::optional<TimePoint> takeWatchdogExtension(TimePoint now, Duration margin);
    // The login watchdog starts afresh (the password went out): its waits count anew.
    void restartWatchdog() { m_watchdogWaits = 0; }

    int questionsAsked() const { return m_asked; }
    // The line in question; after a verdict, the node's prompt.
    const QString &candidate() const { return m_candidate; }
    // The line in question (or a copy of it) while it is the unfinished line.
    const QString &openLine() const { return m_openLine; }
    bool openLineIsAnswer() const { return m_openLineIsAnswer; }
    Duration answerWait() const { return m_answerWait; }

private:
    enum class Phase : quint8 {
        idle,
        // Waiting for the node to go quiet before asking.
        quiet,
        // A question is out (or none may be asked): waiting for the answer, then judging.
        answer,
    };

    // A line that must come back, seen since the connection began.
    struct Returning {
        QString text;
        QString masked;
        // Copies seen: the first, then one answer per question.
        int copies = 0;
        TimePoint lastSeen{};
        // The round trip of its copy after question `answered`, when it had been quiet before
        // that question, and the question asked the moment that copy came (0: none).
        std::optional<Duration> roundTrip;
        int answered = 0;
        int askedOnReturn = 0;
        bool arrivedUnasked = false;
    };
    // Lines of passing traffic pile up; past this the oldest is forgotten.
    static constexpr qsizetype maximumReturning = 16;

    Outcome noteReturningLine(const QString &line, qint64 readStart, bool open, TimePoint now,
                              bool mayAsk);
    // The line came back: the question is answered; asked again, or the verdict.
    Outcome cameBack(int returns, bool mayAsk, TimePoint now);
    // A line that must come back answered a question it was quiet before: the next question
    // goes out at once.
    Outcome returnedOnce(Returning &line, bool mayAsk, TimePoint now);
    bool plainLineInQuestion() const { return !m_candidate.isEmpty() && !m_candidateMustComeBack; }
    // After an unanswered question, with only lines that must come back in question: the next
    // question once they have been quiet, or none.
    Decision askAgain(TimePoint now, bool mayAsk);
    // When a line that must come back and may still be the prompt arrived last.
    std::optional<TimePoint> lastLiveSighting() const;
    void startAnswerWait(TimePoint until);

    Duration m_quiet{1000};
    Duration m_answerWait{4000};
    Phase m_phase = Phase::idle;
    TimePoint m_deadline{};
    QString m_candidate;
    // The line in question must come back to be the prompt: no answer wait names it.
    bool m_candidateMustComeBack = false;
    QList<Returning> m_returning;
    // The candidate or a copy of it, while it is the unfinished line.
    QString m_openLine;
    bool m_openLineIsAnswer = false;
    // Copies of the candidate that came back after a question.
    int m_returns = 0;
    int m_asked = 0;
    // Each question: where the stream stood when it went out, and when.
    std::array<std::pair<qint64, TimePoint>, maximumQuestions> m_questions{};
    // The last question's answer is still to come.
    bool m_awaitingAnswer = false;
    int m_watchdogWaits = 0;
    TimePoint m_watchdogLimit{};
    bool m_decided = false;
};

} // namespace varnello
