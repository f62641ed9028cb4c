#include "session/traffic_capture.h"

#include "link/hex_text.h"
#include "link/usb_hid_link.h"

namespace talvex {

namespace {

std::string text(const QString& s) { return s.toUtf8().toStdString(); }

bool isAmplifierModel(const HidDeviceInfo& device)
{
    return device.vendorId == UsbHidLink::kVendorId && device.productId == UsbHidLink::kProductId;
}

} // namespace

TrafficCapture::TrafficCapture(TrafficLog& log, HidController& hid, QObject* parent) : QObject(parent), log_(log)
{
    // Only the amplifier's own model: keyboards and mice coming and going are not link events.
    connect(&hid, &HidController::arrival, this, [this](const HidDeviceInfo& device) {
        if (isAmplifierModel(device))
            log_.event("USB", "arrival of " + text(UsbHidLink::displayName(device)));
    });
    connect(&hid, &HidController::removal, this, [this](const HidDeviceInfo& device) {
        if (isAmplifierModel(device))
            log_.event("USB", "removal of " + text(UsbHidLink::displayName(device)));
    });
    connect(&hid, &HidController::dataError, this, [this](int code, const QString& message) {
        log_.event("USB", "read error: " + text(message) + " (" + text(QString::number(code, 16).toUpper()) + ')');
    });
}

TrafficCapture::~TrafficCapture() = default;

void TrafficCapture::attach(FrameTransport& transport, ReplyReceiver& receiver, SerialLink& serial,
                            std::function<QString()> portName, UsbHidLink& usb)
{
    tap_ = std::make_unique<TrafficTap>(
        transport, log_, [portName = std::move(portName)] { return portName ? text(portName()) : std::string(); },
        [&serial] { return serial.isOpen(); });
    receiver.setFrameObserver(
        [this](std::span<const std::uint8_t> frame, bool isReply) { log_.received(transportName(), frame, isReply); });
    connect(&serial, &SerialLink::lateReply, this, [this](const QByteArray& frame) {
        log_.receivedLate(transportName(), byteSpan(frame));
    });
    connect(&serial, &SerialLink::portFailed, this,
            [this](const QString& message) { log_.event(transportName(), text(message)); });
    // Its TX line went out when the frame was handed over, before any reply;
    // the mark follows once the writer thread has given the outcome.
    connect(&usb, &UsbHidLink::frameNotSent, this, [this](const QByteArray& frame, const QString& reason) {
        log_.event("USB", toHex(byteSpan(frame)) + " (not sent: " + text(reason) + ')');
    });
}

std::string TrafficCapture::transportName() const { return tap_ ? tap_->transportName() : std::string(); }

void TrafficCapture::linkEvent(std::string_view text) { log_.event(transportName(), text); }

} // namespace talvex
