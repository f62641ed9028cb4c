#include "link/port_list.h"

#include "link/byte_link.h"
#include "link/link_state.h"

#include <QSerialPortInfo>

#include <algorithm>
#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <unistd.h>
#endif

namespace talvex {

namespace {

[[maybe_unused]] constexpr int kFirstExtraNumber = 1000;

std::vector<SerialPortItem> enumerateSystemPorts()
{
    std::vector<SerialPortItem> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.push_back({info.portName(), info.systemLocation(), 0});
    return ports;
}

#ifdef Q_OS_WIN
// COM number of a Windows port name: the text after the first three characters.
int comNumber(const QString& name)
{
    bool ok = false;
    const int number = name.mid(3).toInt(&ok);
    return ok && number > 0 ? number : 0;
}
#endif

std::optional<QString> systemAccessRefusal([[maybe_unused]] const QString& location)
{
#ifdef Q_OS_UNIX
    // Read and write permission for this user; a port that is merely busy or
    // gone is not refused here.
    if (::access(location.toLocal8Bit().constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return QString::fromLocal8Bit(std::strerror(EACCES));
#endif
    return std::nullopt;
}

QStringList namesOf(const std::vector<SerialPortItem>& ports)
{
    QStringList names;
    for (const SerialPortItem& port : ports)
        names << port.name;
    return names;
}

} // namespace

PortList::PortList() : enumerator_(enumerateSystemPorts), accessCheck_(systemAccessRefusal) {}

std::optional<QString> PortList::accessRefusal(const QString& location) const
{
    if (isNetworkLocation(location))
        return std::nullopt; // a gateway answers or refuses when it is connected to
    return accessCheck_ ? accessCheck_(location) : std::nullopt;
}

std::vector<SerialPortItem> PortList::read() const
{
    ++readings_;
    std::vector<SerialPortItem> ports = enumerator_ ? enumerator_() : std::vector<SerialPortItem>{};
    std::stable_sort(ports.begin(), ports.end(), [](const SerialPortItem& a, const SerialPortItem& b) {
        return QString::compare(a.name, b.name, Qt::CaseInsensitive) < 0;
    });
    for (const QString& path : extraPorts_)
        ports.push_back({path, path, 0});
    const std::size_t enumerated = ports.size() - std::size_t(extraPorts_.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
#ifdef Q_OS_WIN
        // COM ports keep their COM number; the extra paths get numbers no COM
        // port has.
        if (i < enumerated) {
            ports[i].number = comNumber(ports[i].name);
            if (ports[i].number > 0)
                ports[i].location = comDeviceName(ports[i].number);
        } else {
            ports[i].number = kFirstExtraNumber + int(i - enumerated);
        }
#else
        (void)enumerated;
        // Position + 1, stepping over 100, which marks the USB link.
        ports[i].number = int(i) + 1 < kPortUsb ? int(i) + 1 : int(i) + 2;
#endif
    }
    return ports;
}

QStringList PortList::readAtStart()
{
    changed_ = false;
    table_ = read();
    return namesOf(table_);
}

std::optional<QStringList> PortList::refresh()
{
    if (monitored_ && !changed_)
        return std::nullopt;
    changed_ = false;
    std::vector<SerialPortItem> fresh = read();
    if (fresh == table_)
        return std::nullopt;
    table_ = std::move(fresh);
    return namesOf(table_);
}

std::optional<int> PortList::portNumber(int itemIndex) const
{
    if (itemIndex < 0 || std::size_t(itemIndex) >= table_.size() || table_[std::size_t(itemIndex)].number == 0)
        return std::nullopt;
    return table_[std::size_t(itemIndex)].number;
}

std::optional<QString> PortList::location(int portNumber) const
{
    if (portNumber == kPortNone)
        return std::nullopt;
    const auto item = std::find_if(table_.begin(), table_.end(),
                                   [&](const SerialPortItem& p) { return p.number == portNumber; });
    if (item != table_.end())
        return item->location;
#ifdef Q_OS_WIN
    return comDeviceName(portNumber);
#else
    return std::nullopt;
#endif
}

QString PortList::comDeviceName(int number)
{
    return number <= 9 ? QStringLiteral("COM%1").arg(number) : QStringLiteral("//./COM%1").arg(number);
}

} // namespace talvex
