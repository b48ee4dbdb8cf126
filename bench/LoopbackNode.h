// A node for the socket benchmarks: listens on 127.0.0.1 and serves one client on its own thread,
// so that writing the node's output costs the measured event loop nothing.
#pragma once

#include <QtGlobal>

#include <atomic>
#include <functional>
#include <thread>

namespace varnello::bench {

class LoopbackNode {
public:
    // serve runs on the node's thread with the accepted socket; it should return once stopping()
    // is true or the socket fails.
    explicit LoopbackNode(std::function<void(LoopbackNode &node, int socket)> serve);
    ~LoopbackNode();
    LoopbackNode(const LoopbackNode &) = delete;
    LoopbackNode &operator=(const LoopbackNode &) = delete;

    quint16 port() const { return m_port; }
    bool stopping() const { return m_stop; }

    // Blocking helpers for serve.
    static void writeAll(int socket, const char *data, qsizetype size, const LoopbackNode &node);
    static void readLine(int socket, const LoopbackNode &node);

private:
    int m_listener = -1;
    std::atomic<int> m_client{-1};
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace varnello::bench
