// Program entry: the application, the main window (whose creation runs the
// start-up sequence and creates the warning dialog), then the event loop until
// the main window closes.

#include "app/command_line.h"
#include "app/display_check.h"
#include "app/main_window.h"
#include "ui/prompts.h"
#include "link/hidapi_controller.h"
#include "link/dev_node_monitor.h"

#include <QApplication>

int main(int argc, char** argv)
{
    talvex::explainMissingDisplay(true);
    QApplication app(argc, argv);
    talvex::explainMissingDisplay(false);

    // The monitor first, so no change between the first listings and its start is missed.
    const auto monitor = talvex::createSystemDeviceMonitor();
    talvex::HidapiController hid;
    talvex::MessageBoxPrompts prompts;
    talvex::QtFileDialogs fileDialogs;
    talvex::MainWindow::Platform platform;
    platform.hid = &hid;
    platform.prompts = &prompts;
    platform.fileDialogs = &fileDialogs;
    platform.extraPorts = talvex::portArguments(QApplication::arguments());
    platform.monitor = monitor.get();

    // A traffic log that cannot be opened is reported; the editor runs on without it.
    talvex::TrafficLog trafficLog;
    platform.trafficLog =
        talvex::openTrafficLog(trafficLog, QApplication::arguments(), "talvex-editor " TALVEX_VERSION_TEXT);

    talvex::MainWindow window(platform);
    prompts.setParent(&window);
    fileDialogs.setParent(&window);
    window.show();
    return QApplication::exec();
}
