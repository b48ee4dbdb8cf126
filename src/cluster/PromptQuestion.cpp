#include "PromptQuestion.h"

#include "PromptPatterns.h"

#include <algorithm>

namespace varnello {

namespace {

// A prompt may carry the time, which can move on between two sendings of it.
QString withDigitRunsMasked(QStringView line)
{
    QString masked;
    masked.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (!line[i].isDigit())
            masked += line[i].toLower();
        else if (i == 0 || !line[i - 1].isDigit())
            masked += u'#';
    }
    return masked;
}

} // namespace

bool PromptQuestion::sameLine(QStringView a, QStringView b)
{
    return withDigitRunsMasked(a) == withDigitRunsMasked(b);
}

void PromptQuestion::reset(Duration quiet, Duration answerWait)
{
    *this = PromptQuestion{};
    m_quiet = quiet;
    m_answerWait = answerWait;
}

bool PromptQuestion::isPassingTraffic(QStringView line)
{
    return prompts::isBlankLine(line) ||
           line.startsWith(QLatin1StringView("DX de"), Qt::CaseInsensitive) ||
           prompts::isUnsolicitedLine(line);
}

bool PromptQuestion::mustComeBack(QStringView line)
{
    return line.contains(u'<') || !prompts::endsInGenericPrompt(line) || isPassingTraffic(line);
}

PromptQuestion::Outcome PromptQuestion::noteCandidate(const QString &line, qint64 readStart,
                                                      bool open, TimePoint now, bool mayAsk)
{
    if (m_decided)
        return {};
    if (mustComeBack(line))
        return noteReturningLine(line, readStart, open, now, mayAsk);
    m_openLine = open ? line : QString();
    m_openLineIsAnswer = false;
    if (!m_candidate.isEmpty() && !m_candidateMustComeBack && sameLine(line, m_candidate)) {
        // Within the greeting, or before the last question could have reached the node, the
        // same line again proves nothing.
        if (!m_awaitingAnswer || readStart < m_questions[size_t(m_asked - 1)].first)
            return {};
        m_openLineIsAnswer = open;
        return cameBack(m_returns + 1, mayAsk, now);
    }
    m_candidate = line;
    m_candidateMustComeBack = false;
    m_returns = 0;
    if (m_awaitingAnswer) {
        // The question still out is answered with this line if it is the prompt: a node at its
        // prompt answers it right behind. The line gets a whole answer wait of its own.
        startAnswerWait(now + m_answerWait);
    } else {
        m_phase = Phase::quiet;
        m_deadline = now + m_quiet;
    }
    return {};
}

PromptQuestion::Outcome PromptQuestion::noteReturningLine(const QString &line, qint64 readStart,
                                                          bool open, TimePoint now, bool mayAsk)
{
    constexpr Outcome traffic{Decision::wait, false, true};
    const QString masked = withDigitRunsMasked(line);
    auto seen = std::find_if(m_returning.begin(), m_returning.end(),
                             [&](const Returning &known) { return known.masked == masked; });
    // A placeholder such as "<your name>" is greeting; traffic proves nothing.
    if (seen == m_returning.end() && !isPassingTraffic(line))
        noteGreetingText();
    m_openLine = open ? line : QString();
    m_openLineIsAnswer = false;
    if (seen == m_returning.end()) {
        if (m_returning.size() == maximumReturning)
            m_returning.removeFirst();
        Returning first;
        first.text = line;
        first.masked = masked;
        first.copies = 1;
        first.lastSeen = now;
        m_returning.append(std::move(first));
        // The quiet runs from the last such line; one of the other kind keeps its own.
        if ((m_phase == Phase::idle && !m_awaitingAnswer) ||
            (m_phase == Phase::quiet && !plainLineInQuestion())) {
            m_phase = Phase::quiet;
            m_deadline = now + m_quiet;
        }
        return traffic;
    }
    if (seen->arrivedUnasked)
        return traffic;
    // The question this copy answers, if it is the node's prompt.
    const int question = seen->copies;
    if (question > m_asked || readStart < m_questions[size_t(question - 1)].first) {
        // Here on its own time: no prompt, whatever comes later.
        seen->arrivedUnasked = true;
        return traffic;
    }
    ++seen->copies;
    const TimePoint askedAt = m_questions[size_t(question - 1)].second;
    const auto roundTrip = std::chrono::duration_cast<Duration>(now - askedAt);
    const bool quietBefore = seen->lastSeen + m_quiet * 3 / 4 <= askedAt;
    seen->lastSeen = now;
    // A copy that may be the node's answer is held back like the line in question's.
    m_openLineIsAnswer = open;
    if (seen->askedOnReturn == question) {
        seen->askedOnReturn = 0;
        if (std::chrono::abs(roundTrip - *seen->roundTrip) <= m_quiet / 2) {
            m_candidate = seen->text;
            m_candidateMustComeBack = true;
            return cameBack(2, mayAsk, now);
        }
        // Back in a rhythm of its own.
        seen->arrivedUnasked = true;
        if (m_candidateMustComeBack && sameLine(m_candidate, line)) {
            m_candidate.clear();
            m_candidateMustComeBack = false;
            m_returns = 0;
        }
        m_openLineIsAnswer = false;
        return traffic;
    }
    if (!quietBefore)
        return {Decision::wait, true, true};
    seen->roundTrip = roundTrip;
    seen->answered = question;
    // While a line of the other kind is in question, this one waits for that one's verdict.
    if (plainLineInQuestion())
        return {Decision::wait, true, true};
    Outcome outcome = returnedOnce(*seen, mayAsk, now);
    outcome.isTraffic = true;
    return outcome;
}

PromptQuestion::Outcome PromptQuestion::returnedOnce(Returning &line, bool mayAsk, TimePoint now)
{
    m_candidate = line.text;
    m_candidateMustComeBack = true;
    m_returns = 1;
    if (mayAsk && m_asked < maximumQuestions) {
        line.askedOnReturn = m_asked + 1;
        return {Decision::ask, true};
    }
    startAnswerWait(now + m_answerWait);
    return {Decision::wait, true};
}

std::optional<PromptQuestion::TimePoint> PromptQuestion::lastLiveSighting() const
{
    std::optional<TimePoint> last;
    for (const Returning &line : m_returning)
        if (!line.arrivedUnasked && (!last || line.lastSeen > *last))
            last = line.lastSeen;
    return last;
}

PromptQuestion::Decision PromptQuestion::askAgain(TimePoint now, bool mayAsk)
{
    m_phase = Phase::idle;
    if (!mayAsk || m_asked >= maximumQuestions)
        return Decision::wait;
    const std::optional<TimePoint> lastSeen = lastLiveSighting();
    if (!lastSeen)
        return Decision::wait;
    if (*lastSeen + m_quiet <= now)
        return Decision::ask;
    m_phase = Phase::quiet;
    m_deadline = *lastSeen + m_quiet;
    return Decision::wait;
}

PromptQuestion::Outcome PromptQuestion::cameBack(int returns, bool mayAsk, TimePoint now)
{
    m_awaitingAnswer = false;
    m_returns = returns;
    if (returns >= 2) {
        m_decided = true;
        m_phase = Phase::idle;
        return {Decision::nodePrompt, true};
    }
    if (mayAsk && m_asked < maximumQuestions)
        return {Decision::ask, true};
    startAnswerWait(now + m_answerWait);
    return {Decision::wait, true};
}

bool PromptQuestion::endsOpenLine(QStringView line, bool *isAnswer)
{
    if (m_openLine.isEmpty() || line != m_openLine)
        return false;
    *isAnswer = m_openLineIsAnswer;
    m_openLine.clear();
    return true;
}

bool PromptQuestion::beginsWithCopy(QStringView text) const
{
    // The text up to as many ">" as the line it may repeat holds.
    const auto copyOf = [text](const QString &line) {
        if (line.isEmpty())
            return false;
        qsizetype end = -1;
        for (qsizetype brackets = line.count(u'>'); brackets > 0; --brackets)
            if ((end = text.indexOf(u'>', end + 1)) < 0)
                return false;
        const QStringView head = text.first(end + 1);
        return !head.contains(u'\n') && !head.contains(u'\r') && sameLine(head.trimmed(), line);
    };
    return copyOf(m_openLine) || copyOf(m_candidate) ||
           std::any_of(m_returning.cbegin(), m_returning.cend(), [&](const Returning &line) {
               return !line.arrivedUnasked && copyOf(line.text);
           });
}

void PromptQuestion::noteGreetingText()
{
    m_candidate.clear();
    m_candidateMustComeBack = false;
    m_openLine.clear();
    m_returns = 0;
    // A question still out stays out: its answer comes once the greeting is over.
    m_phase = Phase::idle;
}

void PromptQuestion::noteAsked(qint64 mark, TimePoint now)
{
    ++m_asked;
    m_questions[size_t(m_asked - 1)] = {mark, now};
    m_awaitingAnswer = true;
    startAnswerWait(now + m_answerWait);
}

PromptQuestion::Decision PromptQuestion::deadlineReached(TimePoint now, bool mayAsk)
{
    if (m_decided)
        return Decision::wait;
    switch (m_phase) {
    case Phase::idle:
        return Decision::wait;
    case Phase::quiet:
        if (!plainLineInQuestion() && !lastLiveSighting()) {
            m_phase = Phase::idle; // only traffic was in question
            return Decision::wait;
        }
        if (mayAsk && m_asked < maximumQuestions)
            return Decision::ask;
        // Judged as for a node that ignores empty lines; a line that must come back cannot be.
        if (plainLineInQuestion())
            startAnswerWait(now + m_answerWait);
        else
            m_phase = Phase::idle;
        return Decision::wait;
    case Phase::answer:
        break;
    }
    if (!plainLineInQuestion())
        return askAgain(now, mayAsk);
    if (m_awaitingAnswer && mayAsk && m_asked < maximumQuestions) {
        // The node answered with a line of the other kind, quiet before the question: that line
        // is asked about in this one's place, its answer counting as its first return.
        const auto answered =
            std::find_if(m_returning.begin(), m_returning.end(), [this](const Returning &line) {
                return !line.arrivedUnasked && line.answered == m_asked && line.roundTrip;
            });
        if (answered != m_returning.end()) {
            returnedOnce(*answered, mayAsk, now);
            return Decision::ask;
        }
    }
    m_decided = true;
    m_phase = Phase::idle;
    return Decision::nodePrompt;
}

void PromptQuestion::decide()
{
    m_decided = true;
    m_phase = Phase::idle;
    m_candidate.clear();
    m_openLine.clear();
}

std::optional<PromptQuestion::TimePoint> PromptQuestion::deadline() const
{
    if (m_phase == Phase::idle)
        return std::nullopt;
    return m_deadline;
}

std::optional<PromptQuestion::TimePoint> PromptQuestion::takeWatchdogExtension(TimePoint now,
                                                                               Duration margin)
{
    if (m_decided || m_phase != Phase::answer)
        return std::nullopt;
    if (m_watchdogWaits == 0) {
        m_watchdogLimit = now + 2 * m_answerWait;
    } else if (m_watchdogWaits > 1 || m_returns != 1 || !m_awaitingAnswer) {
        return std::nullopt;
    }
    ++m_watchdogWaits;
    return std::min(m_deadline + margin, m_watchdogLimit);
}

void PromptQuestion::startAnswerWait(TimePoint until)
{
    m_phase = Phase::answer;
    m_deadline = until;
}

} // namespace varnello
