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
// node this program does not know (or one a DXSpider user set for themselves), a line of the
// node's greeting, or the node's own traffic (talk, announcements) that happens to end in ">".
// Its shape cannot tell them apart, so the node is asked: it answers each empty line with its
// prompt and sends its prompt at no other time. This is that question's state for one
// connection, and the one place that decides what it means.
//
// The rules:
// - The node is asked once it has gone quiet after the last line of its greeting: text of the
//   greeting and lines ending in ">" that read like no traffic restart the quiet; spots, talk and
//   announcements, which may come at any time, do not. Nor does text on a node known to answer
//   every empty line (DXSpider): it answers them only once its greeting is out, whenever they
//   went out, and at its prompt it sends lines of its own at any moment ("User K1ABC has logged
//   in", in the user's language), which no rule can tell from greeting by their words.
// - It is asked with two empty lines in one write. Its prompt comes back twice, right after each
//   other; a line of traffic never comes twice within the pair span, however it is timed.
// - A line is the node's prompt when two copies of it other than its first sighting arrive
//   within the pair span in reads that began after the empty lines went out, and no further copy
//   follows within half as long again, nor more greeting (text counts as greeting only on a node
//   not known to answer every empty line). A line that shows more copies than empty lines were
//   sent before them (after its first sighting) is traffic for the rest of the connection.
// - A line shaped like a node's prompt (no greeting placeholder, no traffic) is also the prompt
//   of a node that ignores empty lines when, after the question (or, when none may be asked, the
//   quiet), neither a copy of it nor more greeting comes for a whole answer wait. A node known to
//   answer every empty line (DXSpider) may only be slow to: its silence names such a line at the
//   login watchdog's bound, so a late answer or more greeting still comes first.
// - At most maximumQuestions empty lines go to one connection: a second pair only when the first
//   named nothing. The login watchdog waits for the question while something is due, within one
//   quiet, one answer wait and the pair's check past its own time. After a verdict nothing more
//   is asked.
class PromptQuestion {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::milliseconds;

    // A greeting full of lines ending in ">" makes no more empty lines than this.
    static constexpr int maximumQuestions = 4;
    // Empty lines sent together, as one question.
    static constexpr int linesPerQuestion = 2;

    struct Timing {
        // How long the node must be quiet before it is asked.
        Duration quiet{1000};
        // How long the answer is awaited at least (longer behind a slow link).
        Duration answerWait{4000};
        // How close together the two answers come.
        Duration pairSpan{300};
    };

    enum class Decision : quint8 {
        wait,
        // Send the node linesPerQuestion empty lines now (then noteAsked).
        ask,
        // The node's prompt is found (prompt()).
        nodePrompt,
    };

    // Empties the state for a new connection.
    void reset(Timing timing);
    // While the node may still ask for a password, it is given longer to go quiet.
    void setQuiet(Duration quiet) { m_quiet = quiet; }
    // The node answers every empty line with its prompt, however late (its greeting said it
    // runs DXSpider).
    void setAnswersEveryQuestion() { m_answersEveryQuestion = true; }
    // How long the node took to answer the callsign or password: an empty line's answer may take
    // as long.
    void noteResponseTime(Duration elapsed);

    // A line that is no proof of greeting: blank, or traffic.
    static bool isPassingTraffic(QStringView line);
    // The same line, a prompt's time or date moving on aside.
    static bool sameLine(QStringView a, QStringView b);
    // A line ending in ">" that is the prompt only if it comes back when asked: never named for
    // standing unanswered.
    static bool mustComeBack(QStringView line);

    // A line of no known node type ending in ">", complete or still `open` (no line break yet).
    // `readStart`: where in the received stream the read that brought its first character began.
    // True when the line may be the node's answer: it is held back until that is known
    // (holdsAnswers()).
    bool noteCandidate(const QString &line, qint64 readStart, bool open, TimePoint now);
    // The open line got its line break with nothing added: true when it was, and whether it was
    // a possible answer (to be held) in `isAnswer`.
    bool endsOpenLine(QStringView line, bool *isAnswer);
    // The open line was ended by what followed it.
    void openLineEnded() { m_openLine.clear(); }
    // How long the copy of a line still in question at the start of `text` is (0: none there).
    qsizetype leadingCopyLength(QStringView text) const;
    // Text that is neither a candidate, nor traffic, nor blank: the greeting goes on, or on a
    // node known to answer every empty line, perhaps a line it sends of its own accord.
    void noteGreetingText(TimePoint now);
    // The node asked for the password: whatever came before was greeting.
    void noteLoginQuestion(TimePoint now);
    // The empty lines went out; nothing that arrived before `mark` (a position in the received
    // stream) can answer them.
    void noteAsked(qint64 mark, TimePoint now);
    // The deadline passed. `mayAsk`: whether the connection may send empty lines now.
    Decision deadlineReached(TimePoint now, bool mayAsk);
    // The node type is decided otherwise (a known prompt, a refused node, the login).
    void decide();

    std::optional<TimePoint> deadline() const;
    // Some line is in question, or its quiet still runs.
    bool hasLineInQuestion() const { return deadline().has_value(); }
    // A possible answer is still to be told from traffic.
    bool holdsAnswers() const;
    // The login watchdog fired at `now`: until when it waits for the question (`margin` after
    // its deadline, so the question's own verdict comes first), or nothing when it is to end the
    // attempt.
    std::optional<TimePoint> takeWatchdogExtension(TimePoint now, Duration margin);
    // The login watchdog starts afresh (the password went out): its wait counts anew.
    void restartWatchdog() { m_watchdogBound.reset(); }

    // After a verdict: the empty lines whose answer has not come yet.
    int unansweredQuestions() const { return m_unanswered; }
    // After a verdict: the node's prompt.
    const QString &prompt() const { return m_prompt; }
    // Whether the line is a copy of the named prompt.
    bool isPromptCopy(QStringView line) const;
    // The line in question (or a copy of it) while it is the unfinished line.
    const QString &openLine() const { return m_openLine; }
    bool openLineIsAnswer() const { return m_openLineIsAnswer; }
    // How long an answer is awaited now.
    Duration answerWait() const;

private:
    // A line ending in ">" seen on this connection.
    struct Line {
        QString text;
        QString key;
        // Sightings, the first one included.
        int copies = 0;
        bool traffic = false;
        // Copies since the last question went out, when the first of them came and its text
        // (the two answers are sent together: even a moving time is the same in both).
        int answers = 0;
        TimePoint firstAnswer{};
        QString firstAnswerText;
        // Its first answer may still be joined by the second.
        bool pairOpen = false;
    };
    // Lines of traffic pile up; past this one is forgotten, traffic first.
    static constexpr qsizetype maximumLines = 64;

    bool canAsk(bool mayAsk) const
    {
        return mayAsk && m_asked + linesPerQuestion <= maximumQuestions;
    }
    Line *find(const QString &key);
    Line &remember(const QString &line, const QString &key);
    // A copy of a line seen before: true when it may be an answer.
    bool noteCopy(Line &line, const QString &copy, qint64 readStart, TimePoint now);
    void markTraffic(Line &line);
    Duration checkSpan() const { return m_timing.pairSpan * 3 / 2; }
    // When the node is asked (or, when it may not be, the plain line judged) next.
    std::optional<TimePoint> quietEnd() const;
    // When a plain line that met neither copy nor greeting is the prompt of a node that ignores
    // empty lines.
    std::optional<TimePoint> silenceEnd() const;
    std::optional<TimePoint> pairEnd() const;
    Decision name(const Line &line);
    // More greeting, or a line ending in ">" that reads like no traffic: the quiet starts over,
    // and a line that seemed to answer was greeting.
    void greetingGoesOn(TimePoint now);

    Timing m_timing;
    Duration m_quiet{1000};
    Duration m_responseTime{0};
    QList<Line> m_lines;
    // Lines in question since the last question; the quiet runs from m_quietSince.
    bool m_quietArmed = false;
    TimePoint m_quietSince{};
    // The last line shaped like a node's prompt, with no copy and no greeting after it yet.
    QString m_plainKey;
    TimePoint m_plainSince{};
    // No question may be asked: the plain line is judged by its silence alone, from then on.
    std::optional<TimePoint> m_judgedWithoutQuestion;
    int m_asked = 0;
    // Each question: where the stream stood when it went out, and when.
    std::array<std::pair<qint64, TimePoint>, maximumQuestions / linesPerQuestion> m_questions{};
    std::optional<TimePoint> m_answerUntil;
    // Two answers came together: the line and when its check ends.
    QString m_pairKey;
    TimePoint m_pairCheckUntil{};
    QString m_openLine;
    bool m_openLineIsAnswer = false;
    // How long the login watchdog waits for the question, known once it first fired; the
    // silence of a node that answers every empty line names a line then.
    std::optional<TimePoint> m_watchdogBound;
    bool m_answersEveryQuestion = false;
    bool m_decided = false;
    QString m_prompt;
    QString m_promptKey;
    int m_unanswered = 0;
};

} // namespace varnello
