#pragma once
// A HidController without hardware. Tests plug and unplug devices; a device may
// carry a virtual amplifier that answers output reports with input reports,
// delivered on the event loop as a real controller would.

#include "link/hid_controller.h"
#include "virtual_amplifier.h"

#include <QList>

#include <memory>
#include <vector>

namespace talvex::vamp {

class FakeHidController : public HidController {
    Q_OBJECT
public:
    using HidController::HidController;
    ~FakeHidController() override;

    // The amplifier's own identity ("ZIRIZORIDARUZ01", serial "0000001").
    static HidDeviceInfo amplifierInfo(const QString& path = QStringLiteral("fake-hid-0"));

    // Adds a device; with `bus` set, its output reports go to that bus.
    // Emits arrival, then deviceChange (with polling off: at the next listing).
    void plug(const HidDeviceInfo& device, VirtualBus* bus = nullptr);
    // Removes the device with this path (closing it if open); emits removal,
    // then deviceChange (with polling off: at the next listing).
    void unplug(const QString& path);

    // With polling off, as behind a device monitor, plugging and unplugging
    // are noticed only when devicesMayHaveChanged() lists the devices again.
    void setPolling(bool polling) override { polling_ = polling; }
    void devicesMayHaveChanged() override;
    int listings = 0; // how many times devicesMayHaveChanged() listed the devices

    // Fault injection.
    bool failWrites = false;
    void raiseDataError(int code, const QString& text) { emit dataError(code, text); }

    // Every output report written (with report id).
    std::vector<std::vector<std::uint8_t>> written;
    // How many times open() was called.
    int openCount = 0;

    QList<HidDeviceInfo> devices() const override;
    bool open(int index) override;
    void close() override;
    bool isOpen() const override { return openIndex_ >= 0; }
    HidWriteResult write(std::span<const std::uint8_t> report) override;

private:
    struct Plugged {
        HidDeviceInfo info;
        VirtualBus* bus = nullptr;
        std::unique_ptr<HidReportDevice> reports;
    };
    void announce(); // arrival and removal against the devices last announced, then one change
    std::vector<Plugged> devices_;
    QList<HidDeviceInfo> announced_;
    int openIndex_ = -1;
    bool polling_ = true;
};

} // namespace talvex::vamp
