#pragma once

#include <QString>
#include <memory>

namespace varnello {

// Short alert sounds. Playing returns at once and never waits for the sound; without a sound
// device nothing plays and nothing fails.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // The desktop's beep (the sound theme's "bell" event).
    virtual void playBeep() = 0;
    // A WAV file on disk.
    virtual void playFile(const QString &path) = 0;

    // libcanberra on a worker thread of its own, or a silent output when the build has none.
    static std::unique_ptr<SoundOutput> createSystemOutput();
};

} // namespace varnello
