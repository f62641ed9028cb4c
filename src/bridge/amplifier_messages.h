#pragma once
// The MQTT payloads of the bridge, as plain C++ (no Qt): the JSON state of one
// amplifier, the reading of a command published on its `set` topic into edits of
// the parameter image (or a refusal, when nothing may be written), the refusal
// reported on `error`, the list of devices and the Home Assistant discovery
// configs. Topic names are built by the caller; payloads only here.
//
// A command is all or nothing: malformed JSON, a key that is not known, a value
// of the wrong type or out of range refuses the whole message, and a refused
// message yields no edit and no preset recall.

#include "model/parameter_model.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace talvex::bridge {

// Outputs are High, Mid, Low (0, 1, 2); gains are Main, High, Mid, Low (0..3).
inline constexpr std::array<const char*, 3> kOutputKeys{"high", "mid", "low"};
inline constexpr std::array<const char*, 4> kGainKeys{"main", "high", "mid", "low"};

// What the bridge knows of one amplifier, kept current by its replies.
struct AmplifierState {
    std::string port;
    int deviceId = 0;
    std::string identification;         // the 24 characters, trailing blanks dropped
    std::optional<int> temperatureStep; // 0..30, nothing before the first meter reply
    int attenuationDb = 0;
    ParameterModel model;               // image, system record, preset names
};

// The state JSON: device_id, port, temperature_c (70 - 2 x step, so the end
// values 70 and 10 stand for ">=70" and "<=10"), temperature_text, threshold_c,
// alarm (temperature at or above the threshold), attenuation_db, mute{high,mid,
// low}, gain_db{main,high,mid,low}, preset (the number last recalled or saved,
// 0 none) and presets (the twenty names, trailing blanks dropped; a name the
// device holds in codes that are not text is empty). The temperature keys are
// null until the first meter reply.
std::string stateJson(const AmplifierState& state);

// Gain code of a channel in the image (Main 0, High 1, Mid 2, Low 3).
int gainCode(const ParameterModel& model, int channel);
// Highest gain code of a channel: 0 dB for Main and Low, +5 dB for High and Mid.
int maxGainCode(int channel);

// A command from the `set` topic, ready to be carried out: the preset to recall
// first (1..20), then the image edits, at most one per chunk, each one write.
struct SetCommand {
    std::optional<int> preset;
    std::vector<std::pair<int, int>> entries; // (image entry, new value)
};

struct SetRefusal {
    std::string error;
};

// Reads a `set` payload (any bytes). Gains are rounded to the device's 0.2 dB
// steps after the range check: Main and Low -60..0 dB, High and Mid -60..+5 dB.
struct SetParse {
    std::optional<SetCommand> command; // set exactly when `refusal` is empty
    std::optional<SetRefusal> refusal;
};
SetParse parseSetPayload(std::string_view payload);

// The `error` payload: {"error": text, "request": the request as JSON when it
// was JSON, as a string otherwise}.
std::string errorJson(std::string_view error, std::string_view request);

// One line of the `bridge/devices` list.
struct DeviceListing {
    std::string port;
    int deviceId = 0;
    std::string identification;
};
std::string devicesJson(const std::vector<DeviceListing>& devices);

// Home Assistant discovery: (topic below the prefix, retained payload) for each
// entity of one amplifier: temperature and attenuation sensors, the alarm binary
// sensor, three mute switches, four gain numbers and the preset select.
struct DiscoveryTopics {
    std::string base;   // "talvex"
    std::string prefix; // "homeassistant"
};
std::vector<std::pair<std::string, std::string>> discoveryConfigs(const DiscoveryTopics& topics,
                                                                 const AmplifierState& state);

// A preset name as the state shows it (see stateJson).
std::string presetNameText(const std::array<std::uint8_t, kPresetNameLength>& name);

} // namespace talvex::bridge
