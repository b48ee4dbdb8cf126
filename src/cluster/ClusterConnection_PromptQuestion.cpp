// Before the login: a line ending in ">" of no known node type after the callsign, and the
// question that tells whether it is the node's prompt. PromptQuestion decides; this file feeds it
// what the node sent and carries out what it decides.
#include "ClusterConnection.h"

#include "PromptPatterns.h"

#include <QTcpSocket>

#include <algorithm>

namespace varnello {

void ClusterConnection::resetPromptQuestion()
{
    m_promptQuestion.reset({m_timing.promptQuestionQuiet, m_timing.promptQuestionWait,
                            m_timing.promptQuestionPairSpan});
    m_promptQuestionTask.cancel();
    m_heldLines.clear();
    m_loginLineSentAt.reset();
    m_greetingAnnouncedDXSpider = false;
    m_learnedPrompt.forget();
    m_promptChange = PromptChange::none;
    noteWhetherPasswordMayBeAsked();
}

void ClusterConnection::noteWhetherPasswordMayBeAsked()
{
    // A node that reads its lines in order would take an empty line for the password: while a
    // configured password may still be asked for, the node is given as long to ask after its
    // last greeting line as the login watchdog gives it to answer the callsign.
    const bool mayStillAsk = !m_loginPassword.isEmpty() && !m_hasSentPassword;
    m_promptQuestion.setQuiet(
        mayStillAsk ? std::max(m_timing.promptQuestionQuiet, m_timing.callsignSendWatchdog)
                    : m_timing.promptQuestionQuiet);
}

void ClusterConnection::noteLoginLineSent()
{
    m_loginLineSentAt = std::chrono::steady_clock::now();
    m_loginLineMark = receivedStreamEnd();
}

void ClusterConnection::noteLoginReply()
{
    // The first text after the callsign or password took a round trip and the node's own time:
    // an empty line's answer may take as long. What was on its way before it proves nothing.
    if (!m_loginLineSentAt || m_readStart < m_loginLineMark)
        return;
    m_promptQuestion.noteResponseTime(std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - *std::exchange(m_loginLineSentAt, std::nullopt)));
}

bool ClusterConnection::considerPromptCandidate(const QString &line, qint64 readStart, bool open)
{
    const bool answer =
        m_promptQuestion.noteCandidate(line, readStart, open, std::chrono::steady_clock::now());
    armPromptQuestionDeadline();
    return answer;
}

void ClusterConnection::holdLine(QStringView line, bool possibleAnswer)
{
    // Past the cap the oldest is shown, still in order.
    if (m_heldLines.size() >= maximumHeldLines)
        handleClusterLine(m_heldLines.takeFirst().text);
    m_heldLines.append({line.toString(), possibleAnswer});
    if (!m_promptQuestion.holdsAnswers())
        releaseHeldLines();
}

bool ClusterConnection::holdsLines() const
{
    return !m_isLoggedIn && !m_heldLines.isEmpty();
}

void ClusterConnection::releaseHeldLines(bool dropPromptCopies)
{
    for (const HeldLine &held : std::exchange(m_heldLines, {}))
        if (!(dropPromptCopies && held.possibleAnswer && m_promptQuestion.isPromptCopy(held.text)))
            handleClusterLine(held.text);
}

bool ClusterConnection::mayAskNodeForItsPrompt() const
{
    // Never while the node waits for a password that is not configured: it would take the empty
    // line for one.
    return m_connection && !m_isLoggedIn && m_loginState != LoginState::waitingForPasswordPrompt;
}

qint64 ClusterConnection::receivedStreamEnd() const
{
    qint64 end = m_bytesReceived + m_gatheredReadBytes;
    if (m_connection) {
        if (QTcpSocket *socket = m_connection->socket())
            end += socket->bytesAvailable();
        end += m_connection->unreadSystemBytes();
    }
    return end;
}

void ClusterConnection::askNodeForItsPrompt()
{
    // Whatever has arrived by now was sent before the node could see the empty lines.
    const qint64 mark = receivedStreamEnd();
    if (!writeToConnection(QByteArrayLiteral("\r\n").repeated(PromptQuestion::linesPerQuestion)))
        return;
    m_promptQuestion.noteAsked(mark, std::chrono::steady_clock::now());
}

void ClusterConnection::followPromptDecision(PromptQuestion::Decision decision)
{
    switch (decision) {
    case PromptQuestion::Decision::wait:
        break;
    case PromptQuestion::Decision::ask:
        askNodeForItsPrompt();
        break;
    case PromptQuestion::Decision::nodePrompt:
        confirmUnknownNodePrompt();
        return;
    }
    if (!m_promptQuestion.holdsAnswers())
        releaseHeldLines();
    armPromptQuestionDeadline();
}

void ClusterConnection::armPromptQuestionDeadline()
{
    const std::optional<PromptQuestion::TimePoint> deadline = m_promptQuestion.deadline();
    if (!deadline || !m_connection) {
        m_promptQuestionTask.cancel();
        return;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        *deadline - std::chrono::steady_clock::now());
    m_promptQuestionTask.start(this, std::max(left, std::chrono::milliseconds(0)),
                               [this] { handlePromptQuestionDeadline(); });
}

void ClusterConnection::handlePromptQuestionDeadline()
{
    if (!m_connection || m_isLoggedIn)
        return;
    const auto now = std::chrono::steady_clock::now();
    // Data the kernel holds but the socket has not picked up yet may be an answer or a copy; a
    // node that never stops sending gets a quarter more time, no longer.
    const bool graceLeft = m_promptQuestion.deadline() &&
                           now < *m_promptQuestion.deadline() + m_promptQuestion.answerWait() / 4;
    if (graceLeft && receivedStreamEnd() > m_bytesReceived) {
        m_promptQuestionTask.start(this, m_timing.tailSettleDelay,
                                   [this] { handlePromptQuestionDeadline(); });
        return;
    }
    // A line still coming that is not the one in question counts as well.
    if (!m_partialLine.isEmpty() && m_promptQuestion.openLine().isEmpty())
        noteLineBeforeLogin(m_partialLine);
    followPromptDecision(m_promptQuestion.deadlineReached(now, mayAskNodeForItsPrompt()));
}

void ClusterConnection::noteLineBeforeLogin(QStringView line)
{
    if (PromptQuestion::isPassingTraffic(line))
        return;
    m_promptQuestion.noteGreetingText(std::chrono::steady_clock::now());
    // The node tells what it runs in its greeting; DXSpider answers every empty line.
    if (prompts::announcesDXSpider(line)) {
        m_greetingAnnouncedDXSpider = true;
        m_promptQuestion.setAnswersEveryQuestion();
    }
    armPromptQuestionDeadline();
}

void ClusterConnection::endPromptQuestion()
{
    releaseHeldLines();
    m_promptQuestion.decide();
    m_promptQuestionTask.cancel();
}

bool ClusterConnection::beginsLineOfItsOwn(QStringView text) const
{
    if (m_promptQuestion.leadingCopyLength(text) > 0)
        return true;
    qsizetype end = 0;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
        ++end;
    return prompts::isNodeTraffic(text.first(end));
}

qsizetype ClusterConnection::gluedPromptLength(QStringView line, qsizetype *ownRunLeft) const
{
    const qsizetype length = leadingNodePromptLength(line, ownRunLeft);
    if (m_isLoggedIn)
        return length;
    // A prompt of the user's own may hold a ">" of its own ("N0CALL de GB7TST <2044Z> >"): before
    // the login, a prompt ends where what follows begins a line of its own.
    if (length > 0) {
        const QStringView rest = line.sliced(length);
        if (rest.isEmpty() || beginsLineOfItsOwn(rest) || leadingNodePromptLength(rest) > 0)
            return length;
    }
    // A line that may be a prompt of any other shape, with a line of its own glued behind it (a
    // spot, chatter, its own copy): it ends at one of its first ">".
    qsizetype bracket = -1;
    for (int tried = 0; tried < maximumPromptBracketsTried; ++tried) {
        bracket = line.indexOf(u'>', bracket + 1);
        if (bracket < 0 || bracket > 250)
            break;
        qsizetype end = bracket + 1;
        while (end < line.size() && line[end].isSpace() && line[end] != u'\r' && line[end] != u'\n')
            ++end;
        if (end < line.size() && prompts::endsInAnyPrompt(line.first(end)) &&
            beginsLineOfItsOwn(line.sliced(end)))
            return end;
    }
    return 0;
}

void ClusterConnection::confirmUnknownNodePrompt()
{
    const QString prompt = m_promptQuestion.prompt();
    // The prompt still waiting for a line break is shown before what follows from it; a copy
    // that answered an empty line is not shown at all.
    if (!m_promptQuestion.openLine().isEmpty() &&
        m_partialLine.trimmed() == m_promptQuestion.openLine()) {
        const QString line = std::exchange(m_partialLine, QString());
        m_skipLeadingLineBreak = true;
        m_promptBuffer.clear();
        if (!m_promptQuestion.openLineIsAnswer()) {
            const std::uint64_t generation = m_connectionGeneration;
            dispatchLine(line);
            if (generation != m_connectionGeneration)
                return;
        }
    }
    releaseHeldLines(true);
    endPromptQuestion();
    // A DXSpider node announces itself in its greeting: the line is the prompt its user set,
    // whether it answered the empty lines or the node said nothing more until the login's bound.
    if (m_greetingAnnouncedDXSpider) {
        m_learnedPrompt.learn(prompt, m_loginCallsign);
        setDetectedNodeType(ClusterNodeType::dxSpider);
        appendConsoleLine(QStringLiteral("DXSpider node with the prompt \"") + prompt +
                          QStringLiteral("\" (set with set/prompt)."));
        completeLogin();
        return;
    }
    setDetectedNodeType(ClusterNodeType::other);
    handleUnsupportedNode(prompt);
}

} // namespace varnello
