#pragma once
// Curves drawn over a channel's response graph besides its own: a measured
// response, a target and a proposed result. One level per evaluation column of
// the grid (column x at x - 42); NaN where a curve has no value; an empty
// vector draws nothing. The prediction (measured + the channel's own curve) is
// not stored: whoever draws adds the curve as it stands, so it follows every edit.

#include <array>
#include <vector>

namespace talvex {

struct CurveOverlay {
    std::vector<double> measured; // shifted to a mean of 0 dB over the match range
    std::vector<double> target;
    std::vector<double> proposal; // a predicted response not applied yet (a match's result)

    bool empty() const { return measured.empty() && target.empty() && proposal.empty(); }
};

using ChannelOverlays = std::array<CurveOverlay, 4>; // 0 Main, 1 High, 2 Mid, 3 Low

} // namespace talvex
