// Times a whole connect over the serial link: from the "Connect" click until
// the read-all chain has filled the view and the send-pulse timer runs, against
// talvex-vamp --wire-pace (replies at 9600 baud). The bytes exchanged are 1208
// (four 12-byte requests, replies of 36, 412, 60 and 652 bytes), 1.258 s on the
// wire; the figure printed is the measured time divided by that.
//
// Also prints the editor's start-up time to its first painted frame (in this
// process), the peak resident memory of a real talvex-editor process, and the
// watchdog against talvex-vamp --silent: the time from the identification
// request (the connect zeroes the no-reply counter as a reply does) to the
// warning dialog, over several runs, with the gaps between watchdog ticks.
// 13 ticks of 250 ms and the 50 ms pause of the disconnect make 3300 ms.

#include "app/main_window.h"
#include "ui/warning_dialog.h"
#include "bench_editor.h"
#include "model/number_text.h"
#include "ui/prompts.h"
#include "link/hidapi_controller.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kWireSeconds = 1208 * 10 / 9600.0; // 1.258 s

using talvex::bench::NoHid;
using talvex::bench::SilentPrompts;
using talvex::bench::waitFor;

class FirstPaint : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

struct Editor {
    NoHid hid;
    SilentPrompts prompts;
    std::unique_ptr<talvex::EditorCore> core;
    std::unique_ptr<talvex::MainWindow> window;

    explicit Editor(const QString& port)
    {
        talvex::Session::Platform platform;
        platform.hid = &hid;
        platform.extraPorts = {port};
        platform.enumerator = [] { return std::vector<talvex::SerialPortItem>{}; };
        core = std::make_unique<talvex::EditorCore>(platform);
        window = std::make_unique<talvex::MainWindow>(*core, talvex::MainWindow::Platform{&prompts, nullptr});
        core->session.start(); // the port list, as the shown window reads it
    }
};

QString g_pty;

void ConnectToViewRefreshed(benchmark::State& state)
{
    Editor editor(g_pty);
    auto& window = *editor.window;
    double total = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        window.toggleConnection();
        const bool ok = waitFor([&] { return editor.core->session.state() == talvex::Session::State::Connected; }, 10000);
        const double seconds = clock.nsecsElapsed() / 1e9;
        if (!ok) {
            state.SkipWithError("connect did not finish");
            break;
        }
        state.SetIterationTime(seconds);
        total += seconds;
        window.toggleConnection(); // disconnect
        waitFor([] { return false; }, 300); // let the amplifier's line go quiet
    }
    if (state.iterations() > 0)
        state.counters["ratio_to_wire_1.258s"] = total / double(state.iterations()) / kWireSeconds;
}

// When one kind of event reaches the watched objects, taken before it is handled
// (a timer's tick before its handlers run, a dialog's show).
class EventTimes : public QObject {
public:
    EventTimes(QEvent::Type type, const QElapsedTimer& clock) : type_(type), clock_(clock) {}
    std::vector<double> ms;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == type_)
            ms.push_back(clock_.nsecsElapsed() / 1e6);
        return QObject::eventFilter(watched, event);
    }

private:
    QEvent::Type type_;
    const QElapsedTimer& clock_;
};

std::string spread(std::vector<double> values)
{
    if (values.empty())
        return "no value";
    std::sort(values.begin(), values.end());
    double sum = 0;
    for (double v : values)
        sum += v;
    const double mean = sum / double(values.size());
    double squares = 0;
    for (double v : values)
        squares += (v - mean) * (v - mean);
    const double deviation = values.size() > 1 ? std::sqrt(squares / double(values.size() - 1)) : 0.0;
    using talvex::fixedText;
    return "mean " + fixedText(mean, 1) + " min " + fixedText(values.front(), 1) + " max " +
           fixedText(values.back(), 1) + " sd " + fixedText(deviation, 1) + " (n " +
           std::to_string(values.size()) + ")";
}

// Connect to a silent amplifier `runs` times; each run ends with the warning dialog.
// The session's watchdog timer (the one of 250 ms): its ticks are counted.
QObject* watchdogTimer(Editor& editor)
{
    for (QTimer* timer : editor.core->session.findChildren<QTimer*>())
        if (timer->interval() == 250)
            return timer;
    return nullptr;
}

void watchdog(const QString& silentPty, int runs)
{
    Editor editor(silentPty);
    auto& window = *editor.window;
    std::vector<double> toWarning;
    std::vector<double> tickGaps;
    QElapsedTimer clock;
    for (int run = 0; run < runs; ++run) {
        EventTimes shows(QEvent::Show, clock);
        EventTimes ticks(QEvent::Timer, clock);
        window.findChild<talvex::WarningDialog*>()->installEventFilter(&shows);
        watchdogTimer(editor)->installEventFilter(&ticks);
        clock.start();
        window.toggleConnection();
        const bool shown = waitFor([&] { return !shows.ms.empty(); }, 6000);
        window.findChild<talvex::WarningDialog*>()->removeEventFilter(&shows);
        watchdogTimer(editor)->removeEventFilter(&ticks);
        if (!shown) {
            std::fprintf(stderr, "watchdog: no warning within 6 s\n");
            return;
        }
        toWarning.push_back(shows.ms.front());
        for (std::size_t i = 1; i < ticks.ms.size(); ++i)
            tickGaps.push_back(ticks.ms[i] - ticks.ms[i - 1]);
        window.findChild<talvex::WarningDialog*>()->close();
        waitFor([] { return false; }, 200);
    }
    std::printf("watchdog_connect_to_warning_ms (due 3300.0): %s\n", spread(toWarning).c_str());
    std::printf("watchdog_tick_gap_ms (due 250.0): %s\n", spread(tickGaps).c_str());
}

// Start-up of the window in this process: construction to the first painted frame.
double startupToFirstFrameMs()
{
    QElapsedTimer clock;
    clock.start();
    Editor editor(QStringLiteral("/dev/null"));
    FirstPaint probe;
    editor.window->installEventFilter(&probe);
    editor.window->show();
    waitFor([&] { return probe.painted; }, 5000);
    return clock.nsecsElapsed() / 1e6;
}

// Peak resident memory of a real editor process left running for two seconds.
long editorPeakKb(const QString& editorPath)
{
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        const QByteArray path = editorPath.toLocal8Bit();
        execl(path.constData(), path.constData(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0)
        return -1;
    waitFor([] { return false; }, 2000);
    kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) < 0)
        return -1;
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString bin = QCoreApplication::applicationDirPath();

    std::printf("startup_to_first_frame_ms: %s\n", talvex::fixedText(startupToFirstFrameMs(), 1).c_str());
    std::printf("editor_peak_rss_kb: %s\n",
                std::to_string(editorPeakKb(bin + QStringLiteral("/talvex-editor"))).c_str());

    {
        QProcess silent;
        silent.start(bin + QStringLiteral("/talvex-vamp"), {QStringLiteral("--silent")});
        if (!silent.waitForReadyRead(5000)) {
            std::fprintf(stderr, "talvex-vamp --silent did not start\n");
            return 1;
        }
        watchdog(QString::fromLocal8Bit(silent.readLine()).trimmed(), 5);
        silent.terminate();
        silent.waitForFinished(2000);
    }

    QProcess vamp;
    vamp.start(bin + QStringLiteral("/talvex-vamp"), {QStringLiteral("--wire-pace")});
    if (!vamp.waitForReadyRead(5000)) {
        std::fprintf(stderr, "talvex-vamp did not start\n");
        return 1;
    }
    g_pty = QString::fromLocal8Bit(vamp.readLine()).trimmed();

    benchmark::RegisterBenchmark("ConnectToViewRefreshed", ConnectToViewRefreshed)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    vamp.terminate();
    vamp.waitForFinished(2000);
    return 0;
}
