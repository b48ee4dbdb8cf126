#include "LearnedPrompt.h"

#include "PromptPatterns.h"

namespace varnello {

void LearnedPrompt::learn(const QString &prompt, const QString &callsign)
{
    m_text = prompt;
    m_callsign = callsign;
}

void LearnedPrompt::forget()
{
    m_text.clear();
    m_callsign.clear();
}

bool LearnedPrompt::isCopy(QStringView line) const
{
    return isKnown() && prompts::promptKey(line.trimmed()) == prompts::promptKey(m_text);
}

qsizetype LearnedPrompt::leadingCopyLength(QStringView text) const
{
    return prompts::leadingCopyLength(text, m_text);
}

qsizetype LearnedPrompt::runEnd(QStringView line, qsizetype first) const
{
    qsizetype end = first;
    while (const qsizetype copy = leadingCopyLength(line.sliced(end)))
        end += copy;
    const QStringView rest = line.sliced(end);
    return rest.isEmpty() || prompts::isNodeTraffic(rest) ||
                   prompts::leadingNodePromptLength(rest, m_callsign) > 0
               ? end
               : 0;
}

void LearnedPrompt::endRead()
{
    m_readAhead = {};
    m_scan = {};
}

bool LearnedPrompt::replyLineFollows() const
{
    // The node writes its prompt once the reply is over: behind it come only lines of its own
    // accord and further prompts until the next command, which waits for that prompt. A line of
    // any other kind further on in the read shows this was a line of the reply (a quoted empty
    // line, a quoted spot). What is still unfinished proves nothing.
    const qsizetype left = m_readAhead.size();
    if (left == 0)
        return false;
    if (left <= m_scan.from && left > m_scan.replyAt)
        return m_scan.replyAt >= 0;
    m_scan = {left, -1};
    for (qsizetype at = 0; at < left;) {
        qsizetype end = at;
        while (end < left && m_readAhead[end] != u'\n' && m_readAhead[end] != u'\r')
            ++end;
        if (end == left)
            break;
        const QStringView line = m_readAhead.sliced(at, end - at);
        const qsizetype copy = leadingCopyLength(line);
        const bool neutral = prompts::isBlankLine(line) || prompts::isNodeTraffic(line) ||
                             prompts::endsInNodePrompt(line, m_callsign, prompts::NodeKind::any) ||
                             prompts::leadingNodePromptLength(line, m_callsign) > 0 ||
                             (copy > 0 && runEnd(line, copy) > 0);
        if (!neutral) {
            m_scan.replyAt = left - at;
            return true;
        }
        at = end + 1;
    }
    return false;
}

} // namespace varnello
