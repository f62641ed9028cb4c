#include "app/command_line.h"

#include <charconv>
#include <cstdio>
#include <filesystem>

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
        } else if (option == QLatin1String("--group")) {
            line.groupText = hasValue ? arguments[++i] : QString();
            const QByteArray digits = line.groupText.toLatin1();
            int group = 0;
            const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), group);
            const bool valid = error == std::errc() && end == digits.data() + digits.size() && group >= 1 &&
                               group <= 20;
            line.group = valid ? group : 0;
            line.groupRefused = !valid;
        } else if (!option.startsWith(u'-') && line.groupFile.isEmpty()) {
            line.groupFile = option;
        }
    }
    return line;
}

QStringList portArguments(const QStringList& arguments) { return parseCommandLine(arguments).ports; }

TrafficLog* openTrafficLog(TrafficLog& log, const QStringList& arguments, const char* program)
{
    const CommandLine line = parseCommandLine(arguments);
    if (line.trafficLogMissing)
        std::fputs("talvex-editor: --traffic-log needs a file name; running without a traffic log\n", stderr);
    if (line.trafficLog.isEmpty())
        return nullptr;
    // The name as Unicode all the way to the file system (wide on Windows).
    if (!log.open(std::filesystem::path(line.trafficLog.toStdU16String()), program)) {
        std::fprintf(stderr, "talvex-editor: cannot open the traffic log %s: %s; running without it\n",
                     line.trafficLog.toLocal8Bit().constData(), log.errorText().c_str());
        return nullptr;
    }
    return &log;
}

} // namespace talvex
