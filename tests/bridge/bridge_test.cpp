// talvex-bridge against a real broker (Debian's mosquitto, started by the
// fixture) and virtual amplifiers: three on a half-duplex pseudo-terminal bus,
// one behind a network gateway. What a subscriber sees, what reaches the amplifiers, and the
// faults: a gateway dropped and back, the broker restarted, wrong credentials,
// a clean stop by SIGTERM.

#include "support/mqtt_broker.h"

#include "bridge/bridge.h"
#include "pty_server.h"
#include "tcp_server.h"
#include "virtual_amplifier.h"

#include <QProcess>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <csignal>

namespace talvex::bridge {
namespace {

using testing::MqttBroker;
using testing::MqttListener;
using testing::waitUntil;
using nlohmann::json;

bool hasKey(const std::string& payload, const char* key) { return json::parse(payload, nullptr, false).contains(key); }

class BridgeRig : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int id : {1, 2, 5})
            rackBus.add(id);
        rackBus.devices()[2].systemRecord()[7] = 20; // device 5: threshold 30, under its temperature: alarm
        rackBus.devices()[1].storedGroup(3)[144 + 152 * 2] = 1; // device 2, preset 3: Mid muted
        gatewayBus.add(3);
        rackBus.onFrame = [this](std::span<const std::uint8_t> f) { rackFrames.emplace_back(f.begin(), f.end()); };
        rack.setHalfDuplex(true); // a two-wire bus: a request sent into a reply garbles both
        ASSERT_TRUE(rack.start());
        ASSERT_TRUE(gateway.start());

        BridgeOptions options;
        options.ports = {{"rack", rack.slavePath() , {1, 2, 5, 7}}, {"gw", gateway.location(), {}}};
        parseBrokerUrl(QString::fromStdString(broker.url()), options.mqtt);
        options.mqtt.username = MqttBroker::kUser;
        options.mqtt.password = MqttBroker::kPassword;
        options.mqtt.clientId = "bridge-under-test";
        options.mqtt.willTopic = "talvex/bridge/state";
        options.mqtt.willPayload = "offline";
        options.homeAssistantPrefix = QStringLiteral("homeassistant");
        bridge = std::make_unique<Bridge>(options);
        QObject::connect(bridge.get(), &Bridge::logLine, [](const QString& line) { std::fprintf(stderr, "%s\n", qPrintable(line)); });
        bridge->start();
        ASSERT_TRUE(listener.waitFor("talvex/bridge/state", "online"));
        for (const char* device : {"rack/1", "rack/2", "rack/5", "gw/3"})
            ASSERT_TRUE(listener.waitFor(std::string("talvex/") + device + "/availability", "online", 20000)) << device;
    }

    // Write frames (operation A1) the rack's amplifiers received since `from`.
    std::size_t rackWrites(std::size_t from = 0) const
    {
        return std::size_t(std::count_if(rackFrames.begin() + std::ptrdiff_t(from), rackFrames.end(),
                                         [](const auto& f) { return f.size() > 4 && f[4] == frame::kOpWrite; }));
    }

    MqttBroker broker;
    vamp::VirtualBus rackBus, gatewayBus;
    vamp::PtyServer rack{rackBus};
    vamp::TcpServer gateway{gatewayBus};
    std::vector<std::vector<std::uint8_t>> rackFrames;
    MqttListener listener{broker, {"talvex/#", "homeassistant/#"}};
    std::unique_ptr<Bridge> bridge;
};

TEST_F(BridgeRig, PublishesEveryAmplifierFoundWithStateAndDiscovery)
{
    ASSERT_TRUE(listener.waitFor("talvex/bridge/devices", [](const std::string& p) { return json::parse(p).size() == 4; }));
    EXPECT_FALSE(listener.last("talvex/rack/7/availability")); // listed, never answered
    ASSERT_TRUE(listener.waitFor("talvex/rack/5", [](const std::string& p) { return !json::parse(p)["temperature_c"].is_null(); }));
    const json state = json::parse(*listener.last("talvex/rack/5"));
    EXPECT_EQ(state["threshold_c"], 30);
    EXPECT_EQ(state["alarm"], state["temperature_c"].get<int>() >= 30);
    EXPECT_EQ(state["alarm"], true);
    EXPECT_EQ(state["port"], "rack");

    const std::string config = "homeassistant/switch/talvex_gw_3/mute_high/config";
    ASSERT_TRUE(listener.waitFor(config, [](const std::string& p) {
        return json::parse(p)["command_topic"] == "talvex/gw/3/set";
    }));
    listener.clear();
    listener.publish("homeassistant/status", "online");
    EXPECT_TRUE(listener.waitFor("homeassistant/select/talvex_rack_1/preset/config",
                                 [](const std::string& p) { return json::parse(p)["options"].size() == 20; }));
}

TEST_F(BridgeRig, CommandsReachTheWireAndRefusalsWriteNothing)
{
    vamp::VirtualAmplifier& two = rackBus.devices()[1];
    listener.publish("talvex/rack/2/set", R"({"mute":{"high":true},"gain_db":{"main":-6.1}})");
    ASSERT_TRUE(listener.waitFor("talvex/rack/2", [](const std::string& p) {
        const json s = json::parse(p);
        return s["mute"]["high"] == true && s["gain_db"]["main"] == -6.2;
    }));
    EXPECT_EQ(two.image()[144], 1);                    // High muted on the device
    EXPECT_EQ(two.image()[2] + 256 * two.image()[3], 269); // -6.2 dB
    EXPECT_EQ(rackBus.devices()[0].image()[144], 0);   // device 1 untouched

    listener.publish("talvex/rack/2/set", R"({"preset":3})");
    ASSERT_TRUE(listener.waitFor("talvex/rack/2", [](const std::string& p) {
        const json s = json::parse(p);
        return s["preset"] == 3 && s["mute"]["mid"] == true;
    }));
    EXPECT_EQ(two.systemRecord()[0], 3);

    const std::size_t before = rackFrames.size();
    for (const char* refused : {R"({"gain_db":{"main":0.4}})", R"({"mute":{"high":true},"volume":1})", "{nope"})
        listener.publish("talvex/rack/2/set", refused);
    listener.publish("talvex/rack/7/set", R"({"mute":{"high":true}})"); // listed, never found
    ASSERT_TRUE(listener.waitFor("talvex/rack/7/error", [](const std::string& p) { return hasKey(p, "error"); }));
    ASSERT_TRUE(listener.waitFor("talvex/rack/2/error", [](const std::string& p) {
        return json::parse(p)["error"] == "malformed JSON";
    }));
    waitUntil([] { return false; }, 300); // polls go on; no write may follow
    EXPECT_EQ(rackWrites(before), 0u);
    std::size_t errors = 0;
    for (const auto& m : listener.messages())
        errors += m.topic == "talvex/rack/2/error";
    EXPECT_EQ(errors, 3u);
    EXPECT_EQ(rack.collisions(), 0u); // the writes never talked into a reply
}

TEST_F(BridgeRig, GatewayDroppedAndBackAndBrokerRestarted)
{
    const auto port = quint16(gateway.location().section(QLatin1Char(':'), -1).toUInt());
    gateway.stop();
    ASSERT_TRUE(listener.waitFor("talvex/gw/3/availability", "offline"));
    EXPECT_EQ(listener.last("talvex/rack/1/availability"), "online");
    ASSERT_TRUE(gateway.start(port));
    ASSERT_TRUE(listener.waitFor("talvex/gw/3/availability", "online", 15000));

    broker.stop();
    waitUntil([] { return false; }, 500);
    ASSERT_TRUE(broker.start());
    // A fresh subscriber sees what the bridge published again: the broker kept nothing.
    MqttListener fresh(broker, {"talvex/#"});
    EXPECT_TRUE(fresh.waitFor("talvex/bridge/state", "online", 15000));
    EXPECT_TRUE(fresh.waitFor("talvex/rack/5", [](const std::string& p) { return hasKey(p, "temperature_c"); }));
    EXPECT_TRUE(fresh.waitFor("talvex/gw/3/availability", "online"));
}

TEST(BridgeProgram, WrongPasswordKeepsRetryingAndSigtermStopsCleanly)
{
    MqttBroker broker;
    vamp::VirtualBus bus;
    bus.add(4);
    vamp::TcpServer gateway(bus);
    ASSERT_TRUE(gateway.start());
    QTemporaryDir dir;
    QFile wrong(dir.filePath(QStringLiteral("wrong")));
    wrong.open(QIODevice::WriteOnly);
    wrong.write("not-the-password\n");
    wrong.close();
    const QStringList common = {QStringLiteral("--mqtt"), QString::fromStdString(broker.url()),
                                QStringLiteral("--username"), QString::fromLatin1(MqttBroker::kUser),
                                QStringLiteral("--port"), QStringLiteral("gw=") + gateway.location() + QStringLiteral("@4")};

    QProcess refused;
    refused.start(QStringLiteral(TALVEX_BRIDGE_PATH), common + QStringList{QStringLiteral("--password-file"), wrong.fileName()});
    QByteArray log;
    EXPECT_TRUE(waitUntil([&] {
        log += refused.readAllStandardError();
        return log.count("refused the user name or password") >= 2; // a clear message, and again after the retry
    }, 15000)) << log.constData();
    EXPECT_EQ(refused.state(), QProcess::Running);
    EXPECT_FALSE(log.contains("not-the-password"));
    refused.kill();
    refused.waitForFinished();

    MqttListener listener(broker, {"talvex/#"});
    QProcess bridge;
    bridge.start(QStringLiteral(TALVEX_BRIDGE_PATH), common + QStringList{QStringLiteral("--password-file"), broker.passwordFile()});
    ASSERT_TRUE(listener.waitFor("talvex/gw/4/availability", "online", 15000));
    ::kill(pid_t(bridge.processId()), SIGTERM);
    ASSERT_TRUE(waitUntil([&] { return bridge.state() == QProcess::NotRunning; }, 5000));
    EXPECT_EQ(bridge.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(bridge.exitCode(), 0);
    EXPECT_TRUE(listener.waitFor("talvex/bridge/state", "offline"));
    EXPECT_TRUE(listener.waitFor("talvex/gw/4/availability", "offline"));
}

} // namespace
} // namespace talvex::bridge
