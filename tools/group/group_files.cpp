#include "group_files.h"

#include "model/file_path.h"

#include <algorithm>
#include <charconv>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace talvex::grouptool {

namespace {

bool hasExtension(const std::string& path, std::string_view extension)
{
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && slash > dot))
        return false;
    const std::string_view ext = std::string_view(path).substr(dot + 1);
    return ext.size() == extension.size() && std::equal(ext.begin(), ext.end(), extension.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? char(a + 32) : a) == b;
           });
}

std::string decimal(int value)
{
    char digits[16];
    return std::string(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

} // namespace

std::vector<std::string> utf8Arguments(int argc, char** argv)
{
#ifdef _WIN32
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        std::vector<std::string> arguments;
        for (int i = 0; i < count; ++i) {
            const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
            std::string text(std::size_t(size > 0 ? size - 1 : 0), '\0');
            if (size > 1)
                WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), size, nullptr, nullptr);
            arguments.push_back(std::move(text));
        }
        LocalFree(wide);
        if (!arguments.empty())
            return arguments;
    }
#endif
    return std::vector<std::string>(argv, argv + argc);
}

LoadedFile loadGroupFile(const std::string& path)
{
    LoadedFile file;
    std::string readError;
    const auto content = groupfile::readFile(pathFromUtf8(path), &readError);
    if (!content) {
        file.error = path + ": cannot be read: " + readError;
        return file;
    }
    if (hasExtension(path, groupfile::kAllGroupsExtension))
        file.allGroups = true;
    else if (!hasExtension(path, groupfile::kOneGroupExtension))
        file.allGroups = groupfile::splitLines(*content).size() == std::size_t(groupfile::kAllGroupsLines);

    groupfile::ParseResult parsed =
        file.allGroups ? groupfile::parseAllGroups(*content) : groupfile::parseOneGroup(*content);
    switch (parsed.status) {
    case groupfile::Status::Ok:
        file.groups = std::move(parsed.groups);
        break;
    case groupfile::Status::Empty:
        file.error = "File damaged.\n" + path + ": the file holds no group text";
        break;
    case groupfile::Status::Damaged:
        file.error = "File damaged.\n" + path + ": " + parsed.fault.reason;
        break;
    }
    return file;
}

std::string groupHeading(const groupfile::Group& group, int number)
{
    const groupfile::Header header = groupfile::headerOf(group.text);
    std::string heading = number == 0 ? "Current group" : "Group " + decimal(number);
    constexpr int kLastAddress = 249; // Device ID 250
    heading += header.address <= kLastAddress ? ", read from Device ID " + decimal(header.address + 1)
                                              : ", read from device address " + decimal(header.address);
    if (!groupfile::checksumMatches(group.text))
        heading += " (the stored checksum does not match; loading ignores it)";
    return heading;
}

} // namespace talvex::grouptool
