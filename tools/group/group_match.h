#pragma once
// talvex-group's measured curves: a group channel's records for the match, the
// match written into a copy of the group's image, and the measured and
// predicted curves of plot --measurement.

#include "model/group_file.h"
#include "response/curve_overlay.h"
#include "response/eq_match.h"
#include "response/measurement_file.h"
#include "response/response_grid.h"

#include <string>

namespace talvex::grouptool {

match::ChannelRecords channelRecords(const groupfile::GroupImage& image, int channel);

struct MatchOutcome {
    groupfile::GroupImage image{}; // the group with only the channel's ten band records changed
    double rmsBefore = 0.0;
    double rmsAfter = 0.0;
    std::string error; // set when nothing could be fitted
};

MatchOutcome matchChannel(const groupfile::GroupImage& image, int channel, const measurement::Measurement& m,
                          const match::Settings& settings);

// "measured" and "predicted" rows in the format of curvesCsv (columns without
// a measured value are left out).
std::string overlayCsv(const ResponseGrid& grid, const CurveOverlay& overlay, const ResponseCurve& channelCurve);

} // namespace talvex::grouptool
