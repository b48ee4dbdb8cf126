// Framing of received text into lines, and where a prompt, a spot cut by a read or an overlong
// line ends.
#include "ClusterConnection.h"

#include "DXSpotParser.h"
#include "PromptPatterns.h"

#include <QTcpSocket>

#include <algorithm>
#include <utility>

namespace varnello {

namespace {

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r';
}

// How many bytes the text took in the received stream (as UTF-8; a character that came as an
// invalid sequence counts as the character it became).
qint64 utf8Length(QStringView text)
{
    qint64 bytes = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        bytes += u < 0x80 ? 1 : u < 0x800 ? 2 : QChar::isSurrogate(u) ? 2 : 3;
    }
    return bytes;
}

// A prompt copy is at most this long (with the blanks behind it, but for a flood of blanks): what
// may begin one is never looked at further.
constexpr qsizetype promptCopyWindow = 512;

} // namespace

// ---------------------------------------------------------------------------------------------
// Framing: lines end in CR LF, LF or a lone CR. Each line is dispatched, and while the login or
// a post-login step waits for a prompt, the prompt logic looks at each line as it completes and
// at the unfinished tail, so a prompt followed by more data in the same read is still seen.

void ClusterConnection::splitReceivedLines(QStringView text)
{
    if (text.isEmpty())
        return;
    // Where in the received stream the text now framed begins.
    qint64 at = m_readStart;
    // A CR LF pair cut between two reads is still one line break.
    if (m_lastChunkEndedInCR) {
        m_lastChunkEndedInCR = false;
        if (text.startsWith(u'\n')) {
            text = text.mid(1);
            ++at;
        }
    }
    // A line handed on before its line break arrived (a question, a prompt, a spot) is ended by
    // the break that opens the next read; that break adds no empty line.
    if (m_skipLeadingLineBreak && !text.isEmpty()) {
        m_skipLeadingLineBreak = false;
        if (text.startsWith(QLatin1StringView("\r\n"))) {
            text = text.mid(2);
            at += 2;
        } else if (isLineBreak(text.front())) {
            m_lastChunkEndedInCR = text.front() == u'\r' && text.size() == 1;
            text = text.mid(1);
            ++at;
        }
    }
    if (text.isEmpty())
        return;

    const std::uint64_t generation = m_connectionGeneration;
    // A copy that waited for its line break was the prompt after all when a line of its own (a
    // spot, talk, an announcement) follows it, unless the node has ended its prompts with a line
    // break for a while: then it is a quoted line that the read cut.
    if (awaitsPromptLineEnd() && m_learnedPromptLineEnds < promptLineEndsProvingHabit &&
        !isLineBreak(text.front()) && prompts::isNodeTraffic(text)) {
        m_tailSettleTask.cancel();
        m_learnedPromptLineEnds = 0;
        m_lineStart = m_partialLineStart;
        if (matchPrompt() == PromptMatch::stepPrompt)
            endStepAtOpenPrompt();
        if (generation != m_connectionGeneration)
            return;
    }
    // A node prompt that arrived without a line end is complete: hand it on before this read
    // glues the following line onto it. While a step runs, or once the node's prompt proved not
    // to be one the program knows, so is any other text ending like a prompt: a line glued to it
    // would not be recognised as talk or an announcement and would be lost in the step's reply.
    // Before the login, so is a line the node is asked about, when this read begins a line of
    // its own (the answer, a spot, chatter); other text continues a greeting line cut by a read.
    // Copies of a prompt that nothing waits for are one line, however the reads cut it.
    m_lineStart = m_partialLineStart;
    const bool openQuestionLine = !m_isLoggedIn && !m_promptQuestion.openLine().isEmpty() &&
                                  m_partialLine.trimmed() == m_promptQuestion.openLine();
    const bool gluedToPrompt = !isLineBreak(text.front()) && !m_partialLine.isEmpty() &&
                               !m_dropSpotRemainder &&
                               ((openQuestionLine && beginsLineOfItsOwn(text)) ||
                                (m_isLoggedIn && !awaitsPromptLineEnd() &&
                                 (matchesNodePrompt(m_partialLine) ||
                                  ((automaticStepWaiting() || m_nodePromptUnconfirmed) &&
                                   prompts::looksLikePrompt(m_partialLine))) &&
                                 !continuesPartialRun(text, at)));
    if (gluedToPrompt) {
        // The node's answer waits until it is known whether it was one.
        const bool answer = openQuestionLine && m_promptQuestion.openLineIsAnswer();
        m_promptQuestion.openLineEnded();
        const QString prompt = std::exchange(m_partialLine, QString());
        m_promptBuffer.clear();
        m_partialRun = {};
        if (answer) {
            holdLine(prompt, true);
        } else if (!std::exchange(m_continuingOverlongLine, false)) {
            // It ended its step, if any, when it came.
            const StepPromptHandedOn handedOn(*this);
            dispatchLine(prompt);
        }
        if (generation != m_connectionGeneration)
            return;
    }

    // What the read holds behind the line now handled, for as long as this read is handled.
    struct ReadAhead {
        LearnedPrompt &prompt;
        ~ReadAhead() { prompt.endRead(); }
    } readAhead{m_learnedPrompt};
    qsizetype position = 0;
    const qsizetype size = text.size();
    const QChar *data = text.data();
    while (position < size) {
        qsizetype end = position;
        while (end < size && data[end] != u'\n' && data[end] != u'\r')
            ++end;
        if (end == size)
            break;
        const QStringView piece = text.sliced(position, end - position);
        if (data[end] == u'\r') {
            if (end + 1 < size && data[end + 1] == u'\n')
                ++end;
            else if (end + 1 == size)
                m_lastChunkEndedInCR = true;
        }
        m_lineStart = std::min(at, m_bytesReceived);
        at += utf8Length(piece) + (end + 1 - position - piece.size());
        position = end + 1;
        m_learnedPrompt.setReadAhead(text.sliced(position));
        handleCompleteLine(piece, m_readStart);
        if (generation != m_connectionGeneration)
            return;
    }
    m_learnedPrompt.setReadAhead({});
    m_learnedPrompt.setLineOpen(true);
    m_lineStart = std::min(at, m_bytesReceived);
    handleUnfinishedTail(text.sliced(position), m_readStart);
}

qsizetype ClusterConnection::promptCopyLength(QStringView text) const
{
    return std::max(m_learnedPrompt.leadingCopyLength(text),
                    prompts::leadingNodePromptLength(text, m_loginCallsign));
}

qsizetype ClusterConnection::walkPromptCopies(QStringView line, qsizetype from, qsizetype limit,
                                              qsizetype *lastCopy) const
{
    while (from < limit) {
        const qsizetype copy = promptCopyLength(line.sliced(from));
        if (copy == 0 || from + copy > limit)
            break;
        *lastCopy = from;
        from += copy;
    }
    return from;
}

bool ClusterConnection::partialRunKnown() const
{
    return m_partialRun.end > 0 && m_partialRun.serial + 1 == m_receiveSerial &&
           m_partialRun.size == m_partialLine.size();
}

bool ClusterConnection::continuesPartialRun(QStringView text, qint64 textStart) const
{
    // What came after a command went out may be its prompt: it never joins copies from before.
    if (!m_isLoggedIn || m_partialLine.isEmpty() || promptsAwaitedAt(textStart) > 0)
        return false;
    const QStringView line(m_partialLine);
    QString seam;
    QStringView copy;
    if (partialRunKnown()) {
        seam = line.sliced(m_partialRun.end).toString();
        copy = line.sliced(m_partialRun.lastCopy, m_partialRun.end - m_partialRun.lastCopy);
    } else if (m_learnedPrompt.isCopy(
                   line.last(std::min(line.size(), m_learnedPrompt.text().size())))) {
        copy = m_learnedPrompt.text();
    } else {
        // The standard prompt, from its callsign on (an overlong line of copies is not walked).
        const QStringView end = line.last(std::min(line.size(), promptCopyWindow));
        qsizetype call = end.lastIndexOf(m_loginCallsign, -1, Qt::CaseInsensitive);
        if (call > 0 && end[call - 1] == u'(')
            --call;
        if (call < 0 ||
            !prompts::endsInNodePrompt(end.sliced(call), m_loginCallsign, prompts::NodeKind::any))
            return false;
        copy = end.sliced(call);
    }
    seam += text.first(std::min(text.size(), promptCopyWindow));
    return promptCopyLength(seam) > 0 || prompts::mayBeginCopy(seam, copy);
}

bool ClusterConnection::extendPartialRun(QStringView text, PromptRun *run)
{
    // Only what this read adds is walked, from the copy the last read cut on: a line of copies
    // in small reads costs in proportion to its length.
    if (!partialRunKnown() || m_continuingOverlongLine || m_dropSpotRemainder || !m_isLoggedIn ||
        promptsAwaitedAt(m_partialLineStart) > 0 || promptsAwaitedAt(m_readStart) > 0)
        return false;
    const QStringView line(m_partialLine);
    const qsizetype base = m_partialRun.end;
    QString seam = line.sliced(base).toString();
    seam += text;
    qsizetype lastCopy = -1;
    const qsizetype end = walkPromptCopies(seam, 0, seam.size(), &lastCopy);
    const QStringView copy = lastCopy >= 0
                                 ? QStringView(seam).sliced(lastCopy, end - lastCopy)
                                 : line.sliced(m_partialRun.lastCopy, base - m_partialRun.lastCopy);
    if (end < seam.size() && !prompts::mayBeginCopy(QStringView(seam).sliced(end), copy))
        return false;
    *run = {base + end, lastCopy >= 0 ? base + lastCopy : m_partialRun.lastCopy};
    return true;
}

bool ClusterConnection::handOnGluedPrompts(QStringView &text, qint64 &readStart, QString &storage,
                                           bool overlongStops, PromptRun *run)
{
    const std::uint64_t generation = m_connectionGeneration;
    if (run && extendPartialRun(text, run))
        return true;
    // What is left of a run of the learned prompt's copies found to end replies all together.
    qsizetype ownRunLeft = 0;
    while ((m_isLoggedIn || m_hasSentCallsign) && !m_dropSpotRemainder &&
           !(overlongStops && m_continuingOverlongLine)) {
        const qint64 lineStart = m_partialLine.isEmpty() ? readStart : m_partialLineReadStart;
        // What came in earlier reads: copies from there are one line with those of this read only
        // when no command went out in between.
        const qsizetype earlier = m_partialLine.size();
        QStringView line = text;
        if (!m_partialLine.isEmpty()) {
            m_lineStart = m_partialLineStart;
            QString joined = m_partialLine;
            joined += text;
            storage = std::move(joined);
            line = storage;
        }
        // Copies that nothing waits for are one line, as the node sent them (those of earlier
        // reads are no copies of this read's when a command went out in between). A copy may
        // still be coming, cut by the read: an unfinished line of copies waits for it whole.
        const bool loose = m_isLoggedIn && promptsAwaitedHere() == 0;
        const qsizetype limit = earlier > 0 && promptsAwaitedAt(m_readStart) > 0
                                    ? std::min(earlier, line.size())
                                    : line.size();
        qsizetype promptLength = 0;
        qsizetype lastCopy = 0;
        const auto walkRun = [&] {
            promptLength = walkPromptCopies(line, promptLength, limit, &lastCopy);
            return run && (promptLength >= line.size() ||
                           prompts::mayBeginCopy(line.sliced(promptLength),
                                                 line.sliced(lastCopy, promptLength - lastCopy)));
        };
        if (ownRunLeft > 0) {
            promptLength = m_learnedPrompt.leadingCopyLength(line);
            ownRunLeft -= promptLength;
        } else {
            promptLength = gluedPromptLength(line, &ownRunLeft);
        }
        if (promptLength > 0 && loose) {
            ownRunLeft = 0;
            if (walkRun()) {
                *run = {promptLength, lastCopy};
                break;
            }
        }
        if (promptLength == 0 || promptLength >= line.size())
            break;
        const qint64 restStart = promptLength >= m_partialLine.size() ? readStart : lineStart;
        m_partialLine.clear();
        m_promptBuffer.clear();
        m_promptQuestion.openLineEnded();
        const QStringView prompt = line.first(promptLength);
        handleLine(prompt, lineStart);
        if (generation != m_connectionGeneration)
            return false;
        m_promptBuffer.clear();
        m_lineStart += utf8Length(prompt);
        text = line.sliced(promptLength);
        readStart = restStart;
    }
    return true;
}

void ClusterConnection::handleCompleteLine(QStringView piece, qint64 readStart)
{
    // A node answering two commands in a row sends the second reply right behind the first
    // one's prompt, without a line break: the prompt is complete, and is handled on its own.
    QString storage;
    if (!handOnGluedPrompts(piece, readStart, storage, false))
        return;
    // Only this line came with its own line break; the prompts handed on before it had text glued.
    m_handlingLineWithBreak = true;
    handleLine(piece, readStart);
    m_handlingLineWithBreak = false;
}

void ClusterConnection::handleLine(QStringView piece, qint64 readStart)
{
    const std::uint64_t generation = m_connectionGeneration;
    const qint64 lineStart = m_partialLine.isEmpty() ? readStart : m_partialLineReadStart;
    if (!m_partialLine.isEmpty())
        m_lineStart = m_partialLineStart;
    const bool promptWork = needsPromptWork();
    if (promptWork)
        appendToPromptBuffer(piece);
    // The line may begin in an earlier read; it is taken out of partialLine first, since what
    // the line sets off may start a new line.
    QString joined;
    QStringView line = piece;
    if (!m_partialLine.isEmpty()) {
        joined = std::exchange(m_partialLine, QString());
        joined += piece;
        line = joined;
    }
    // The line in question, left unfinished by a read, may now end as it was.
    bool openLineWasAnswer = false;
    const bool openLineEnds =
        !m_isLoggedIn && m_promptQuestion.endsOpenLine(line.trimmed(), &openLineWasAnswer);
    m_promptQuestion.openLineEnded();

    if (std::exchange(m_dropSpotRemainder, false) && !prompts::beginsSpotLine(line)) {
        // The rest of a spot line that was already handled (its locator, its BEL characters).
        m_promptBuffer.clear();
        return;
    }
    // The end of an overlong line whose first piece was handed on already is let go; a prompt
    // it ends in still ends a step.
    const bool continuation = std::exchange(m_continuingOverlongLine, false);
    const auto handOn = [&] {
        if (!continuation)
            dispatchLine(line);
    };
    if (line.size() > maximumPartialLineLength) {
        // Overlong lines are cut to the cap, like an overlong tail.
        m_promptBuffer.clear();
        if (!continuation)
            dispatchLine(line.first(maximumPartialLineLength));
        return;
    }

    switch (promptWork ? matchPrompt() : PromptMatch::none) {
    case PromptMatch::loginQuestion:
        handOn();
        if (generation == m_connectionGeneration)
            answerLoginQuestion();
        break;
    case PromptMatch::stepPrompt:
        if (m_handlingLineWithBreak && m_learnedPrompt.isCopy(line))
            m_learnedPromptLineEnds =
                std::min(m_learnedPromptLineEnds + 1, promptLineEndsProvingHabit);
        // The step ends before the prompt line is handled, so the prompt is not taken for part
        // of the reply; the lines it lets go follow it.
        if (!endStepAtRecognisedPrompt() && generation == m_connectionGeneration) {
            const StepPromptHandedOn handedOn(*this);
            handOn();
        }
        if (generation == m_connectionGeneration)
            sendWaitingRequests();
        break;
    case PromptMatch::nodeType:
        detectNodeType();
        if (generation == m_connectionGeneration)
            handOn();
        break;
    case PromptMatch::unknownNodePrompt:
        // The node's answer, the line in question once more, is held back: shown only if it
        // proves to be greeting after all.
        if (openLineEnds ? openLineWasAnswer
                         : considerPromptCandidate(line.trimmed().toString(), lineStart, false)) {
            if (generation == m_connectionGeneration)
                holdLine(line, true);
        } else if (generation == m_connectionGeneration) {
            handOn();
        }
        break;
    case PromptMatch::none:
        if (!m_isLoggedIn)
            noteLineBeforeLogin(line);
        handOn();
        break;
    }
    if (generation == m_connectionGeneration)
        m_promptBuffer.clear();
}

void ClusterConnection::handleUnfinishedTail(QStringView tail, qint64 readStart)
{
    if (tail.isEmpty())
        return;
    const std::uint64_t generation = m_connectionGeneration;
    // Replies to two requests in one read: the first one's prompt, which has no line break, with
    // the next reply (or just its prompt) right behind it. Each prompt ends its own request.
    QString storage;
    PromptRun run;
    if (!handOnGluedPrompts(tail, readStart, storage, true, &run))
        return;
    const bool promptWork = needsPromptWork();
    if (promptWork)
        appendToPromptBuffer(tail);
    if (m_partialLine.isEmpty()) {
        m_partialLineReadStart = readStart;
        m_partialLineStart = m_lineStart;
    }
    m_partialLine += tail;
    m_lineStart = m_partialLineStart;
    m_partialRun = run.end > 0
                       ? PartialRun{m_receiveSerial, m_partialLine.size(), run.end, run.lastCopy}
                       : PartialRun{};
    // A prompt this program does not know, most likely; a spot's beginning proves nothing.
    if (promptWork && m_isLoggedIn && promptsAwaitedHere() > 0 &&
        !prompts::beginsSpotLine(m_partialLine))
        m_nodeSpokeSinceCommand = true;
    while (m_partialLine.size() > maximumPartialLineLength) {
        // A node that never ends its line can neither exhaust memory nor make every read
        // re-parse the whole buffer. Only the line's first piece is handed on (the console shows
        // it shortened): a flood without line ends fills neither the console nor a step's reply.
        const QString piece = m_partialLine.left(maximumPartialLineLength);
        m_partialLine.remove(0, maximumPartialLineLength);
        m_partialRun = {};
        m_lineStart = m_partialLineStart;
        m_partialLineStart += utf8Length(piece);
        m_promptBuffer.clear();
        m_dropSpotRemainder = false;
        if (std::exchange(m_continuingOverlongLine, true))
            continue;
        dispatchLine(piece);
        if (generation != m_connectionGeneration)
            return;
    }

    switch (promptWork ? matchPrompt() : PromptMatch::none) {
    case PromptMatch::loginQuestion: {
        // The question is a console line of its own: what the node says next must not be glued
        // to it.
        const QString question = std::exchange(m_partialLine, QString());
        m_continuingOverlongLine = false;
        m_skipLeadingLineBreak = true;
        dispatchLine(question);
        if (generation == m_connectionGeneration)
            answerLoginQuestion();
        return;
    }
    case PromptMatch::stepPrompt:
        if (awaitsPromptLineEnd()) {
            // The node ends its prompts with a line break: a copy without one may be a quoted
            // line that the read cut. It is the prompt once its break comes, or when nothing
            // follows it for a moment.
            m_tailSettleTask.start(
                this, m_timing.tailSettleDelay, [this, serial = m_receiveSerial] {
                    if (serial != m_receiveSerial || !m_connection || !awaitsPromptLineEnd())
                        return;
                    m_learnedPromptLineEnds = 0;
                    m_lineStart = m_partialLineStart;
                    if (matchPrompt() == PromptMatch::stepPrompt)
                        endStepAtOpenPrompt();
                });
            return;
        }
        endStepAtOpenPrompt();
        return;
    case PromptMatch::nodeType:
        detectNodeType();
        return;
    case PromptMatch::unknownNodePrompt: {
        // A prompt has no line break; a greeting line's break may simply not have come yet.
        const QString line = m_partialLine.trimmed();
        if (line != m_promptQuestion.openLine())
            considerPromptCandidate(line, m_partialLineReadStart, true);
        return;
    }
    case PromptMatch::none:
        break;
    }

    // A spot line cut by the read may still be missing its end (the spotter's locator); it is
    // handled once nothing more arrives for a moment, so a node that leaves the line open is
    // still served quickly.
    if (m_continuingOverlongLine || !prompts::beginsSpotLine(m_partialLine) ||
        m_partialLine.size() > maximumSpotLineLength)
        return;
    // Whether it reads as a spot does not depend on the country data: no lookups here.
    if (DXSpotParser::parse(m_partialLine, nullptr, *m_clock).kind !=
        DXSpotParser::ParseResult::Kind::notASpot)
        m_tailSettleTask.start(this, m_timing.tailSettleDelay,
                               [this, serial = m_receiveSerial] { handleSettledTail(serial); });
}

bool ClusterConnection::awaitsPromptLineEnd() const
{
    return m_learnedPromptLineEnds > 0 && !m_partialLine.isEmpty() &&
           m_learnedPrompt.isCopy(m_partialLine);
}

void ClusterConnection::endStepAtOpenPrompt()
{
    const std::uint64_t generation = m_connectionGeneration;
    const bool dropPrompt = endStepAtRecognisedPrompt();
    if (generation != m_connectionGeneration)
        return;
    if (dropPrompt || (!m_waitingRequests.isEmpty() && !automaticStepWaiting())) {
        // A prompt that lets a waiting line go is shown before that line's echo.
        const QString prompt = std::exchange(m_partialLine, QString());
        const bool continuation = std::exchange(m_continuingOverlongLine, false);
        m_skipLeadingLineBreak = true;
        m_partialRun = {};
        if (!dropPrompt && !continuation) {
            const StepPromptHandedOn handedOn(*this);
            dispatchLine(prompt);
        }
        if (generation != m_connectionGeneration)
            return;
    }
    sendWaitingRequests();
}

void ClusterConnection::handleSettledTail(std::uint64_t receiveSerial)
{
    if (receiveSerial != m_receiveSerial || !m_connection || m_partialLine.isEmpty())
        return;
    // Data the kernel holds but the socket has not picked up yet counts as arrived: a busy event
    // loop must not make the wait look longer than it was.
    if (receivedStreamEnd() > m_bytesReceived)
        return; // the read that follows handles the tail
    DXSpotParser::ParseResult result =
        DXSpotParser::parse(m_partialLine, currentDatabase(), *m_clock, &m_lookupCache);
    if (result.kind == DXSpotParser::ParseResult::Kind::notASpot)
        return;
    m_lineStart = m_partialLineStart;
    const QString line = std::exchange(m_partialLine, QString());
    m_promptBuffer.clear();
    m_dropSpotRemainder = true;
    handleParsedLine(line, std::move(result));
}

void ClusterConnection::flushPartialLine()
{
    releaseHeldLines();
    m_tailSettleTask.cancel();
    m_dropSpotRemainder = false;
    m_lineStart = m_partialLineStart;
    const QString line = std::exchange(m_partialLine, QString());
    if (!std::exchange(m_continuingOverlongLine, false) && !line.isEmpty())
        dispatchLine(line);
}

void ClusterConnection::dispatchLine(QStringView line)
{
    // Blanks and BEL characters only: what is left of a spot line after its text, never a line
    // of its own worth showing. An empty line still is one.
    if (!line.isEmpty() && prompts::isBlankLine(line))
        return;
    if (holdsLines()) {
        holdLine(line, false);
        return;
    }
    handleClusterLine(line);
}

} // namespace varnello
