#pragma once
// The clock the tests give the session and the features. By hand (the
// default): time stands still until advance() moves it, and the timers due on
// the way tick in time order. On the event loop: real timers, which the test
// only watches. Either way the test asks by name whether a timer runs and
// how often it ticks. The clock outlives the timers made on it.

#include "session/clock.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

namespace talvex::testing {

class TestClock final : public Clock {
public:
    enum class Mode { ByHand, EventLoop };
    explicit TestClock(Mode mode = Mode::ByHand) : mode_(mode) {}

    std::unique_ptr<Timer> makeTimer(std::string name, int ms, Repeat repeat, std::function<void()> tick) override
    {
        auto timer = std::make_unique<Entry>(*this, std::move(name), ms, repeat, std::move(tick));
        if (mode_ == Mode::EventLoop)
            timer->real = Clock::eventLoop().makeTimer(timer->name, ms, repeat, timer->tick);
        entries_.push_back(timer.get());
        return timer;
    }

    // By hand: moves time on by `ms`; every tick due on the way runs at its
    // time (ties in the order the timers were started).
    void advance(long long ms)
    {
        const long long until = now_ + ms;
        for (;;) {
            Entry* next = nullptr;
            for (Entry* e : entries_) {
                if (e->active && e->due <= until &&
                    (!next || e->due < next->due || (e->due == next->due && e->order < next->order)))
                    next = e;
            }
            if (!next)
                break;
            now_ = next->due;
            if (next->repeat == Repeat::Once)
                next->active = false;
            else
                next->due += std::max(1, next->ms);
            auto tick = next->tick; // the tick may destroy its own timer
            tick();
        }
        now_ = until;
    }
    // Every running timer of this name ticks now, as if its time had come
    // (a stopped one does not); a single-shot timer stops first.
    void fire(std::string_view name)
    {
        std::vector<Entry*> due;
        for (Entry* e : entries_) {
            if (e->name == name && e->isActive())
                due.push_back(e);
        }
        for (Entry* e : due) {
            if (std::find(entries_.begin(), entries_.end(), e) == entries_.end())
                continue; // an earlier tick destroyed it
            if (e->repeat == Repeat::Once)
                e->stop();
            else if (!e->real)
                e->due = now_ + std::max(1, e->ms);
            auto tick = e->tick;
            tick();
        }
    }

    // Whether a timer of this name runs, and its interval (-1: there is none).
    bool running(std::string_view name) const
    {
        return std::any_of(entries_.begin(), entries_.end(),
                           [&](const Entry* e) { return e->name == name && e->isActive(); });
    }
    // From now on timers of this name tick every `ms` whatever they ask for
    // (a test's shorter pause).
    void shorten(std::string name, int ms) { overrides_.emplace_back(std::move(name), ms); }
    int interval(std::string_view name) const
    {
        for (const Entry* e : entries_) {
            if (e->name == name)
                return e->interval();
        }
        return -1;
    }

private:
    struct Entry final : Timer {
        Entry(TestClock& clock, std::string n, int interval, Repeat r, std::function<void()> t)
            : owner(clock), name(std::move(n)), ms(interval), repeat(r), tick(std::move(t))
        {
        }
        ~Entry() override { std::erase(owner.entries_, this); }
        void start() override { start(ms); }
        void start(int interval) override
        {
            ms = interval;
            for (const auto& [overridden, to] : owner.overrides_) {
                if (overridden == name)
                    ms = to;
            }
            interval = ms;
            if (real) {
                real->start(interval);
                return;
            }
            active = true;
            due = owner.now_ + interval;
            order = ++owner.starts_;
        }
        void stop() override
        {
            if (real)
                real->stop();
            active = false;
        }
        bool isActive() const override { return real ? real->isActive() : active; }
        int interval() const override { return ms; }

        TestClock& owner;
        std::string name;
        int ms;
        Repeat repeat;
        std::function<void()> tick;
        std::unique_ptr<Timer> real; // on the event loop
        bool active = false;
        long long due = 0;
        long long order = 0;
    };

    Mode mode_;
    long long now_ = 0;
    long long starts_ = 0;
    std::vector<Entry*> entries_;
    std::vector<std::pair<std::string, int>> overrides_;
};

} // namespace talvex::testing
