#include "fake_hid_controller.h"

#include <QMetaObject>

#include <algorithm>
#include <utility>

namespace talvex::vamp {

FakeHidController::~FakeHidController() = default;

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

void FakeHidController::plug(const HidDeviceInfo& device, VirtualBus* bus)
{
    Plugged plugged;
    plugged.info = device;
    plugged.bus = bus;
    if (bus)
        plugged.reports = std::make_unique<HidReportDevice>(*bus);
    devices_.push_back(std::move(plugged));
    if (polling_)
        announce();
}

void FakeHidController::unplug(const QString& path)
{
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

bool FakeHidController::open(int index)
{
    ++openCount;
    close();
    if (index < 0 || std::size_t(index) >= devices_.size())
        return false;
    openIndex_ = index;
    return true;
}

void FakeHidController::close() { openIndex_ = -1; }

HidWriteResult FakeHidController::write(std::span<const std::uint8_t> report)
{
    HidWriteResult result;
    if (openIndex_ < 0 || failWrites) {
        result.errorCode = 0x1F;
        result.errorText = QStringLiteral("A device attached to the system is not functioning.");
        return result;
    }
    written.emplace_back(report.begin(), report.end());
    result.ok = true;
    result.written = int(report.size());
    Plugged& device = devices_[std::size_t(openIndex_)];
    if (!device.reports || report.size() < 65)
        return result;
    const auto replies = device.reports->outputReport(report.subspan<1, 64>());
    // Input reports arrive later, on the event loop, like a real controller's.
    const QString path = device.info.path;
    for (const auto& reply : replies) {
        QByteArray data(reinterpret_cast<const char*>(reply.data()), qsizetype(reply.size()));
        QMetaObject::invokeMethod(
            this, [this, path, data] {
                if (openIndex_ >= 0 && devices_[std::size_t(openIndex_)].info.path == path)
                    emit inputReport(data);
            },
            Qt::QueuedConnection);
    }
    return result;
}

} // namespace talvex::vamp
