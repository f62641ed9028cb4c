#pragma once
// The timing of a two-wire RS-485 line at 9600 baud as the devices see it. The
// master's bytes take their wire time one after another; a reply starts a
// turnaround after the request's last byte and takes its own wire time. From
// the request's last byte until the reply's last byte the line belongs to the
// device: any byte of the master's that would be on the wire then collides.
// Times are milliseconds on any steady clock.

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace talvex::vamp {

class HalfDuplexLine {
public:
    static constexpr double kByteMs = 10.0 * 1000.0 / 9600.0; // 8N1: 10 bits a byte
    static constexpr double kTurnaroundMs = 5.0;

    // `count` bytes of the master's arrive at `nowMs`. False: they meet a reply
    // that is due or on the wire, and are lost (counted as a collision).
    bool receive(std::size_t count, double nowMs)
    {
        const double start = std::max(nowMs, masterUntil_);
        const double end = start + double(count) * kByteMs;
        if (start < deviceUntil_ && end > deviceFrom_) {
            ++collisions_;
            return false;
        }
        masterUntil_ = end;
        return true;
    }
    // A reply of `count` bytes to what was received last: when its first byte goes.
    double reply(std::size_t count)
    {
        const double start = masterUntil_ + kTurnaroundMs;
        deviceFrom_ = masterUntil_;
        deviceUntil_ = start + double(count) * kByteMs;
        return start;
    }
    std::uint64_t collisions() const { return collisions_; }

private:
    double masterUntil_ = 0; // the master's last byte leaves the wire
    double deviceFrom_ = 0;  // the line is the device's from here ...
    double deviceUntil_ = 0; // ... until here
    std::uint64_t collisions_ = 0;
};

} // namespace talvex::vamp
