#pragma once
// A device monitor without udev: tests report a HID device or a serial port
// coming or going, and the window reacts as it does to the udev monitor's
// reports (the same signals).

#include "link/device_monitor.h"

namespace talvex::vamp {

class FakeDeviceMonitor : public DeviceMonitor {
public:
    using DeviceMonitor::DeviceMonitor;
    void reportHidChange() { emit hidDevicesChanged(); }
    void reportPortChange() { emit serialPortsChanged(); }
};

} // namespace talvex::vamp
