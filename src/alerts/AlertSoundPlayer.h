#pragma once

#include "AlertModel.h"

#include <QObject>
#include <QString>
#include <optional>

namespace varnello {

class SoundOutput;

// Plays the alert sounds: the desktop beep for the system default, and the two built-in sounds,
// which fall back to the beep when they could not be loaded. Never waits for a sound to end.
class AlertSoundPlayer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertSoundPlayer)

public:
    // Loads "alert1" and then "alert2" from the built-in resources into the "sounds" folder of
    // the cache folder.
    explicit AlertSoundPlayer(SoundOutput &output, QObject *parent = nullptr);
    ~AlertSoundPlayer() override;

    // The process's player on the system sound output, made on first use.
    static AlertSoundPlayer &shared();

    void play(AlertSoundChoice choice);

    // The sound's path on disk (the sound library cannot read from the program's resources), or
    // nothing after a line on standard output saying why.
    std::optional<QString> loadBundledAlertSound(const QString &name);

private:
    SoundOutput &m_output;
    std::optional<QString> m_folder;
    std::optional<QString> m_alert1Path;
    std::optional<QString> m_alert2Path;
};

} // namespace varnello
