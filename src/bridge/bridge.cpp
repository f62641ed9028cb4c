#include "bridge/bridge.h"

namespace talvex::bridge {

Bridge::Bridge(const BridgeOptions& options, QObject* parent)
    : QObject(parent), options_(options), base_(options.base.toStdString()), mqtt_(options.mqtt)
{
    connect(&mqtt_, &MqttClient::logLine, this, &Bridge::logLine);
    connect(&mqtt_, &MqttClient::connected, this, &Bridge::onConnected);
    connect(&mqtt_, &MqttClient::messageReceived, this, &Bridge::onMessage);
    connect(&mqtt_, &MqttClient::done, this, [this] {
        stopTimeout_.stop();
        emit stopped();
    });
    stopTimeout_.setSingleShot(true);
    connect(&stopTimeout_, &QTimer::timeout, this, [this] {
        emit logLine(QStringLiteral("MQTT: the broker did not confirm the offline state; leaving"));
        emit stopped();
    });

    for (const PortOption& option : options_.ports) {
        auto port = std::make_unique<AmplifierPort>(option.name, option.location, option.deviceIds);
        AmplifierPort* p = port.get();
        connect(p, &AmplifierPort::logLine, this, &Bridge::logLine);
        connect(p, &AmplifierPort::deviceRead, this, [this, p](int id) {
            publishDevices();
            if (options_.homeAssistantPrefix)
                publishDiscovery(*p->device(id));
        });
        connect(p, &AmplifierPort::stateChanged, this, [this, p](int id) { publishState(*p, id); });
        connect(p, &AmplifierPort::availabilityChanged, this,
                [this, p](int id, bool online) { publishAvailability(*p, id, online); });
        connect(p, &AmplifierPort::commandRefused, this, [this, p](int id, const QString& error, const QByteArray& request) {
            refuse(p->name(), id, error, request);
        });
        ports_.push_back(std::move(port));
    }
    const std::string requests = base_ + "/+/+/";
    mqtt_.subscribe(requests + "set");
    mqtt_.subscribe(requests + "get");
    mqtt_.subscribe(base_ + "/bridge/request/#");
    if (options_.homeAssistantPrefix)
        mqtt_.subscribe(options_.homeAssistantPrefix->toStdString() + "/status");
}

Bridge::~Bridge() = default;

void Bridge::start()
{
    mqtt_.publish(base_ + "/bridge/state", "online", true);
    publishDevices();
    mqtt_.start();
    for (auto& port : ports_)
        port->start();
}

void Bridge::stop()
{
    if (stopping_)
        return;
    stopping_ = true;
    // Every amplifier goes offline with the bridge: its retained availability says so.
    for (auto& port : ports_) {
        for (const AmplifierState* state : port->devices())
            if (port->isOnline(state->deviceId))
                publishAvailability(*port, state->deviceId, false);
        port->close();
    }
    stopTimeout_.start(kStopTimeoutMs);
    mqtt_.stop(base_ + "/bridge/state", "offline");
}

AmplifierPort* Bridge::port(const QString& name)
{
    for (auto& port : ports_)
        if (port->name() == name)
            return port.get();
    return nullptr;
}

std::string Bridge::topic(const QString& portName, int deviceId, const char* leaf) const
{
    std::string t = base_ + "/" + portName.toStdString() + "/" + std::to_string(deviceId);
    if (leaf)
        t += std::string("/") + leaf;
    return t;
}

void Bridge::onConnected()
{
    emit logLine(QStringLiteral("MQTT: publishing under %1/").arg(options_.base));
}

void Bridge::onMessage(const QString& topicText, const QByteArray& payload)
{
    if (stopping_)
        return;
    if (options_.homeAssistantPrefix && topicText == *options_.homeAssistantPrefix + QStringLiteral("/status")) {
        if (payload.trimmed() == "online")
            for (auto& port : ports_)
                for (const AmplifierState* state : port->devices()) {
                    publishDiscovery(*state);
                    publishState(*port, state->deviceId);
                }
        return;
    }
    const QString prefix = options_.base + QLatin1Char('/');
    if (!topicText.startsWith(prefix))
        return;
    const QStringList parts = topicText.mid(prefix.size()).split(QLatin1Char('/'));
    if (parts.size() == 3 && parts[0] == QLatin1String("bridge") && parts[1] == QLatin1String("request")) {
        if (parts[2] == QLatin1String("search")) {
            emit logLine(QStringLiteral("searching every port again"));
            for (auto& port : ports_)
                port->search();
        }
        return;
    }
    if (parts.size() != 3)
        return;
    bool ok = false;
    const int id = parts[1].toInt(&ok);
    AmplifierPort* target = port(parts[0]);
    if (!ok || id < AmplifierPort::kFirstId || id > AmplifierPort::kLastId)
        return; // not an amplifier's topic
    const bool set = parts[2] == QLatin1String("set");
    if (!set && parts[2] != QLatin1String("get"))
        return;
    if (!target)
        refuse(parts[0], id, QStringLiteral("no such port"), payload);
    else if (set)
        target->command(id, payload.toStdString());
    else if (target->device(id))
        target->refresh(id);
    else
        refuse(parts[0], id, QStringLiteral("no amplifier with this Device ID was found on this port"), payload);
}

void Bridge::refuse(const QString& portName, int deviceId, const QString& error,
                    const QByteArray& request)
{
    emit logLine(QStringLiteral("%1/%2: refused: %3").arg(portName).arg(deviceId).arg(error));
    mqtt_.publish(topic(portName, deviceId, "error"),
                  errorJson(error.toStdString(), std::string_view(request.constData(), std::size_t(request.size()))),
                  false, 0);
}

void Bridge::publishDevices()
{
    std::vector<DeviceListing> listing;
    for (auto& port : ports_)
        for (const AmplifierState* state : port->devices())
            listing.push_back({state->port, state->deviceId, state->identification});
    mqtt_.publish(base_ + "/bridge/devices", devicesJson(listing), true);
}

void Bridge::publishState(AmplifierPort& port, int deviceId)
{
    const AmplifierState* state = port.device(deviceId);
    if (!state)
        return;
    const std::string t = topic(port.name(), deviceId);
    std::string json = stateJson(*state);
    auto& last = lastState_[t];
    if (last == json && mqtt_.isConnected())
        return;
    last = json;
    mqtt_.publish(t, json, true);
}

void Bridge::publishAvailability(AmplifierPort& port, int deviceId, bool online)
{
    mqtt_.publish(topic(port.name(), deviceId, "availability"), online ? "online" : "offline", true);
}

void Bridge::publishDiscovery(const AmplifierState& state)
{
    const DiscoveryTopics topics{base_, options_.homeAssistantPrefix->toStdString()};
    for (const auto& [t, payload] : discoveryConfigs(topics, state))
        mqtt_.publish(t, payload, true);
}

} // namespace talvex::bridge
