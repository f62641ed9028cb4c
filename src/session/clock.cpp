#include "session/clock.h"

#include <QObject>
#include <QTimer>

namespace talvex {
namespace {

class EventLoopTimer final : public Timer {
public:
    EventLoopTimer(const std::string& name, int ms, Clock::Repeat repeat, std::function<void()> tick)
    {
        timer_.setObjectName(QString::fromStdString(name));
        timer_.setInterval(ms);
        timer_.setSingleShot(repeat == Clock::Repeat::Once);
        timer_.setTimerType(Qt::PreciseTimer); // the intervals are exact, not rounded to the clock
        QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(tick));
    }
    void start() override { timer_.start(); }
    void start(int ms) override { timer_.start(ms); }
    void stop() override { timer_.stop(); }
    bool isActive() const override { return timer_.isActive(); }
    int interval() const override { return timer_.interval(); }

private:
    QTimer timer_;
};

class EventLoopClock final : public Clock {
public:
    std::unique_ptr<Timer> makeTimer(std::string name, int ms, Repeat repeat, std::function<void()> tick) override
    {
        return std::make_unique<EventLoopTimer>(name, ms, repeat, std::move(tick));
    }
};

} // namespace

Clock& Clock::eventLoop()
{
    static EventLoopClock clock;
    return clock;
}

} // namespace talvex
