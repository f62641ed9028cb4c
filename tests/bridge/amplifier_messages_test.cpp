// The bridge's payloads: what a `set` command writes (or why it is refused),
// and the state JSON at the temperature and gain ends.

#include "bridge/amplifier_messages.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace talvex::bridge {
namespace {

using Entries = std::vector<std::pair<int, int>>;

TEST(BridgeSetPayload, AcceptedCommandsBecomeImageEntries)
{
    struct Case {
        std::string payload;
        Entries entries;
        std::optional<int> preset;
    };
    const std::vector<Case> cases = {
        {R"({"mute":{"high":true}})", {{144, 1}}, {}},
        {R"({"mute":{"mid":true,"low":false}})", {{448, 0}, {296, 1}}, {}}, // keys in name order
        {R"({"gain_db":{"main":-6.0}})", {{2, 270 % 256}, {3, 1}}, {}},
        {R"({"gain_db":{"main":-60}})", {{2, 0}, {3, 0}}, {}},
        {R"({"gain_db":{"high":5}})", {{146, 325 % 256}, {147, 1}}, {}},
        {R"({"gain_db":{"mid":-0.13}})", {{298, 299 % 256}, {299, 1}}, {}}, // nearest 0.2 dB step: -0.2
        {R"({"gain_db":{"low":-0.09}})", {{450, 300 % 256}, {451, 1}}, {}},
        {R"({"preset":3})", {}, 3},
        {R"({"preset":20,"mute":{"low":true}})", {{448, 1}}, 20},
    };
    for (const Case& c : cases) {
        const SetParse parsed = parseSetPayload(c.payload);
        ASSERT_TRUE(parsed.command) << c.payload << ": " << parsed.refusal->error;
        EXPECT_EQ(parsed.command->entries, c.entries) << c.payload;
        EXPECT_EQ(parsed.command->preset, c.preset) << c.payload;
    }
}

TEST(BridgeSetPayload, AnyFaultRefusesTheWholeMessage)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"({"gain_db":{"main":0.2}})", "out of range"},
        {R"({"gain_db":{"low":0.1}})", "out of range"},
        {R"({"gain_db":{"high":5.1}})", "out of range"},
        {R"({"gain_db":{"mid":-60.1}})", "out of range"},
        {R"({"gain_db":{"main":"-6"}})", "number"},
        {R"({"preset":0})", "out of range"},
        {R"({"preset":21})", "out of range"},
        {R"({"preset":2.5})", "slot number"},
        {R"({"mute":{"high":1}})", "true or false"},
        {R"({"mute":{"sub":true}})", "unknown output"},
        {R"({"mute":true})", "object"},
        {R"({"mute":{"high":true},"colour":1})", "unknown key"},
        {R"({"gain_db":{"main":-6},"preset":99})", "out of range"},
        {R"({"mute":{"high":true})", "malformed"},
        {"\xff\xfe{}", "malformed"},
        {"", "malformed"},
        {"[]", "JSON object"},
        {"{}", "JSON object"},
        {"{\"preset\":1," + std::string(5000, ' ') + "}", "too long"},
    };
    for (const auto& [payload, reason] : cases) {
        const SetParse parsed = parseSetPayload(payload);
        EXPECT_FALSE(parsed.command) << payload;
        ASSERT_TRUE(parsed.refusal) << payload;
        EXPECT_NE(parsed.refusal->error.find(reason), std::string::npos) << payload << ": " << parsed.refusal->error;
    }
}

TEST(BridgeState, TemperatureEndsAlarmAndGains)
{
    AmplifierState state;
    state.port = "rack";
    state.deviceId = 5;
    state.model.writeDefaults();
    auto json = nlohmann::json::parse(stateJson(state));
    EXPECT_TRUE(json["temperature_c"].is_null()); // no meter reply yet
    EXPECT_TRUE(json["alarm"].is_null());

    state.model.systemRecord[7] = 15; // threshold 40
    state.model.setCode16(2, 299);    // Main -0.2 dB
    state.model.setCode16(144 + 152 + 2, 325);
    state.model.image[448] = 1;
    state.model.presetNames[0] = {'L', 'i', 'v', 'e', ' ', ' '};
    state.model.presetNames[1][0] = 255; // not text
    struct Case {
        int step;
        int celsius;
        std::string text;
        bool alarm;
    };
    for (const Case& c : std::vector<Case>{{0, 70, ">=70", true}, {15, 40, "40", true}, {16, 38, "38", false},
                                           {30, 10, "<=10", false}}) {
        state.temperatureStep = c.step;
        json = nlohmann::json::parse(stateJson(state));
        EXPECT_EQ(json["temperature_c"], c.celsius);
        EXPECT_EQ(json["temperature_text"], c.text);
        EXPECT_EQ(json["alarm"], c.alarm) << c.step;
    }
    EXPECT_EQ(json["threshold_c"], 40);
    EXPECT_EQ(json["gain_db"].dump(), R"({"high":-60.0,"low":-60.0,"main":-0.2,"mid":5.0})");
    EXPECT_EQ(json["mute"].dump(), R"({"high":false,"low":true,"mid":false})");
    EXPECT_EQ(json["presets"][0], "Live");
    EXPECT_EQ(json["presets"][1], "");
    EXPECT_EQ(json["presets"].size(), 20u);
}

TEST(BridgeError, RequestIsEchoedAsJsonOrAsText)
{
    EXPECT_EQ(errorJson("unknown key: x", R"({"x":1})"), R"({"error":"unknown key: x","request":{"x":1}})");
    EXPECT_EQ(errorJson("malformed JSON", "{\"x\":"), R"({"error":"malformed JSON","request":"{\"x\":"})");
    EXPECT_EQ(errorJson("malformed JSON", "\xff"), "{\"error\":\"malformed JSON\",\"request\":\"\xEF\xBF\xBD\"}");
}

} // namespace
} // namespace talvex::bridge
