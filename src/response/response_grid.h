#pragma once
// The evaluation grid of the response graph: the frequency, cos ω and sin ω of
// every evaluation column, computed once per geometry.

#include "response/graph_geometry.h"

#include <array>

namespace talvex {

inline constexpr double kSampleRate = 96000.0;
// Room for graphs up to 1111 pixels wide.
inline constexpr int kCurveCapacity = 1063;

// One level per evaluation column; column x is stored at x - 42.
using ResponseCurve = std::array<double, kCurveCapacity>;

class ResponseGrid {
public:
    explicit ResponseGrid(GraphGeometry geometry = {});

    const GraphGeometry& geometry() const { return geometry_; }
    // Number of evaluation columns (672 for the 720-pixel graph), never above kCurveCapacity.
    int columnCount() const { return count_; }
    static int columnAt(int index) { return GraphGeometry::kFirstColumn + index; }
    double frequency(int index) const { return frequency_[index]; }
    double cosOmega(int index) const { return cos_[index]; }
    double sinOmega(int index) const { return sin_[index]; }

private:
    GraphGeometry geometry_;
    int count_ = 0;
    std::array<double, kCurveCapacity> frequency_{};
    std::array<double, kCurveCapacity> cos_{};
    std::array<double, kCurveCapacity> sin_{};
};

} // namespace talvex
