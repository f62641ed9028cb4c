#pragma once
// The order-keeping writer of the USB HID link. Output reports are written one
// after another on a thread of their own, so a device that stops taking reports
// (each write then blocks until the kernel's USB time-out) never holds up the
// user-interface thread. A job is one frame: a single report, or the reports of
// a block write, which ends at its first failed report.

#include "link/hid_controller.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace talvex {

class HidWriteQueue {
public:
    using Report = std::array<std::uint8_t, 65>;
    using Write = std::function<HidWriteResult(std::span<const std::uint8_t>)>;
    // Called on the writer thread after each report, in the order written.
    using Done = std::function<void(const Report&, const HidWriteResult&)>;

    // Reports waiting beyond this mean the device has stopped taking them.
    static constexpr std::size_t kMaxQueuedReports = 256;

    HidWriteQueue(Write write, Done done);
    ~HidWriteQueue(); // lets the report being written finish, drops the rest
    HidWriteQueue(const HidWriteQueue&) = delete;
    HidWriteQueue& operator=(const HidWriteQueue&) = delete;

    // Queues one job behind the others; false, with nothing queued, when full.
    bool push(std::vector<Report> reports);
    // Drops every job not yet written, and the rest of the one being written
    // (which is then reported to Done once more, with `dropped` set). Returns
    // how many jobs were dropped before their first report.
    std::size_t discard();
    // Nothing queued and nothing being written.
    bool idle() const;

private:
    void run();

    Write write_;
    Done done_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::vector<Report>> jobs_;
    std::size_t queuedReports_ = 0; // reports of the jobs in jobs_
    unsigned discards_ = 0; // counts discard(), so a job being written stops early
    bool busy_ = false;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace talvex
