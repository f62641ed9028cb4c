#pragma once
// Received bytes as text: two upper-case hexadecimal digits per byte.

#include <cstddef>
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

// Value of the `digits` hex digits at character `pos` of `text`, or -1 when they
// are not all there or not all hexadecimal.
int hexAt(std::string_view text, std::size_t pos, std::size_t digits = 2);

// Data byte i of a reply frame written as hex pairs (after the 20-character
// head), or -1 when the text does not hold it.
inline int replyDataByte(std::string_view text, std::size_t i) { return hexAt(text, 20 + 2 * i); }

} // namespace talvex
