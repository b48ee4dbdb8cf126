#pragma once

// The one friend of ClusterConnection that tests use to reach its private state: feeding received
// bytes, placing published values without a node that would raise them, and editing the spot list.

#include "ClusterConnection.h"

namespace varnello {

struct ClusterConnectionTestAccess {
    static void receive(ClusterConnection &connection, const QByteArray &chunk)
    {
        connection.receiveChunk(chunk);
    }
    // What the prompt logic has collected of the current line.
    static const QString &promptBuffer(const ClusterConnection &connection)
    {
        return connection.m_promptBuffer;
    }
    // Before the login: whether a line ending in ">" is in question, whether the node's data
    // waits unread, and the empty line that asks the node about it.
    static bool hasLineInQuestion(const ClusterConnection &connection)
    {
        return connection.m_promptQuestion.hasLineInQuestion();
    }
    static bool hasUnreadData(const ClusterConnection &connection)
    {
        return connection.receivedStreamEnd() > connection.m_bytesReceived;
    }
    static void askNodeForItsPrompt(ClusterConnection &connection)
    {
        connection.askNodeForItsPrompt();
    }
    static void insertLiveSpot(ClusterConnection &connection, const DXSpot &spot)
    {
        connection.insertLiveSpot(spot);
    }
    // The state after a DXSpider login with every post-login step done.
    static void pretendLoggedIn(ClusterConnection &connection)
    {
        connection.m_loginCallsign = QStringLiteral("N0CALL");
        connection.m_hasSentCallsign = true;
        connection.m_isLoggedIn = true;
        connection.m_loginState = LoginState::loggedIn;
    }
    // The prompt a DXSpider user set, as the login learns it.
    static void learnPrompt(ClusterConnection &connection, const QString &prompt)
    {
        connection.m_learnedPrompt.learn(prompt, connection.m_loginCallsign);
    }
    // The state after the callsign went out, before any prompt.
    static void pretendCallsignSent(ClusterConnection &connection)
    {
        pretendLoggedIn(connection);
        connection.m_isLoggedIn = false;
        connection.m_loginState = LoginState::callsignSent;
    }
    static void logIn(ClusterConnection &connection, ClusterNodeType type)
    {
        connection.setIsLoggedIn(true);
        connection.setDetectedNodeType(type);
    }
    static void setRbnState(ClusterConnection &connection, bool loading, bool known, bool enabled,
                            RBNModeSet modes)
    {
        connection.setRbnStatusLoading(loading);
        connection.setRbnStatusKnown(known);
        connection.setRbnEnabled(enabled);
        connection.setRbnModes(modes);
        connection.bumpRbnStateVersion();
    }
    static void clearSpots(ClusterConnection &connection)
    {
        connection.m_spots.clear();
        emit connection.spotsChanged();
    }
    // A record rewritten under its id, as a new country file's lookup does.
    static void rewriteSpot(ClusterConnection &connection, qsizetype index, const DXSpot &spot)
    {
        connection.m_spots[index] = spot;
        emit connection.spotsChanged();
    }
    static void requireRegistration(ClusterConnection &connection)
    {
        connection.setRegistrationRequired(true);
    }
    static void setWarning(ClusterConnection &connection, std::optional<ClusterNodeWarning> warning)
    {
        connection.setClusterNodeWarning(std::move(warning));
    }
    static void setFilterLines(ClusterConnection &connection, std::optional<QStringList> lines)
    {
        connection.setUpstreamFilterWarningLines(std::move(lines));
    }
    static void setSubmissionMessage(ClusterConnection &connection, std::optional<QString> message)
    {
        connection.setSpotSubmissionAlertMessage(std::move(message));
    }
    static void setStatusText(ClusterConnection &connection, const QString &text)
    {
        connection.setStatusText(text);
    }
};

} // namespace varnello
