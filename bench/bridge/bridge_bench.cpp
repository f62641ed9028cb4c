// talvex-bridge with 32 virtual amplifiers on one half-duplex bus at 9600 baud
// (a pseudo-terminal served in this process: requests and replies take their
// wire time, replies start 5 ms after the request), and a local mosquitto.
// Prints:
// - each amplifier's meter update interval against the wire limit: one meter
//   poll is a 12-byte request, the 5 ms turnaround and a 20-byte reply (32 bytes
//   of 10 bits: 33.3 ms, 38.3 ms with the turnaround, as the bus bench counts
//   it), so 32 amplifiers cannot be polled faster than once in 32 x 38.3 ms =
//   1227 ms (goal: at least 90 % of that rate);
// - the time from a `set` published on the broker to the write frame's arrival
//   at the amplifier (goal: under 400 ms);
// - the bridge process's resident memory (goal: under 30 MB).

#include "pty_server.h"
#include "virtual_amplifier.h"

#include <mosquitto.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kAmplifiers = 32;
constexpr double kPollWireMs = (12 + 20) * 10 * 1000.0 / 9600 + 5; // bytes + turnaround
constexpr int kMeasureMs = 15000;
constexpr int kSetRounds = 20;

bool waitFor(const std::function<bool()>& done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void pause(int ms) { waitFor([] { return false; }, ms); }

QString residentMemory(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    QString text;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS") || line.startsWith("VmHWM"))
            text += QString::fromLatin1(line.simplified()) + QStringLiteral("  ");
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 brokerPort = probe.serverPort();
    probe.close();
    QFile config(dir.filePath(QStringLiteral("mosquitto.conf")));
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\nlog_dest none\n").arg(brokerPort).toUtf8());
    config.close();
    QProcess broker;
    broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), config.fileName()});
    if (!waitFor([&] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, brokerPort);
            return socket.waitForConnected(100);
        }, 5000)) {
        std::fprintf(stderr, "bridge_bench: mosquitto did not start\n");
        return 1;
    }

    // The bus: 32 amplifiers, replies paced at 9600 baud; every frame they get is timed.
    QElapsedTimer clock;
    clock.start();
    talvex::vamp::VirtualBus bus;
    QStringList ids;
    for (int id = 1; id <= kAmplifiers; ++id) {
        bus.add(id);
        ids << QString::number(id);
    }
    std::map<int, std::vector<qint64>> polls; // address -> times of its meter reads
    std::map<int, qint64> writes;             // address -> time of its last write
    bus.onFrame = [&](std::span<const std::uint8_t> f) {
        if (f.size() < 7)
            return;
        if (f[4] == 0xA2 && f[6] == 0x2B)
            polls[f[3]].push_back(clock.elapsed());
        else if (f[4] == 0xA1)
            writes[f[3]] = clock.elapsed();
    };
    talvex::vamp::PtyServer pty(bus);
    pty.setHalfDuplex(true);
    if (!pty.start()) {
        std::fprintf(stderr, "bridge_bench: %s\n", qPrintable(pty.errorString()));
        return 1;
    }

    QProcess bridge;
    bridge.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    bridge.start(QStringLiteral(TALVEX_BRIDGE_PATH),
                 {QStringLiteral("--mqtt"), QStringLiteral("mqtt://127.0.0.1:%1").arg(brokerPort), QStringLiteral("--port"),
                  QStringLiteral("bus=%1@%2").arg(pty.slavePath(), ids.join(QLatin1Char(',')))});

    // Subscriber: counts the amplifiers online.
    mosquitto_lib_init();
    std::atomic<int> online{0};
    mosquitto* mosq = mosquitto_new(nullptr, true, &online);
    mosquitto_connect_callback_set(mosq, [](mosquitto* m, void*, int) { mosquitto_subscribe(m, nullptr, "talvex/bus/+/availability", 1); });
    mosquitto_message_callback_set(mosq, [](mosquitto*, void* count, const mosquitto_message* message) {
        if (std::string(static_cast<const char*>(message->payload), std::size_t(message->payloadlen)) == "online")
            ++*static_cast<std::atomic<int>*>(count);
    });
    mosquitto_connect(mosq, "127.0.0.1", brokerPort, 30);
    mosquitto_loop_start(mosq);

    const qint64 started = clock.elapsed();
    if (!waitFor([&] { return online == kAmplifiers; }, 120000)) {
        std::fprintf(stderr, "bridge_bench: only %d of %d amplifiers came online\n", online.load(), kAmplifiers);
        return 1;
    }
    std::printf("all %d amplifiers read and online after %.1f s\n", kAmplifiers, (clock.elapsed() - started) / 1000.0);

    // Update intervals over a quiet window.
    pause(2000);
    polls.clear();
    const qint64 from = clock.elapsed();
    pause(kMeasureMs);
    const qint64 to = clock.elapsed();
    const double limitMs = kAmplifiers * kPollWireMs;
    std::printf("wire limit: one poll per amplifier every %.0f ms\n", limitMs);
    double worst = 1e9, sum = 0;
    for (int address = 0; address < kAmplifiers; ++address) {
        const auto& times = polls[address];
        const double interval = times.size() > 1 ? double(times.back() - times.front()) / double(times.size() - 1) : double(to - from);
        const double share = limitMs / interval * 100;
        worst = std::min(worst, share);
        sum += share;
        std::printf("  amplifier %2d: %zu polls, every %6.0f ms, %5.1f %% of the wire limit\n", address + 1, times.size(), interval, share);
    }
    std::printf("update rate: mean %.1f %%, worst %.1f %% of the wire limit (goal >= 90 %%)\n", sum / kAmplifiers, worst);

    // /set to wire.
    std::vector<qint64> delays;
    for (int round = 0; round < kSetRounds; ++round) {
        const int id = 1 + round % kAmplifiers;
        writes.erase(id - 1);
        const std::string topic = "talvex/bus/" + std::to_string(id) + "/set";
        const std::string payload = round % 2 ? R"({"mute":{"high":false}})" : R"({"mute":{"high":true}})";
        const qint64 sent = clock.elapsed();
        mosquitto_publish(mosq, nullptr, topic.c_str(), int(payload.size()), payload.data(), 1, false);
        if (!waitFor([&] { return writes.count(id - 1) > 0; }, 5000)) {
            std::fprintf(stderr, "bridge_bench: no write reached amplifier %d\n", id);
            return 1;
        }
        delays.push_back(writes[id - 1] - sent);
        pause(150);
    }
    std::sort(delays.begin(), delays.end());
    double mean = 0;
    for (qint64 d : delays)
        mean += double(d) / double(delays.size());
    std::printf("/set to wire: mean %.0f ms, median %lld ms, max %lld ms over %d commands (goal < 400 ms)\n", mean,
                static_cast<long long>(delays[delays.size() / 2]), static_cast<long long>(delays.back()), kSetRounds);

    std::printf("bridge memory: %s(goal < 30 MB)\n", qPrintable(residentMemory(bridge.processId())));
    std::printf("collisions on the bus: %llu\n", static_cast<unsigned long long>(pty.collisions()));

    ::kill(pid_t(bridge.processId()), SIGTERM);
    waitFor([&] { return bridge.state() == QProcess::NotRunning; }, 5000);
    std::printf("bridge stopped by SIGTERM: exit code %d\n", bridge.exitCode());
    mosquitto_disconnect(mosq);
    mosquitto_loop_stop(mosq, true);
    mosquitto_destroy(mosq);
    broker.terminate();
    broker.waitForFinished();
    return 0;
}
