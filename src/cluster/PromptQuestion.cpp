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

bool sameLine(QStringView a, QStringView b)
{
    return withDigitRunsMasked(a) == withDigitRunsMasked(b);
}

} // namespace

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

PromptQuestion::Outcome PromptQuestion::noteCandidate(const QString &line, qint64 readStart,
                                                      bool open, TimePoint now, bool mayAsk)
{
    if (m_decided)
        return {};
    m_openLine = open ? line : QString();
    m_openLineIsAnswer = false;
    if (!m_candidate.isEmpty() && sameLine(line, m_candidate)) {
        // Within the greeting, or before the last question could have reached the node, the
        // same line again proves nothing.
        if (!m_awaitingAnswer || readStart < m_mark)
            return {};
        m_awaitingAnswer = false;
        m_openLineIsAnswer = open;
        if (++m_returns >= 2) {
            m_decided = true;
            m_phase = Phase::idle;
            return {Decision::nodePrompt, true};
        }
        if (mayAsk && m_asked < maximumQuestions)
            return {Decision::ask, true};
        startAnswerWait(now + m_answerWait);
        return {Decision::wait, true};
    }
    m_candidate = line;
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

bool PromptQuestion::endsOpenLine(QStringView line, bool *isAnswer)
{
    if (m_openLine.isEmpty() || line != m_openLine)
        return false;
    *isAnswer = m_openLineIsAnswer;
    m_openLine.clear();
    return true;
}

bool PromptQuestion::beginsWithCandidate(QStringView text) const
{
    if (m_candidate.isEmpty())
        return false;
    const qsizetype end = text.indexOf(u'>');
    if (end < 0)
        return false;
    const QStringView head = text.first(end + 1);
    return !head.contains(u'\n') && !head.contains(u'\r') && sameLine(head.trimmed(), m_candidate);
}

void PromptQuestion::noteGreetingText()
{
    m_candidate.clear();
    m_openLine.clear();
    m_returns = 0;
    // A question still out stays out: its answer comes once the greeting is over.
    m_phase = Phase::idle;
}

void PromptQuestion::noteAsked(qint64 mark, TimePoint now)
{
    ++m_asked;
    m_mark = mark;
    m_awaitingAnswer = true;
    startAnswerWait(now + m_answerWait);
}

PromptQuestion::Decision PromptQuestion::deadlineReached(TimePoint now, bool mayAsk)
{
    if (m_decided || m_candidate.isEmpty())
        return Decision::wait;
    switch (m_phase) {
    case Phase::idle:
        return Decision::wait;
    case Phase::quiet:
        if (mayAsk && m_asked < maximumQuestions)
            return Decision::ask;
        // Judged as for a node that ignores empty lines.
        startAnswerWait(now + m_answerWait);
        return Decision::wait;
    case Phase::answer:
        m_decided = true;
        m_phase = Phase::idle;
        return Decision::nodePrompt;
    }
    return Decision::wait;
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
