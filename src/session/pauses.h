#pragma once
// One-shot pauses on a clock: each runs its step once its time is up, unless
// all are dropped first. A step may ask for the next pause or drop the others.
// The timers are kept and reused, so none is destroyed from inside its own tick.

#include "session/clock.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace talvex {

class Pauses {
public:
    // Its timers are made on `clock` under `name`.
    explicit Pauses(Clock& clock, std::string name = "pause");

    void after(int ms, std::function<void()> then);
    void dropAll();

private:
    struct Slot {
        std::unique_ptr<Timer> timer;
        std::function<void()> then; // empty: the slot is free
    };
    void run(Slot& slot);

    Clock& clock_;
    std::string name_;
    std::vector<std::unique_ptr<Slot>> slots_;
};

} // namespace talvex
