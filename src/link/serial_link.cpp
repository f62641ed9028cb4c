#include "link/serial_link.h"

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

} // namespace

SerialLink::SerialLink(LinkState& link, ReplyReceiver& receiver, QObject* parent)
    : QObject(parent), link_(link), receiver_(receiver), enumerator_(enumerateSystemPorts),
      accessCheck_(systemAccessRefusal)
{
    connect(&bus_, &BusPort::opened, this, [this] {
        if (!BusPort::isNetworkLocation(bus_.location()))
            return; // a serial port: open() says so itself
        link_.connected = true;
        emit connectEnded(true);
    });
    connect(&bus_, &BusPort::failed, this, [this](const QString& text) {
        // A read or write error keeps the connected flag: the no-reply supervision ends the link.
        readerRunning_ = false;
        emit portFailed(text);
        if (BusPort::isNetworkLocation(bus_.location()) && !link_.connected && !bus_.isOpen())
            emit connectEnded(false);
    });
    // Replies to frames written by hand, and whatever else arrives whole and in time.
    connect(&bus_, &BusPort::unexpectedReply, this, [this](const QByteArray& frame) {
        deliver(std::span(reinterpret_cast<const std::uint8_t*>(frame.constData()), std::size_t(frame.size())));
    });
    connect(&bus_, &BusPort::lateReply, this, &SerialLink::lateReply);
}

SerialLink::~SerialLink() = default;

void SerialLink::setEnumerator(Enumerator enumerator) { enumerator_ = std::move(enumerator); }

void SerialLink::setExtraPorts(const QStringList& paths) { extraPorts_ = paths; }

std::optional<QString> SerialLink::accessRefusal(const QString& location) const
{
    if (isNetworkLocation(location))
        return std::nullopt; // a gateway answers or refuses when it is connected to
    return accessCheck_ ? accessCheck_(location) : std::nullopt;
}

std::vector<SerialPortItem> SerialLink::readPortList() const
{
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

namespace {
QStringList namesOf(const std::vector<SerialPortItem>& ports)
{
    QStringList names;
    for (const SerialPortItem& port : ports)
        names << port.name;
    return names;
}
} // namespace

QStringList SerialLink::initialPortList()
{
    table_ = readPortList();
    return namesOf(table_);
}

std::optional<QStringList> SerialLink::refreshPortList()
{
    if (link_.connected || (monitored_ && !portsChanged_))
        return std::nullopt;
    portsChanged_ = false;
    std::vector<SerialPortItem> fresh = readPortList();
    if (fresh == table_)
        return std::nullopt;
    table_ = std::move(fresh);
    return namesOf(table_);
}

std::optional<int> SerialLink::portNumber(int itemIndex) const
{
    if (itemIndex < 0 || std::size_t(itemIndex) >= table_.size() || table_[std::size_t(itemIndex)].number == 0)
        return std::nullopt;
    return table_[std::size_t(itemIndex)].number;
}

QString SerialLink::comDeviceName(int number)
{
    return number <= 9 ? QStringLiteral("COM%1").arg(number) : QStringLiteral("//./COM%1").arg(number);
}

bool SerialLink::open(int portNumber)
{
    if (portNumber == kPortNone)
        return false;
    const auto item = std::find_if(table_.begin(), table_.end(),
                                   [&](const SerialPortItem& p) { return p.number == portNumber; });
#ifdef Q_OS_WIN
    const QString location = item != table_.end() ? item->location : comDeviceName(portNumber);
#else
    if (item == table_.end())
        return false;
    const QString location = item->location;
#endif
    return openLocation(location);
}

bool SerialLink::isNetworkLocation(const QString& location) { return BusPort::isNetworkLocation(location); }

bool SerialLink::openLocation(const QString& location)
{
    readerRunning_ = false;
    const BusPort::OpenResult result = bus_.open(location);
    if (result != BusPort::OpenResult::Opened)
        return false;
    link_.connected = true;
    return true;
}

bool SerialLink::connecting() const { return bus_.connecting(); }

void SerialLink::startReader()
{
    if (!link_.connected || !serialIsTransport() || !bus_.isOpen())
        return;
    readerRunning_ = true;
}

void SerialLink::close()
{
    const bool wasConnecting = bus_.connecting();
    if (!link_.connected) {
        if (wasConnecting)
            bus_.close();
        return;
    }
    readerRunning_ = false;
    if (link_.usbMode)
        return;
    bus_.close();
    link_.connected = false;
}

void SerialLink::submit(std::span<const std::uint8_t> frame, BusPriority priority)
{
    if (!link_.connected || frame.empty() || !bus_.isOpen())
        return;
    BusRequest request;
    request.frame.assign(frame.begin(), frame.end());
    request.priority = priority;
    request.replyPayload = expectedReplyPayload(frame);
    const bool poll = priority >= BusPriority::Poll;
    if (request.replyPayload) {
        request.onReply = [this, poll](const frame::Reply& reply) {
            if (!readerRunning_)
                return;
            if (poll)
                receiver_.dispatchOtherDevice(reply.bytes);
            else
                receiver_.appendSerialBytes(reply.bytes);
        };
        request.onNoReply = [this, address = frame[3], command = frame[6], poll] {
            emit requestUnanswered(address, command, poll);
        };
    }
    bus_.submit(std::move(request));
}

void SerialLink::write(std::span<const std::uint8_t> bytes)
{
    if (!link_.connected || bytes.empty() || !bus_.isOpen())
        return;
    bus_.writeUnscheduled(bytes);
}

void SerialLink::deliver(std::span<const std::uint8_t> reply)
{
    if (readerRunning_)
        receiver_.appendSerialBytes(reply);
}

} // namespace talvex
