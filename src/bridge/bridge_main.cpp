// talvex-bridge: every Talvex-96K amplifier of the given ports on an MQTT
// broker. Headless (QCoreApplication); logs to stderr. SIGTERM and SIGINT
// publish offline, close the ports and end with status 0.

#include "bridge/bridge.h"
#include "bridge/bridge_options.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

void logLine(const QString& text)
{
    std::fprintf(stderr, "talvex-bridge: %s\n", qPrintable(text));
    std::fflush(stderr);
}

#ifdef Q_OS_UNIX
int stopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(stopPipe[0], &byte, 1);
}

// SIGTERM and SIGINT reach the event loop through a socket pair.
void catchStopSignals(talvex::bridge::Bridge& bridge)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, stopPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(stopPipe[1], QSocketNotifier::Read, &bridge);
    QObject::connect(notifier, &QSocketNotifier::activated, &bridge, [&bridge, notifier] {
        char byte = 0;
        [[maybe_unused]] const auto read = ::read(stopPipe[1], &byte, 1);
        notifier->setEnabled(false);
        logLine(QStringLiteral("stopping"));
        bridge.stop();
    });
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}
#else
void catchStopSignals(talvex::bridge::Bridge&) {}
#endif

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("talvex-bridge"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVEX_VERSION_TEXT));

    auto parsed = talvex::bridge::parseBridgeOptions(QCoreApplication::arguments());
    if (const auto* error = std::get_if<QString>(&parsed)) {
        logLine(*error);
        return 2;
    }
    talvex::bridge::Bridge bridge(std::get<talvex::bridge::BridgeOptions>(parsed));
    QObject::connect(&bridge, &talvex::bridge::Bridge::logLine, &app, logLine);
    QObject::connect(&bridge, &talvex::bridge::Bridge::stopped, &app, [] { QCoreApplication::exit(0); });
    catchStopSignals(bridge);
    bridge.start();
    return app.exec();
}
