#include "session/pauses.h"

#include <algorithm>
#include <utility>

namespace talvex {

Pauses::Pauses(Clock& clock, std::string name) : clock_(clock), name_(std::move(name)) {}

void Pauses::after(int ms, std::function<void()> then)
{
    if (!then)
        return;
    auto free = std::find_if(slots_.begin(), slots_.end(), [](const auto& slot) { return !slot->then; });
    if (free == slots_.end()) {
        auto slot = std::make_unique<Slot>();
        Slot* raw = slot.get();
        slot->timer = clock_.makeTimer(name_, ms, Clock::Repeat::Once, [this, raw] { run(*raw); });
        free = slots_.insert(slots_.end(), std::move(slot));
    }
    (*free)->then = std::move(then);
    (*free)->timer->start(ms);
}

void Pauses::run(Slot& slot)
{
    // Freed before the step runs: the step may ask for the next pause in it.
    const auto then = std::exchange(slot.then, {});
    if (then)
        then();
}

void Pauses::dropAll()
{
    for (const auto& slot : slots_) {
        slot->timer->stop();
        slot->then = {};
    }
}

} // namespace talvex
