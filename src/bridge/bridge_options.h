#pragma once
// The bridge's options: from the command line and from an INI file named by
// --config (the command line wins; its --port options replace the file's). The
// password is read from --password-file only; no option takes it directly, so it
// never shows in the process list.
//
// Config file (QSettings INI):
//   mqtt=mqtt://broker.local:1883
//   username=venue
//   password_file=/etc/talvex/bridge.password
//   cafile=/etc/ssl/certs/venue-ca.pem
//   base=talvex
//   homeassistant=homeassistant
//   [ports]
//   rack=/dev/ttyUSB0
//   stage=tcp://192.168.1.50:4001@1,2,5

#include "bridge/mqtt_client.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>

namespace talvex::bridge {

struct PortOption {
    QString name;     // [A-Za-z0-9_-]+
    QString location; // a serial device or tcp://HOST:PORT
    std::vector<int> deviceIds; // empty: search 1..250
};

struct BridgeOptions {
    std::vector<PortOption> ports;
    MqttSettings mqtt;
    QString base = QStringLiteral("talvex");
    std::optional<QString> homeAssistantPrefix; // set: publish discovery under it
};

// "rack=/dev/ttyUSB0@1,2,5" into its parts, or why not.
std::variant<PortOption, QString> parsePortOption(const QString& text);
// "mqtt://HOST[:PORT]" or "mqtts://HOST[:PORT]" into `settings`, or why not.
std::optional<QString> parseBrokerUrl(const QString& url, MqttSettings& settings);

// arguments[0] is the program. Returns the options, or the message for a
// command line or config file that cannot be used. --help and --version print
// and exit inside.
std::variant<BridgeOptions, QString> parseBridgeOptions(const QStringList& arguments);

} // namespace talvex::bridge
