#include "link/usb_hid_link.h"

#include "link/frame_packaging.h"

#include <QMetaObject>

#include <algorithm>
#include <array>

namespace talvex {

namespace {

bool isAmplifierModel(const HidDeviceInfo& device)
{
    return device.vendorId == UsbHidLink::kVendorId && device.productId == UsbHidLink::kProductId;
}

bool isVendorDefined(const HidDeviceInfo& device) { return device.usagePage >= 0xFF00; }

QString hex(int code) { return QString::number(code, 16).toUpper(); }

// "reason (1F)": the system's code only where there is one (none on Windows,
// where hidapi's text carries the system's message).
QString withCode(const QString& reason, int code)
{
    return code != 0 ? QStringLiteral("%1 (%2)").arg(reason, hex(code)) : reason;
}

QString reportLine(std::span<const std::uint8_t> report)
{
    QString line = QStringLiteral("W %1  ").arg(report[0], 2, 16, QLatin1Char('0'));
    for (std::size_t i = 1; i < report.size(); ++i)
        line += QStringLiteral("%1 ").arg(report[i], 2, 16, QLatin1Char('0'));
    return line.toUpper();
}

} // namespace

UsbHidLink::UsbHidLink(HidController& controller, const LinkState& link, QObject* parent)
    : ByteLink(parent), controller_(controller), link_(link),
      writes_([this](std::span<const std::uint8_t> report) { return controller_.write(report); },
              [this](const HidWriteQueue::Report& report, const HidWriteResult& result) {
                  // Logged on the user-interface thread, in the order written.
                  QMetaObject::invokeMethod(
                      this, [this, report, result] { logWrite(report, result); }, Qt::QueuedConnection);
              })
{
    connect(&controller_, &HidController::arrival, this, &UsbHidLink::onArrival);
    connect(&controller_, &HidController::removal, this, &UsbHidLink::onRemoval);
    connect(&controller_, &HidController::deviceChange, this, &UsbHidLink::onDevicesChanged);
    connect(&controller_, &HidController::dataError, this, &UsbHidLink::onReadError);
    // Reports are taken only while the amplifier carries the link.
    connect(&controller_, &HidController::inputReport, this, [this](const QByteArray& data) {
        if (!open_ || !usbMode_)
            return;
        if (const auto whole = reports_.addReport(byteSpan(data)))
            emit bytesReceived(byteArray(*whole));
    });
}

UsbHidLink::~UsbHidLink() = default;

void UsbHidLink::setLockDirectory(const QString& directory)
{
    if (heldPath_.isEmpty())
        lock_.setDirectory(directory);
}

QString UsbHidLink::displayName(const HidDeviceInfo& device)
{
    QString name = device.product;
    if (name.isEmpty())
        name = QStringLiteral("Device VID=%1 PID=%2")
                   .arg(QString::number(device.vendorId, 16).rightJustified(4, QLatin1Char('0')).toUpper(),
                        QString::number(device.productId, 16).rightJustified(4, QLatin1Char('0')).toUpper());
    if (!device.serialNumber.isEmpty())
        name += QStringLiteral(" (Serial=%1)").arg(device.serialNumber);
    return name;
}

QString UsbHidLink::openRefusedMessage(const QString& reason)
{
    QString text = QStringLiteral("The Talvex-96K amplifier is plugged in to USB, but the editor cannot open it:\n%1\n\n")
                       .arg(reason);
#ifdef Q_OS_LINUX
    text += QStringLiteral("The editor needs the amplifier's udev rule, which is in the packaging folder. Install it as "
                           "the README describes:\n"
                           "    sudo cp packaging/70-talvex-96k.rules /etc/udev/rules.d/\n"
                           "    sudo udevadm control --reload-rules && sudo udevadm trigger\n"
                           "then unplug the amplifier and plug it in again.\n\n");
#else
    text += QStringLiteral("Close any other program that uses the amplifier, then unplug it and plug it in again.\n\n");
#endif
    text += QStringLiteral("Until then you can connect through a serial port.");
    return text;
}

QString UsbHidLink::inUseMessage()
{
    return QStringLiteral("The Talvex-96K amplifier on USB is in use by another Talvex-96K editor on this computer.\n\n"
                          "Close that editor, then click Connect. Until then you can connect through a serial port.");
}

void UsbHidLink::addHistoryLine(const QString& text)
{
    emit historyLineAdded(text);
    ++historyLines_;
    // The log runs for as long as the editor does: keep only the newest lines.
    while (historyLines_ > kHistoryLimit) {
        emit oldestHistoryLineDropped();
        --historyLines_;
    }
}

// The lines that may carry the link: those with the amplifier's name; when
// there are several, the interfaces with a vendor-defined usage page come
// first (a device lists one line per interface or top-level collection, and
// the amplifier's reports travel on the vendor-defined one).
QList<int> UsbHidLink::candidates(const QList<HidDeviceInfo>& devices) const
{
    QList<int> all;
    for (int i = 0; i < devices.size(); ++i)
        if (displayName(devices[i]) == QLatin1String(kMatchName))
            all << i;
    QList<int> vendor;
    for (int i : all)
        if (isVendorDefined(devices[i]))
            vendor << i;
    return all.size() > 1 && !vendor.isEmpty() ? vendor : all;
}

void UsbHidLink::onDevicesChanged()
{
    deviceList_.clear();
    const QList<HidDeviceInfo> devices = controller_.devices();
    for (const HidDeviceInfo& device : devices)
        deviceList_ << displayName(device);
    emit deviceListChanged(deviceList_);

    // What the user was told about a device holds while it stays present.
    QSet<QString> present;
    for (const HidDeviceInfo& device : devices)
        present << device.path;
    told_.intersect(present);
    refused_.intersect(present);

    const bool taken = takeDevice(devices);
    updateSelectors(devices);
    // Only a newly taken amplifier connects by itself: one already held (for
    // example after the user's Disconnect) waits for the user.
    if (taken && link_ == LinkState::Closed) {
        emit connectionWanted();
    } else if (taken && !usbMode_) {
        waiting_ = true;
        emit amplifierWaiting();
    }
}

// Keeps, opens again or takes the amplifier; true when one was newly taken.
bool UsbHidLink::takeDevice(const QList<HidDeviceInfo>& devices)
{
    const QList<int> lines = candidates(devices);
    int index = -1;
    for (int i : lines)
        if (!heldPath_.isEmpty() && devices[i].path == heldPath_) {
            index = i;
            break;
        }
    bool taken = false;
    if (index >= 0 && !open_) {
        // Closed after a read error: open it again.
        const HidOpenResult result = controller_.open(index);
        if (result) {
            open_ = true;
        } else {
            release();
            refused(devices[index], QStringLiteral("OPEN ERROR: ") + withCode(result.errorText, result.errorCode),
                    openRefusedMessage(result.errorText));
            index = -1;
        }
    } else if (index < 0) {
        release();
        QSet<QString> tried;
        for (int i : lines) {
            if (tried.contains(devices[i].path) || refused_.contains(devices[i].path))
                continue;
            tried << devices[i].path;
            if (acquire(devices, i)) {
                index = i;
                taken = true;
                break;
            }
        }
    }
    heldIndex_ = index;
    if (index < 0) {
        setMatch(kNoMatchedDevice, false);
        return false;
    }
    reconnectAttempts = 0;
    adopt();
    return taken;
}

bool UsbHidLink::acquire(const QList<HidDeviceInfo>& devices, int index)
{
    const HidDeviceInfo& device = devices[index];
    if (!lock_.acquire(device.path)) {
        refused(device, QStringLiteral("IN USE: %1 is open in another editor").arg(displayName(device)), inUseMessage());
        return false;
    }
    const HidOpenResult result = controller_.open(index);
    if (!result) {
        lock_.release();
        refused(device, QStringLiteral("OPEN ERROR: ") + withCode(result.errorText, result.errorCode),
                openRefusedMessage(result.errorText));
        return false;
    }
    open_ = true;
    heldPath_ = device.path;
    return true;
}

void UsbHidLink::refused(const HidDeviceInfo& device, const QString& logLine, const QString& message)
{
    refused_ << device.path;
    addHistoryLine(logLine);
    if (told_.contains(device.path))
        return;
    told_ << device.path;
    // Shown from the event loop, not from inside the notification that found it.
    QMetaObject::invokeMethod(this, [this, message] { emit userMessage(message); }, Qt::QueuedConnection);
}

void UsbHidLink::release()
{
    discardWrites();
    if (open_)
        controller_.close();
    open_ = false;
    waiting_ = false;
    heldPath_.clear();
    heldIndex_ = -1;
    lock_.release();
}

// The held amplifier carries the link, unless a serial session is connected:
// then it waits for sessionEnded().
void UsbHidLink::adopt()
{
    if (heldIndex_ < 0 || link_ == LinkState::Bus)
        return;
    setMatch(heldIndex_, true);
    waiting_ = false;
}

void UsbHidLink::setMatch(int matchedDevice, bool usbMode)
{
    matchedDevice_ = matchedDevice;
    usbMode_ = usbMode;
}

void UsbHidLink::prepareConnect()
{
    if (open_ && usbMode_) {
        setMatch(heldIndex_, true); // a lost link may have dropped the match
        return;
    }
    const QList<HidDeviceInfo> devices = controller_.devices();
    if (candidates(devices).isEmpty())
        return;
    refused_.clear(); // the user asks: try them again
    takeDevice(devices);
    updateSelectors(devices);
}

void UsbHidLink::open(const QString& location)
{
    (void)location; // there is one amplifier on USB: the one held
    prepareConnect();
    if (isOpen())
        emit opened();
    else
        emit failed(QStringLiteral("OPEN ERROR: no amplifier on USB carries the link"));
}

bool UsbHidLink::write(std::span<const std::uint8_t> frame)
{
    if (!open_)
        return false;
    writeFrame(frame);
    return true;
}

void UsbHidLink::sessionEnded()
{
    // Frames of the session that has ended are not sent any more.
    discardWrites();
    adopt();
}

void UsbHidLink::searchEnded()
{
    if (!waiting_ || link_ != LinkState::Closed)
        return;
    adopt();
    if (open_ && usbMode_)
        emit connectionWanted();
}

// The port and Device ID selectors are locked while this editor holds an
// amplifier, and while a device of the amplifier's model with another name is
// present; an amplifier that cannot be opened leaves the serial link usable.
void UsbHidLink::updateSelectors(const QList<HidDeviceInfo>& devices)
{
    bool locked = !heldPath_.isEmpty();
    for (const HidDeviceInfo& device : devices)
        if (isAmplifierModel(device) && displayName(device) != QLatin1String(kMatchName))
            locked = true;
    if (locked == selectorsLocked_)
        return;
    selectorsLocked_ = locked;
    emit selectorsEnabledChanged(!locked);
}

void UsbHidLink::onArrival(const HidDeviceInfo& device)
{
    addHistoryLine(QStringLiteral("Arrival of ") + displayName(device));
    if (!isAmplifierModel(device))
        return;
    emit statusChanged(QStringLiteral("已接上设备."));
    refused_.remove(device.path); // plugged in again: worth another try
    if (link_ == LinkState::Closed) {
        reconnectAttempts = 0;
        versionConfirmed = false;
        onDevicesChanged();
    }
    // While connected the change notification that follows the arrival opens
    // the amplifier and lets it wait for the end of the session; the selectors
    // are settled there as well.
    updateSelectors(controller_.devices());
}

void UsbHidLink::onRemoval(const HidDeviceInfo& device)
{
    addHistoryLine(QStringLiteral("Removal of ") + displayName(device));
    if (!isAmplifierModel(device))
        return;
    emit statusChanged(QStringLiteral("已移除设备."));
    // Only the amplifier carrying the session ends it; a serial session, or
    // another amplifier going away, is left alone.
    if (!heldPath_.isEmpty() && device.path == heldPath_) {
        if (link_ == LinkState::Usb)
            emit carrierRemoved();
        release();
        setMatch(kNoMatchedDevice, false);
    }
    updateSelectors(controller_.devices());
}

void UsbHidLink::onReadError(int code, const QString& text)
{
    addHistoryLine(QStringLiteral("READ ERROR: ") + withCode(text, code));
    // The handle reads nothing more: close it; the next connect or device
    // change opens the amplifier again. The lock stays with this editor.
    if (!open_)
        return;
    discardWrites();
    controller_.close();
    open_ = false;
}

void UsbHidLink::queue(std::vector<HidWriteQueue::Report> reports, QByteArray frame)
{
    const std::size_t count = reports.size();
    if (writes_.push(std::move(reports))) {
        pending_.push_back({std::move(frame), count, {}});
        return;
    }
    addHistoryLine(QStringLiteral("WRITE ERROR: the amplifier takes no reports, frame dropped"));
    pending_.push_back({std::move(frame), 0, QStringLiteral("the amplifier takes no reports")});
    reportUnsent();
}

void UsbHidLink::discardWrites()
{
    // The jobs dropped before their first report are the newest queued ones
    // (frames refused earlier may sit among them, already marked).
    std::size_t dropped = writes_.discard();
    for (auto job = pending_.rbegin(); job != pending_.rend() && dropped > 0; ++job) {
        if (job->notSent.isEmpty()) {
            job->notSent = QStringLiteral("dropped, the link has ended");
            --dropped;
        }
    }
    reportUnsent();
}

// Frames that were never written are reported after the ones handed over
// before them, so the marks keep the order of the frames.
void UsbHidLink::reportUnsent()
{
    while (!pending_.empty() && !pending_.front().notSent.isEmpty()) {
        const Pending job = std::move(pending_.front());
        pending_.pop_front();
        emit frameNotSent(job.frame, job.notSent);
    }
}

void UsbHidLink::logWrite(const HidWriteQueue::Report& report, const HidWriteResult& result)
{
    if (result.ok)
        addHistoryLine(reportLine(std::span(report).first(std::size_t(std::clamp(result.written, 1, 65)))));
    else if (!result.dropped)
        addHistoryLine(QStringLiteral("WRITE ERROR: ") + withCode(result.errorText, result.errorCode));
    if (pending_.empty())
        return;
    // A job ends at its last report, its first failure, or when it is cut short.
    Pending& job = pending_.front();
    if (result.ok && --job.reports > 0)
        return;
    const Pending done = std::move(job);
    pending_.pop_front();
    if (result.dropped)
        emit frameNotSent(done.frame, QStringLiteral("dropped, the link has ended"));
    else if (!result.ok)
        emit frameNotSent(done.frame, withCode(result.errorText, result.errorCode));
    reportUnsent();
}

void UsbHidLink::writeFrame(std::span<const std::uint8_t> frame)
{
    for (auto part : frameParts(frame))
        writeFramePart(part);
}

void UsbHidLink::writeFramePart(std::span<const std::uint8_t> part)
{
    if (!open_)
        return;
    queue(hidReports(part), byteArray(part));
}

bool UsbHidLink::retryDue()
{
    // A session the user (or the link loss) has ended is not retried.
    if (versionConfirmed || link_ == LinkState::Closed)
        return false;
    ++reconnectAttempts;
    return matched() && reconnectAttempts <= kMaxReconnects;
}

} // namespace talvex
