#include "ui/pixel_ratio.h"

#include <QEvent>
#include <QLabel>
#include <QWidget>

namespace talvex {

namespace {

// Watches one widget's events for the moments its ratio can have changed. The
// paint check catches a ratio that changed without the screen changing (the
// screen's own scaling altered); it costs one comparison per paint.
class PixelRatioFollower : public QObject {
public:
    PixelRatioFollower(QWidget* widget, std::function<void(qreal)> changed)
        : QObject(widget), widget_(widget), seen_(widget->devicePixelRatioF()), changed_(std::move(changed))
    {
        widget->installEventFilter(this);
    }

    // The widget's ratio now, taken as seen.
    qreal current()
    {
        seen_ = widget_->devicePixelRatioF();
        return seen_;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == widget_) {
            switch (event->type()) {
            case QEvent::Show:
            case QEvent::ScreenChangeInternal:
            case QEvent::Paint:
                check();
                break;
            default:
                break;
            }
        }
        return false;
    }

private:
    void check()
    {
        const qreal now = widget_->devicePixelRatioF();
        if (qFuzzyCompare(now, seen_))
            return;
        seen_ = now;
        if (changed_)
            changed_(now);
    }

    QWidget* widget_;
    qreal seen_;
    std::function<void(qreal)> changed_;
};

// The label's drawing lives in its follower, so a second showDrawn replaces it.
class DrawnPicture : public PixelRatioFollower {
public:
    explicit DrawnPicture(QLabel* label)
        : PixelRatioFollower(label, [this, label](qreal ratio) { label->setPixmap(draw_(ratio)); })
    {
    }
    Drawing draw_;
};

} // namespace

void followPixelRatio(QWidget* widget, std::function<void(qreal)> changed)
{
    new PixelRatioFollower(widget, std::move(changed));
}

void showDrawn(QLabel* label, Drawing draw)
{
    DrawnPicture* picture = nullptr;
    for (QObject* child : label->children())
        if ((picture = dynamic_cast<DrawnPicture*>(child)))
            break;
    if (!picture)
        picture = new DrawnPicture(label);
    picture->draw_ = std::move(draw);
    label->setPixmap(picture->draw_(picture->current()));
}

} // namespace talvex
