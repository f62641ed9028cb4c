#pragma once
// Group images with a pattern of their own per seed, and the twenty stored groups
// as the device sends them: test data for group files and transfers.

#include "link/frame.h"
#include "model/group_file.h"

#include <string>
#include <vector>

namespace talvex::testing {

inline groupfile::GroupImage patternImage(int seed)
{
    groupfile::GroupImage image{};
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = std::uint8_t(i * 3 + std::size_t(seed) * 17);
    return image;
}

// Groups 1 to 20 as the device sends them.
inline std::vector<std::string> storedGroupTexts()
{
    std::vector<std::string> texts;
    for (int g = 1; g <= groupfile::kStoredGroups; ++g)
        texts.push_back(groupfile::makeGroupText(patternImage(g), 0, g, frame::kCmdStoredGroup));
    return texts;
}

} // namespace talvex::testing
