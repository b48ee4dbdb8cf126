// Before the login: a line ending in ">" of no known node type after the callsign, and the
// question that tells whether it is the node's prompt. PromptQuestion decides; this file feeds it
// what the node sent and carries out what it decides.
#include "ClusterConnection.h"

#include "PromptPatterns.h"

#include <QTcpSocket>

namespace varnello {

bool ClusterConnection::considerPromptCandidate(const QString &line, qint64 readStart, bool open)
{
    const PromptQuestion::Outcome outcome = m_promptQuestion.noteCandidate(
        line, readStart, open, std::chrono::steady_clock::now(), mayAskNodeForItsPrompt());
    if (!outcome.isAnswer && !outcome.isTraffic)
        releaseHeldAnswerLines();
    followPromptDecision(outcome.decision);
    return outcome.isAnswer;
}

void ClusterConnection::holdAnswerLine(QStringView line)
{
    // Copies of the line in question, and of traffic that may take its place; past the cap the
    // oldest is shown.
    if (m_heldAnswerLines.size() >= maximumHeldAnswerLines)
        dispatchLine(m_heldAnswerLines.takeFirst());
    m_heldAnswerLines.append(line.toString());
}

void ClusterConnection::releaseHeldAnswerLines()
{
    for (const QString &held : std::exchange(m_heldAnswerLines, QStringList()))
        dispatchLine(held);
}

bool ClusterConnection::mayAskNodeForItsPrompt() const
{
    // A node that reads its lines in order would take an empty line for the password.
    return m_connection && !m_isLoggedIn && (m_loginPassword.isEmpty() || m_hasSentPassword);
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
    // Whatever has arrived by now was sent before the node could see the empty line.
    const qint64 mark = receivedStreamEnd();
    if (!writeToConnection(QByteArrayLiteral("\r\n")))
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
    if (!m_promptQuestion.isWaitingForQuiet()) {
        // Data the kernel holds but the socket has not picked up yet may be the answer; a node
        // that never stops sending gets a quarter more time, no longer.
        const bool graceLeft =
            m_promptQuestion.deadline() &&
            now < *m_promptQuestion.deadline() + m_promptQuestion.answerWait() / 4;
        if (graceLeft && receivedStreamEnd() > m_bytesReceived) {
            m_promptQuestionTask.start(this, m_timing.tailSettleDelay,
                                       [this] { handlePromptQuestionDeadline(); });
            return;
        }
        // A line still coming that is not the one in question counts as well.
        if (!m_partialLine.isEmpty() && m_promptQuestion.openLine().isEmpty())
            noteLineBeforeLogin(m_partialLine);
    }
    followPromptDecision(m_promptQuestion.deadlineReached(now, mayAskNodeForItsPrompt()));
}

void ClusterConnection::noteLineBeforeLogin(QStringView line)
{
    if (!m_promptQuestion.hasLineInQuestion() || PromptQuestion::isPassingTraffic(line))
        return;
    lineInQuestionWasGreeting();
}

void ClusterConnection::lineInQuestionWasGreeting()
{
    releaseHeldAnswerLines();
    m_promptQuestion.noteGreetingText();
    armPromptQuestionDeadline();
}

void ClusterConnection::endPromptQuestion()
{
    releaseHeldAnswerLines();
    m_promptQuestion.decide();
    m_promptQuestionTask.cancel();
}

bool ClusterConnection::beginsLineOfItsOwn(QStringView text) const
{
    if (m_promptQuestion.beginsWithCopy(text) ||
        text.startsWith(QLatin1StringView("DX de"), Qt::CaseInsensitive))
        return true;
    qsizetype end = 0;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
        ++end;
    return prompts::isUnsolicitedLine(text.first(end));
}

qsizetype ClusterConnection::gluedPromptLength(QStringView line) const
{
    const qsizetype length = leadingNodePromptLength(line);
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
    const QString prompt = m_promptQuestion.candidate();
    // The prompt still waiting for a line break is shown before the warning that names it.
    if (!m_promptQuestion.openLine().isEmpty() && !m_promptQuestion.openLineIsAnswer() &&
        m_partialLine.trimmed() == m_promptQuestion.openLine()) {
        const QString line = std::exchange(m_partialLine, QString());
        m_skipLeadingLineBreak = true;
        const std::uint64_t generation = m_connectionGeneration;
        dispatchLine(line);
        if (generation != m_connectionGeneration)
            return;
    }
    // The line held as an answer was one: it is not shown. A line of another kind held while
    // this one was in question was not.
    m_heldAnswerLines.removeIf([&prompt](const QString &held) {
        return PromptQuestion::sameLine(QStringView(held).trimmed(), prompt);
    });
    endPromptQuestion();
    setDetectedNodeType(ClusterNodeType::other);
    handleUnsupportedNode(prompt);
}

} // namespace varnello
