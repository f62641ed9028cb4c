#pragma once
// A group's parameter image as the lines an installer reads: every setting of
// every channel in the editor's own texts and units (talvex-group show), and
// the settings in which two groups differ (talvex-group diff).

#include "model/group_file.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvex::grouptool {

inline constexpr int kChannels = 4;       // 0 Main, 1 High, 2 Mid, 3 Low
inline constexpr int kTailChannel = 4;    // entries 600..639 in diff lines
inline constexpr int kBands = 10;

// "Main", "High", "Mid", "Low" ("tail" for the image tail).
std::string_view channelName(int channel);
// The channel a name stands for, in any letter case; nothing for another text.
std::optional<int> channelFromName(std::string_view name);

// One setting as the editor shows it. A code that lies outside what the
// editor's control offers is shown as the editor reads it, followed by
// "(code N)", so a foreign or damaged value never passes unnoticed.
struct Setting {
    std::string name;  // "gain", "HPF frequency", "EQ3 Q"
    std::string value; // "-60dB", "1000.0 Hz", "4.072"
};

struct Band {
    std::string type, frequency, gain, q;
};

struct ChannelView {
    int channel = 0;
    std::vector<Setting> settings; // everything but the bands, in strip order, then the crossovers
    std::array<Band, kBands> bands;
};

ChannelView viewChannel(const groupfile::GroupImage& image, int channel);

// The block `show` prints for one channel: its name, one "  name: value" line
// per setting, and the ten bands as a table.
std::string showChannel(const ChannelView& view);

// Every setting of a group as (channel, name, value); with `reserved`, also
// one line per entry the editor only carries ("entry 7 (reserved)", the code
// in decimal), the image tail under kTailChannel.
struct Parameter {
    int channel = 0;
    std::string name;
    std::string value;
};
std::vector<Parameter> groupParameters(const groupfile::GroupImage& image, bool reserved);

// "label / channel / parameter: a → b" for every parameter whose text differs,
// reserved entries included.
std::vector<std::string> diffGroups(std::string_view label, const groupfile::GroupImage& a,
                                    const groupfile::GroupImage& b);

} // namespace talvex::grouptool
