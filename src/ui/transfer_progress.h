#pragma once
// The transfer progress panel and its animation. The session says when the
// panel shows (with or without the animation), hides, and which percentage a
// counted transfer has reached; the animation is the view's own: every 200 ms
// the bar moves 2 % on while the link is up, and at 100 % (ten seconds) it
// goes back to 0 and the panel hides.

#include "session/clock.h"

#include <QObject>

#include <functional>
#include <memory>

class QProgressBar;
class QWidget;

namespace talvex {

class TransferProgress : public QObject {
    Q_OBJECT
public:
    static constexpr int kStepMs = 200;
    static constexpr int kStepPercent = 2;

    // `linkUp`: whether the link is up (the animation stands still otherwise).
    // The animation ("progress", every 200 ms) runs on `clock`.
    TransferProgress(QWidget* panel, QProgressBar* bar, std::function<bool()> linkUp, Clock& clock,
                     QObject* parent = nullptr);

    // Shown with the bar at 0 %; `animate` also starts the animation from 0.
    void show(bool animate);
    void hide(); // hides the panel, stops the animation
    void setPercent(int percent);

private:
    void advance(); // one step of the animation

    QWidget* panel_;
    QProgressBar* bar_;
    std::function<bool()> linkUp_;
    std::unique_ptr<Timer> timer_;
    int percent_ = 0;
};

} // namespace talvex
