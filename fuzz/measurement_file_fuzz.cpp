// Feeds arbitrary file contents to the measurement reader (a file another
// program wrote). Whatever a file holds, reading must not crash; whatever it
// accepts must hold what the reader promises, and must survive the steps that
// put it on the graph.

#include "response/eq_match.h"
#include "response/measurement_file.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace talvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const measurement::ReadResult read =
        measurement::parseMeasurement(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read.ok())
        return 0;
    const measurement::Measurement& m = read.measurement;
    if (m.frequency.size() != m.level.size() || int(m.frequency.size()) < measurement::kMinimumPoints)
        __builtin_trap();
    for (std::size_t i = 0; i < m.frequency.size(); ++i) {
        if (!std::isfinite(m.level[i]) || m.frequency[i] < measurement::kLowestHz ||
            m.frequency[i] > measurement::kHighestHz || (i > 0 && m.frequency[i] <= m.frequency[i - 1]))
            __builtin_trap();
    }
    static const ResponseGrid grid;
    std::vector<double> curve = match::onGrid(grid, m);
    match::shiftToZeroMean(grid, curve, 60, 12000);
    return 0;
}
