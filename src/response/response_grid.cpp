#include "response/response_grid.h"

#include <algorithm>
#include <cmath>

namespace talvex {

ResponseGrid::ResponseGrid(GraphGeometry geometry) : geometry_(geometry)
{
    const int columns = geometry_.lastColumn() - GraphGeometry::kFirstColumn + 1;
    // A wider graph than the curves can hold is evaluated up to the capacity only.
    count_ = std::clamp(columns, 0, kCurveCapacity);
    for (int i = 0; i < count_; ++i) {
        const double f = columnToFrequency(geometry_, columnAt(i));
        const double omega = f * 6.283185307179586 / kSampleRate;
        frequency_[i] = f;
        cos_[i] = std::cos(omega);
        sin_[i] = std::sin(omega);
    }
}

} // namespace talvex
