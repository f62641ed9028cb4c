#pragma once
// Hands every wheel turn inside one window to the editing context's dispatcher
// first, whichever control lies under the pointer or has the focus. The turn is
// eaten exactly when the dispatcher handled it; otherwise the control gets it as
// usual.

#include <QObject>

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
};

} // namespace talvex
