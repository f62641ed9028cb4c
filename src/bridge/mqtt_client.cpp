#include "bridge/mqtt_client.h"

#include <mosquitto.h>

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace talvex::bridge {

namespace {

// Calls mosquitto_lib_init once per process, before the first client.
void initLibrary()
{
    static const bool initialised = [] {
        mosquitto_lib_init();
        return true;
    }();
    (void)initialised;
}

QString refusalText(int code)
{
    switch (code) {
    case 4: // bad user name or password
    case 5: // not authorised: what mosquitto answers to a wrong password too
        return QStringLiteral("the broker refused the user name or password, or does not authorise it "
                              "(check --username, --password-file and the broker's access list)");
    default:
        return QString::fromUtf8(mosquitto_connack_string(code));
    }
}

} // namespace

MqttClient::MqttClient(MqttSettings settings, QObject* parent) : QObject(parent), settings_(std::move(settings))
{
    initLibrary();
    mosq_ = mosquitto_new(settings_.clientId.empty() ? nullptr : settings_.clientId.c_str(), true, this);
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(mosq_, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(mosq_, &MqttClient::onDisconnect);
    mosquitto_message_callback_set(mosq_, &MqttClient::onMessage);
    mosquitto_publish_callback_set(mosq_, &MqttClient::onPublish);
    if (!settings_.username.empty())
        mosquitto_username_pw_set(mosq_, settings_.username.c_str(),
                                  settings_.password.empty() ? nullptr : settings_.password.c_str());
    if (!settings_.willTopic.empty())
        mosquitto_will_set(mosq_, settings_.willTopic.c_str(), int(settings_.willPayload.size()),
                           settings_.willPayload.data(), 1, true);
    if (settings_.tls)
        mosquitto_tls_set(mosq_, settings_.cafile.empty() ? nullptr : settings_.cafile.c_str(), nullptr, nullptr,
                          nullptr, nullptr);
    settings_.password.assign(settings_.password.size(), '\0'); // the library holds its own copy

    misc_.setInterval(1000);
    connect(&misc_, &QTimer::timeout, this, &MqttClient::housekeeping);
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &MqttClient::connectNow);
}

MqttClient::~MqttClient()
{
    dropSocket();
    mosquitto_destroy(mosq_);
}

void MqttClient::start()
{
    connectNow();
}

void MqttClient::connectNow()
{
    if (stopping_)
        return;
    dropSocket();
    const int rc = attempted_ ? mosquitto_reconnect_async(mosq_)
                              : mosquitto_connect_async(mosq_, settings_.host.c_str(), settings_.port,
                                                        settings_.keepAliveSeconds);
    attempted_ = true;
    if (rc != MOSQ_ERR_SUCCESS) {
        emit logLine(QStringLiteral("MQTT: cannot reach %1:%2: %3")
                         .arg(QString::fromStdString(settings_.host))
                         .arg(settings_.port)
                         .arg(QString::fromUtf8(rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc))));
        scheduleRetry();
        return;
    }
    watchSocket();
}

void MqttClient::watchSocket()
{
    const int fd = mosquitto_socket(mosq_);
    if (fd < 0)
        return;
    readNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(readNotifier_.get(), &QSocketNotifier::activated, this, &MqttClient::readReady);
    writeNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    connect(writeNotifier_.get(), &QSocketNotifier::activated, this, &MqttClient::writeReady);
    updateWriteInterest();
    misc_.start();
}

void MqttClient::dropSocket()
{
    readNotifier_.reset();
    writeNotifier_.reset();
    misc_.stop();
}

void MqttClient::updateWriteInterest()
{
    if (writeNotifier_)
        writeNotifier_->setEnabled(mosquitto_want_write(mosq_));
}

void MqttClient::handleResult(int rc)
{
    if (rc == MOSQ_ERR_SUCCESS) {
        updateWriteInterest();
        return;
    }
    lost(rc);
}

void MqttClient::readReady() { handleResult(mosquitto_loop_read(mosq_, 1)); }

void MqttClient::writeReady() { handleResult(mosquitto_loop_write(mosq_, 1)); }

void MqttClient::housekeeping() { handleResult(mosquitto_loop_misc(mosq_)); }

void MqttClient::lost(int rc)
{
    dropSocket();
    const bool wasConnected = connected_;
    connected_ = false;
    if (stopping_) {
        if (!finished_) {
            finished_ = true;
            emit done();
        }
        return;
    }
    const QString why = QString::fromUtf8(rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc));
    if (wasConnected) {
        emit logLine(QStringLiteral("MQTT: connection lost (%1)").arg(why));
        emit disconnected();
    } else if (rc != MOSQ_ERR_CONN_REFUSED) { // a refusal has said why already
        emit logLine(QStringLiteral("MQTT: no connection to %1:%2 (%3)")
                         .arg(QString::fromStdString(settings_.host))
                         .arg(settings_.port)
                         .arg(why));
    }
    scheduleRetry();
}

void MqttClient::scheduleRetry()
{
    if (retry_.isActive() || stopping_)
        return;
    emit logLine(QStringLiteral("MQTT: next attempt in %1 s").arg(backoffMs_ / 1000));
    retry_.start(backoffMs_);
    backoffMs_ = std::min(backoffMs_ * 2, kLongestBackoffMs);
}

void MqttClient::onConnect(mosquitto*, void* self, int rc)
{
    auto* client = static_cast<MqttClient*>(self);
    if (rc != 0) {
        emit client->logLine(QStringLiteral("MQTT: %1; retrying").arg(refusalText(rc)));
        client->dropSocket(); // before the library closes the socket under the notifiers
        mosquitto_disconnect(client->mosq_);
        client->lost(MOSQ_ERR_CONN_REFUSED);
        return;
    }
    client->connected_ = true;
    client->backoffMs_ = kFirstBackoffMs;
    emit client->logLine(QStringLiteral("MQTT: connected to %1:%2")
                             .arg(QString::fromStdString(client->settings_.host))
                             .arg(client->settings_.port));
    for (const std::string& pattern : client->subscriptions_)
        mosquitto_subscribe(client->mosq_, nullptr, pattern.c_str(), 1);
    for (const auto& [topic, payload] : client->retained_)
        mosquitto_publish(client->mosq_, nullptr, topic.c_str(), int(payload.size()), payload.data(), 1, true);
    emit client->connected();
    client->updateWriteInterest();
}

void MqttClient::onDisconnect(mosquitto*, void* self, int rc)
{
    auto* client = static_cast<MqttClient*>(self);
    // Called from inside the library's loop calls; the socket goes once they return.
    QMetaObject::invokeMethod(client, [client, rc] {
        if (client->connected_ || client->stopping_)
            client->lost(rc == 0 ? MOSQ_ERR_SUCCESS : MOSQ_ERR_CONN_LOST);
    }, Qt::QueuedConnection);
}

void MqttClient::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* client = static_cast<MqttClient*>(self);
    emit client->messageReceived(QString::fromUtf8(message->topic),
                                 QByteArray(static_cast<const char*>(message->payload), message->payloadlen));
}

void MqttClient::onPublish(mosquitto*, void* self, int mid)
{
    auto* client = static_cast<MqttClient*>(self);
    if (client->stopping_ && mid == client->stopMid_) {
        // The offline state is with the broker: leave without the last will.
        client->dropSocket();
        mosquitto_disconnect(client->mosq_);
        client->lost(MOSQ_ERR_SUCCESS);
    }
}

void MqttClient::publish(const std::string& topic, const std::string& payload, bool retain, int qos)
{
    if (retain) {
        if (payload.empty())
            retained_.erase(topic);
        else
            retained_[topic] = payload;
    }
    if (!connected_)
        return;
    mosquitto_publish(mosq_, nullptr, topic.c_str(), int(payload.size()), payload.data(), qos, retain);
    updateWriteInterest();
}

void MqttClient::subscribe(const std::string& pattern)
{
    subscriptions_.insert(pattern);
    if (connected_) {
        mosquitto_subscribe(mosq_, nullptr, pattern.c_str(), 1);
        updateWriteInterest();
    }
}

void MqttClient::stop(const std::string& topic, const std::string& payload)
{
    retry_.stop();
    if (!connected_) {
        stopping_ = true;
        QMetaObject::invokeMethod(this, [this] { lost(MOSQ_ERR_SUCCESS); }, Qt::QueuedConnection);
        return;
    }
    stopping_ = true;
    retained_[topic] = payload;
    mosquitto_publish(mosq_, &stopMid_, topic.c_str(), int(payload.size()), payload.data(), 1, true);
    updateWriteInterest();
}

} // namespace talvex::bridge
