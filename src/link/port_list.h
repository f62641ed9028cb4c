#pragma once
// The serial port list: the machine's ports (enumerated, sorted as text
// ignoring case), then the paths given with --port, each with its port number;
// the compare-then-replace refresh; and the check whether this process may open
// a port at all. Reading the machine's ports walks the system's device tree
// (thousands of entries on Linux), so the list is read once at start-up and
// then only when a device monitor has reported a change, or, with no monitor,
// on each refresh the caller makes.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace talvex {

// One item of the port list. `name` is the text shown in cbb_comport; `location`
// is what gets opened; `number` is the item's port number: on Windows the COM
// number (0 when the name does not end in one) and 1000 + k for the k-th extra
// path; elsewhere the item's position + 1, skipping 100 (the USB link's mark).
struct SerialPortItem {
    QString name;
    QString location;
    int number = 0;
    bool operator==(const SerialPortItem&) const = default;
};

class PortList {
public:
    // Lists the machine's ports as (name, system location). Defaults to
    // QSerialPortInfo::availablePorts(); tests replace it.
    using Enumerator = std::function<std::vector<SerialPortItem>()>;
    // Why this process may not open a port at all (no permission), or nothing
    // when it may try. Checked on Unix only (elsewhere a refused port is a busy
    // one); tests replace the check.
    using AccessCheck = std::function<std::optional<QString>(const QString& location)>;

    PortList();

    void setEnumerator(Enumerator enumerator) { enumerator_ = std::move(enumerator); }
    // Paths given with --port: each joins the list after the enumerated ports, in the order given.
    void setExtraPorts(const QStringList& paths) { extraPorts_ = paths; }
    void setAccessCheck(AccessCheck check) { accessCheck_ = std::move(check); }
    // A device monitor reports changes: refresh() reads the ports only after one.
    void setMonitored(bool monitored) { monitored_ = monitored; }
    // A port came or went (from the device monitor).
    void portsMayHaveChanged() { changed_ = true; }

    std::optional<QString> accessRefusal(const QString& location) const;

    // Reads the ports now (numbers filled in); the table stays as it is.
    std::vector<SerialPortItem> read() const;
    // The start-up reading: fills the table and returns its names (the window
    // selects the last item).
    QStringList readAtStart();
    // The refresh: the names the shown list must be replaced with (select the
    // last item), or nothing when it stays as it is: no change reported by the
    // monitor, or a fresh reading equal to the table.
    std::optional<QStringList> refresh();

    const std::vector<SerialPortItem>& table() const { return table_; }
    // Port number of item `itemIndex` of the shown list, or nothing.
    std::optional<int> portNumber(int itemIndex) const;
    // What to open for this port number: the table's location; on Windows a
    // number not in the table is its COM device. Nothing for an unknown number.
    std::optional<QString> location(int portNumber) const;
    // "COM3" for 3, "//./COM12" for 12 (the Windows device names).
    static QString comDeviceName(int number);
    // How many times the machine's ports have been read.
    int readings() const { return readings_; }

private:
    Enumerator enumerator_;
    AccessCheck accessCheck_;
    QStringList extraPorts_;
    std::vector<SerialPortItem> table_;
    bool monitored_ = false;
    bool changed_ = false;
    mutable int readings_ = 0;
};

} // namespace talvex
