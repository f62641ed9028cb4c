#include "app/command_line.h"

namespace talvex {

QStringList portArguments(const QStringList& arguments)
{
    QStringList ports;
    // arguments[0] is the program.
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--port") && !arguments[i + 1].isEmpty()) {
            ports << arguments[i + 1];
            ++i;
        }
    }
    return ports;
}

} // namespace talvex
