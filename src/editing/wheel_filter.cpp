#include "editing/wheel_filter.h"

#include "editing/editing_context.h"

#include <QApplication>
#include <QWheelEvent>
#include <QWidget>

namespace talvex {

WheelFilter::WheelFilter(QWidget* window, EditingContext& editing) : window_(window), editing_(editing)
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
        return editing_.wheelBound();
    }
    if (!editing_.wheelBound()) {
        pendingAngle_ = 0;
        return false;
    }
    if (editing_.wheelControl() != pendingControl_ || editing_.wheelEntry() != pendingEntry_) {
        pendingAngle_ = 0;
        pendingControl_ = editing_.wheelControl();
        pendingEntry_ = editing_.wheelEntry();
    }
    constexpr int kNotch = 120;
    pendingAngle_ += delta;
    bool handled = true;
    while (handled && (pendingAngle_ >= kNotch || pendingAngle_ <= -kNotch)) {
        const int notch = pendingAngle_ > 0 ? kNotch : -kNotch;
        pendingAngle_ -= notch;
        handled = editing_.wheelTurned(notch);
    }
    return handled; // a part of a notch is held, and scrolls nothing either
}

} // namespace talvex
