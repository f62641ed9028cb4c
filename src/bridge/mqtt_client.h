#pragma once
// An MQTT client on libmosquitto, run by the Qt event loop: the library's
// socket is watched with socket notifiers (read always, write while the library
// has bytes to send) and a one-second timer keeps the connection alive; no
// thread of its own. It connects in the background, keeps a last will, and
// reconnects after a loss or a refusal with a backoff from 1 s to 30 s. Retained
// messages published through it are remembered and published again on every
// connect, so a broker that restarted without persistence gets them back;
// subscriptions are renewed on every connect too.

#include <QObject>
#include <QString>
#include <QTimer>

#include <map>
#include <memory>
#include <set>
#include <string>

struct mosquitto;
struct mosquitto_message;
class QSocketNotifier;

namespace talvex::bridge {

struct MqttSettings {
    std::string host = "localhost";
    int port = 1883;
    bool tls = false;
    std::string cafile; // the CA certificate file for TLS
    std::string clientId;
    std::string username;
    std::string password; // read from the password file, never logged
    std::string willTopic;
    std::string willPayload;
    int keepAliveSeconds = 30;
};

class MqttClient : public QObject {
    Q_OBJECT
public:
    static constexpr int kFirstBackoffMs = 1000;
    static constexpr int kLongestBackoffMs = 30000;

    explicit MqttClient(MqttSettings settings, QObject* parent = nullptr);
    ~MqttClient() override;

    // Starts connecting; a connection lost or refused is retried with backoff.
    void start();
    bool isConnected() const { return connected_; }

    // Retained messages are kept and published again after every connect; an
    // empty retained payload forgets the topic. Others are sent only when connected.
    void publish(const std::string& topic, const std::string& payload, bool retain, int qos = 1);
    void subscribe(const std::string& pattern);

    // Publishes `payload` on `topic` (retained), then disconnects cleanly; the
    // broker then does not send the last will. `done` is emitted when it is out
    // (or at once when not connected).
    void stop(const std::string& topic, const std::string& payload);

    // Milliseconds until the next connect attempt (tests, the log).
    int backoffMs() const { return backoffMs_; }

signals:
    void connected();
    void disconnected();
    void messageReceived(const QString& topic, const QByteArray& payload);
    // A line for the log: connection made, lost, refused and why.
    void logLine(const QString& text);
    void done();

private:
    static void onConnect(mosquitto* mosq, void* self, int rc);
    static void onDisconnect(mosquitto* mosq, void* self, int rc);
    static void onMessage(mosquitto* mosq, void* self, const mosquitto_message* message);
    static void onPublish(mosquitto* mosq, void* self, int mid);

    void connectNow();
    void watchSocket();
    void dropSocket();
    void lost(int rc);
    void scheduleRetry();
    void readReady();
    void writeReady();
    void housekeeping();
    void updateWriteInterest();
    void handleResult(int rc);

    MqttSettings settings_;
    mosquitto* mosq_ = nullptr;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    QTimer misc_;
    QTimer retry_;
    int backoffMs_ = kFirstBackoffMs;
    bool connected_ = false;
    bool attempted_ = false; // the library has host and port: later attempts reconnect
    bool stopping_ = false;
    bool finished_ = false; // done() has been sent
    int stopMid_ = -1;
    std::map<std::string, std::string> retained_;
    std::set<std::string> subscriptions_;
};

} // namespace talvex::bridge
