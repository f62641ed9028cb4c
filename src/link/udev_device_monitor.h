#pragma once
// DeviceMonitor on udev: libudev's monitor for the hidraw and tty subsystems,
// read on the event loop through a socket notifier. It sees a device after
// udev has set it up (permissions included), so a listing that follows finds
// the device usable.

#include "link/device_monitor.h"

#include <memory>

struct udev;
struct udev_monitor;
class QSocketNotifier;

namespace talvex {

class UdevDeviceMonitor : public DeviceMonitor {
    Q_OBJECT
public:
    // The monitor, or null where none can be had (udev is not running, or
    // the system has no udev): the device lists are then polled.
    static std::unique_ptr<UdevDeviceMonitor> create(QObject* parent = nullptr);
    ~UdevDeviceMonitor() override;

private:
    UdevDeviceMonitor(udev* context, udev_monitor* monitor, QObject* parent);
    void readEvents();

    udev* context_;
    udev_monitor* monitor_;
    QSocketNotifier* notifier_;
};

} // namespace talvex
