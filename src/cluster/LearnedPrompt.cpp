#include "LearnedPrompt.h"

#include "PromptPatterns.h"

#include <algorithm>

namespace varnello {

void LearnedPrompt::learn(const QString &prompt, const QString &callsign)
{
    m_text = prompt;
    m_key = prompts::promptKey(QStringView(prompt).trimmed());
    m_callsign = callsign;
}

void LearnedPrompt::forget()
{
    m_text.clear();
    m_key.clear();
    m_callsign.clear();
}

bool LearnedPrompt::isCopy(QStringView line) const
{
    line = line.trimmed();
    // Its time and date may have grown a little, never to a line of many copies.
    return isKnown() && line.size() <= maximumCopyLength() && prompts::promptKey(line) == m_key;
}

qsizetype LearnedPrompt::leadingCopyLength(QStringView text) const
{
    return prompts::leadingCopyLength(text, m_text, m_key);
}

qsizetype LearnedPrompt::runEnd(QStringView line, qsizetype first) const
{
    qsizetype last = 0;
    qsizetype end = first;
    while (const qsizetype copy = leadingCopyLength(line.sliced(end))) {
        last = end;
        end += copy;
    }
    const QStringView rest = line.sliced(end);
    return rest.isEmpty() || prompts::isNodeTraffic(rest) ||
                   prompts::leadingNodePromptLength(rest, m_callsign) > 0 ||
                   (m_lineOpen && prompts::mayBeginCopy(rest, line.sliced(last, end - last)))
               ? end
               : 0;
}

void LearnedPrompt::endRead()
{
    m_readAhead = {};
    m_lineOpen = false;
    m_scanned = false;
    m_copyLines.clear();
}

qsizetype LearnedPrompt::copiesFollowing() const
{
    const qsizetype left = m_readAhead.size();
    if (left == 0 || !isKnown())
        return 0;
    if (!m_scanned) {
        m_scanned = true;
        for (qsizetype at = 0; at < left;) {
            qsizetype end = at;
            while (end < left && m_readAhead[end] != u'\n' && m_readAhead[end] != u'\r')
                ++end;
            const QStringView line = m_readAhead.sliced(at, end - at);
            const qsizetype copy = leadingCopyLength(line);
            if (copy > 0 && runEnd(line, copy) > 0)
                m_copyLines.append(left - at);
            at = end + 1;
        }
    }
    // Those that begin within what is left of the read: the list runs from the read's front.
    const auto from = std::lower_bound(m_copyLines.cbegin(), m_copyLines.cend(), left,
                                       [](qsizetype line, qsizetype rest) { return line > rest; });
    return m_copyLines.cend() - from;
}

} // namespace varnello
