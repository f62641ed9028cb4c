#include "model/number_text.h"

#include <charconv>

namespace talvex {

namespace {

std::string toText(double value, std::chars_format format, int precision)
{
    char text[352]; // room for any double in fixed notation
    const auto result = std::to_chars(text, text + sizeof text, value, format, precision);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string();
}

} // namespace

std::string generalNumberText(double value)
{
    if (value == 0.0)
        return "0"; // never "-0"
    return toText(value, std::chars_format::general, 15);
}

std::string integerText(long long value)
{
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string oneDecimalText(double value)
{
    return toText(value == 0.0 ? 0.0 : value, std::chars_format::fixed, 1);
}

std::string fixedText(double value, int decimals) { return toText(value, std::chars_format::fixed, decimals); }

std::optional<double> parseDecimal(std::string_view text)
{
    std::size_t i = 0;
    if (i < text.size() && text[i] == '-')
        ++i;
    int digits = 0;
    int stops = 0;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9')
            ++digits;
        else if (text[i] == '.' && ++stops == 1)
            continue;
        else
            return std::nullopt;
    }
    if (digits == 0)
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// (code - 300) / 5 is the same value as code / 5 - 60 but rounds once, so every
// position reads as an exact tenth of a dB.
double gainDb(int code) { return (code - 300) / 5.0; }
double delayMs(int code) { return code * 0.0104; }

std::string gainText(int code) { return generalNumberText(gainDb(code)) + "dB"; }
std::string delayText(int code) { return generalNumberText(delayMs(code)) + " ms"; }

} // namespace talvex
