#include "app/command_line.h"

namespace talvex {

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        const bool hasValue = i + 1 < arguments.size() && !arguments[i + 1].isEmpty();
        if (option == QLatin1String("--port")) {
            if (hasValue)
                line.ports << arguments[++i];
        } else if (option == QLatin1String("--traffic-log")) {
            if (hasValue)
                line.trafficLog = arguments[++i];
            else
                line.trafficLogMissing = true;
        }
    }
    return line;
}

QStringList portArguments(const QStringList& arguments) { return parseCommandLine(arguments).ports; }

} // namespace talvex
