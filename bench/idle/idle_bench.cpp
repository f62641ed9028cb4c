// What the editor costs while nobody uses it: CPU time over an idle interval
// (60 s by default, or the seconds given as the first argument), as a share of
// one core.
//
//  1. the real talvex-editor, disconnected, as started from a desktop: it
//     follows devices through udev where the udev daemon runs, else through a
//     watch on /dev, else it polls;
//  2. the same window in this process, disconnected, polling (no monitor);
//  3. the same, disconnected, behind a device monitor that reports nothing,
//     as udev does on a machine where nothing is plugged in;
//  4. the same, connected to talvex-vamp over a pseudo-terminal (the meter
//     read every 350 ms and its reply), behind the quiet monitor.
// Every case runs with the offscreen platform, the window shown. The goal is
// at most 0.1 % of a core disconnected.

#include "app/main_window.h"
#include "link/hidapi_controller.h"
#include "link/dev_node_monitor.h"
#include "link/udev_device_monitor.h"
#include "model/number_text.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using talvex::fixedText;

class SilentPrompts : public talvex::Prompts {
public:
    void message(const QString& text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    bool question(const QString&) override { return false; }
};

void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// CPU time of each thread of another process, in ns (scheduler statistics).
std::map<QString, long long> threadCpuNs(pid_t pid)
{
    std::map<QString, long long> threads;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(task) + QStringLiteral("/schedstat"));
        if (file.open(QIODevice::ReadOnly))
            threads[task] = file.readAll().split(' ').value(0).toLongLong();
    }
    return threads;
}

// CPU seconds another process spends over `seconds`, sampled every second so
// that a thread ending meanwhile counts up to its last sample.
double childCpuSeconds(pid_t pid, int seconds)
{
    const std::map<QString, long long> start = threadCpuNs(pid);
    std::map<QString, long long> last = start;
    for (int s = 0; s < seconds; ++s) {
        idle(1000);
        for (const auto& [thread, ns] : threadCpuNs(pid))
            last[thread] = ns;
    }
    long long used = 0;
    for (const auto& [thread, ns] : last) {
        const auto before = start.find(thread);
        used += ns - (before != start.end() ? before->second : 0);
    }
    return double(used) / 1e9;
}

void report(const char* name, double cpuSeconds, int seconds)
{
    const double share = cpuSeconds / seconds * 100.0;
    std::printf("%-34s cpu %s s in %d s = %s %% of a core\n", name, fixedText(cpuSeconds, 3).c_str(), seconds,
                fixedText(share, 3).c_str());
    std::fflush(stdout);
}

constexpr int kSettleMs = 3000; // start-up and the first listings are not idle

void realEditor(const QString& bin, int seconds)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const QByteArray path = (bin + QStringLiteral("/talvex-editor")).toLocal8Bit();
        execl(path.constData(), path.constData(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0)
        return;
    idle(kSettleMs);
    const double used = childCpuSeconds(pid, seconds);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    const char* monitor = talvex::UdevDeviceMonitor::create()      ? "udev"
                          : talvex::DevNodeMonitor::create() ? "/dev watch (no udev daemon)"
                                                              : "none, it polls";
    std::printf("(talvex-editor here follows devices through: %s)\n", monitor);
    report("talvex-editor, disconnected", used, seconds);
}

struct Window {
    talvex::HidapiController hid;
    SilentPrompts prompts;
    talvex::DeviceMonitor quietMonitor;
    std::unique_ptr<talvex::EditorCore> core;
    std::unique_ptr<talvex::MainWindow> window;

    Window(bool monitored, const QStringList& ports)
    {
        talvex::Session::Platform platform;
        platform.hid = &hid;
        platform.extraPorts = ports;
        platform.monitor = monitored ? &quietMonitor : nullptr;
        core = std::make_unique<talvex::EditorCore>(platform);
        window = std::make_unique<talvex::MainWindow>(*core, talvex::MainWindow::Platform{&prompts, nullptr});
        window->show();
        core->session.start(); // the port list, as the shown window reads it
    }
};

void inProcess(const char* name, bool monitored, int seconds, const QString& pty = {})
{
    Window editor(monitored, pty.isEmpty() ? QStringList{} : QStringList{pty});
    if (!pty.isEmpty()) {
        editor.window->toggleConnection();
        for (int waited = 0; editor.core->session.state() != talvex::Session::State::Connected; waited += 10) {
            if (waited > 10000) {
                std::fprintf(stderr, "%s: the connect did not finish\n", name);
                return;
            }
            idle(10);
        }
    }
    idle(kSettleMs);
    const double before = processCpuSeconds();
    idle(seconds * 1000);
    const double used = processCpuSeconds() - before;
    if (!pty.isEmpty() && editor.core->session.link() == talvex::LinkState::Closed)
        std::fprintf(stderr, "%s: the link was lost during the run\n", name);
    report(name, used, seconds);
}

} // namespace

int main(int argc, char** argv)
{
    int seconds = 60;
    if (argc > 1) {
        const auto parsed = talvex::parseDecimal(argv[1]);
        if (!parsed || *parsed < 1) {
            std::fprintf(stderr, "usage: idle_bench [SECONDS]\n");
            return 2;
        }
        seconds = int(*parsed);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString bin = QCoreApplication::applicationDirPath();

    realEditor(bin, seconds);
    inProcess("window, disconnected, polling", false, seconds);
    inProcess("window, disconnected, monitored", true, seconds);

    QProcess vamp;
    vamp.start(bin + QStringLiteral("/talvex-vamp"), QStringList{});
    if (!vamp.waitForReadyRead(5000)) {
        std::fprintf(stderr, "talvex-vamp did not start\n");
        return 1;
    }
    const QString pty = QString::fromLocal8Bit(vamp.readLine()).trimmed();
    inProcess("window, connected, monitored", true, seconds, pty);
    vamp.terminate();
    vamp.waitForFinished(2000);
    return 0;
}
