#include "ui/qt_event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace talvex {

void QtEventPump::processEvents(int maxWaitMs)
{
    if (maxWaitMs <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    // Timer ticks, received bytes and input are handled while the loop runs;
    // between events the thread sleeps instead of spinning.
    QEventLoop loop;
    QTimer::singleShot(maxWaitMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace talvex
