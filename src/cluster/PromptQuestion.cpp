#include "PromptQuestion.h"

#include "PromptPatterns.h"

#include <algorithm>

namespace varnello {

namespace {

template <typename T> void earliest(std::optional<T> &at, std::optional<T> candidate)
{
    if (candidate && (!at || *candidate < *at))
        at = candidate;
}

} // namespace

void PromptQuestion::reset(Timing timing)
{
    *this = PromptQuestion{};
    m_timing = timing;
    m_quiet = timing.quiet;
}

void PromptQuestion::noteResponseTime(Duration elapsed)
{
    m_responseTime = elapsed;
}

PromptQuestion::Duration PromptQuestion::answerWait() const
{
    // The answer comes a round trip after the question, as the callsign's did.
    return std::clamp(m_responseTime + m_timing.answerWait / 4, m_timing.answerWait,
                      2 * m_timing.answerWait);
}

bool PromptQuestion::isPassingTraffic(QStringView line)
{
    return prompts::isBlankLine(line) || prompts::isNodeTraffic(line);
}

bool PromptQuestion::sameLine(QStringView a, QStringView b)
{
    return prompts::promptKey(a) == prompts::promptKey(b);
}

bool PromptQuestion::mustComeBack(QStringView line)
{
    return !prompts::looksLikePrompt(line) || isPassingTraffic(line);
}

PromptQuestion::Line *PromptQuestion::find(const QString &key)
{
    const auto seen = std::find_if(m_lines.begin(), m_lines.end(),
                                   [&key](const Line &line) { return line.key == key; });
    return seen == m_lines.end() ? nullptr : &*seen;
}

PromptQuestion::Line &PromptQuestion::remember(const QString &line, const QString &key)
{
    if (m_lines.size() == maximumLines) {
        auto forgotten = std::find_if(m_lines.begin(), m_lines.end(),
                                      [](const Line &known) { return known.traffic; });
        if (forgotten == m_lines.end())
            forgotten = std::find_if(m_lines.begin(), m_lines.end(), [this](const Line &known) {
                return known.key != m_plainKey && known.key != m_pairKey && !known.pairOpen;
            });
        if (forgotten == m_lines.end())
            forgotten = m_lines.begin();
        if (forgotten->key == m_plainKey)
            m_plainKey.clear();
        if (forgotten->key == m_pairKey)
            m_pairKey.clear();
        m_lines.erase(forgotten);
    }
    Line first;
    first.text = line;
    first.key = key;
    first.copies = 1;
    m_lines.append(std::move(first));
    return m_lines.last();
}

bool PromptQuestion::noteCandidate(const QString &line, qint64 readStart, bool open, TimePoint now)
{
    if (m_decided)
        return false;
    const QString key = prompts::promptKey(line);
    m_openLine = open ? line : QString();
    m_openLineIsAnswer = false;
    if (Line *seen = find(key)) {
        const bool answer = noteCopy(*seen, line, readStart, now);
        m_openLineIsAnswer = open && answer;
        return answer;
    }
    remember(line, key);
    if (!isPassingTraffic(line)) {
        greetingGoesOn(now);
        if (prompts::looksLikePrompt(line)) {
            m_plainKey = key;
            m_plainSince = now;
        }
    } else if (!m_quietArmed) {
        m_quietSince = now;
    }
    m_quietArmed = true;
    return false;
}

bool PromptQuestion::noteCopy(Line &line, const QString &copy, qint64 readStart, TimePoint now)
{
    if (line.traffic)
        return false;
    // It came back: no node that ignores empty lines. A node that answers every empty line
    // may be in the middle of its answers at the login's bound: its line stays named then.
    if (line.key == m_plainKey && !m_answersEveryQuestion)
        m_plainKey.clear();
    // After its first sighting, the n-th copy of the prompt answers empty line n - 1 at the
    // earliest: a copy that no empty line could have drawn is traffic.
    const int answering = ++line.copies - 1;
    if (answering > m_asked ||
        readStart < m_questions[size_t((answering - 1) / linesPerQuestion)].first) {
        markTraffic(line);
        return false;
    }
    // An answer to the question before, on its way when this one went out.
    if (readStart < m_questions[size_t(m_asked / linesPerQuestion - 1)].first)
        return false;
    // Too late to pair with the first.
    if (line.answers > 0 && now - line.firstAnswer > m_timing.pairSpan) {
        ++line.answers;
        line.pairOpen = false;
        return false;
    }
    if (++line.answers == 1) {
        line.firstAnswer = now;
        line.firstAnswerText = copy;
        line.pairOpen = true;
        return true;
    }
    if (line.answers > linesPerQuestion) {
        // A node that answers every empty line sends all it still owes together once its
        // greeting is out: as many copies as empty lines went out join the pair.
        if (m_answersEveryQuestion && line.key == m_pairKey)
            return true;
        markTraffic(line);
        return false;
    }
    line.pairOpen = false;
    // Lines numbered alike ("Link 2", "Link 3") are no two answers.
    if (copy != line.firstAnswerText)
        return false;
    m_pairKey = line.key;
    m_pairCheckUntil = now + checkSpan();
    return true;
}

void PromptQuestion::markTraffic(Line &line)
{
    line.traffic = true;
    line.pairOpen = false;
    if (line.key == m_pairKey)
        m_pairKey.clear();
    if (line.key == m_plainKey)
        m_plainKey.clear();
}

bool PromptQuestion::endsOpenLine(QStringView line, bool *isAnswer)
{
    if (m_openLine.isEmpty() || line != m_openLine)
        return false;
    *isAnswer = m_openLineIsAnswer;
    m_openLine.clear();
    return true;
}

qsizetype PromptQuestion::leadingCopyLength(QStringView text) const
{
    qsizetype length = prompts::leadingCopyLength(text, m_openLine);
    for (const Line &line : m_lines)
        if (!line.traffic)
            length = std::max(length, prompts::leadingCopyLength(text, line.text));
    return length;
}

void PromptQuestion::noteGreetingText(TimePoint now)
{
    if (!m_answersEveryQuestion)
        noteLoginQuestion(now);
}

void PromptQuestion::noteLoginQuestion(TimePoint now)
{
    if (!m_decided)
        greetingGoesOn(now);
}

void PromptQuestion::greetingGoesOn(TimePoint now)
{
    m_quietSince = now;
    m_plainKey.clear();
    // A node at its prompt says nothing of its own but traffic: the pair was greeting.
    if (Line *pair = m_pairKey.isEmpty() ? nullptr : find(m_pairKey))
        markTraffic(*pair);
}

void PromptQuestion::noteAsked(qint64 mark, TimePoint now)
{
    m_questions[size_t(m_asked / linesPerQuestion)] = {mark, now};
    m_asked += linesPerQuestion;
    m_answerUntil = now + answerWait();
    m_quietArmed = false;
    m_pairKey.clear();
    for (Line &line : m_lines) {
        line.answers = 0;
        line.pairOpen = false;
    }
}

std::optional<PromptQuestion::TimePoint> PromptQuestion::quietEnd() const
{
    if (!m_quietArmed || m_answerUntil || m_judgedWithoutQuestion || !m_pairKey.isEmpty())
        return std::nullopt;
    return m_quietSince + m_quiet;
}

std::optional<PromptQuestion::TimePoint> PromptQuestion::silenceEnd() const
{
    if (m_plainKey.isEmpty())
        return std::nullopt;
    if (m_answersEveryQuestion)
        return m_watchdogBound;
    if (m_asked > 0)
        return std::max(m_plainSince, m_questions[size_t(m_asked / linesPerQuestion - 1)].second) +
               answerWait();
    if (m_judgedWithoutQuestion)
        return std::max(m_plainSince, *m_judgedWithoutQuestion) + answerWait();
    return std::nullopt;
}

std::optional<PromptQuestion::TimePoint> PromptQuestion::pairEnd() const
{
    std::optional<TimePoint> end;
    if (!m_pairKey.isEmpty())
        end = m_pairCheckUntil;
    for (const Line &line : m_lines)
        if (line.pairOpen)
            earliest(end, std::optional(line.firstAnswer + m_timing.pairSpan));
    return end;
}

std::optional<PromptQuestion::TimePoint> PromptQuestion::deadline() const
{
    if (m_decided)
        return std::nullopt;
    std::optional<TimePoint> due = pairEnd();
    earliest(due, silenceEnd());
    earliest(due, m_answerUntil);
    earliest(due, quietEnd());
    return due;
}

bool PromptQuestion::holdsAnswers() const
{
    return !m_decided &&
           (!m_pairKey.isEmpty() || std::any_of(m_lines.cbegin(), m_lines.cend(),
                                                [](const Line &line) { return line.pairOpen; }));
}

PromptQuestion::Decision PromptQuestion::deadlineReached(TimePoint now, bool mayAsk)
{
    if (m_decided)
        return Decision::wait;
    if (!m_pairKey.isEmpty() && m_pairCheckUntil <= now)
        return name(*find(m_pairKey));
    for (Line &line : m_lines)
        if (line.pairOpen && line.firstAnswer + m_timing.pairSpan <= now)
            line.pairOpen = false;
    if (const std::optional<TimePoint> end = silenceEnd(); end && *end <= now)
        return name(*find(m_plainKey));
    if (m_answerUntil && *m_answerUntil <= now) {
        // Nothing named: what is still in question is asked about again, once quiet.
        m_answerUntil.reset();
        m_quietArmed = std::any_of(m_lines.cbegin(), m_lines.cend(),
                                   [](const Line &line) { return !line.traffic; });
    }
    if (const std::optional<TimePoint> end = quietEnd(); end && *end <= now) {
        if (canAsk(mayAsk))
            return Decision::ask;
        m_quietArmed = false;
        if (!m_plainKey.isEmpty() && m_asked == 0)
            m_judgedWithoutQuestion = now;
    }
    return Decision::wait;
}

PromptQuestion::Decision PromptQuestion::name(const Line &line)
{
    m_prompt = line.text;
    m_promptKey = line.key;
    m_unanswered = std::max(0, m_asked - (line.copies - 1));
    // The open line stays known: the connection shows it, or drops it as an answer.
    const QString openLine = m_openLine;
    decide();
    m_openLine = openLine;
    return Decision::nodePrompt;
}

bool PromptQuestion::isPromptCopy(QStringView line) const
{
    return !m_promptKey.isEmpty() && prompts::promptKey(line.trimmed()) == m_promptKey;
}

void PromptQuestion::decide()
{
    if (m_decided)
        return;
    // Decided otherwise (a known prompt): none of the empty lines is answered yet.
    if (m_promptKey.isEmpty())
        m_unanswered = m_asked;
    m_decided = true;
    m_openLine.clear();
    m_answerUntil.reset();
    m_quietArmed = false;
    m_pairKey.clear();
}

std::optional<PromptQuestion::TimePoint> PromptQuestion::takeWatchdogExtension(TimePoint now,
                                                                               Duration margin)
{
    // A line still waiting for the silence of a node that answers every empty line has its
    // deadline only from here on.
    if (m_decided || (!deadline() && (!m_answersEveryQuestion || m_plainKey.isEmpty())))
        return std::nullopt;
    // A line that came just before the watchdog still gets its quiet, its answer and the pair's
    // check; no more.
    if (!m_watchdogBound)
        m_watchdogBound = now + m_quiet + answerWait() + checkSpan();
    const TimePoint limit = *m_watchdogBound + margin;
    if (now >= limit)
        return std::nullopt;
    return std::min(*deadline() + margin, limit);
}

} // namespace varnello
