#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

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
// - Blank lines, spots and the node's unsolicited lines (announcements, talk, WWV/WCY) are
//   passing traffic: never the line in question, whatever they end with, and no proof of
//   greeting either.
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
    };

    // Empties the state for a new connection.
    void reset(Duration quiet, Duration answerWait);

    // A line that is neither the line in question nor proof of greeting.
    static bool isPassingTraffic(QStringView line);

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
    // Whether `text`, the start of a new read behind the open line in question, is that line
    // once more.
    bool beginsWithCandidate(QStringView text) const;
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
    // The quiet after the line still runs: no question about it has gone out.
    bool isWaitingForQuiet() const { return m_phase == Phase::quiet; }
    // The login watchdog fired at `now`: until when it waits for an awaited answer (`margin`
    // after the answer wait ends, so the wait's own verdict comes first), or nothing when it is
    // to end the attempt.
    std::optional<TimePoint> takeWatchdogExtension(TimePoint now, Duration margin);

    int questionsAsked() const { return m_asked; }
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

    void startAnswerWait(TimePoint until);

    Duration m_quiet{1000};
    Duration m_answerWait{4000};
    Phase m_phase = Phase::idle;
    TimePoint m_deadline{};
    QString m_candidate;
    // The candidate or a copy of it, while it is the unfinished line.
    QString m_openLine;
    bool m_openLineIsAnswer = false;
    // Copies of the candidate that came back after a question.
    int m_returns = 0;
    int m_asked = 0;
    // The last question: where the stream stood when it went out, and whether its answer is
    // still to come.
    qint64 m_mark = 0;
    bool m_awaitingAnswer = false;
    int m_watchdogWaits = 0;
    TimePoint m_watchdogLimit{};
    bool m_decided = false;
};

} // namespace varnello
