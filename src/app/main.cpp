// Program entry: the application, the main window (whose creation runs the
// start-up sequence and creates the warning dialog), then the event loop until
// the main window closes.

#include "app/command_line.h"
#include "app/main_window.h"
#include "link/hidapi_controller.h"
#include "link/traffic_log.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const talvex::CommandLine commandLine = talvex::parseCommandLine(QApplication::arguments());

    // A traffic log that cannot be opened is reported; the editor runs on without it.
    talvex::TrafficLog trafficLog;
    if (commandLine.trafficLogMissing)
        std::fputs("talvex-editor: --traffic-log needs a file name; running without a traffic log\n", stderr);
    if (!commandLine.trafficLog.isEmpty() &&
        !trafficLog.open(QFile::encodeName(commandLine.trafficLog).toStdString(),
                         "talvex-editor " TALVEX_VERSION_TEXT)) {
        std::fprintf(stderr, "talvex-editor: cannot open the traffic log %s: %s; running without it\n",
                     qPrintable(commandLine.trafficLog), trafficLog.errorText().c_str());
    }

    talvex::HidapiController hid;
    talvex::MessageBoxPrompts prompts;
    talvex::TForm1::Platform platform;
    platform.hid = &hid;
    platform.prompts = &prompts;
    platform.extraPorts = commandLine.ports;
    platform.trafficLog = trafficLog.isOpen() ? &trafficLog : nullptr;

    talvex::TForm1 window(platform);
    prompts.setParent(&window);
    window.show();
    return QApplication::exec();
}
