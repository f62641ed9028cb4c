#include "link/hidapi_controller.h"

#include <hidapi/hidapi.h>

#include <QMetaObject>

#include <cerrno>
#include <cstring>
#include <chrono>

namespace talvex {

namespace {

QString fromWide(const wchar_t* text) { return text ? QString::fromWCharArray(text) : QString(); }

// hidapi's reason if it gave one, else the system's text for the code.
QString reason(const wchar_t* libraryText, int code)
{
    QString text = fromWide(libraryText);
    if (text.isEmpty() || (text == QLatin1String("Success") && code != 0))
        text = code != 0 ? QString::fromLocal8Bit(std::strerror(code)) : QStringLiteral("unknown error");
    return text;
}

// The system's code for the failure hidapi just reported: its hidraw back end
// leaves errno from the failing call; on Windows it sets none (the code goes
// into hid_error's text), so there is no code to give.
int systemErrorCode()
{
#ifdef Q_OS_WIN
    return 0;
#else
    return errno;
#endif
}

} // namespace

// The open device. The last holder closes the handle: the user-interface thread
// when nothing else uses it, otherwise the thread whose read or write was still
// running when the device was closed.
struct HidapiController::OpenDevice {
    OpenDevice(hid_device_* h, std::mutex& lib) : handle(h), library(lib) {}
    ~OpenDevice()
    {
        std::lock_guard lock(library);
        hid_close(handle);
    }
    hid_device_* const handle;
    std::mutex& library;
    std::mutex mutex;        // one call on the handle at a time
    bool readFailed = false; // under mutex: reported once, no more reads until opened again
};

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

std::shared_ptr<HidapiController::OpenDevice> HidapiController::current() const
{
    std::lock_guard lock(deviceMutex_);
    return device_;
}

HidOpenResult HidapiController::open(int index)
{
    close();
    if (index < 0 || index >= devices_.size())
        return {false, 0, QStringLiteral("no such device")};
    return openPath(devices_[index].path);
}

HidOpenResult HidapiController::openPath(const QString& path)
{
    close();
    HidOpenResult result;
    hid_device_* handle = nullptr;
    {
        std::lock_guard lock(mutex_);
        errno = 0;
        handle = hid_open_path(path.toLocal8Bit().constData());
        if (!handle) {
            result.errorCode = systemErrorCode();
            result.errorText = reason(hid_error(nullptr), result.errorCode);
            return result;
        }
    }
    auto device = std::make_shared<OpenDevice>(handle, mutex_);
    std::lock_guard lock(deviceMutex_);
    device_ = std::move(device);
    ++generation_;
    wakeWorker();
    result.ok = true;
    return result;
}

void HidapiController::close()
{
    std::shared_ptr<OpenDevice> closing;
    {
        std::lock_guard lock(deviceMutex_);
        closing.swap(device_);
        ++generation_;
    }
    // `closing` goes here; a read or write still running keeps the handle until it ends.
}

bool HidapiController::isOpen() const { return current() != nullptr; }

HidWriteResult HidapiController::write(std::span<const std::uint8_t> report)
{
    HidWriteResult result;
    const std::shared_ptr<OpenDevice> device = current();
    if (!device) {
        result.errorText = QStringLiteral("no device open");
        return result;
    }
    ++writersWaiting_;
    std::lock_guard lock(device->mutex);
    --writersWaiting_;
    errno = 0;
    const int written = hid_write(device->handle, report.data(), report.size());
    if (written < 0) {
        result.errorCode = systemErrorCode();
        result.errorText = reason(hid_error(device->handle), result.errorCode);
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
    // while no device is open and nothing changes. An open device is read again
    // soon even when this turn was skipped (a write held it, or it failed), so
    // reading goes on once the write returns.
    const bool deviceOpen = current() != nullptr; // before wakeMutex_: openPath wakes under deviceMutex_
    std::unique_lock lock(wakeMutex_);
    if (polling_ || deviceOpen)
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
            device.usagePage = info->usage_page;
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
    std::shared_ptr<OpenDevice> device;
    {
        std::lock_guard lock(deviceMutex_);
        device = device_;
        generation = generation_;
    }
    if (!device)
        return false;
    {
        // A write that blocks holds the device: skip reading rather than wait for it.
        std::unique_lock lock(device->mutex, std::try_to_lock);
        if (!lock.owns_lock() || device->readFailed)
            return false;
        errno = 0; // a failure the system gave no code for must not show an older one
        count = hid_read_timeout(device->handle, buffer, sizeof buffer, kReadTimeoutMs);
        if (count < 0) {
            device->readFailed = true;
            errorCode = systemErrorCode();
            errorText = reason(hid_error(device->handle), errorCode);
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
