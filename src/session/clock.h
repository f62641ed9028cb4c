#pragma once
// The timers of the session and of the features, behind one small interface:
// the program runs them on the event loop, tests on a clock of their own that
// they advance by hand or watch by name.
//
// A timer belongs to whoever made it and stops when it is destroyed. Its tick
// runs from the event loop (or from the test clock's advance()), never from
// inside start(). Every timer has a name that says what it paces ("watchdog",
// "send pulse"); tests ask by that name whether it runs and how often.

#include <functional>
#include <memory>
#include <string>

namespace talvex {

class Timer {
public:
    virtual ~Timer() = default;
    virtual void start() = 0;       // (re)starts with its interval
    virtual void start(int ms) = 0; // sets the interval, then starts
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    virtual int interval() const = 0;
};

class Clock {
public:
    enum class Repeat { Once, Every };

    virtual ~Clock() = default;
    // A stopped timer that calls `tick` after `ms`, once or every `ms`.
    virtual std::unique_ptr<Timer> makeTimer(std::string name, int ms, Repeat repeat, std::function<void()> tick) = 0;

    // The event loop's clock (precise Qt timers); lives as long as the program.
    static Clock& eventLoop();
};

} // namespace talvex
