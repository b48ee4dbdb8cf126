#include "NetworkReport.h"

#include "HttpClient.h"

namespace varnello::test {

void reportNetworkConnected()
{
    setNetworkConnectionProbeForTesting([] { return false; });
}

ScopedNoNetworkConnection::ScopedNoNetworkConnection()
{
    setNetworkConnectionProbeForTesting([] { return true; });
}

ScopedNoNetworkConnection::~ScopedNoNetworkConnection()
{
    reportNetworkConnected();
}

} // namespace varnello::test
