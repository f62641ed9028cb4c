#include "response/channel_responses.h"

namespace talvex {

void ChannelResponses::sum(const ResponseGrid& grid, int c, ResponseCurve& out) const
{
    const ChannelCurves& ch = channel(c);
    const int count = grid.columnCount();
    for (int i = 0; i < count; ++i)
        out[i] = ch.highPass[i] + ch.lowPass[i];
    for (const ResponseCurve& band : ch.bands)
        for (int i = 0; i < count; ++i)
            out[i] += band[i];
}

} // namespace talvex
