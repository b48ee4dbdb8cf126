#include "NetworkReport.h"

namespace {

void startConnected()
{
    varnello::test::reportNetworkConnected();
}

} // namespace

Q_CONSTRUCTOR_FUNCTION(startConnected)
