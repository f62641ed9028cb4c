#include "tuning/channel_settings.h"

#include "model/parameter_model.h"

namespace talvex::tuning {

int pageRecordEntry(int channel, int r) { return r == 0 ? crossoverRecord(channel) : bandRecord(channel, r - 1); }

PageSettings readPage(const ParameterModel& model, int channel)
{
    PageSettings page{};
    for (int r = 0; r < kPageRecords; ++r)
        for (int k = 0; k < 8; ++k)
            page[std::size_t(r)][std::size_t(k)] = model.image[std::size_t(pageRecordEntry(channel, r) + k)];
    return page;
}

match::ChannelRecords channelRecords(const ParameterModel& model, int channel)
{
    const PageSettings page = readPage(model, channel);
    match::ChannelRecords records;
    records.crossover = page[0];
    for (std::size_t j = 0; j < 10; ++j)
        records.bands[j] = page[j + 1];
    return records;
}

std::vector<ParameterEdit> editsTowards(const ParameterModel& model, int channel, const PageSettings& wanted,
                                        const std::string& label)
{
    std::vector<ParameterEdit> edits;
    for (int r = 0; r < kPageRecords; ++r) {
        ParameterEdit edit(label);
        const int first = pageRecordEntry(channel, r);
        for (int k = 0; k < 8; ++k)
            if (model.image[std::size_t(first + k)] != wanted[std::size_t(r)][std::size_t(k)])
                edit.set(first + k, wanted[std::size_t(r)][std::size_t(k)]);
        if (!edit.entries.empty())
            edits.push_back(std::move(edit));
    }
    return edits;
}

PageSettings AbSlots::leave(int channel, const PageSettings& current)
{
    Slot& slot = slots_.at(std::size_t(channel));
    const PageSettings next = slot.otherSet ? slot.other : current;
    slot.other = current;
    slot.otherSet = true;
    return next;
}

PageSettings AbSlots::copyAToB(int channel, const PageSettings& current)
{
    Slot& slot = slots_.at(std::size_t(channel));
    if (slot.active == 0) {
        slot.other = current;
        slot.otherSet = true;
        return current;
    }
    return slot.otherSet ? slot.other : current;
}

} // namespace talvex::tuning
