#pragma once
// The pause routine's pump on Qt: a monotonic millisecond clock and a local
// event loop that sleeps until an event arrives or the wait is over.

#include "link/delay.h"

#include <QElapsedTimer>

namespace talvex {

class QtEventPump : public EventPump {
public:
    QtEventPump() { clock_.start(); }
    std::uint64_t tickMs() const override { return std::uint64_t(clock_.elapsed()); }
    void processEvents(int maxWaitMs) override;

private:
    QElapsedTimer clock_;
};

} // namespace talvex
