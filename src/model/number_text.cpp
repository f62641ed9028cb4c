#include "model/number_text.h"

#include <cstdio>

namespace talvex {

std::string generalNumberText(double value)
{
    if (value == 0.0)
        return "0"; // never "-0"
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

std::string oneDecimalText(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.1f", value == 0.0 ? 0.0 : value);
    return text;
}

// (code - 300) / 5 is the same value as code / 5 - 60 but rounds once, so every
// position reads as an exact tenth of a dB.
double gainDb(int code) { return (code - 300) / 5.0; }
double delayMs(int code) { return code * 0.0104; }

std::string gainText(int code) { return generalNumberText(gainDb(code)) + "dB"; }
std::string delayText(int code) { return generalNumberText(delayMs(code)) + " ms"; }

} // namespace talvex
