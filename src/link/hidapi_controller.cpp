#include "link/hidapi_controller.h"

#include <hidapi/hidapi.h>

#include <QMetaObject>

#include <cerrno>
#include <chrono>

namespace talvex {

namespace {

QString fromWide(const wchar_t* text) { return text ? QString::fromWCharArray(text) : QString(); }

} // namespace

HidapiController::HidapiController(QObject* parent) : HidController(parent)
{
    hid_init();
    worker_ = std::thread([this] { run(); });
}

HidapiController::~HidapiController()
{
    stop_ = true;
    wakeWorker();
    worker_.join();
    close();
    hid_exit();
}

QList<HidDeviceInfo> HidapiController::devices() const { return devices_; }

bool HidapiController::open(int index)
{
    close();
    if (index < 0 || index >= devices_.size())
        return false;
    std::lock_guard lock(mutex_);
    device_ = hid_open_path(devices_[index].path.toLocal8Bit().constData());
    readFailed_ = false;
    ++generation_;
    wakeWorker();
    return device_ != nullptr;
}

void HidapiController::close()
{
    std::lock_guard lock(mutex_);
    if (device_)
        hid_close(device_);
    device_ = nullptr;
    ++generation_;
}

bool HidapiController::isOpen() const { return device_ != nullptr; }

HidWriteResult HidapiController::write(std::span<const std::uint8_t> report)
{
    HidWriteResult result;
    if (!device_) {
        result.errorText = QStringLiteral("no device open");
        return result;
    }
    ++writersWaiting_;
    std::lock_guard lock(mutex_);
    --writersWaiting_;
    const int written = hid_write(device_, report.data(), report.size());
    if (written < 0) {
        result.errorCode = errno;
        result.errorText = fromWide(hid_error(device_));
        return result;
    }
    result.ok = true;
    result.written = written;
    return result;
}

void HidapiController::run()
{
    using Clock = std::chrono::steady_clock;
    QList<HidDeviceInfo> known;
    auto nextEnumeration = Clock::now();
    while (!stop_) {
        if (enumerationWanted_.exchange(false) || (polling_ && Clock::now() >= nextEnumeration)) {
            enumerateOnce(known);
            nextEnumeration = Clock::now() + std::chrono::milliseconds(kPollMs);
        }
        if (!readOnce())
            pauseWhileIdle();
        while (writersWaiting_ > 0 && !stop_)
            std::this_thread::yield();
    }
}

void HidapiController::setPolling(bool polling)
{
    polling_ = polling;
    wakeWorker();
}

void HidapiController::devicesMayHaveChanged()
{
    enumerationWanted_ = true;
    wakeWorker();
}

void HidapiController::wakeWorker()
{
    {
        std::lock_guard lock(wakeMutex_);
        woken_ = true;
    }
    wake_.notify_one();
}

void HidapiController::pauseWhileIdle()
{
    // Behind a device monitor an idle editor costs nothing: no wake-ups at all
    // while no device is open and nothing changes.
    std::unique_lock lock(wakeMutex_);
    if (polling_)
        wake_.wait_for(lock, std::chrono::milliseconds(kIdleMs), [this] { return woken_; });
    else
        wake_.wait(lock, [this] { return woken_; });
    woken_ = false;
}

void HidapiController::enumerateOnce(QList<HidDeviceInfo>& known)
{
    QList<HidDeviceInfo> fresh;
    {
        std::lock_guard lock(mutex_);
        hid_device_info* list = hid_enumerate(0, 0);
        for (hid_device_info* info = list; info; info = info->next) {
            HidDeviceInfo device;
            device.vendorId = info->vendor_id;
            device.productId = info->product_id;
            device.product = fromWide(info->product_string);
            device.serialNumber = fromWide(info->serial_number);
            device.path = QString::fromLocal8Bit(info->path);
            fresh << device;
        }
        hid_free_enumeration(list);
    }
    ++enumerations_;
    if (fresh == known)
        return;
    known = fresh;
    QMetaObject::invokeMethod(this, [this, fresh] { applyEnumeration(fresh); }, Qt::QueuedConnection);
}

void HidapiController::applyEnumeration(const QList<HidDeviceInfo>& fresh)
{
    const QList<HidDeviceInfo> old = devices_;
    devices_ = fresh;
    auto hasPath = [](const QList<HidDeviceInfo>& list, const QString& path) {
        for (const HidDeviceInfo& device : list)
            if (device.path == path)
                return true;
        return false;
    };
    for (const HidDeviceInfo& device : old)
        if (!hasPath(fresh, device.path))
            emit removal(device);
    for (const HidDeviceInfo& device : fresh)
        if (!hasPath(old, device.path))
            emit arrival(device);
    emit deviceChange();
}

bool HidapiController::readOnce()
{
    unsigned char buffer[64];
    int count = 0;
    int generation = 0;
    QString errorText;
    int errorCode = 0;
    {
        std::lock_guard lock(mutex_);
        if (!device_ || readFailed_)
            return false;
        generation = generation_;
        count = hid_read_timeout(device_, buffer, sizeof buffer, kReadTimeoutMs);
        if (count < 0) {
            readFailed_ = true; // reported once; the removal follows
            errorCode = errno;
            errorText = fromWide(hid_error(device_));
        }
    }
    if (count < 0) {
        QMetaObject::invokeMethod(
            this, [this, generation, errorCode, errorText] {
                if (generation == generation_)
                    emit dataError(errorCode, errorText);
            },
            Qt::QueuedConnection);
        return false;
    }
    if (count > 0) {
        QByteArray data(reinterpret_cast<const char*>(buffer), count);
        data.resize(64, '\0');
        QMetaObject::invokeMethod(
            this, [this, generation, data] {
                if (generation == generation_)
                    emit inputReport(data);
            },
            Qt::QueuedConnection);
    }
    return true;
}

} // namespace talvex
