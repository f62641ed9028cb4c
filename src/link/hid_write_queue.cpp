#include "link/hid_write_queue.h"

namespace talvex {

HidWriteQueue::HidWriteQueue(Write write, Done done)
    : write_(std::move(write)), done_(std::move(done)), thread_([this] { run(); })
{
}

HidWriteQueue::~HidWriteQueue()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        jobs_.clear();
        ++discards_;
    }
    wake_.notify_all();
    thread_.join();
}

bool HidWriteQueue::push(std::vector<Report> reports)
{
    {
        std::lock_guard lock(mutex_);
        if (queuedReports_ + reports.size() > kMaxQueuedReports)
            return false;
        queuedReports_ += reports.size();
        jobs_.push_back(std::move(reports));
    }
    wake_.notify_one();
    return true;
}

std::size_t HidWriteQueue::discard()
{
    std::lock_guard lock(mutex_);
    const std::size_t dropped = jobs_.size();
    jobs_.clear();
    queuedReports_ = 0;
    ++discards_;
    return dropped;
}

bool HidWriteQueue::idle() const
{
    std::lock_guard lock(mutex_);
    return jobs_.empty() && !busy_;
}

void HidWriteQueue::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
        if (stop_)
            return;
        std::vector<Report> job = std::move(jobs_.front());
        jobs_.pop_front();
        queuedReports_ -= job.size();
        const unsigned discards = discards_;
        busy_ = true;
        for (const Report& report : job) {
            if (discards != discards_) {
                // The rest of this job goes unwritten: say so once.
                HidWriteResult dropped;
                dropped.dropped = true;
                lock.unlock();
                done_(report, dropped);
                lock.lock();
                break;
            }
            lock.unlock();
            const HidWriteResult result = write_(report);
            done_(report, result);
            lock.lock();
            if (!result.ok)
                break;
        }
        busy_ = false;
    }
}

} // namespace talvex
