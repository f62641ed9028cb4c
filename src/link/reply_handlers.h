#pragma once
// Decoding of the device's replies into the parameter model. Each function reads
// the payload of a reply frame and refuses one that is too short for the data it
// needs; the window's handlers wrap these and update the controls.

#include "link/frame.h"
#include "model/parameter_model.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace talvex::replies {

using Payload = std::span<const std::uint8_t>;

// True when the reply carries all 24 identification bytes and they match exactly.
bool identificationMatches(Payload payload);

// Stores the 20 preset names; false (and nothing stored) when the payload is short.
bool storePresetNames(Payload payload, ParameterModel& model);

// The name as the load list shows it: each code one character (0 as a blank),
// or empty when any code lies outside 0 and 32..127.
std::string presetDisplayName(const std::array<std::uint8_t, kPresetNameLength>& name);
// Preset item `item` (0..19) as the load list shows it: "Usr2:" and the name for
// the eight labelled items, the name alone for the others.
std::string presetItemText(int item, const std::array<std::uint8_t, kPresetNameLength>& name);

// Stores the 48 system-record values and normalises entry 0 (last preset) to 0
// when it is not 1..20. Returns the preset list item to select (entry 0 - 1, or
// 0), or nothing when the payload is too short.
std::optional<int> storeSystemRecord(Payload payload, ParameterModel& model);

// Copies the 640 data bytes into the parameter image; false when the payload is short.
bool storeGroup(Payload payload, ParameterModel& model);

struct MeterReading {
    int raw = 0;         // temperature sensor value, capped at 5118
    int step = 0;        // temperature step 0..30 (70 - 2 x step degrees)
    int attenuation = 0; // limiter attenuation in dB
    std::array<int, 3> extra{}; // data bytes 5, 6, 7
};

// Nothing when the payload holds fewer than 8 bytes.
std::optional<MeterReading> decodeMeter(Payload payload);

// Temperature step of a raw meter value; exact half-way values take the lower step.
int temperatureStep(int raw);
// ">=70" for step 0, "<=10" for step 30, otherwise the degrees as a number.
std::string temperatureText(int step);

} // namespace talvex::replies
