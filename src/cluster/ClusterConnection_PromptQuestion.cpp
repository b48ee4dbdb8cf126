// Before the login: a line ending in ">" of no known node type after the callsign, and the
// question that tells whether it is the node's prompt.
#include "ClusterConnection.h"

#include <QTcpSocket>

namespace varnello {

namespace {

// A prompt may carry the time, which can move on between two sendings of it.
QString withDigitRunsMasked(QStringView line)
{
    QString masked;
    masked.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (!line[i].isDigit()) {
            masked += line[i].toLower();
        } else if (i == 0 || !line[i - 1].isDigit()) {
            masked += u'#';
        }
    }
    return masked;
}

// Nothing but blanks and BEL characters (or nothing at all).
bool isBlankOrBellOnly(QStringView line)
{
    for (QChar c : line)
        if (!c.isSpace() && c != u'\a')
            return false;
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// A line ending in ">" of no known node type after the callsign: the node's prompt (a node this
// program does not know, or a DXSpider user's own set/prompt) or a line of its greeting. A pause
// after it tells neither: a greeting can stall on a slow link, and a prompt can be followed by
// other users' spots and talk. So the node is asked: an empty line makes it send its prompt once
// its greeting is out. A known prompt then logs in as usual; the same line again is the prompt;
// other text was more of the greeting.

bool ClusterConnection::repeatsPromptCandidate(const QString &line) const
{
    return m_promptQuestionsOwed > 0 &&
           withDigitRunsMasked(line) == withDigitRunsMasked(m_promptCandidate);
}

void ClusterConnection::considerPromptCandidate(const QString &line, bool open)
{
    if (repeatsPromptCandidate(line)) {
        confirmUnknownNodePrompt();
        return;
    }
    m_promptCandidate = line;
    m_promptCandidateOpen = open;
    askNodeForItsPrompt();
}

void ClusterConnection::askNodeForItsPrompt()
{
    // Every question asked before the login is owed till then, so the count is also the cap's.
    if (m_promptQuestionsOwed >= maximumPromptQuestions ||
        !writeToConnection(QByteArrayLiteral("\r\n")))
        return;
    ++m_promptQuestionsOwed;
    m_promptQuestionSentAt = std::chrono::steady_clock::now();
    m_promptQuestionTask.start(this, m_timing.promptQuestionWait,
                               [this] { handlePromptQuestionUnanswered(); });
}

bool ClusterConnection::promptQuestionAwaited() const
{
    return !m_isLoggedIn && m_promptQuestionsOwed > 0 && m_promptQuestionTask.isActive();
}

void ClusterConnection::handlePromptQuestionUnanswered()
{
    if (!m_connection || m_isLoggedIn || m_promptQuestionsOwed == 0)
        return;
    // Data the kernel holds but the socket has not picked up yet may be the answer; a node that
    // never stops sending gets a quarter more time, no longer.
    const bool graceLeft = std::chrono::steady_clock::now() <
                           m_promptQuestionSentAt + m_timing.promptQuestionWait * 5 / 4;
    if (QTcpSocket *socket = m_connection->socket();
        graceLeft &&
        ((socket && socket->bytesAvailable() > 0) || m_connection->unreadSystemBytes() > 0)) {
        m_promptQuestionTask.start(this, m_timing.tailSettleDelay,
                                   [this] { handlePromptQuestionUnanswered(); });
        return;
    }
    // A node that does not answer empty lines: nothing but spots and chatter since the line in
    // question makes it the prompt; otherwise the login watchdog decides. A line still coming
    // counts as well.
    if (!m_partialLine.isEmpty() && !m_promptCandidateOpen)
        noteLineBeforeLogin(m_partialLine);
    if (!m_promptCandidate.isEmpty())
        confirmUnknownNodePrompt();
}

void ClusterConnection::noteLineBeforeLogin(QStringView line)
{
    if (m_promptCandidate.isEmpty() || isBlankOrBellOnly(line) ||
        line.startsWith(QLatin1StringView("DX de"), Qt::CaseInsensitive) ||
        isUnsolicitedNodeLine(line))
        return;
    m_promptCandidate.clear();
}

qsizetype ClusterConnection::gluedPromptLength(QStringView line) const
{
    if (const qsizetype length = leadingNodePromptLength(line); length > 0 || m_isLoggedIn)
        return length;
    // Before the login: the line in question sent again, or a spot, right behind it.
    if (!m_promptCandidate.isEmpty() && line.size() > m_promptCandidate.size() &&
        line.startsWith(m_promptCandidate, Qt::CaseInsensitive))
        return m_promptCandidate.size();
    const qsizetype spot = line.indexOf(QLatin1StringView("DX de"), 1, Qt::CaseInsensitive);
    if (spot > 0 && looksLikeUnknownPrompt(line.first(spot).trimmed().toString()))
        return spot;
    return 0;
}

void ClusterConnection::confirmUnknownNodePrompt()
{
    const QString prompt = std::exchange(m_promptCandidate, QString());
    m_promptCandidateOpen = false;
    m_promptQuestionsOwed = 0;
    m_promptQuestionTask.cancel();
    setDetectedNodeType(ClusterNodeType::other);
    handleUnsupportedNode(prompt);
}

} // namespace varnello
