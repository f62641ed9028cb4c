#pragma once
// The platform operations the USB HID link needs. At most one device is open
// (taken for use) at a time; its input reports arrive as inputReport on the
// user-interface thread while it is open. Everything but write() is called on
// the user-interface thread; write() is called on the link's writer thread, one
// call at a time, and may block for as long as the device takes the report.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <span>

namespace talvex {

struct HidDeviceInfo {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    QString product;      // product string, may be empty
    QString serialNumber; // serial-number string, may be empty
    QString path;         // identifies the device while it is present
    int outputReportLength = 65; // report id + 64 data bytes
    int usagePage = 0;           // of the interface's top-level collection; 0 = not known
    bool operator==(const HidDeviceInfo&) const = default;
};

struct HidOpenResult {
    bool ok = false;
    int errorCode = 0; // the system's error code, 0 if it gave none
    QString errorText; // the library's reason
    explicit operator bool() const { return ok; }
};

struct HidWriteResult {
    bool ok = false;
    int written = 0;
    int errorCode = 0;
    QString errorText;
    bool dropped = false; // not written: the link's writes were discarded
};

class HidController : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~HidController() override = default;

    // The present devices, in enumeration order.
    virtual QList<HidDeviceInfo> devices() const = 0;
    // Takes device `index` of devices() for use and starts delivering its input
    // reports; releases any device opened before. Says why when it cannot be opened.
    virtual HidOpenResult open(int index) = 0;
    // Releases the open device (its data delivery ends).
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Writes one output report synchronously (report id byte first); see above
    // for the thread.
    virtual HidWriteResult write(std::span<const std::uint8_t> report) = 0;

    // Where a device monitor reports changes, the controller stops looking for
    // them on its own (polling false) and lists the devices again on
    // devicesMayHaveChanged(). Controllers that need neither ignore both.
    virtual void setPolling(bool polling) { (void)polling; }
    virtual void devicesMayHaveChanged() {}

signals:
    // Per change of the device set: arrival/removal for each device, then one deviceChange.
    void arrival(const talvex::HidDeviceInfo& device);
    void removal(const talvex::HidDeviceInfo& device);
    void deviceChange();
    // One input report of the open device: 64 data bytes without the report id.
    void inputReport(const QByteArray& data);
    // Reading the open device failed; no more reports come until it is opened again.
    void dataError(int code, const QString& text);
};

} // namespace talvex
