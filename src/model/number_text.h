#pragma once
// Display texts of numbers and coded values, and the reading of typed numbers.
// Both ignore the process locale: a number is written and read with a full stop
// on every desktop (std::to_chars / std::from_chars, never printf or strtod).

#include <optional>
#include <string>
#include <string_view>

namespace talvex {

// Shortest general form with up to 15 significant digits: 1000, 19.7, -0.2.
std::string generalNumberText(double value);
// A whole number in decimal digits: 250, -3.
std::string integerText(long long value);
// Exactly one decimal: 1000.0, -24.0.
std::string oneDecimalText(double value);
// Exactly `decimals` decimals (fixed notation, rounded): fixedText(19.7, 4) = "19.7000".
std::string fixedText(double value, int decimals);

// A typed decimal number: an optional leading minus, digits, at most one full
// stop, and at least one digit ("12", "-0.5", ".5", "5."). Anything else
// (empty text, "." or "-" alone, two full stops, a minus after a digit, blanks,
// a comma, an exponent, a plus sign) is not a number.
std::optional<double> parseDecimal(std::string_view text);

double gainDb(int code);     // code / 5 - 60
double delayMs(int code);    // code x 0.0104
std::string gainText(int code);  // "-60dB", "-0.2dB", "5dB"
std::string delayText(int code); // "0 ms", "14.976 ms"

} // namespace talvex
