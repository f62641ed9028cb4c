#pragma once
// USB HID link, the byte link (byte_link.h) for the amplifier on USB: follows
// its HID device being plugged and unplugged, keeps the hidden device list and
// traffic log, writes frames as 65-byte output reports, joins input reports
// into reply frames (bytesReceived hands over whole frames, as the bus link
// does), and retries the connect
// handshake while the identification has not been confirmed.
//
// The amplifier this editor holds stays its device for as long as it is present:
// another one plugged in later is only listed. It is held under a lock file, so
// a second editor finds it in use. While a serial session is connected an
// amplifier that arrives is opened but waits; it carries the link once that
// session has ended. A Device ID search is no session: it is told to end
// (amplifierWaiting), and when it has given the port back the amplifier takes
// the link and connects by itself. Writes go out in order on the writer thread.
//
// The link state is the session's: this link reads it. The amplifier it has
// matched, and whether that one is to carry the link (the USB mode), are its own.

#include "link/byte_link.h"
#include "link/hid_controller.h"
#include "link/hid_device_lock.h"
#include "link/hid_write_queue.h"
#include "link/link_state.h"
#include "link/usb_report_assembler.h"

#include <QSet>

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <span>

namespace talvex {

class UsbHidLink : public ByteLink {
    Q_OBJECT
public:
    static constexpr std::uint16_t kVendorId = 0x0483;
    static constexpr std::uint16_t kProductId = 0x5750;
    static constexpr const char* kMatchName = "ZIRIZORIDARUZ01 (Serial=0000001)";
    static constexpr int kHistoryLimit = 10000;
    static constexpr int kMaxReconnects = 3;

    // Connects to the controller's notifications.
    UsbHidLink(HidController& controller, const LinkState& link, QObject* parent = nullptr);
    ~UsbHidLink() override;

    // ByteLink. open(): the held amplifier is to carry a session (the location
    // is not used): prepareConnect(), then opened() when it carries the link,
    // failed() when no amplifier can. close(): the session has ended
    // (sessionEnded()). write(): one whole encoded frame (writeFrame()).
    void open(const QString& location) override;
    void close() override { sessionEnded(); }
    bool isOpen() const override { return open_ && usbMode_; }
    bool write(std::span<const std::uint8_t> frame) override;
    QString errorString() const override { return {}; }

    // Where the device lock files go (by default the system's temporary directory).
    void setLockDirectory(const QString& directory);

    // Before a connect: opens the amplifier again after a read error, or tries
    // once more one that could not be opened, so that connect finds it.
    void prepareConnect();
    // The connected session has ended: an amplifier that waited for it takes the link.
    void sessionEnded();
    // A Device ID search has closed its port: an amplifier that arrived during
    // it takes the link and connects, as one plugged in while idle does.
    void searchEnded();

    // Notification handlers (called by the controller's signals; public for tests).
    void onDevicesChanged(); // hidctlDeviceChange
    void onArrival(const HidDeviceInfo& device);
    void onRemoval(const HidDeviceInfo& device);
    void onReadError(int code, const QString& text);

    // "Product (Serial=...)", or "Device VID=... PID=..." for a device without a product name.
    static QString displayName(const HidDeviceInfo& device);
    // Appends a line to the traffic log (historyLineAdded), keeping the newest kHistoryLimit lines.
    void addHistoryLine(const QString& text);

    // Writes one encoded frame in its parts (frameParts), each logged per report.
    void writeFrame(std::span<const std::uint8_t> frame);
    // Writes one part of a frame: up to 64 bytes as one output report; a block
    // write's 642 data bytes as 11 reports of 64 data bytes and one further
    // report repeating the eleventh.
    void writeFramePart(std::span<const std::uint8_t> part);

    // One tick of the connect retry (every 500 ms while the identification is
    // unconfirmed): true when the handshake is to be tried again, at most
    // kMaxReconnects times, and only while the held amplifier carries a
    // connected link.
    bool retryDue();

    // Drops a reply being joined from its reports (a new conversation starts, or the link ended).
    void resetReports() { reports_.reset(); }

    // A matched device is open (it carries frames when the USB mode flag is set).
    bool hasDevice() const { return open_; }
    // The matched amplifier's position in the device list (kNoMatchedDevice:
    // none), and whether it is to carry the link (the USB mode).
    int matchedDevice() const { return matchedDevice_; }
    bool usbMode() const { return usbMode_; }
    // An amplifier is matched and the USB mode is set.
    bool matched() const { return matchedDevice_ != kNoMatchedDevice && usbMode_; }
    // The USB mode is set or an amplifier is matched: the serial port list stays as it is.
    bool holdsMatch() const { return usbMode_ || matchedDevice_ != kNoMatchedDevice; }
    // The link carried by the amplifier was lost: it counts as matched again
    // only after the next connect or device change.
    void dropMatch() { matchedDevice_ = kNoMatchedDevice; }
    // Nothing waits to be written.
    bool writesIdle() const { return writes_.idle(); }

    // The messages of a device that cannot be used.
    static QString openRefusedMessage(const QString& reason);
    static QString inUseMessage();
    // The display names of the device list (DevListBox), in enumeration order.
    const QStringList& deviceList() const { return deviceList_; }
    int historyLines() const { return historyLines_; }

    // Set by the identification reply when the string matched; cleared on connect.
    bool versionConfirmed = false;
    int reconnectAttempts = 0;

signals:
    // A line for the traffic log (HistoryListBox); the oldest line is to go.
    void historyLineAdded(const QString& line);
    void oldestHistoryLineDropped();
    // The amplifier was plugged in or removed (lbl_usbhid).
    void statusChanged(const QString& text);
    // The port and Device ID selectors are to be enabled or disabled together.
    void selectorsEnabledChanged(bool enabled);
    // The display names of the HID devices present (DevListBox).
    void deviceListChanged(const QStringList& names);
    // Something the user must act on (a message box); emitted from the event loop.
    void userMessage(const QString& text);
    // A newly taken amplifier is free to carry the link: connect to it.
    void connectionWanted();
    // The amplifier carrying the connected link was unplugged: the link is lost.
    void carrierRemoved();
    // An amplifier was newly taken while the serial port held the link: it
    // waits for that port to be closed.
    void amplifierWaiting();
    // A frame handed to the link did not reach the amplifier: its write failed,
    // the queue was full, or it was dropped when the link ended. `frame` is as
    // the frame was handed over (the frame of a report, or a block's 642
    // bytes). Emitted on the user-interface thread, in the order handed over.
    void frameNotSent(const QByteArray& frame, const QString& reason);

private:
    QList<int> candidates(const QList<HidDeviceInfo>& devices) const;
    bool takeDevice(const QList<HidDeviceInfo>& devices);
    bool acquire(const QList<HidDeviceInfo>& devices, int index);
    void refused(const HidDeviceInfo& device, const QString& logLine, const QString& message);
    void release();
    void adopt();
    void updateSelectors(const QList<HidDeviceInfo>& devices);
    void queue(std::vector<HidWriteQueue::Report> reports, QByteArray frame);
    void discardWrites();
    void logWrite(const HidWriteQueue::Report& report, const HidWriteResult& result);
    // The device that carries the link (its position in the device list, or
    // kNoMatchedDevice) and whether the USB mode flag is set.
    void setMatch(int matchedDevice, bool usbMode);

    HidController& controller_;
    const LinkState& link_;
    QStringList deviceList_;
    HidDeviceLock lock_;
    QString heldPath_;    // the amplifier this editor holds (open, or closed after a read error)
    int heldIndex_ = -1;  // its position in the device list
    bool open_ = false;   // the held amplifier is open
    int matchedDevice_ = kNoMatchedDevice;
    bool usbMode_ = false; // the matched amplifier is to carry the link
    QSet<QString> refused_; // could not be taken: tried again on its arrival or a connect only
    QSet<QString> told_;  // devices the user has been told about while they stay present
    bool selectorsLocked_ = false;
    bool waiting_ = false; // newly taken while the serial port was connected, not yet the transport
    int historyLines_ = 0;
    UsbReportAssembler reports_;
    // The frames queued and not yet reported, oldest first, with the reports
    // each still has to write (user-interface thread only).
    struct Pending {
        QByteArray frame;
        std::size_t reports = 0;
        QString notSent; // set: never written (refused or discarded); reported once it is the oldest
    };
    void reportUnsent();
    std::deque<Pending> pending_;
    HidWriteQueue writes_; // last: its thread ends before the rest goes
};

} // namespace talvex
