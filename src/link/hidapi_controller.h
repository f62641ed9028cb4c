#pragma once
// HidController on hidapi (hidraw on Linux). hidapi has no hot-plug call and is
// not thread-safe: one worker thread owns enumeration (every 300 ms, or on
// request where a device monitor reports changes) and reading
// the open device; open, close and the synchronous writes of the
// user-interface thread take turns with it under one mutex. (Even reading and
// writing one device at the same time is unsafe: both replace the device's
// error text.) Reads wait at most 10 ms, so a write never waits longer.

#include "link/hid_controller.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

struct hid_device_;

namespace talvex {

class HidapiController : public HidController {
    Q_OBJECT
public:
    static constexpr int kPollMs = 300;
    static constexpr int kReadTimeoutMs = 10;
    static constexpr int kIdleMs = 50;

    explicit HidapiController(QObject* parent = nullptr);
    ~HidapiController() override;

    QList<HidDeviceInfo> devices() const override;
    bool open(int index) override;
    void close() override;
    bool isOpen() const override;
    HidWriteResult write(std::span<const std::uint8_t> report) override;
    // Polling (the default) lists the devices every kPollMs; without it they
    // are listed once at start and then only after devicesMayHaveChanged()
    // (any thread), at the worker's next turn.
    void setPolling(bool polling) override;
    void devicesMayHaveChanged() override;
    // How many times the devices have been listed.
    int enumerations() const { return enumerations_; }

private:
    void run();
    // The worker's pause when there is nothing to read: kIdleMs while polling;
    // otherwise until it is woken (a device opened, a listing asked for, stop).
    void pauseWhileIdle();
    void wakeWorker();
    void enumerateOnce(QList<HidDeviceInfo>& known);
    bool readOnce();
    void applyEnumeration(const QList<HidDeviceInfo>& fresh);

    // User-interface thread only: the device list as last reported.
    QList<HidDeviceInfo> devices_;
    std::mutex mutex_; // guards every hidapi call and the two fields below
    hid_device_* device_ = nullptr; // changed on the user-interface thread only
    bool readFailed_ = false;
    std::atomic<int> generation_{0}; // counts opens, so stale reports are dropped
    std::atomic<int> writersWaiting_{0}; // the worker steps aside for them
    std::atomic<bool> stop_{false};
    std::atomic<bool> polling_{true};
    std::atomic<bool> enumerationWanted_{true}; // the first listing at start
    std::atomic<int> enumerations_{0};
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool woken_ = false; // guarded by wakeMutex_
    std::thread worker_;
};

} // namespace talvex
