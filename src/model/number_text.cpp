#include "model/number_text.h"

#include <charconv>

namespace talvex {

// std::to_chars ignores the C locale (which Qt sets from the desktop), so the
// decimal separator is a full stop everywhere.
namespace {

std::string format(double value, std::chars_format format, int precision)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, format, precision);
    return std::string(text, result.ptr);
}

} // namespace

std::string generalNumberText(double value)
{
    if (value == 0.0)
        return "0"; // never "-0"
    return format(value, std::chars_format::general, 15);
}

std::string oneDecimalText(double value)
{
    return format(value == 0.0 ? 0.0 : value, std::chars_format::fixed, 1);
}

// (code - 300) / 5 is the same value as code / 5 - 60 but rounds once, so every
// position reads as an exact tenth of a dB.
double gainDb(int code) { return (code - 300) / 5.0; }
double delayMs(int code) { return code * 0.0104; }

std::string gainText(int code) { return generalNumberText(gainDb(code)) + "dB"; }
std::string delayText(int code) { return generalNumberText(delayMs(code)) + " ms"; }

} // namespace talvex
