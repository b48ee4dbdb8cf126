#pragma once

#include <chrono>

namespace varnello {

class InstanceChannel;

// Keeps one running copy per data folder. A starting copy claims the folder before it reads a
// setting or opens a socket; when another live copy holds it, the new one asks that copy to come
// to the front and leaves without writing anything.
class SingleInstanceGuard final {
public:
    enum class Start { run, leave };

    struct Timing {
        // How long a later copy keeps trying to reach the running one (which may still be
        // starting and not yet listening) before it gives up and leaves anyway.
        std::chrono::milliseconds raiseBudget{1500};
        std::chrono::milliseconds retryInterval{100};
    };

    explicit SingleInstanceGuard(InstanceChannel &channel);
    SingleInstanceGuard(InstanceChannel &channel, Timing timing);

    // Claims the folder: `run` when this copy is to start (it then listens for later copies),
    // `leave` when another copy runs. Without a usable lock the copy runs unguarded.
    Start claim();

private:
    InstanceChannel &m_channel;
    Timing m_timing;
};

} // namespace varnello
