#pragma once
// Tells when the machine's HID devices or serial ports may have changed, so
// that their lists are read again only then. Without a monitor (a system with
// neither udev nor inotify) the lists are polled.

#include <QObject>

namespace talvex {

class DeviceMonitor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~DeviceMonitor() override = default;

signals:
    // A HID device (a hidraw node on Linux) came or went.
    void hidDevicesChanged();
    // A serial port (a tty) came or went.
    void serialPortsChanged();
};

} // namespace talvex
