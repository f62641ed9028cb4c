#pragma once
// DeviceMonitor on the device directory: an inotify watch on /dev, where the
// kernel makes and removes the device nodes (hidraw*, tty*, rfcomm*) as devices
// come and go. It serves where the udev daemon does not run (containers,
// minimal systems): there nothing changes a node after the kernel made it, so
// a listing that follows finds the device as usable as it will ever be. Where
// udev runs, its monitor is used instead, since udev sets a node's permissions
// only after the node appeared.

#include "link/device_monitor.h"

#include <QString>

#include <memory>

class QSocketNotifier;

namespace talvex {

class DevNodeMonitor : public DeviceMonitor {
    Q_OBJECT
public:
    // The monitor of `directory`, or null where it cannot be watched.
    static std::unique_ptr<DevNodeMonitor> create(const QString& directory = QStringLiteral("/dev"),
                                                  QObject* parent = nullptr);
    ~DevNodeMonitor() override;

private:
    DevNodeMonitor(int fd, QObject* parent);
    void readEvents();

    int fd_;
    QSocketNotifier* notifier_;
};

// The best monitor this system offers (udev, else the device directory), or
// null: the device lists are then polled.
std::unique_ptr<DeviceMonitor> createSystemDeviceMonitor(QObject* parent = nullptr);

} // namespace talvex
