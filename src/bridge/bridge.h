#pragma once
// The bridge: the amplifiers of every port on one MQTT broker, laid out as
// zigbee2mqtt lays out its devices (base topic `talvex`, an amplifier is
// `<port>/<device-id>`):
//   talvex/bridge/state            retained  online; offline as last will and on stop
//   talvex/bridge/devices          retained  JSON list of the amplifiers found
//   talvex/bridge/request/search   in        search every port again
//   talvex/<port>/<id>             retained  JSON state, when something changed
//   talvex/<port>/<id>/availability retained online / offline
//   talvex/<port>/<id>/set         in        JSON commands
//   talvex/<port>/<id>/get         in        read the amplifier now and publish
//   talvex/<port>/<id>/error       out       a command refused, and why
// With a Home Assistant prefix it publishes discovery configs for each
// amplifier, again whenever `<prefix>/status` says online.

#include "bridge/amplifier_port.h"
#include "bridge/bridge_options.h"
#include "bridge/mqtt_client.h"

#include <QObject>
#include <QTimer>

#include <map>
#include <memory>
#include <vector>

namespace talvex::bridge {

class Bridge : public QObject {
    Q_OBJECT
public:
    // A broker that does not confirm the offline message in this time is left.
    static constexpr int kStopTimeoutMs = 2000;

    explicit Bridge(const BridgeOptions& options, QObject* parent = nullptr);
    ~Bridge() override;

    void start();
    // Publishes offline, closes the ports, disconnects; `stopped` follows.
    void stop();

    MqttClient& mqtt() { return mqtt_; }
    AmplifierPort* port(const QString& name);

signals:
    void stopped();
    void logLine(const QString& text);

private:
    std::string topic(const QString& portName, int deviceId, const char* leaf = nullptr) const;
    void onConnected();
    void onMessage(const QString& topic, const QByteArray& payload);
    void publishDevices();
    void publishState(AmplifierPort& port, int deviceId);
    void publishAvailability(AmplifierPort& port, int deviceId, bool online);
    void publishDiscovery(const AmplifierState& state);
    void refuse(const QString& portName, int deviceId, const QString& error, const QByteArray& request);

    BridgeOptions options_;
    std::string base_;
    MqttClient mqtt_;
    std::vector<std::unique_ptr<AmplifierPort>> ports_;
    std::map<std::string, std::string> lastState_; // per state topic, to publish changes only
    QTimer stopTimeout_;
    bool stopping_ = false;
};

} // namespace talvex::bridge
