#pragma once
// The editor reads one thing from its command line: `--port PATH`, repeatable,
// each adding a serial port to the port list. Everything else is ignored.

#include <QStringList>

namespace talvex {

QStringList portArguments(const QStringList& arguments);

} // namespace talvex
