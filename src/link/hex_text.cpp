#include "link/hex_text.h"

namespace talvex {

void appendHex(std::string& text, std::span<const std::uint8_t> bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    text.reserve(text.size() + 2 * bytes.size());
    for (std::uint8_t b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
}

std::string toHex(std::span<const std::uint8_t> bytes)
{
    std::string text;
    appendHex(text, bytes);
    return text;
}

std::optional<std::uint32_t> hexValue(std::string_view digits)
{
    if (digits.empty() || digits.size() > 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return std::nullopt;
        value = value << 4 | std::uint32_t(d);
    }
    return value;
}

} // namespace talvex
