#include "link/dev_node_monitor.h"

#include "link/udev_device_monitor.h"

#include <QSocketNotifier>

#include <cstring>

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace talvex {

#ifdef Q_OS_LINUX

std::unique_ptr<DevNodeMonitor> DevNodeMonitor::create(const QString& directory, QObject* parent)
{
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (inotify_add_watch(fd, directory.toLocal8Bit().constData(),
                          IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO) < 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<DevNodeMonitor>(new DevNodeMonitor(fd, parent));
}

DevNodeMonitor::DevNodeMonitor(int fd, QObject* parent)
    : DeviceMonitor(parent), fd_(fd), notifier_(new QSocketNotifier(fd, QSocketNotifier::Read, this))
{
    connect(notifier_, &QSocketNotifier::activated, this, &DevNodeMonitor::readEvents);
}

DevNodeMonitor::~DevNodeMonitor()
{
    delete notifier_;
    ::close(fd_);
}

void DevNodeMonitor::readEvents()
{
    bool hid = false;
    bool tty = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t length = ::read(fd_, buffer, sizeof buffer);
        if (length <= 0)
            break; // nothing more queued (the descriptor does not block)
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                hid = tty = true; // events were lost: look at everything again
                continue;
            }
            if (event->len == 0)
                continue;
            const char* name = event->name;
            hid = hid || std::strncmp(name, "hidraw", 6) == 0;
            tty = tty || std::strncmp(name, "tty", 3) == 0 || std::strncmp(name, "rfcomm", 6) == 0;
        }
    }
    if (hid)
        emit hidDevicesChanged();
    if (tty)
        emit serialPortsChanged();
}

#else // no inotify: the lists are polled

std::unique_ptr<DevNodeMonitor> DevNodeMonitor::create(const QString&, QObject*) { return nullptr; }
DevNodeMonitor::DevNodeMonitor(int fd, QObject* parent) : DeviceMonitor(parent), fd_(fd), notifier_(nullptr) {}
DevNodeMonitor::~DevNodeMonitor() = default;
void DevNodeMonitor::readEvents() {}

#endif

std::unique_ptr<DeviceMonitor> createSystemDeviceMonitor(QObject* parent)
{
    if (auto udev = UdevDeviceMonitor::create(parent))
        return udev;
    return DevNodeMonitor::create(QStringLiteral("/dev"), parent);
}

} // namespace talvex
