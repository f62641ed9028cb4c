#pragma once
// Frames as text for people and files (the traffic log, the hidden log list,
// group files): two upper-case hexadecimal digits per byte.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace talvex {

void appendHex(std::string& text, std::span<const std::uint8_t> bytes);
std::string toHex(std::span<const std::uint8_t> bytes);

// Value of a run of hexadecimal digits (either case); nothing for an empty text,
// a non-hex digit or more than eight digits.
std::optional<std::uint32_t> hexValue(std::string_view digits);

} // namespace talvex
