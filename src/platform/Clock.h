#pragma once

#include <QDateTime>
#include <chrono>

namespace varnello {

// The time source of the program. Wall-clock time is for record times shown to the user and for
// data-file ages; steady time is for throttles and rate limits, which a clock step must not upset.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    virtual std::chrono::steady_clock::time_point steadyNow() const = 0;

    // The process-wide system clock.
    static Clock &system();
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
    std::chrono::steady_clock::time_point steadyNow() const override
    {
        return std::chrono::steady_clock::now();
    }
};

// A clock that moves only when told to; both times advance together.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC))
        : m_wall(std::move(start))
    {
    }
    QDateTime now() const override { return m_wall; }
    std::chrono::steady_clock::time_point steadyNow() const override { return m_steady; }

    void advance(std::chrono::milliseconds by)
    {
        m_wall = m_wall.addMSecs(by.count());
        m_steady += by;
    }
    // Moves only the wall clock, as a user or NTP would.
    void setWall(QDateTime wall) { m_wall = std::move(wall); }

private:
    QDateTime m_wall;
    std::chrono::steady_clock::time_point m_steady{std::chrono::hours(1000)};
};

} // namespace varnello
