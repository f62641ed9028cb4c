// Times a whole connect over the serial link: from the "Connect" click until
// the read-all chain has filled the view and the send-pulse timer runs, against
// talvex-vamp --wire-pace (replies at 9600 baud). The bytes exchanged are 1208
// (four 12-byte requests, replies of 36, 412, 60 and 652 bytes), 1.258 s on the
// wire; the figure printed is the measured time divided by that.
//
// Also prints the editor's start-up time to its first painted frame (in this
// process) and the peak resident memory of a real talvex-editor process.

#include "app/main_window.h"
#include "ui/prompts.h"
#include "link/hidapi_controller.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdio>

namespace {

constexpr double kWireSeconds = 1208 * 10 / 9600.0; // 1.258 s

class SilentPrompts : public talvex::Prompts {
public:
    void message(const QString& text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    bool question(const QString&) override { return false; }
};

// A HID controller with no devices, so the serial link carries the connection.
class NoHid : public talvex::HidController {
public:
    QList<talvex::HidDeviceInfo> devices() const override { return {}; }
    talvex::HidOpenResult open(int) override { return {}; }
    void close() override {}
    bool isOpen() const override { return false; }
    talvex::HidWriteResult write(std::span<const std::uint8_t>) override { return {}; }
};

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

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
    std::unique_ptr<talvex::TForm1> window;

    explicit Editor(const QString& port)
    {
        talvex::TForm1::Platform platform;
        platform.hid = &hid;
        platform.prompts = &prompts;
        platform.extraPorts = {port};
        platform.enumerator = [] { return std::vector<talvex::SerialPortItem>{}; };
        window = std::make_unique<talvex::TForm1>(platform);
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
        window.btn_connectClick();
        const bool ok = waitFor([&] { return window.link().connected && window.tmr_pulseframe.isActive(); }, 10000);
        const double seconds = clock.nsecsElapsed() / 1e9;
        if (!ok) {
            state.SkipWithError("connect did not finish");
            break;
        }
        state.SetIterationTime(seconds);
        total += seconds;
        window.btn_connectClick(); // disconnect
        waitFor([] { return false; }, 300); // let the amplifier's line go quiet
    }
    if (state.iterations() > 0)
        state.counters["ratio_to_wire_1.258s"] = total / double(state.iterations()) / kWireSeconds;
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

    std::printf("startup_to_first_frame_ms: %.1f\n", startupToFirstFrameMs());
    std::printf("editor_peak_rss_kb: %ld\n", editorPeakKb(bin + QStringLiteral("/talvex-editor")));

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
