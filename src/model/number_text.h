#pragma once
// Display texts of numbers and coded values.

#include <string>

namespace talvex {

// Shortest general form with up to 15 significant digits: 1000, 19.7, -0.2.
std::string generalNumberText(double value);
// Exactly one decimal: 1000.0, -24.0.
std::string oneDecimalText(double value);

double gainDb(int code);     // code / 5 - 60
double delayMs(int code);    // code x 0.0104
std::string gainText(int code);  // "-60dB", "-0.2dB", "5dB"
std::string delayText(int code); // "0 ms", "14.976 ms"

} // namespace talvex
