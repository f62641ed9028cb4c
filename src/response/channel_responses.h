#pragma once
// The response curves and band markers of the four channels (0 Main, 1 High,
// 2 Mid, 3 Low). Everything starts at zero and keeps its values until recomputed.

#include "response/band_response.h"

#include "model/parameter_model.h"

#include <array>
#include <vector>

namespace talvex {

inline constexpr int kResponseChannels = 4;
inline constexpr int kBandsPerChannel = 10;

struct ChannelCurves {
    ResponseCurve highPass{};
    ResponseCurve lowPass{};
    std::array<ResponseCurve, kBandsPerChannel> bands{};
    std::array<MarkerPosition, kBandsPerChannel> markers{};
};

class ChannelResponses {
public:
    ChannelResponses() : channels_(kResponseChannels) {}

    // Channel 0..3; anything else throws std::out_of_range.
    ChannelCurves& channel(int c) { return channels_.at(c); }
    const ChannelCurves& channel(int c) const { return channels_.at(c); }

    // The line the graph draws: high-pass + low-pass + bands 0..9, per column of the grid.
    void sum(const ResponseGrid& grid, int c, ResponseCurve& out) const;

    // Recompute from the channel's records in the parameter image.
    void recomputeHighPass(const ResponseGrid& grid, const ParameterModel& model, int c);
    void recomputeLowPass(const ResponseGrid& grid, const ParameterModel& model, int c);
    void recomputeBand(const ResponseGrid& grid, const ParameterModel& model, int c, int band);
    // Both crossovers and all ten bands, as when the page channel is chosen.
    void recomputeChannel(const ResponseGrid& grid, const ParameterModel& model, int c);

private:
    std::vector<ChannelCurves> channels_; // on the heap: about 100 KB per channel
};

} // namespace talvex
