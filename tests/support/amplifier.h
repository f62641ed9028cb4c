#pragma once
// The virtual amplifier (tools/vamp) without a transport: its replies as the
// editor receives them, and group files saved from it as the editor saves them.

#include "support/frames.h"

#include "link/hex_text.h"
#include "model/group_file.h"
#include "virtual_amplifier.h"

#include <string>
#include <vector>

namespace talvex::testing {

// The receive text of the bus's first device's reply to a read.
inline std::string readReplyText(vamp::VirtualBus& bus, int index, int command)
{
    const auto address = std::uint8_t(bus.devices().front().address());
    return toHex(bus.handleFrame(readRequest(address, std::uint8_t(command), std::uint8_t(index))));
}

// "save one group to PC": the reply to read 40 as it came.
inline std::string oneGroupFile(vamp::VirtualBus& bus)
{
    return *groupfile::formatOneGroup(readReplyText(bus, 0, frame::kCmdCurrentGroup));
}

// "save all-group to PC": the replies to read 41, groups 1..20.
inline std::string allGroupsFile(vamp::VirtualBus& bus)
{
    std::vector<std::string> texts;
    for (int g = 1; g <= 20; ++g)
        texts.push_back(readReplyText(bus, g, frame::kCmdStoredGroup));
    return *groupfile::formatAllGroups(texts);
}

} // namespace talvex::testing
