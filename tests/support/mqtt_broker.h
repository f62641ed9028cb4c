#pragma once
// A real MQTT broker for tests: Debian's mosquitto on a free port of 127.0.0.1,
// with a generated config (no persistence, no anonymous access) and a password
// file holding one user. It can be stopped and started again on the same port
// (a broker restart). MqttListener is a small client that records what arrives
// on the topics it subscribes to; its network loop runs on libmosquitto's own
// thread, so it does not depend on the event loop of the code under test.

#include <mosquitto.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace talvex::testing {

// Runs the event loop until `condition` holds or `ms` have passed; returns the condition.
inline bool waitUntil(const std::function<bool()>& condition, int ms = 10000)
{
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class MqttBroker {
public:
    static constexpr const char* kUser = "venue";
    static constexpr const char* kPassword = "s3cret-pass";

    MqttBroker()
    {
        // Started as root, mosquitto drops to its own user, which must read the config.
        QFile::setPermissions(dir_.path(), QFile::permissions(dir_.path()) | QFileDevice::ReadOther | QFileDevice::ExeOther);
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port_ = probe.serverPort();
        probe.close();
        const QString passwords = dir_.filePath(QStringLiteral("passwords"));
        QProcess::execute(program(QStringLiteral("mosquitto_passwd")),
                          {QStringLiteral("-b"), QStringLiteral("-c"), passwords, QString::fromLatin1(kUser),
                           QString::fromLatin1(kPassword)});
        QFile config(dir_.filePath(QStringLiteral("mosquitto.conf")));
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous false\npassword_file %2\n"
                                    "persistence false\nlog_dest none\n")
                         .arg(port_)
                         .arg(passwords)
                         .toUtf8());
        config.close();
        QFile secret(passwordFile());
        secret.open(QIODevice::WriteOnly);
        secret.write(QByteArray(kPassword) + "\n");
        start();
    }
    ~MqttBroker() { stop(); }

    bool start()
    {
        process_.start(program(QStringLiteral("mosquitto")), {QStringLiteral("-c"), dir_.filePath(QStringLiteral("mosquitto.conf"))});
        return waitUntil([this] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port_);
            return socket.waitForConnected(100);
        });
    }
    void stop()
    {
        process_.terminate();
        process_.waitForFinished(5000);
    }

    quint16 port() const { return port_; }
    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }
    QString passwordFile() const { return dir_.filePath(QStringLiteral("password")); }
    QString directory() const { return dir_.path(); }

private:
    // Debian keeps the broker in /usr/sbin, which a user's PATH may lack.
    static QString program(const QString& name)
    {
        const QString found = QStandardPaths::findExecutable(name);
        return found.isEmpty() ? QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")})
                               : found;
    }

    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
};

struct MqttMessage {
    std::string topic;
    std::string payload;
    bool retained = false;
};

class MqttListener {
public:
    MqttListener(const MqttBroker& broker, std::vector<std::string> patterns) : patterns_(std::move(patterns))
    {
        mosquitto_lib_init();
        mosq_ = mosquitto_new(nullptr, true, this);
        mosquitto_username_pw_set(mosq_, MqttBroker::kUser, MqttBroker::kPassword);
        mosquitto_connect_callback_set(mosq_, [](mosquitto* m, void* self, int rc) {
            if (rc == 0)
                for (const auto& p : static_cast<MqttListener*>(self)->patterns_)
                    mosquitto_subscribe(m, nullptr, p.c_str(), 1);
        });
        mosquitto_message_callback_set(mosq_, [](mosquitto*, void* self, const mosquitto_message* m) {
            auto* listener = static_cast<MqttListener*>(self);
            std::lock_guard lock(listener->mutex_);
            listener->messages_.push_back({m->topic, std::string(static_cast<const char*>(m->payload), std::size_t(m->payloadlen)), m->retain});
        });
        mosquitto_connect(mosq_, "127.0.0.1", broker.port(), 30);
        mosquitto_loop_start(mosq_);
    }
    ~MqttListener()
    {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, true);
        mosquitto_destroy(mosq_);
    }

    void publish(const std::string& topic, const std::string& payload, bool retain = false)
    {
        mosquitto_publish(mosq_, nullptr, topic.c_str(), int(payload.size()), payload.data(), 1, retain);
    }

    std::vector<MqttMessage> messages() const
    {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    void clear()
    {
        std::lock_guard lock(mutex_);
        messages_.clear();
    }
    // The latest payload on `topic`, if any arrived.
    std::optional<std::string> last(const std::string& topic) const
    {
        std::lock_guard lock(mutex_);
        for (auto it = messages_.rbegin(); it != messages_.rend(); ++it)
            if (it->topic == topic)
                return it->payload;
        return std::nullopt;
    }
    // Waits (running the event loop) until the latest payload on `topic` satisfies `test`.
    bool waitFor(const std::string& topic, const std::function<bool(const std::string&)>& test, int ms = 10000) const
    {
        return waitUntil([&] {
            const auto payload = last(topic);
            return payload && test(*payload);
        }, ms);
    }
    bool waitFor(const std::string& topic, const std::string& payload, int ms = 10000) const
    {
        return waitFor(topic, [&](const std::string& p) { return p == payload; }, ms);
    }

private:
    std::vector<std::string> patterns_;
    mosquitto* mosq_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<MqttMessage> messages_;
};

} // namespace talvex::testing
