#include "Clock.h"

namespace varnello {

Clock &Clock::system()
{
    static SystemClock clock;
    return clock;
}

} // namespace varnello
