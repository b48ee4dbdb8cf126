#include "ClusterConnection.h"

#include "AppSettingsStore.h"

#include <QStringDecoder>
#include <QTcpSocket>

namespace varnello {

namespace {

constexpr qint64 kProbeReadBytes = 16384;
constexpr qsizetype kProbeBufferLength = 4096;

QString decodeProbeChunk(const QByteArray &bytes)
{
    QStringDecoder strict(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = strict.decode(bytes);
    return strict.hasError() ? QString::fromUtf8(bytes) : text;
}

} // namespace

// While logged in on the backup node, the primary node is looked at every interval: a silent
// connection that only listens for the callsign question. When it comes, the primary is back.

void ClusterConnection::startPrimaryRecovery()
{
    stopPrimaryRecovery();
    m_primaryRecoveryTask.start(this, m_timing.primaryRecoveryInterval,
                                [this] { primaryRecoveryTick(); });
}

void ClusterConnection::primaryRecoveryTick()
{
    if (m_activeNodeRole != ClusterNodeRole::backup || !m_isLoggedIn)
        return; // the loop ends
    probePrimaryNode();
    m_primaryRecoveryTask.start(this, m_timing.primaryRecoveryInterval,
                                [this] { primaryRecoveryTick(); });
}

void ClusterConnection::stopPrimaryRecovery()
{
    m_primaryRecoveryTask.cancel();
    dropPrimaryProbe();
}

void ClusterConnection::dropPrimaryProbe()
{
    m_primaryProbeTimeoutTask.cancel();
    TcpConnection *probe = m_primaryProbeConnection.data();
    m_primaryProbeConnection.clear();
    m_primaryProbeBuffer.clear();
    if (!probe)
        return;
    probe->disconnect(this);
    if (QTcpSocket *socket = probe->socket())
        socket->disconnect(this);
    probe->cancel(true);
    probe->deleteLater();
}

void ClusterConnection::probePrimaryNode()
{
    if (m_activeNodeRole != ClusterNodeRole::backup || !m_isLoggedIn || m_primaryProbeConnection)
        return;
    AppSettingsStore &s = settings();
    const QString host = s.string(QString(SettingsKeys::clusterHost.name), QString()).trimmed();
    const auto port = parsePortText(
        QStringView(s.string(QString(SettingsKeys::clusterPort.name), QStringLiteral("7300")))
            .trimmed());
    if (host.isEmpty() || !port || *port == 0)
        return;

    auto *probe = new TcpConnection(host, *port, m_timing.connectRetryInterval, this);
    m_primaryProbeConnection = probe;
    m_primaryProbeBuffer.clear();
    const QPointer<TcpConnection> armedFor(probe);
    m_primaryProbeTimeoutTask.start(this, m_timing.primaryRecoveryProbeTimeout, [this, armedFor] {
        if (armedFor && armedFor == m_primaryProbeConnection)
            dropPrimaryProbe(); // silent: the next interval tries again
    });
    QObject::connect(probe, &TcpConnection::stateChanged, this,
                     [this, probe](TcpConnection::State state, const QString &) {
                         handleProbeState(probe, state);
                     });
    probe->start();
}

void ClusterConnection::handleProbeState(TcpConnection *probe, TcpConnection::State state)
{
    if (!probe || probe != m_primaryProbeConnection)
        return;
    switch (state) {
    case TcpConnection::State::ready: {
        QTcpSocket *socket = probe->socket();
        QObject::connect(socket, &QTcpSocket::readyRead, this,
                         [this, probe] { handleProbeData(probe); });
        // Read what is still buffered before giving the probe up.
        QObject::connect(socket, &QTcpSocket::disconnected, this, [this, probe] {
            handleProbeData(probe);
            if (probe == m_primaryProbeConnection)
                dropPrimaryProbe();
        });
        QObject::connect(socket, &QTcpSocket::errorOccurred, this, [this, probe] {
            handleProbeData(probe);
            if (probe == m_primaryProbeConnection)
                dropPrimaryProbe();
        });
        if (socket->bytesAvailable() > 0)
            handleProbeData(probe);
        break;
    }
    case TcpConnection::State::failed:
    case TcpConnection::State::cancelled:
        dropPrimaryProbe();
        break;
    default:
        break;
    }
}

void ClusterConnection::handleProbeData(TcpConnection *probe)
{
    while (probe && probe == m_primaryProbeConnection && probe->socket()->bytesAvailable() > 0) {
        const QByteArray chunk = probe->socket()->read(kProbeReadBytes);
        if (chunk.isEmpty())
            break;
        m_primaryProbeBuffer += decodeProbeChunk(chunk).toLower();
        if (m_primaryProbeBuffer.size() > kProbeBufferLength)
            m_primaryProbeBuffer.remove(0, m_primaryProbeBuffer.size() - kProbeBufferLength);
        if (containsCallsignPrompt(m_primaryProbeBuffer)) {
            dropPrimaryProbe();
            returnToPrimary();
            return;
        }
    }
}

void ClusterConnection::returnToPrimary()
{
    if (m_activeNodeRole != ClusterNodeRole::backup || !m_isLoggedIn)
        return;
    AppSettingsStore &s = settings();
    const QString host = s.string(QString(SettingsKeys::clusterHost.name), QString());
    const auto port = parsePortText(
        QStringView(s.string(QString(SettingsKeys::clusterPort.name), QStringLiteral("7300")))
            .trimmed());
    if (!port)
        return;
    const QString callsign = s.string(QString(SettingsKeys::clusterCallsign.name), QString());
    const QString password = s.string(QString(SettingsKeys::clusterPassword.name), QString());
    appendConsoleLine(QStringLiteral("Primary cluster available — returning to primary."));
    connect(host, *port, callsign, password, ClusterNodeRole::primary, false, false,
            ConnectionOrigin::returnFromBackup);
    // Giving up a working backup session for an attempt that then hangs would leave the program
    // offline for good: the return is timed like any supervised attempt.
    if (m_connection && !m_isConnected)
        armConnectionAttemptTimeout(m_connection.data(), ClusterNodeRole::primary);
}

} // namespace varnello
