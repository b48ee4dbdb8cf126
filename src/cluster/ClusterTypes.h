#pragma once

#include <QString>
#include <QStringView>
#include <QUuid>
#include <optional>

namespace varnello {

// Step of the login dialogue with the node.
enum class LoginState {
    disconnected,
    connecting,
    waitingForCallsignPrompt,
    callsignSent,
    waitingForPasswordPrompt,
    passwordSent,
    loggedIn,
    failed,
};

// Why a connection attempt was started. Only `manual` changes behaviour (the upstream filter
// check is forced again for a numeric-SSID callsign).
enum class ConnectionOrigin {
    startup,
    manual,
    automaticReconnect,
    failover,
    returnFromBackup,
    wakeRecovery
};

// Which of the two configured nodes a connection goes to.
enum class ClusterNodeRole { primary, backup };

// Node software recognised from the command prompt. Stored choices use the raw values.
enum class ClusterNodeType { unknown, dxSpider, ccCluster, arCluster, other };

QString toRaw(ClusterNodeType type);
std::optional<ClusterNodeType> clusterNodeTypeFromRaw(QStringView raw);
// AR-Cluster and unrecognised nodes are refused on the primary role.
bool isUnsupported(ClusterNodeType type);

// A node to warn the operator about: refused, or usable only with reduced features.
struct ClusterNodeWarning {
    ClusterNodeType nodeType = ClusterNodeType::unknown;
    QString host;
    quint16 port = 0;

    friend bool operator==(const ClusterNodeWarning &, const ClusterNodeWarning &) = default;
};

// One console line. Identified by id; a new id for every line.
struct ClusterLine {
    QUuid id;
    QString text;

    static ClusterLine make(QString text) { return {QUuid::createUuid(), std::move(text)}; }
    friend bool operator==(const ClusterLine &, const ClusterLine &) = default;
};

// A port text as the settings hold it: ASCII decimal digits with an optional leading sign, no
// blanks, from 0 to 65535 ("-0" reads as 0, any other negative number fails). Empty text or any
// other character gives nothing. Callers that accept surrounding blanks trim first; callers that
// refuse 0 check it themselves.
std::optional<quint16> parsePortText(QStringView text);

// "host:port" of a node as the suppressed-warning setting stores it: host trimmed and lower case.
QString nodeIdentity(const QString &host, quint16 port);

// Trims white space and line breaks at both ends (QString::trimmed covers both).
inline QString trimmedText(const QString &text)
{
    return text.trimmed();
}

} // namespace varnello
