#pragma once
// Decoding of the device's replies into the parameter model. Each function reads
// the receive text (the whole reply frame as hex pairs) and refuses a reply that
// is too short for the data it needs; the window's handlers wrap these and update
// the controls.

#include "link/frame.h"
#include "model/parameter_model.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace talvex::replies {

// Minimum receive text lengths, in characters.
inline constexpr std::size_t kIdentificationText = frame::replyTextLength(frame::kIdentificationSize);
inline constexpr std::size_t kNamesText = frame::replyTextLength(frame::kPresetNamesSize);
inline constexpr std::size_t kSystemText = frame::replyTextLength(frame::kSystemRecordSize);
inline constexpr std::size_t kGroupText = frame::replyTextLength(frame::kGroupSize);
inline constexpr std::size_t kMeterText = frame::replyTextLength(frame::kMetersSize);

// True when the reply carries all 24 identification bytes and they match exactly.
bool identificationMatches(const std::string& text);

// Stores the 20 preset names; false (and nothing stored) when the text is short.
bool storePresetNames(const std::string& text, ParameterModel& model);

// The name as the load list shows it: each code one character (0 as a blank),
// or empty when any code lies outside 0 and 32..127.
std::string presetDisplayName(const std::array<std::uint8_t, kPresetNameLength>& name);

// Stores the 48 system-record values and normalises entry 0 (last preset) to 0
// when it is not 1..20. Returns the preset list item to select (entry 0 - 1, or
// 0), or nothing when the text is too short.
std::optional<int> storeSystemRecord(const std::string& text, ParameterModel& model);

// Copies the 640 data bytes into the parameter image; false when the text is short.
bool storeGroup(const std::string& text, ParameterModel& model);

struct MeterReading {
    int raw = 0;         // temperature sensor value, capped at 5118
    int step = 0;        // temperature step 0..30 (70 - 2 x step degrees)
    int attenuation = 0; // limiter attenuation in dB
    std::array<int, 3> extra{}; // data bytes 5, 6, 7
};

std::optional<MeterReading> decodeMeter(const std::string& text);

// Temperature step of a raw meter value; exact half-way values take the lower step.
int temperatureStep(int raw);
// ">=70" for step 0, "<=10" for step 30, otherwise the degrees as a number.
std::string temperatureText(int step);

} // namespace talvex::replies
