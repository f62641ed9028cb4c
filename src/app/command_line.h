#pragma once
// The editor's command line: `--port PATH`, repeatable, each adding a serial
// port to the port list (`tcp://HOST:PORT`: a network RS-485 gateway),
// `--traffic-log FILE`, the file the traffic capture appends to, and a group
// file to open at start-up (`FILE.datdsp`, or `FILE.datgrp` with `--group N`
// for its group N). Everything else is ignored.

#include "link/traffic_log.h"

#include <QString>
#include <QStringList>

namespace talvex {

struct CommandLine {
    QStringList ports;
    QString trafficLog;      // empty: no capture
    bool trafficLogMissing = false; // --traffic-log came without a file name
    QString groupFile;       // the first argument that is not an option; empty: none
    int group = 0;           // --group N, 1..20; 0: not given or refused (the user picks)
    bool groupRefused = false; // --group came with something other than 1..20 ...
    QString groupText;       // ... namely this
};

// arguments[0] is the program.
CommandLine parseCommandLine(const QStringList& arguments);
QStringList portArguments(const QStringList& arguments);

// Opens the --traffic-log file, if one is given, for `log`: the log when it is
// open, null otherwise. A missing file name or a file that cannot be opened is
// reported on stderr; the editor runs on without a log.
TrafficLog* openTrafficLog(TrafficLog& log, const QStringList& arguments, const char* program);

} // namespace talvex
