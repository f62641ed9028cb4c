// Bus use with the bus overview open, over 3, 10 and 32 devices on a two-wire
// bus (talvex-vamp --half-duplex: replies byte-timed at 9600 baud after a 5 ms
// turnaround, collisions counted). For each: the devices are searched, the
// first one connected and the overview opened; once every other device's
// preset names are in (the warm-up), the replies are counted for ten seconds
// from the traffic log. Printed: meter polls a second (all devices, the
// selected one included) against the wire limit of one poll per request (12
// bytes) + turnaround (5 ms) + reply (20 bytes) = 38.3 ms, i.e. 26.1 a second;
// the share of the time the bus carried an exchange (requests, turnarounds and
// replies of every kind); the selected device's meter period (median, longest
// gap); and the collisions the amplifiers counted.

#include "admin/bus_search.h"
#include "app/editor_core.h"
#include "app/main_window.h"
#include "bench_editor.h"
#include "link/traffic_log.h"
#include "model/number_text.h"
#include "overview/bus_overview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;
constexpr double kTurnaroundMs = 5.0;
constexpr double kMeterPollMs = (12 + 20) * kByteMs + kTurnaroundMs;
constexpr qint64 kMeasureMs = 10000;

using talvex::bench::NoHid;
using talvex::bench::SilentPrompts;
using talvex::bench::waitFor;

struct Reply {
    qint64 at;
    int address, command, bytes;
};

// The RX lines of a traffic log between two times.
std::vector<Reply> repliesIn(const QString& path, qint64 from, qint64 to)
{
    std::vector<Reply> out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().simplified().split(' ');
        if (fields.size() < 4 || fields[1] != "RX" || fields[3].size() < 24)
            continue;
        const qint64 at = fields[0].toLongLong();
        const QByteArray& hex = fields[3];
        if (at >= from && at < to)
            out.push_back({at, hex.mid(6, 2).toInt(nullptr, 16), hex.mid(12, 2).toInt(nullptr, 16),
                           int(hex.size() / 2)});
    }
    return out;
}

std::string fixed(double value, int decimals) { return talvex::fixedText(value, decimals); }

bool run(int devices, const QString& vampPath)
{
    QStringList ids;
    for (int id = 1; id <= devices; ++id)
        ids << QString::number(id);
    QProcess vamp;
    vamp.start(vampPath, {QStringLiteral("--half-duplex"), QStringLiteral("--ids"), ids.join(u',')});
    if (!vamp.waitForReadyRead(5000)) {
        std::fprintf(stderr, "talvex-vamp did not start\n");
        return false;
    }
    const QString port = QString::fromLocal8Bit(vamp.readLine()).trimmed();

    QTemporaryDir folder;
    const QString logPath = folder.filePath(QStringLiteral("traffic.log"));
    QElapsedTimer clock;
    clock.start();
    talvex::TrafficLog log([&clock] { return clock.elapsed(); });
    log.open(logPath.toStdString(), "bus_bench");
    NoHid hid;
    SilentPrompts prompts;
    talvex::Session::Platform platform;
    platform.hid = &hid;
    platform.trafficLog = &log;
    platform.extraPorts = {port};
    platform.enumerator = [] { return std::vector<talvex::SerialPortItem>{}; };
    auto core = std::make_unique<talvex::EditorCore>(platform);
    auto window = std::make_unique<talvex::MainWindow>(*core, talvex::MainWindow::Platform{&prompts, nullptr});
    core->session.start(); // the port list, as the shown window reads it
    auto& search = *window->findChild<talvex::BusSearch*>(QString(), Qt::FindDirectChildrenOnly);
    auto& overview = *window->findChild<talvex::BusOverview*>(QString(), Qt::FindDirectChildrenOnly);
    search.cancelStartupSearch();
    search.setFullAddressCount(devices);
    search.startFullSearch();
    search.closeSearchResult();
    window->toggleConnection();
    if (!waitFor([&] { return core->session.state() == talvex::Session::State::Connected; }, 10000)) {
        std::fprintf(stderr, "%d devices: connect did not finish\n", devices);
        return false;
    }
    const qint64 opened = clock.elapsed();
    overview.open();
    const auto allNamed = [&] {
        const auto& rows = overview.rows().rows();
        return int(rows.size()) == devices &&
               std::all_of(rows.begin() + 1, rows.end(), [](const auto& row) { return row.presetNames.has_value(); });
    };
    if (!waitFor(allNamed, 120000)) {
        std::fprintf(stderr, "%d devices: the overview did not read every device's names\n", devices);
        return false;
    }
    const qint64 from = clock.elapsed();
    waitFor([] { return false; }, kMeasureMs);
    const qint64 to = clock.elapsed();
    overview.window()->close();
    window->toggleConnection();
    vamp.terminate();
    vamp.waitForFinished(3000);
    const QByteArray vampOut = vamp.readAllStandardOutput();
    const auto collisionsAt = vampOut.indexOf("collisions: ");
    const QByteArray collisions = collisionsAt >= 0 ? vampOut.mid(collisionsAt + 12).trimmed() : "?";

    const std::vector<Reply> replies = repliesIn(logPath, from, to);
    const double seconds = double(to - from) / 1000.0;
    double busMs = 0;
    int meterPolls = 0;
    std::vector<qint64> selected;
    for (const Reply& r : replies) {
        busMs += (12 + r.bytes) * kByteMs + kTurnaroundMs;
        if (r.command == 0x2B) {
            ++meterPolls;
            if (r.address == 0)
                selected.push_back(r.at);
        }
    }
    std::vector<qint64> gaps;
    for (std::size_t i = 1; i < selected.size(); ++i)
        gaps.push_back(selected[i] - selected[i - 1]);
    std::sort(gaps.begin(), gaps.end());
    const double pollsPerSecond = meterPolls / seconds;
    std::printf("devices: %d\n", devices);
    std::printf("  warm_up_s: %s\n", fixed(double(from - opened) / 1000.0, 1).c_str());
    std::printf("  meter_polls_per_s: %s (wire limit %s, %s %%)\n", fixed(pollsPerSecond, 1).c_str(),
                fixed(1000.0 / kMeterPollMs, 1).c_str(), fixed(pollsPerSecond * kMeterPollMs / 10.0, 1).c_str());
    std::printf("  bus_use_percent: %s\n", fixed(busMs / (seconds * 10.0), 1).c_str());
    std::printf("  selected_period_ms: median %s, longest %s\n",
                gaps.empty() ? "-" : std::to_string(gaps[gaps.size() / 2]).c_str(),
                gaps.empty() ? "-" : std::to_string(gaps.back()).c_str());
    std::printf("  collisions: %s\n", collisions.constData());
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString vampPath = QCoreApplication::applicationDirPath() + QStringLiteral("/talvex-vamp");
    for (int devices : {3, 10, 32})
        if (!run(devices, vampPath))
            return 1;
    return 0;
}
