#pragma once

// Tests talk only to servers they start on 127.0.0.1, which answer whether or not the machine
// has a network. The system's report would still turn a refused or silent local server into "not
// connected" on a machine without one (an offline laptop, a package builder), so every test
// executable starts with the report fixed at "connected" (startup/ConnectedNetwork.cpp). A test
// of the offline path holds a ScopedNoNetworkConnection.

#include <QtGlobal>

namespace varnello::test {

void reportNetworkConnected();

class ScopedNoNetworkConnection final {
    Q_DISABLE_COPY_MOVE(ScopedNoNetworkConnection)

public:
    ScopedNoNetworkConnection();
    ~ScopedNoNetworkConnection(); // back to "connected", whatever the machine has
};

} // namespace varnello::test
