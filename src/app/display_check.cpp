#include "app/display_check.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace talvex {

namespace {

QtMessageHandler previousHandler = nullptr;

void startUpHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg && text.contains(QLatin1String("platform plugin"))) {
        std::fputs(kNoDisplayText, stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    if (previousHandler)
        previousHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

void explainMissingDisplay(bool on)
{
    if (on)
        previousHandler = qInstallMessageHandler(startUpHandler);
    else
        qInstallMessageHandler(previousHandler);
}

} // namespace talvex
