#pragma once
// A HidController without hardware. Tests plug and unplug devices; a device may
// carry a virtual amplifier that answers output reports with input reports,
// delivered on the event loop as a real controller would. Writes come from the
// link's writer thread; what the device received is recorded, and answered, on
// the controller's own (user-interface) thread.

#include "link/hid_controller.h"
#include "virtual_amplifier.h"

#include <QList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace talvex::vamp {

class FakeHidController : public HidController {
    Q_OBJECT
public:
    using HidController::HidController;
    ~FakeHidController() override;

    // The amplifier's own identity ("ZIRIZORIDARUZ01", serial "0000001").
    static HidDeviceInfo amplifierInfo(const QString& path = QStringLiteral("fake-hid-0"));

    // Adds a device at `position` of the enumeration order (-1: last); with
    // `bus` set, its output reports go to that bus. Emits arrival, then
    // deviceChange (with polling off: at the next listing).
    void plug(const HidDeviceInfo& device, VirtualBus* bus = nullptr, int position = -1);
    // Adds several devices in one change (one device's interfaces): emits an
    // arrival for each, then one deviceChange.
    void plugTogether(const std::vector<std::pair<HidDeviceInfo, VirtualBus*>>& devices);
    // Removes the device with this path (closing it if open); emits removal,
    // then deviceChange (with polling off: at the next listing).
    void unplug(const QString& path);

    // With polling off, as behind a device monitor, plugging and unplugging
    // are noticed only when devicesMayHaveChanged() lists the devices again.
    void setPolling(bool polling) override { polling_ = polling; }
    void devicesMayHaveChanged() override;
    int listings = 0; // how many times devicesMayHaveChanged() listed the devices

    // Fault injection.
    std::atomic<bool> failWrites{false};
    // While its text is set, open() refuses with it (as hidraw without the udev rule does).
    HidOpenResult openRefusal;
    // The open device sends `frame` as a reply of its own (its input reports
    // arrive on the event loop), whatever was asked.
    void sendReply(std::span<const std::uint8_t> frame);
    // Reading the open device fails without removal: emits dataError; no input
    // reports arrive until the device is opened again.
    void raiseDataError(int code, const QString& text);
    // While stalled, writes block (a device that takes no reports); a write that
    // is still blocked after `stallTimeout` fails as the kernel's time-out does.
    void stallWrites(bool stalled);
    std::chrono::milliseconds stallTimeout{5000};
    // Writes blocked right now.
    int stalledWrites() const;

    // Every output report the device received (with report id), in order.
    std::vector<std::vector<std::uint8_t>> written;
    // How many times open() was called.
    int openCount = 0;

    QList<HidDeviceInfo> devices() const override;
    HidOpenResult open(int index) override;
    void close() override;
    bool isOpen() const override { return openIndex_ >= 0; }
    HidWriteResult write(std::span<const std::uint8_t> report) override;

private:
    struct Plugged {
        HidDeviceInfo info;
        VirtualBus* bus = nullptr;
        std::unique_ptr<HidReportDevice> reports;
    };
    void insert(const HidDeviceInfo& device, VirtualBus* bus, int position);
    void receive(const QString& path, const std::vector<std::uint8_t>& report);
    void announce(); // arrival and removal against the devices last announced, then one change
    QList<HidDeviceInfo> announced_;
    bool polling_ = true;

    // Changed on the controller's thread under mutex_; the writer thread reads them under it.
    std::vector<Plugged> devices_;
    int openIndex_ = -1;
    bool readFailed_ = false;
    bool stalled_ = false;
    int stalledWrites_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable unstalled_;
};

} // namespace talvex::vamp
