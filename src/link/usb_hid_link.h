#pragma once
// USB HID link: follows the amplifier's HID device being plugged and unplugged,
// keeps the hidden device list and traffic log, writes frames as 65-byte output
// reports, hands input reports to the reply receiver, and retries the connect
// handshake while the identification has not been confirmed.

#include "link/hid_controller.h"
#include "link/link_state.h"
#include "link/reply_receiver.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <span>

namespace talvex {

// The parts of the main window the link touches.
class UsbHidHost {
public:
    virtual ~UsbHidHost() = default;
    // Traffic log (HistoryListBox): append a line and select it; drop the oldest line.
    virtual void addHistoryLine(const QString& line) = 0;
    virtual void dropOldestHistoryLine() = 0;
    // lbl_usbhid.
    virtual void setUsbHidLabel(const QString& text) = 0;
    // Enables or disables cbb_comport and cbb_deviceid together.
    virtual void setSelectorsEnabled(bool enabled) = 0;
    // btn_connectClick (connects or disconnects as the caption says).
    virtual void connectClick() = 0;
    // One tick of the link-loss supervision (tmr_disconnect).
    virtual void disconnectTick() = 0;
    // Starts or stops tmr_hidreconnect (500 ms).
    virtual void setReconnectTimerActive(bool active) = 0;
    // btn_connect's caption ("Connect" / "Disconnect").
    virtual void setConnectCaption(const QString& caption) = 0;
    // The hidden device list (DevListBox): one display name per HID device.
    virtual void showDeviceList(const QStringList& names) { (void)names; }
};

class UsbHidLink : public QObject {
    Q_OBJECT
public:
    static constexpr std::uint16_t kVendorId = 0x0483;
    static constexpr std::uint16_t kProductId = 0x5750;
    static constexpr const char* kMatchName = "ZIRIZORIDARUZ01 (Serial=0000001)";
    static constexpr int kHistoryLimit = 10000;
    static constexpr int kMaxReconnects = 3;

    // Connects to the controller's notifications; the host must outlive the link.
    UsbHidLink(HidController& controller, LinkState& link, ReplyReceiver& receiver, UsbHidHost& host,
               QObject* parent = nullptr);

    // Notification handlers (called by the controller's signals; public for tests).
    void hidctlDeviceChange();
    void hidctlArrival(const HidDeviceInfo& device);
    void hidctlRemoval(const HidDeviceInfo& device);
    void hidctlDeviceDataError(int code, const QString& text);

    static QString DeviceName(const HidDeviceInfo& device);
    void AddToHistory(const QString& text);

    // Writes the 65-byte transmit report as one output report and logs it.
    void UsbHidSendDataClick(std::span<const std::uint8_t, 65> report);
    // Writes the 642-byte block buffer as 11 reports of 64 data bytes, then one
    // further report repeating the eleventh.
    void UsbHidSendBigData(std::span<const std::uint8_t, 642> block);

    // Tick of tmr_hidreconnect.
    void tmr_hidreconnectTick();

    // A matched device is open and can carry frames.
    bool hasDevice() const { return hasDevice_; }
    // The display names of the device list (DevListBox), in enumeration order.
    const QStringList& deviceList() const { return deviceList_; }
    int historyLines() const { return historyLines_; }

    // Set by the identification reply when the string matched; cleared on connect.
    bool versionConfirmed = false;
    int reconnectAttempts = 0;

private:
    void writeReport(std::span<const std::uint8_t> report, bool& ok);

    HidController& controller_;
    LinkState& link_;
    ReplyReceiver& receiver_;
    UsbHidHost& host_;
    QStringList deviceList_;
    bool hasDevice_ = false;
    QString openPath_; // path of the open matched device
    int historyLines_ = 0;
};

} // namespace talvex
