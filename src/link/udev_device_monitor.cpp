#include "link/udev_device_monitor.h"

#include <QSocketNotifier>

#include <cstring>

#ifdef TALVEX_HAVE_UDEV
#include <libudev.h>
#endif

namespace talvex {

#ifdef TALVEX_HAVE_UDEV

namespace {

// Whether the udev daemon runs: without it no "udev" events are ever sent,
// and a monitor would wait for nothing.
bool udevRunning(udev* context)
{
    udev_queue* queue = udev_queue_new(context);
    const bool running = queue && udev_queue_get_udev_is_active(queue) != 0;
    udev_queue_unref(queue);
    return running;
}

} // namespace

std::unique_ptr<UdevDeviceMonitor> UdevDeviceMonitor::create(QObject* parent)
{
    udev* context = udev_new();
    if (!context)
        return nullptr;
    udev_monitor* monitor = udevRunning(context) ? udev_monitor_new_from_netlink(context, "udev") : nullptr;
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0 || udev_monitor_get_fd(monitor) < 0) {
        udev_monitor_unref(monitor);
        udev_unref(context);
        return nullptr;
    }
    return std::unique_ptr<UdevDeviceMonitor>(new UdevDeviceMonitor(context, monitor, parent));
}

UdevDeviceMonitor::UdevDeviceMonitor(udev* context, udev_monitor* monitor, QObject* parent)
    : DeviceMonitor(parent), context_(context), monitor_(monitor),
      notifier_(new QSocketNotifier(udev_monitor_get_fd(monitor), QSocketNotifier::Read, this))
{
    connect(notifier_, &QSocketNotifier::activated, this, &UdevDeviceMonitor::readEvents);
}

UdevDeviceMonitor::~UdevDeviceMonitor()
{
    delete notifier_;
    udev_monitor_unref(monitor_);
    udev_unref(context_);
}

void UdevDeviceMonitor::readEvents()
{
    // The monitor's socket does not block: take every queued event, then
    // report each kind of change once.
    bool hid = false;
    bool tty = false;
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        const char* subsystem = udev_device_get_subsystem(device);
        const char* action = udev_device_get_action(device);
        const bool presence = action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0 ||
                                         std::strcmp(action, "move") == 0);
        if (presence && subsystem) {
            hid = hid || std::strcmp(subsystem, "hidraw") == 0;
            tty = tty || std::strcmp(subsystem, "tty") == 0;
        }
        udev_device_unref(device);
    }
    if (hid)
        emit hidDevicesChanged();
    if (tty)
        emit serialPortsChanged();
}

#else // no udev on this system: the lists are polled

std::unique_ptr<UdevDeviceMonitor> UdevDeviceMonitor::create(QObject*) { return nullptr; }
UdevDeviceMonitor::~UdevDeviceMonitor() = default;
UdevDeviceMonitor::UdevDeviceMonitor(udev*, udev_monitor*, QObject* parent)
    : DeviceMonitor(parent), context_(nullptr), monitor_(nullptr), notifier_(nullptr)
{
}
void UdevDeviceMonitor::readEvents() {}

#endif

} // namespace talvex
