#pragma once
// Pause with message pumping: waits while the application keeps handling its
// events (timer ticks, received data, user input).

#include <cstdint>

namespace talvex {

class EventPump {
public:
    virtual ~EventPump() = default;
    virtual std::uint64_t tickMs() const = 0;
    // Handles pending events, waiting at most `maxWaitMs` for one to arrive.
    virtual void processEvents(int maxWaitMs) = 0;
};

// Returns once `ms` have passed, or early if the tick count goes backwards.
void Delay(EventPump& pump, int ms);

} // namespace talvex
