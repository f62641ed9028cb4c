// Feeds arbitrary file contents to both group-file parsers. Whatever a file
// holds, parsing must not crash, and whatever it accepts must write back into a
// file that reads as the same groups.

#include "model/group_file.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace talvex::groupfile;

namespace {

void roundTrip(const ParseResult& parsed, bool all)
{
    if (!parsed.ok())
        return;
    std::vector<std::string> texts;
    for (const Group& group : parsed.groups)
        texts.push_back(group.text);
    const auto file = all ? formatAllGroups(texts) : formatOneGroup(texts.front());
    if (!file)
        __builtin_trap(); // an accepted group text must be writable
    const ParseResult again = all ? parseAllGroups(*file) : parseOneGroup(*file);
    if (!again.ok() || again.groups.size() != parsed.groups.size())
        __builtin_trap();
    for (std::size_t i = 0; i < parsed.groups.size(); ++i)
        if (again.groups[i].image != parsed.groups[i].image || again.groups[i].text != parsed.groups[i].text)
            __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    const ParseResult one = parseOneGroup(content);
    const ParseResult all = parseAllGroups(content);
    if (one.status == Status::Damaged && one.fault.reason.empty())
        __builtin_trap();
    if (all.status == Status::Damaged && all.fault.reason.empty())
        __builtin_trap();
    roundTrip(one, false);
    roundTrip(all, true);
    return 0;
}
