#include "link/usb_hid_link.h"

#include <array>

namespace talvex {

namespace {

bool isAmplifierModel(const HidDeviceInfo& device)
{
    return device.vendorId == UsbHidLink::kVendorId && device.productId == UsbHidLink::kProductId;
}

QString reportLine(std::span<const std::uint8_t> report)
{
    QString line = QStringLiteral("W %1  ").arg(report[0], 2, 16, QLatin1Char('0'));
    for (std::size_t i = 1; i < report.size(); ++i)
        line += QStringLiteral("%1 ").arg(report[i], 2, 16, QLatin1Char('0'));
    return line.toUpper();
}

} // namespace

UsbHidLink::UsbHidLink(HidController& controller, LinkState& link, ReplyReceiver& receiver, UsbHidHost& host,
                       QObject* parent)
    : QObject(parent), controller_(controller), link_(link), receiver_(receiver), host_(host)
{
    connect(&controller_, &HidController::arrival, this, &UsbHidLink::hidctlArrival);
    connect(&controller_, &HidController::removal, this, &UsbHidLink::hidctlRemoval);
    connect(&controller_, &HidController::deviceChange, this, &UsbHidLink::hidctlDeviceChange);
    connect(&controller_, &HidController::dataError, this, &UsbHidLink::hidctlDeviceDataError);
    // ShowRead is the data handler: reports reach it only while a matched device is open.
    connect(&controller_, &HidController::inputReport, this, [this](const QByteArray& data) {
        if (hasDevice_)
            receiver_.ShowRead(reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size()));
    });
}

QString UsbHidLink::DeviceName(const HidDeviceInfo& device)
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

void UsbHidLink::AddToHistory(const QString& text)
{
    host_.addHistoryLine(text);
    ++historyLines_;
    // The log runs for as long as the editor does: keep only the newest lines.
    while (historyLines_ > kHistoryLimit) {
        host_.dropOldestHistoryLine();
        --historyLines_;
    }
}

void UsbHidLink::hidctlDeviceChange()
{
    deviceList_.clear();
    const QList<HidDeviceInfo> devices = controller_.devices();
    for (const HidDeviceInfo& device : devices)
        deviceList_ << DeviceName(device);
    host_.showDeviceList(deviceList_);

    link_.matchedDevice = kNoMatchedDevice;
    const int match = int(deviceList_.indexOf(QString::fromLatin1(kMatchName)));
    // Only the matched device is taken for use; the others are listed by name.
    // A matched device that is still the one open stays open, so replies on
    // their way (a change notification follows every arrival) are not lost.
    const bool keepOpen = match >= 0 && hasDevice_ && controller_.isOpen() && devices[match].path == openPath_;
    if (!keepOpen) {
        controller_.close();
        hasDevice_ = false;
        openPath_.clear();
    }
    if (match < 0 || (!keepOpen && !controller_.open(match))) {
        link_.usbMode = false;
        return;
    }
    link_.matchedDevice = match;
    link_.usbMode = true;
    hasDevice_ = true;
    openPath_ = devices[match].path;
    reconnectAttempts = 0;
    if (!link_.connected)
        host_.connectClick();
}

void UsbHidLink::hidctlArrival(const HidDeviceInfo& device)
{
    AddToHistory(QStringLiteral("Arrival of ") + DeviceName(device));
    if (!isAmplifierModel(device))
        return;
    host_.setUsbHidLabel(QStringLiteral("已接上设备."));
    if (!link_.connected) {
        reconnectAttempts = 0;
        versionConfirmed = false;
        hidctlDeviceChange();
    }
    host_.setSelectorsEnabled(false);
}

void UsbHidLink::hidctlRemoval(const HidDeviceInfo& device)
{
    AddToHistory(QStringLiteral("Removal of ") + DeviceName(device));
    if (!isAmplifierModel(device))
        return;
    host_.setUsbHidLabel(QStringLiteral("已移除设备."));
    link_.noReplyCount = 100;
    if (link_.connected)
        host_.disconnectTick();
    host_.setSelectorsEnabled(true);
}

void UsbHidLink::hidctlDeviceDataError(int code, const QString& text)
{
    AddToHistory(QStringLiteral("READ ERROR: %1 (%2)").arg(text, QString::number(code, 16).toUpper()));
}

void UsbHidLink::writeReport(std::span<const std::uint8_t> report, bool& ok)
{
    const HidWriteResult result = controller_.write(report);
    ok = result.ok;
    if (result.ok)
        AddToHistory(reportLine(report.first(std::min(report.size(), std::size_t(std::max(result.written, 1))))));
    else
        AddToHistory(QStringLiteral("WRITE ERROR: %1 (%2)")
                         .arg(result.errorText, QString::number(result.errorCode, 16).toUpper()));
}

void UsbHidLink::UsbHidSendDataClick(std::span<const std::uint8_t, 65> report)
{
    if (!hasDevice_)
        return;
    bool ok = false;
    writeReport(report, ok);
}

void UsbHidLink::UsbHidSendBigData(std::span<const std::uint8_t, 642> block)
{
    if (!hasDevice_)
        return;
    std::array<std::uint8_t, 65> report{};
    for (int piece = 0; piece <= 10; ++piece) {
        report.fill(0);
        const std::size_t start = 64 * std::size_t(piece);
        const std::size_t count = std::min<std::size_t>(64, block.size() - start);
        std::copy_n(block.begin() + std::ptrdiff_t(start), count, report.begin() + 1);
        bool ok = false;
        writeReport(report, ok);
        if (!ok)
            return;
    }
    // One further report repeating the eleventh piece.
    bool ok = false;
    writeReport(report, ok);
}

void UsbHidLink::tmr_hidreconnectTick()
{
    host_.setReconnectTimerActive(false);
    if (versionConfirmed)
        return;
    ++reconnectAttempts;
    if (link_.matchedDevice == kNoMatchedDevice || !link_.usbMode || reconnectAttempts > kMaxReconnects)
        return;
    link_.noReplyCount = 0;
    host_.setReconnectTimerActive(true);
    host_.setConnectCaption(QStringLiteral("Connect"));
    link_.currentPort = kPortNone;
    host_.connectClick();
}

} // namespace talvex
