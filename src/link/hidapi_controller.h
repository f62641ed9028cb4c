#pragma once
// HidController on hidapi (hidraw on Linux). hidapi has no hot-plug call and is
// not thread-safe: one worker thread owns enumeration (every 300 ms, or on
// request where a device monitor reports changes) and reading the open device. The library's global calls (enumerate, open and their error
// text) take turns under one mutex; the calls on the open device (read, write,
// close) under a mutex of that device, because even reading and writing one
// device at the same time is unsafe (both replace the device's error text).
// Reads wait at most 10 ms, so a write never waits longer; while a write blocks
// (a device that takes no reports, up to the kernel's time-out) the worker skips
// reading and keeps enumerating, and closing the device on the user-interface
// thread does not wait: the handle is closed when the write returns.

#include "link/hid_controller.h"

#include <atomic>
#include <condition_variable>
#include <memory>
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
    HidOpenResult open(int index) override;
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

    // Opens the device at this path (what open() does once it has the path).
    HidOpenResult openPath(const QString& path);

private:
    struct OpenDevice;

    void run();
    // The worker's pause when there is nothing to read: kIdleMs while polling;
    // otherwise until it is woken (a device opened, a listing asked for, stop).
    void pauseWhileIdle();
    void wakeWorker();
    void enumerateOnce(QList<HidDeviceInfo>& known);
    bool readOnce();
    void applyEnumeration(const QList<HidDeviceInfo>& fresh);
    std::shared_ptr<OpenDevice> current() const;

    // User-interface thread only: the device list as last reported.
    QList<HidDeviceInfo> devices_;
    std::mutex mutex_; // guards the library's global calls: enumerate, open, the global error text
    mutable std::mutex deviceMutex_; // guards device_ (the pointer, not the calls on it)
    std::shared_ptr<OpenDevice> device_; // changed on the user-interface thread only
    std::atomic<int> generation_{0}; // counts opens and closes, so stale reports are dropped
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
