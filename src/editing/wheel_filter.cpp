#include "editing/wheel_filter.h"

#include "editing/editing_context.h"

#include <QApplication>
#include <QWheelEvent>
#include <QWidget>

namespace talvex {

WheelFilter::WheelFilter(QWidget* window, EditingContext& editing, ParameterModel& model)
    : window_(window), editing_(editing), model_(model)
{
    qApp->installEventFilter(this);
}

WheelFilter::~WheelFilter()
{
    qApp->removeEventFilter(this);
}

bool WheelFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel || !watched->isWidgetType())
        return false;
    // Only this window's controls; a combo box's open drop-down is a window of its own.
    if (static_cast<QWidget*>(watched)->window() != window_)
        return false;
    const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
    if (delta == 0) {
        // A sideways tilt, or a touchpad gesture's start or end: no step, but while
        // the wheel is bound nothing else scrolls either.
        return editing_.wheelActive && !editing_.wheelTarget.empty();
    }
    return editing_.wheelTurned(delta, model_);
}

} // namespace talvex
