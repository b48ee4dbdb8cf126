#include "TcpConnection.h"

#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

#include <sys/ioctl.h>

namespace varnello {

TcpConnection::TcpConnection(QString host, quint16 port, QObject *parent)
    : TcpConnection(std::move(host), port, kDefaultRetryInterval, parent)
{
}

TcpConnection::TcpConnection(QString host, quint16 port, std::chrono::milliseconds retryInterval,
                             QObject *parent)
    : QObject(parent), m_host(std::move(host)), m_port(port), m_retryInterval(retryInterval),
      m_socket(new QTcpSocket(this)), m_retryTimer(new QTimer(this))
{
    m_socket->setProxy(QNetworkProxy::NoProxy);
    m_retryTimer->setSingleShot(true);
    m_retryTimer->setTimerType(Qt::PreciseTimer);
    connect(m_retryTimer, &QTimer::timeout, this, &TcpConnection::attempt);
    connect(m_socket, &QTcpSocket::connected, this, &TcpConnection::onConnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &TcpConnection::onError);
}

TcpConnection::~TcpConnection()
{
    // abort() reports state changes synchronously; nobody must hear them during destruction.
    m_socket->disconnect(this);
    m_socket->abort();
}

void TcpConnection::setState(State state, const QString &reason)
{
    m_state = state;
    emit stateChanged(state, reason);
}

void TcpConnection::start()
{
    if (m_state != State::setup || m_attempts > 0)
        return;
    setState(State::preparing);
    attempt();
}

void TcpConnection::attempt()
{
    if (m_state == State::cancelled || m_state == State::ready)
        return;
    ++m_attempts;
    m_socket->abort();
    m_socket->connectToHost(m_host, m_port);
}

void TcpConnection::onConnected()
{
    if (m_state == State::cancelled)
        return;
    m_retryTimer->stop();
    setState(State::ready);
}

void TcpConnection::onError()
{
    // After ready the reader of the socket owns errors and closes.
    if (m_state == State::ready || m_state == State::cancelled || m_state == State::failed)
        return;
    const QString reason = m_socket->errorString();
    // The same refusal every second is not news; report waiting when it starts or its reason
    // changes.
    const bool report = m_state != State::waiting || reason != m_lastReason;
    m_lastReason = reason;
    m_retryTimer->start(m_retryInterval);
    if (report)
        setState(State::waiting, reason);
}

qint64 TcpConnection::unreadSystemBytes() const
{
    if (!m_socket || m_socket->socketDescriptor() < 0)
        return 0;
    int pending = 0;
    if (::ioctl(int(m_socket->socketDescriptor()), FIONREAD, &pending) != 0)
        return 0;
    return pending;
}

void TcpConnection::cancel(bool quiet)
{
    if (m_state == State::cancelled)
        return;
    m_retryTimer->stop();
    m_socket->disconnect(this);
    m_socket->abort();
    m_state = State::cancelled;
    if (!quiet)
        emit stateChanged(State::cancelled, {});
}

} // namespace varnello
