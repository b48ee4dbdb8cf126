#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

namespace varnello {

// Turns any number of change notices into one refresh on a later turn of the event loop, from
// one single-shot timer. Refreshes that follow each other closely are spaced by minimumInterval,
// so a firehose of spots refreshes the window a bounded number of times per second. Every refresh
// with new spots repaints the whole visible table, so the spacing bounds the window's cost under a
// firehose: ten refreshes a second still show a stream smoothly, while a quiet node (a spot every
// few seconds) gets each spot on the next turn.
class RefreshCoalescer final : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultMinimumInterval{100};

    explicit RefreshCoalescer(std::function<void()> refresh,
                              std::chrono::milliseconds minimumInterval = defaultMinimumInterval,
                              QObject *parent = nullptr);

    // Asks for a refresh; returns at once. Several requests before it runs give one refresh.
    void request();
    bool isPending() const { return m_timer.isActive(); }
    // Runs a pending refresh now (the window's first showing needs its content at once).
    void flush();

private:
    void run();

    std::function<void()> m_refresh;
    std::chrono::milliseconds m_minimumInterval;
    QTimer m_timer;
    QElapsedTimer m_sinceLastRefresh;
};

} // namespace varnello
