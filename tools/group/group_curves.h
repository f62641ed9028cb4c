#pragma once
// The response curves of one channel of a group, computed the way the editor's
// graph computes them, and their CSV text for talvex-group plot --csv.

#include "model/group_file.h"
#include "response/channel_responses.h"
#include "response/response_grid.h"

#include <string>

namespace talvex::grouptool {

// The channel's high-pass, low-pass and ten band curves and markers, from a
// group image, on the standard 720 x 250 graph's grid.
ChannelResponses channelResponses(const ResponseGrid& grid, const groupfile::GroupImage& image, int channel);

// "curve,column,frequency_hz,level_db", then one row per evaluation column for
// the summed curve ("sum", the line the graph draws), then for each part:
// "hpf", "lpf", "eq1" .. "eq10". The level is the graph's (its axis is labelled
// in dB; see curve-dump for how it relates to 20 log10 |H|).
std::string curvesCsv(const ResponseGrid& grid, const ChannelResponses& responses, int channel);

} // namespace talvex::grouptool
