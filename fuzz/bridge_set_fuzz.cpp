// Feeds any bytes an MQTT client may publish on an amplifier's `set` topic to
// the bridge's command reader. Whatever arrives, reading must not crash; a
// refused message must yield nothing to write; an accepted one may only write
// mute flags and gain codes within their ranges or recall slots 1..20; and the
// error and state payloads built from it must be valid JSON.

#include "bridge/amplifier_messages.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace talvex;
using namespace talvex::bridge;

namespace {

// The entries a command may write and the highest value each may take.
int highestValue(int entry)
{
    for (int output = 0; output < 3; ++output)
        if (entry == outputBlockStart(output) + kOutMute)
            return 1;
    for (int channel = 0; channel < 4; ++channel) {
        const int gain = channel == 0 ? kMainGain : outputBlockStart(channel - 1) + kOutGain;
        if (entry == gain)
            return 255;
        if (entry == gain + 1)
            return maxGainCode(channel) / 256;
    }
    return -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view payload(reinterpret_cast<const char*>(data), size);
    const SetParse parsed = parseSetPayload(payload);
    if (parsed.command.has_value() == parsed.refusal.has_value())
        __builtin_trap(); // exactly one of the two
    if (parsed.refusal) {
        if (!nlohmann::json::accept(errorJson(parsed.refusal->error, payload)))
            __builtin_trap();
        return 0;
    }
    const SetCommand& command = *parsed.command;
    if (command.preset && (*command.preset < 1 || *command.preset > kPresetCount))
        __builtin_trap();
    AmplifierState state;
    state.model.writeDefaults();
    for (const auto& [entry, value] : command.entries) {
        if (value < 0 || value > highestValue(entry))
            __builtin_trap();
        state.model.image[std::size_t(entry)] = value;
    }
    for (int channel = 0; channel < 4; ++channel)
        if (gainCode(state.model, channel) > maxGainCode(channel))
            __builtin_trap();
    if (!nlohmann::json::accept(stateJson(state)))
        __builtin_trap();
    return 0;
}
