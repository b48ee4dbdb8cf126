#pragma once

// Fakes of the alert outputs and spot builders shared by the alert and content tests.

#include "DXSpot.h"
#include "SoundOutput.h"
#include "SystemNotifications.h"

#include <QStringList>
#include <QUuid>
#include <functional>

namespace varnello::test {

// One ordered record of everything the alert outputs were asked to do.
struct OutputLog {
    QStringList events;
};

class FakeNotifications final : public SystemNotifications {
public:
    explicit FakeNotifications(OutputLog *log = nullptr) : m_log(log) {}
    void post(const QString &title, const QString &text) override
    {
        titles.append(title);
        texts.append(text);
        if (m_log)
            m_log->events.append(QStringLiteral("notify:") + title);
    }
    void prepare() override { ++prepared; }

    QStringList titles;
    QStringList texts;
    int prepared = 0;

private:
    OutputLog *m_log;
};

class FakeSound final : public SoundOutput {
public:
    explicit FakeSound(OutputLog *log = nullptr) : m_log(log) {}
    void playBeep() override { record(QStringLiteral("beep")); }
    void playFile(const QString &path) override
    {
        // Only the file's name matters: the folder is the test's cache.
        record(path.section(QLatin1Char('/'), -1));
    }
    QStringList played;

private:
    void record(const QString &what)
    {
        played.append(what);
        if (m_log)
            m_log->events.append(QStringLiteral("sound:") + what);
    }
    OutputLog *m_log;
};

inline DXSpot makeSpot(const QString &callsign, const QString &band = QStringLiteral("20m"),
                       SpotType type = SpotType::cw, std::optional<int> entity = std::nullopt)
{
    DXSpot spot;
    spot.id = QUuid::createUuid();
    spot.spotter = QStringLiteral("DL1ABC");
    spot.frequency = 14025.0;
    spot.callsign = callsign;
    spot.time = QStringLiteral("1234Z");
    spot.band = band;
    spot.spotType = type;
    spot.dxccADIFNumber = entity;
    spot.rawLine =
        QStringLiteral("DX de DL1ABC:     14025.0  ") + callsign + QStringLiteral("  cq  1234Z");
    return spot;
}

} // namespace varnello::test
