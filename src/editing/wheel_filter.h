#pragma once
// Hands every wheel turn inside one window to the editing context's wheel
// binding first, whichever control lies under the pointer or has the focus. The
// turn is eaten exactly when a binding handled it; otherwise the control gets it as
// usual. A touchpad's smooth scrolling sends many small turns: they add up, and
// the bound entry steps once per whole notch (120 units of angle), as a mouse
// wheel does with each of its notches.

#include <QObject>

class QWidget;

namespace talvex {

class EditingContext;

class WheelFilter : public QObject {
    Q_OBJECT
public:
    // Watches the whole application (wheel events go to the control under the
    // pointer) but acts only on those inside `window`.
    WheelFilter(QWidget* window, EditingContext& editing);
    ~WheelFilter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    EditingContext& editing_;
    // Angle turned toward the next step, less than one notch either way, and the
    // control and entry it was turned at; another binding starts from nothing.
    int pendingAngle_ = 0;
    const void* pendingControl_ = nullptr;
    int pendingEntry_ = -1;
};

} // namespace talvex
