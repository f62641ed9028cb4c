// Program entry: the application, the main window (whose creation runs the
// start-up sequence and creates the warning dialog), then the event loop until
// the main window closes.

#include "app/command_line.h"
#include "app/display_check.h"
#include "app/main_window.h"
#include "offline/offline_document.h"
#include "ui/prompts.h"
#include "link/hidapi_controller.h"
#include "link/dev_node_monitor.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

constexpr char kHelp[] =
    "Usage: talvex-editor [--port PATH | --port tcp://HOST:PORT]... [--traffic-log FILE]\n"
    "                     [FILE.datdsp | FILE.datgrp [--group N]]\n"
    "Edit a Talvex-96K amplifier live over USB (HID), an RS-485 serial port or a\n"
    "network RS-485 gateway, or a group file without an amplifier.\n"
    "\n"
    "  FILE.datdsp         open this one-group file at start-up, to edit it offline\n"
    "  FILE.datgrp         open this all-groups file at start-up (the editor asks\n"
    "                      which of its 20 groups to edit)\n"
    "\n"
    "Options:\n"
    "  --group N           the group (1 to 20) of FILE.datgrp to edit\n"
    "  --port PATH         add PATH to the serial port list after the ports the system\n"
    "                      finds (repeatable; the last one given is selected), e.g. a\n"
    "                      pseudo-terminal of talvex-vamp\n"
    "  --port tcp://HOST:PORT\n"
    "                      add a network RS-485 gateway (raw TCP) to the list, under\n"
    "                      that text; a connection not made within 3 s fails\n"
    "  --traffic-log FILE  append every frame sent and received, and link events, to\n"
    "                      FILE, one line each, flushed at once\n"
    "  -h, --help          show this help and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "The editor needs a display (X11 or Wayland); without one it says so and exits\n"
    "with status 1. Other arguments are ignored.\n";

} // namespace

int main(int argc, char** argv)
{
    // Answered before any display is needed.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("talvex-editor " TALVEX_VERSION_TEXT "\n", stdout);
            return 0;
        }
    }
    talvex::explainMissingDisplay(true);
    QApplication app(argc, argv);
    talvex::explainMissingDisplay(false);

    // The monitor first, so no change between the first listings and its start is missed.
    const auto monitor = talvex::createSystemDeviceMonitor();
    talvex::HidapiController hid;
    talvex::MessageBoxPrompts prompts;
    talvex::QtFileDialogs fileDialogs;
    talvex::Session::Platform platform;
    platform.hid = &hid;
    platform.extraPorts = talvex::portArguments(QApplication::arguments());
    platform.monitor = monitor.get();

    // A traffic log that cannot be opened is reported; the editor runs on without it.
    talvex::TrafficLog trafficLog;
    platform.trafficLog =
        talvex::openTrafficLog(trafficLog, QApplication::arguments(), "talvex-editor " TALVEX_VERSION_TEXT);

    talvex::EditorCore core(platform);
    talvex::MainWindow window(core, {&prompts, &fileDialogs});
    prompts.setParent(&window);
    fileDialogs.setParent(&window);
    window.show();

    // A group file named on the command line opens once the window is up, so
    // its messages and the group choice appear over it.
    const talvex::CommandLine line = talvex::parseCommandLine(QApplication::arguments());
    if (line.groupRefused)
        std::fprintf(stderr, "talvex-editor: --group takes a group number from 1 to 20, not \"%s\"; "
                             "choose the group in the editor\n",
                     line.groupText.toLocal8Bit().constData());
    // The start-up search of the bus is left out then: it would lock the
    // controls of the file while it runs ("search device id" finds the Device
    // ID before going live).
    if (!line.groupFile.isEmpty())
        QTimer::singleShot(0, &window, [&window, line] { window.openGroupFileAtStart(line.groupFile, line.group); });
    return QApplication::exec();
}
