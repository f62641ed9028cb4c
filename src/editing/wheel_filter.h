#pragma once
// Hands every wheel turn inside one window to the editing context's dispatcher
// first, whichever control lies under the pointer or has the focus. The turn is
// eaten exactly when the dispatcher handled it; otherwise the control gets it as
// usual. A touchpad's smooth scrolling sends many small turns: they add up, and
// the bound entry steps once per whole notch (120 units of angle), as a mouse
// wheel does with each of its notches.

#include <QObject>

#include <string>

class QWidget;

namespace talvex {

class EditingContext;
struct ParameterModel;

class WheelFilter : public QObject {
    Q_OBJECT
public:
    // Watches the whole application (wheel events go to the control under the
    // pointer) but acts only on those inside `window`.
    WheelFilter(QWidget* window, EditingContext& editing, ParameterModel& model);
    ~WheelFilter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    EditingContext& editing_;
    ParameterModel& model_;
    // Angle turned toward the next step, less than one notch either way, and the
    // entry it was turned at; another entry starts from nothing.
    int pendingAngle_ = 0;
    std::string pendingTarget_;
    int pendingField_ = -1;
};

} // namespace talvex
