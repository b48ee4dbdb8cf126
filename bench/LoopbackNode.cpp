#include "LoopbackNode.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varnello::bench {

LoopbackNode::LoopbackNode(std::function<void(LoopbackNode &node, int socket)> serve)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::listen(m_listener, 1);
    socklen_t length = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this, serve = std::move(serve)] {
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0)
            return;
        const int on = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        m_client = client;
        serve(*this, client);
    });
}

LoopbackNode::~LoopbackNode()
{
    m_stop = true;
    ::shutdown(m_listener, SHUT_RDWR);
    if (const int client = m_client; client >= 0)
        ::shutdown(client, SHUT_RDWR);
    m_thread.join();
    if (const int client = m_client; client >= 0)
        ::close(client);
    ::close(m_listener);
}

void LoopbackNode::writeAll(int socket, const char *data, qsizetype size, const LoopbackNode &node)
{
    qsizetype at = 0;
    while (at < size && !node.stopping()) {
        const ssize_t sent = ::send(socket, data + at, size_t(size - at), MSG_NOSIGNAL);
        if (sent <= 0)
            return;
        at += sent;
    }
}

void LoopbackNode::readLine(int socket, const LoopbackNode &node)
{
    char c = 0;
    while (!node.stopping() && ::recv(socket, &c, 1, 0) == 1 && c != '\n') {
    }
}

} // namespace varnello::bench
