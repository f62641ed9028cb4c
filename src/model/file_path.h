#pragma once
// File names pass through the programs as UTF-8 text and become paths only
// here, so a name with characters outside the system's narrow code page (a
// Windows "ANSI" code page) opens the file it names instead of failing or
// making a garbled name.

#include <filesystem>
#include <string>
#include <string_view>

namespace talvex {

inline std::filesystem::path pathFromUtf8(std::string_view text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string utf8FromPath(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace talvex
