#include "link/delay.h"

namespace talvex {

void Delay(EventPump& pump, int ms)
{
    const std::uint64_t wanted = ms < 0 ? 0 : std::uint64_t(ms);
    const std::uint64_t start = pump.tickMs();
    std::uint64_t elapsed = 0;
    do {
        pump.processEvents(int(wanted - elapsed));
        const std::uint64_t now = pump.tickMs();
        if (now < start)
            return; // the tick count wrapped
        elapsed = now - start;
    } while (elapsed < wanted);
}

} // namespace talvex
