#include "fake_hid_controller.h"

#include <QMetaObject>

#include <algorithm>
#include <utility>

namespace talvex::vamp {

FakeHidController::~FakeHidController() { stallWrites(false); }

HidDeviceInfo FakeHidController::amplifierInfo(const QString& path)
{
    HidDeviceInfo info;
    info.vendorId = 0x0483;
    info.productId = 0x5750;
    info.product = QStringLiteral("ZIRIZORIDARUZ01");
    info.serialNumber = QStringLiteral("0000001");
    info.path = path;
    return info;
}

void FakeHidController::plug(const HidDeviceInfo& device, VirtualBus* bus, int position)
{
    insert(device, bus, position);
    if (polling_)
        announce();
}

void FakeHidController::plugTogether(const std::vector<std::pair<HidDeviceInfo, VirtualBus*>>& devices)
{
    for (const auto& [device, bus] : devices)
        insert(device, bus, -1);
    if (polling_)
        announce();
}

void FakeHidController::insert(const HidDeviceInfo& device, VirtualBus* bus, int position)
{
    Plugged plugged;
    plugged.info = device;
    plugged.bus = bus;
    if (bus)
        plugged.reports = std::make_unique<HidReportDevice>(*bus);
    {
        std::lock_guard lock(mutex_);
        const auto at = position < 0 || std::size_t(position) >= devices_.size() ? devices_.size()
                                                                                  : std::size_t(position);
        devices_.insert(devices_.begin() + std::ptrdiff_t(at), std::move(plugged));
        if (openIndex_ >= int(at))
            ++openIndex_;
    }
}

void FakeHidController::unplug(const QString& path)
{
    {
        std::lock_guard lock(mutex_);
        const auto it = std::find_if(devices_.begin(), devices_.end(),
                                     [&](const Plugged& p) { return p.info.path == path; });
        if (it == devices_.end())
            return;
        const int index = int(it - devices_.begin());
        if (openIndex_ == index)
            openIndex_ = -1;
        else if (openIndex_ > index)
            --openIndex_;
        devices_.erase(it);
    }
    unstalled_.notify_all(); // a write blocked on the device fails now
    if (polling_)
        announce();
}

void FakeHidController::devicesMayHaveChanged()
{
    ++listings;
    announce();
}

void FakeHidController::announce()
{
    const QList<HidDeviceInfo> now = devices();
    auto hasPath = [](const QList<HidDeviceInfo>& list, const QString& path) {
        return std::any_of(list.begin(), list.end(), [&](const HidDeviceInfo& d) { return d.path == path; });
    };
    const QList<HidDeviceInfo> before = std::exchange(announced_, now);
    if (before == now)
        return;
    for (const HidDeviceInfo& device : before)
        if (!hasPath(now, device.path))
            emit removal(device);
    for (const HidDeviceInfo& device : now)
        if (!hasPath(before, device.path))
            emit arrival(device);
    emit deviceChange();
}

QList<HidDeviceInfo> FakeHidController::devices() const
{
    QList<HidDeviceInfo> list;
    for (const Plugged& p : devices_)
        list << p.info;
    return list;
}

HidOpenResult FakeHidController::open(int index)
{
    ++openCount;
    close();
    if (index < 0 || std::size_t(index) >= devices_.size())
        return {false, 0, QStringLiteral("no such device")};
    if (!openRefusal.errorText.isEmpty())
        return openRefusal;
    std::lock_guard lock(mutex_);
    openIndex_ = index;
    readFailed_ = false;
    return {true, 0, {}};
}

void FakeHidController::close()
{
    std::lock_guard lock(mutex_);
    openIndex_ = -1;
}

void FakeHidController::raiseDataError(int code, const QString& text)
{
    {
        std::lock_guard lock(mutex_);
        readFailed_ = true;
    }
    emit dataError(code, text);
}

void FakeHidController::stallWrites(bool stalled)
{
    {
        std::lock_guard lock(mutex_);
        stalled_ = stalled;
    }
    unstalled_.notify_all();
}

int FakeHidController::stalledWrites() const
{
    std::lock_guard lock(mutex_);
    return stalledWrites_;
}

HidWriteResult FakeHidController::write(std::span<const std::uint8_t> report)
{
    HidWriteResult result;
    std::unique_lock lock(mutex_);
    if (stalled_ && openIndex_ >= 0) {
        ++stalledWrites_;
        const bool released = unstalled_.wait_for(lock, stallTimeout, [&] { return !stalled_ || openIndex_ < 0; });
        --stalledWrites_;
        if (!released) {
            result.errorCode = 0x6E;
            result.errorText = QStringLiteral("Connection timed out");
            return result;
        }
    }
    if (openIndex_ < 0 || failWrites) {
        result.errorCode = 0x1F;
        result.errorText = QStringLiteral("A device attached to the system is not functioning.");
        return result;
    }
    const QString path = devices_[std::size_t(openIndex_)].info.path;
    lock.unlock();
    result.ok = true;
    result.written = int(report.size());
    // The device takes the report on the controller's thread, as input reports arrive there.
    QMetaObject::invokeMethod(
        this, [this, path, data = std::vector<std::uint8_t>(report.begin(), report.end())] { receive(path, data); },
        Qt::QueuedConnection);
    return result;
}

void FakeHidController::receive(const QString& path, const std::vector<std::uint8_t>& report)
{
    const auto it = std::find_if(devices_.begin(), devices_.end(),
                                 [&](const Plugged& p) { return p.info.path == path; });
    if (it == devices_.end())
        return;
    written.push_back(report);
    if (!it->reports || report.size() < 65)
        return;
    const auto replies = it->reports->outputReport(std::span(report).subspan<1, 64>());
    // Input reports arrive later, on the event loop, like a real controller's.
    for (const auto& reply : replies) {
        QByteArray data(reinterpret_cast<const char*>(reply.data()), qsizetype(reply.size()));
        QMetaObject::invokeMethod(
            this, [this, path, data] {
                if (openIndex_ >= 0 && devices_[std::size_t(openIndex_)].info.path == path && !readFailed_)
                    emit inputReport(data);
            },
            Qt::QueuedConnection);
    }
}

void FakeHidController::sendReply(std::span<const std::uint8_t> frame)
{
    for (const auto& report : HidReportDevice::replyReports(frame)) {
        QByteArray data(reinterpret_cast<const char*>(report.data()), qsizetype(report.size()));
        QMetaObject::invokeMethod(
            this, [this, data] {
                if (openIndex_ >= 0 && !readFailed_)
                    emit inputReport(data);
            },
            Qt::QueuedConnection);
    }
}

} // namespace talvex::vamp
