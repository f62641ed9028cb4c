#pragma once
// One conversation at a time on a half-duplex bus (RS-485 on two wires, or a
// network gateway in front of one). While a device answers it drives the line,
// and any byte sent meanwhile garbles both, so every frame for one port goes
// through one scheduler:
// - A request that awaits a reply holds the bus until the reply's last byte
//   arrives or its deadline passes. Deadline = the request's own wire time +
//   turnaround allowance + the reply's wire time (payload + 12 bytes, 10 bits a
//   byte at the port's baud rate) + margin.
// - A frame that awaits no reply (a write, anything to the broadcast address)
//   holds the bus for its own wire time and the gap the devices need between frames.
// - When the bus is free the first waiting request of the highest priority goes.
//   A poll is short (a meter read holds the bus some 40 ms), so it goes at once
//   and delays a tick that comes meanwhile by that much at most. A Background
//   request goes only where it fits: done, reply included, before the next send
//   tick the owner has announced (reserveAt), unless it has waited `patienceMs`
//   already; then it goes at the next free moment and delays that one tick.
// Plain C++, no clock of its own: the owner passes the time (milliseconds of a
// steady clock) and calls advance() at nextWakeMs() or whenever it submitted.
// Callbacks may submit, cancel or clear; the scheduler's state is settled before
// each one runs.

#include "link/frame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace talvex {

enum class BusPriority { Edit, Chain, Poll, Background }; // highest first
inline constexpr std::size_t kBusPriorityCount = 4;

struct BusTiming {
    int baud = 9600;
    int bitsPerByte = 10;  // 8N1: start bit, 8 data bits, stop bit
    int turnaroundMs = 5;  // a device starts its reply this long after the request's last byte
    int marginMs = 60;     // reply deadline slack: slower devices, USB serial adapters' latency timers,
                           // gateway buffering, a busy host; a meter read's deadline (99 ms) stays
                           // within the searches' 100 ms between probes
    int gapMs = 4;         // silence after a frame awaiting no reply (3.5 character times at 9600 baud)
    int patienceMs = 1000; // a Background request that has not fitted this long goes anyway

    // Milliseconds `bytes` take on the wire, rounded up.
    std::int64_t wireMs(std::size_t bytes) const;
};

// The payload length of the reply the command table promises for this encoded
// request, or nothing: writes and anything sent to the broadcast address get none.
std::optional<std::size_t> expectedReplyPayload(std::span<const std::uint8_t> request);

struct BusRequest {
    std::vector<std::uint8_t> frame; // the encoded frame, start bytes to end byte
    BusPriority priority = BusPriority::Edit;
    // Payload bytes of the awaited reply (expectedReplyPayload gives the command
    // table's); none: no reply awaited. Ignored for the broadcast address.
    std::optional<std::size_t> replyPayload;
    std::function<void(const frame::Reply&)> onReply; // the awaited reply arrived in time
    std::function<void()> onNoReply;                  // its deadline passed without it (lost or garbled)
    std::function<void()> onSent;                     // the frame has just been handed to the writer
};

using RequestId = std::uint64_t;

class BusScheduler {
public:
    using Writer = std::function<void(std::span<const std::uint8_t>)>;

    explicit BusScheduler(Writer write, BusTiming timing = {});

    const BusTiming& timing() const { return timing_; }

    // Queues a request behind the others of its priority; it goes at the next advance().
    RequestId submit(BusRequest request);
    // Drops a waiting request; for the one on the wire only its callbacks go,
    // the bus stays held until its reply or deadline.
    void cancel(RequestId id);
    // Cancels everything; the bus stays held as for cancel().
    void clear();
    // The port closed: everything is dropped and the bus is free.
    void reset();

    enum class ReplyFit {
        Awaited,   // the reply of the request on the wire: the bus is free again
        Late,      // answers a request whose deadline has passed: to be discarded
        Unexpected // nobody asked for it
    };
    // A complete reply frame, matched by address and command against the request on the wire.
    // `waitedInPort`: the reply was already in the port when its deadline came
    // (a busy machine ran the deadline before the read), so it is in time.
    ReplyFit replyArrived(const frame::Reply& reply, std::int64_t nowMs, bool waitedInPort = false);
    // The deadline of the request on the wire, while it awaits a reply.
    std::optional<std::int64_t> replyDeadline() const
    {
        return current_ && current_->awaitsReply ? std::optional(current_->freeAt) : std::nullopt;
    }

    // Frees the bus at a deadline and sends the next frame when the bus is free.
    void advance(std::int64_t nowMs);
    // When advance() must run next; nothing while idle with nothing waiting.
    std::optional<std::int64_t> nextWakeMs() const;

    // The owner's next first-priority frame (its send tick) is due at `atMs`;
    // Background requests are fitted in before it. Nothing: no tick.
    void reserveAt(std::optional<std::int64_t> atMs) { reservedAt_ = atMs; }

    bool busy() const { return current_.has_value(); }
    std::size_t queued(BusPriority priority) const { return queues_[index(priority)].size(); }

    struct Counts {
        std::uint64_t sent = 0;       // frames written
        std::uint64_t answered = 0;   // awaited replies that came in time
        std::uint64_t unanswered = 0; // deadlines passed
        std::uint64_t late = 0;
        std::uint64_t unexpected = 0;
    };
    const Counts& counts() const { return counts_; }

private:
    struct Waiting {
        RequestId id = 0;
        BusRequest request;
        std::int64_t queuedAt = 0; // first seen by advance(); -1 until then
    };
    struct OnWire {
        RequestId id = 0;
        std::uint8_t address = 0;
        std::uint8_t command = 0;
        bool awaitsReply = false;
        std::int64_t freeAt = 0; // deadline, or the end of the hold of a frame awaiting no reply
        std::function<void(const frame::Reply&)> onReply;
        std::function<void()> onNoReply;
    };
    struct Expired {
        std::uint8_t address;
        std::uint8_t command;
    };

    static std::size_t index(BusPriority p) { return static_cast<std::size_t>(p); }
    // The queue whose first request may go on the bus now, if any.
    std::optional<std::size_t> pickQueue(std::int64_t nowMs) const;
    std::int64_t expectedHoldMs(const BusRequest& request) const;
    bool awaitsReply(const BusRequest& request) const;
    void sendNext(std::int64_t nowMs);

    Writer write_;
    BusTiming timing_;
    std::array<std::deque<Waiting>, kBusPriorityCount> queues_;
    std::optional<OnWire> current_;
    std::deque<Expired> expired_; // the latest requests whose deadline passed, newest last
    std::optional<std::int64_t> reservedAt_;
    std::optional<std::int64_t> lastNow_;
    RequestId nextId_ = 1;
    Counts counts_;
};

// Supervision of the devices a port talks to: counts the watchdog's ticks only
// while a request that was actually sent has gone unanswered, so a request held
// back by the bus never looks like a lost link. Any reply of the supervised
// device settles the debt.
class ReplyWatchdog {
public:
    explicit ReplyWatchdog(int limit) : limit_(limit) {}

    void requestUnanswered() { owing_ = true; }
    void replied()
    {
        owing_ = false;
        silentTicks_ = 0;
    }
    // One watchdog tick; true when the link counts as lost.
    bool tick()
    {
        if (owing_)
            ++silentTicks_;
        return silentTicks_ >= limit_;
    }
    void reset() { replied(); }
    int silentTicks() const { return silentTicks_; }

private:
    int limit_;
    int silentTicks_ = 0;
    bool owing_ = false;
};

} // namespace talvex
