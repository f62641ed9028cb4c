#pragma once
// The device's value tables and the conversions between codes and display values.

#include <array>
#include <span>

namespace talvex {

inline constexpr int kFrequencyCodes = 244; // 19.7 Hz .. 21900 Hz
inline constexpr int kEqGainCodes = 181;    // -24.0 dB .. +12.0 dB in 0.2 dB steps
inline constexpr int kQCodes = 79;          // 0.267 .. 92.302

extern const std::array<double, kFrequencyCodes> kFrequencyTable;
extern const std::array<double, kEqGainCodes> kEqGainTable;
extern const std::array<double, kQCodes> kQTable;

// Raw meter limits of the 31 temperature steps (step i shows 70 - 2i degrees).
extern const std::array<int, 31> kTemperatureRawLimits;

extern const std::array<const char*, 12> kCrossoverTypeNames;
extern const std::array<const char*, 5> kBandTypeNames;
extern const std::array<const char*, 21> kLimiterThresholdNames;
extern const std::array<const char*, 6> kLimiterAttackNames;
extern const std::array<const char*, 8> kLimiterReleaseNames;
extern const std::array<const char*, 31> kTemperatureThresholdNames;
extern const std::array<const char*, 8> kPresetLabelPrefixes;

// Table lookups. Codes from a device or a file are not range-checked upstream,
// so an out-of-range code reads the nearest end of the table, never past it.
double frequencyAt(int code);
double eqGainAt(int code);
double qAt(int code);

// Code of the table value nearest to `value`, after clamping it to the table's
// range; a value exactly half-way between two entries takes the lower code.
int nearestCode(std::span<const double> table, double value);
int nearestFrequencyCode(double hz);
int nearestEqGainCode(double db);
int nearestQCode(double q);

} // namespace talvex
