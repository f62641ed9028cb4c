#include "bridge/amplifier_messages.h"

#include "link/reply_handlers.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

namespace talvex::bridge {

using nlohmann::json;

namespace {

// A command larger than this is no command: refused without being read.
constexpr std::size_t kMaxSetPayload = 4096;

int gainEntry(int channel)
{
    return channel == 0 ? kMainGain : outputBlockStart(channel - 1) + kOutGain;
}

std::string dump(const json& value)
{
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

int degrees(int step) { return 70 - 2 * step; }

// Position of `key` in `keys`, or -1.
template <std::size_t N>
int keyIndex(const std::array<const char*, N>& keys, const std::string& key)
{
    for (std::size_t i = 0; i < N; ++i)
        if (key == keys[i])
            return int(i);
    return -1;
}

// Reads one object of named booleans or numbers into `command`; the first fault refuses.
std::optional<std::string> readMute(const json& value, SetCommand& command)
{
    if (!value.is_object() || value.empty())
        return "mute takes an object of outputs: high, mid, low";
    for (const auto& [key, on] : value.items()) {
        const int output = keyIndex(kOutputKeys, key);
        if (output < 0)
            return "unknown output in mute: " + key;
        if (!on.is_boolean())
            return "mute." + key + " takes true or false";
        command.entries.emplace_back(outputBlockStart(output) + kOutMute, on.get<bool>() ? 1 : 0);
    }
    return std::nullopt;
}

std::optional<std::string> readGain(const json& value, SetCommand& command)
{
    if (!value.is_object() || value.empty())
        return "gain_db takes an object of channels: main, high, mid, low";
    for (const auto& [key, db] : value.items()) {
        const int channel = keyIndex(kGainKeys, key);
        if (channel < 0)
            return "unknown channel in gain_db: " + key;
        if (!db.is_number())
            return "gain_db." + key + " takes a number of dB";
        const double wanted = db.get<double>();
        const double highest = (maxGainCode(channel) - 300) / 5.0;
        if (!(wanted >= -60.0 && wanted <= highest))
            return "gain_db." + key + " out of range (-60 to " + (highest > 0 ? "+5" : "0") + " dB)";
        const int code = std::clamp(300 + int(std::lround(wanted * 5.0)), 0, maxGainCode(channel));
        const int entry = gainEntry(channel);
        command.entries.emplace_back(entry, code % 256);
        command.entries.emplace_back(entry + 1, code / 256);
    }
    return std::nullopt;
}

std::optional<std::string> readPreset(const json& value, SetCommand& command)
{
    if (!value.is_number_integer())
        return "preset takes a slot number 1 to 20";
    const auto slot = value.get<long long>();
    if (slot < 1 || slot > kPresetCount)
        return "preset out of range (1 to 20)";
    command.preset = int(slot);
    return std::nullopt;
}

} // namespace

int gainCode(const ParameterModel& model, int channel) { return model.code16(gainEntry(channel)); }

int maxGainCode(int channel) { return channel == 1 || channel == 2 ? 325 : 300; }

std::string presetNameText(const std::array<std::uint8_t, kPresetNameLength>& name)
{
    std::string text = replies::presetDisplayName(name);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string stateJson(const AmplifierState& state)
{
    const ParameterModel& model = state.model;
    json out = {{"device_id", state.deviceId}, {"port", state.port}};
    const int thresholdStep = std::clamp(model.systemRecord[7], 0, 30);
    out["threshold_c"] = degrees(thresholdStep);
    if (state.temperatureStep) {
        out["temperature_c"] = degrees(*state.temperatureStep);
        out["temperature_text"] = replies::temperatureText(*state.temperatureStep);
        out["alarm"] = degrees(*state.temperatureStep) >= degrees(thresholdStep);
        out["attenuation_db"] = state.attenuationDb;
    } else {
        out["temperature_c"] = nullptr;
        out["temperature_text"] = nullptr;
        out["alarm"] = nullptr;
        out["attenuation_db"] = nullptr;
    }
    json mute = json::object();
    for (int output = 0; output < 3; ++output)
        mute[kOutputKeys[std::size_t(output)]] = model.image[std::size_t(outputBlockStart(output) + kOutMute)] != 0;
    out["mute"] = mute;
    json gain = json::object();
    for (int channel = 0; channel < 4; ++channel)
        gain[kGainKeys[std::size_t(channel)]] = (gainCode(model, channel) - 300) / 5.0;
    out["gain_db"] = gain;
    const int preset = model.systemRecord[0];
    out["preset"] = preset >= 1 && preset <= kPresetCount ? preset : 0;
    json names = json::array();
    for (const auto& name : model.presetNames)
        names.push_back(presetNameText(name));
    out["presets"] = names;
    return dump(out);
}

SetParse parseSetPayload(std::string_view payload)
{
    const auto refuse = [](std::string text) { return SetParse{std::nullopt, SetRefusal{std::move(text)}}; };
    if (payload.size() > kMaxSetPayload)
        return refuse("command too long");
    const json request = json::parse(payload, nullptr, false);
    if (request.is_discarded())
        return refuse("malformed JSON");
    if (!request.is_object() || request.empty())
        return refuse("a command is a JSON object with mute, gain_db or preset");
    SetCommand command;
    for (const auto& [key, value] : request.items()) {
        std::optional<std::string> fault;
        if (key == "mute")
            fault = readMute(value, command);
        else if (key == "gain_db")
            fault = readGain(value, command);
        else if (key == "preset")
            fault = readPreset(value, command);
        else
            fault = "unknown key: " + key;
        if (fault)
            return refuse(std::move(*fault));
    }
    return SetParse{std::move(command), std::nullopt};
}

std::string errorJson(std::string_view error, std::string_view request)
{
    json out = {{"error", error}};
    json parsed = request.size() <= kMaxSetPayload ? json::parse(request, nullptr, false) : json(json::value_t::discarded);
    if (parsed.is_discarded())
        out["request"] = std::string(request.substr(0, kMaxSetPayload));
    else
        out["request"] = std::move(parsed);
    return dump(out);
}

std::string devicesJson(const std::vector<DeviceListing>& devices)
{
    json list = json::array();
    for (const DeviceListing& device : devices)
        list.push_back({{"port", device.port},
                        {"device_id", device.deviceId},
                        {"friendly_name", device.port + "/" + std::to_string(device.deviceId)},
                        {"identification", device.identification}});
    return dump(list);
}

std::vector<std::pair<std::string, std::string>> discoveryConfigs(const DiscoveryTopics& topics,
                                                                 const AmplifierState& state)
{
    const std::string name = state.port + "/" + std::to_string(state.deviceId);
    const std::string topic = topics.base + "/" + name;
    std::string uid = "talvex_" + state.port + "_" + std::to_string(state.deviceId);
    for (char& c : uid)
        if (c == '-')
            c = '_';
    const json device = {{"identifiers", json::array({uid})},
                         {"name", "Talvex-96K " + name},
                         {"model", "Talvex-96K"},
                         {"sw_version", state.identification}};
    const json availability = json::array({{{"topic", topics.base + "/bridge/state"}},
                                           {{"topic", topic + "/availability"}}});
    std::vector<std::pair<std::string, std::string>> configs;
    const auto add = [&](const std::string& component, const std::string& object, json config) {
        config["unique_id"] = uid + "_" + object;
        config["object_id"] = uid + "_" + object;
        config["device"] = device;
        config["availability"] = availability;
        config["availability_mode"] = "all";
        config["state_topic"] = topic;
        configs.emplace_back(topics.prefix + "/" + component + "/" + uid + "/" + object + "/config", dump(config));
    };
    add("sensor", "temperature",
        {{"name", "Temperature"},
         {"device_class", "temperature"},
         {"state_class", "measurement"},
         {"unit_of_measurement", "°C"},
         {"value_template", "{{ value_json.temperature_c }}"}});
    add("sensor", "attenuation",
        {{"name", "Limiter attenuation"},
         {"unit_of_measurement", "dB"},
         {"state_class", "measurement"},
         {"value_template", "{{ value_json.attenuation_db }}"}});
    add("binary_sensor", "alarm",
        {{"name", "Temperature alarm"},
         {"device_class", "heat"},
         {"value_template", "{{ 'ON' if value_json.alarm else 'OFF' }}"}});
    for (std::size_t output = 0; output < kOutputKeys.size(); ++output) {
        const std::string key = kOutputKeys[output];
        add("switch", "mute_" + key,
            {{"name", "Mute " + key},
             {"icon", "mdi:volume-off"},
             {"command_topic", topic + "/set"},
             {"payload_on", dump({{"mute", {{key, true}}}})},
             {"payload_off", dump({{"mute", {{key, false}}}})},
             {"state_on", "ON"},
             {"state_off", "OFF"},
             {"value_template", "{{ 'ON' if value_json.mute." + key + " else 'OFF' }}"}});
    }
    for (std::size_t channel = 0; channel < kGainKeys.size(); ++channel) {
        const std::string key = kGainKeys[channel];
        add("number", "gain_" + key,
            {{"name", "Gain " + key},
             {"command_topic", topic + "/set"},
             {"command_template", "{\"gain_db\":{\"" + key + "\":{{ value }}}}"},
             {"value_template", "{{ value_json.gain_db." + key + " }}"},
             {"min", -60},
             {"max", (maxGainCode(int(channel)) - 300) / 5},
             {"step", 0.2},
             {"mode", "box"},
             {"unit_of_measurement", "dB"}});
    }
    json options = json::array();
    for (std::size_t n = 0; n < state.model.presetNames.size(); ++n)
        options.push_back(std::to_string(n + 1) + ": " + presetNameText(state.model.presetNames[n]));
    add("select", "preset",
        {{"name", "Preset"},
         {"command_topic", topic + "/set"},
         {"command_template", "{\"preset\":{{ value.split(':')[0] | int }}}"},
         {"value_template",
          "{% if value_json.preset > 0 %}{{ value_json.preset }}: {{ value_json.presets[value_json.preset - 1] }}"
          "{% else %}None{% endif %}"},
         {"options", options}});
    return configs;
}

} // namespace talvex::bridge
