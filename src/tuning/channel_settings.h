#pragma once
// A channel's equaliser page as data: its crossover record and ten band records
// read from the image, and the edits that bring the image to other settings,
// one per chunk with only the entries that differ. No widgets.

#include "model/parameter_edit.h"
#include "response/eq_match.h"

#include <array>
#include <string>
#include <vector>

namespace talvex {
struct ParameterModel;
}

namespace talvex::tuning {

inline constexpr int kPageRecords = 11; // crossover + ten bands
using PageSettings = std::array<match::Record, kPageRecords>; // [0] crossover, [1 + j] band j

// First image entry of record r of a channel's page (0 crossover, 1 + j band j).
int pageRecordEntry(int channel, int r);

PageSettings readPage(const ParameterModel& model, int channel);
match::ChannelRecords channelRecords(const ParameterModel& model, int channel);

// The edits that make the channel's page hold `wanted`: one per record that
// differs, carrying only the entries that differ, labelled `label`.
std::vector<ParameterEdit> editsTowards(const ParameterModel& model, int channel, const PageSettings& wanted,
                                        const std::string& label);

// A and B of each channel: which one is live, and the one that is not, as
// last left. The live one is the image itself.
class AbSlots {
public:
    // 0 A, 1 B.
    int active(int channel) const { return slots_.at(std::size_t(channel)).active; }
    // Switching: `current` is kept as the live slot's settings; returns what the
    // other slot holds (a copy of `current` when it was never set).
    PageSettings leave(int channel, const PageSettings& current);
    void flip(int channel) { slots_.at(std::size_t(channel)).active ^= 1; }
    // The settings of the slot that is not live (after an undo or redo of a switch).
    void setOther(int channel, const PageSettings& settings)
    {
        slots_.at(std::size_t(channel)).other = settings;
        slots_.at(std::size_t(channel)).otherSet = true;
    }
    // "Copy A to B": when A is live, B := current; when B is live, what B should
    // become (A's settings) is returned.
    PageSettings copyAToB(int channel, const PageSettings& current);

private:
    struct Slot {
        int active = 0;
        bool otherSet = false;
        PageSettings other{};
    };
    std::array<Slot, 4> slots_{};
};

} // namespace talvex::tuning
