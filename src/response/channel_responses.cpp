#include "response/channel_responses.h"

#include "response/crossover_response.h"

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

void ChannelResponses::recomputeHighPass(const ResponseGrid& grid, const ParameterModel& model, int c)
{
    const int record = crossoverRecord(c);
    highPassResponse(grid, model.image[record + kHpfFrequency], model.image[record + kHpfType], channel(c).highPass);
}

void ChannelResponses::recomputeLowPass(const ResponseGrid& grid, const ParameterModel& model, int c)
{
    const int record = crossoverRecord(c);
    lowPassResponse(grid, model.image[record + kLpfFrequency], model.image[record + kLpfType], channel(c).lowPass);
}

void ChannelResponses::recomputeBand(const ResponseGrid& grid, const ParameterModel& model, int c, int band)
{
    ChannelCurves& ch = channel(c);
    MarkerPosition& marker = ch.markers.at(band); // checks the band before the record is addressed
    ResponseCurve& curve = ch.bands.at(band);
    bandResponse(grid, std::span<const int, 8>(model.image.data() + bandRecord(c, band), 8), marker, curve);
}

void ChannelResponses::recomputeChannel(const ResponseGrid& grid, const ParameterModel& model, int c)
{
    recomputeHighPass(grid, model, c);
    recomputeLowPass(grid, model, c);
    for (int band = 0; band < kBandsPerChannel; ++band)
        recomputeBand(grid, model, c, band);
}

} // namespace talvex
