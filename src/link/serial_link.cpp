#include "link/serial_link.h"

#include <QSerialPortInfo>
#include <QUrl>

#include <algorithm>
#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
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

// The flow control the port is set to now, so that opening keeps it.
QSerialPort::FlowControl currentFlowControl([[maybe_unused]] const QString& location)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(location.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return QSerialPort::NoFlowControl;
    termios tio{};
    QSerialPort::FlowControl flow = QSerialPort::NoFlowControl;
    if (::tcgetattr(fd, &tio) == 0) {
        if (tio.c_cflag & CRTSCTS)
            flow = QSerialPort::HardwareControl;
        else if (tio.c_iflag & (IXON | IXOFF))
            flow = QSerialPort::SoftwareControl;
    }
    ::close(fd);
    return flow;
#else
    return QSerialPort::NoFlowControl;
#endif
}

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
    settle_.setSingleShot(true);
    settle_.setTimerType(Qt::PreciseTimer);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &SerialLink::readQueued);
    connect(&port_, &QSerialPort::readyRead, this, &SerialLink::onReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialLink::onError);

    connectTimeout_.setSingleShot(true);
    connectTimeout_.setTimerType(Qt::PreciseTimer); // a coarse timer may end the wait early
    connectTimeout_.setInterval(kConnectTimeoutMs);
    connect(&connectTimeout_, &QTimer::timeout, this,
            [this] { failConnect(QStringLiteral("no connection within %1 s").arg(kConnectTimeoutMs / 1000)); });
    connect(&socket_, &QTcpSocket::connected, this, &SerialLink::onSocketConnected);
    connect(&socket_, &QTcpSocket::readyRead, this, &SerialLink::onReadyRead);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &SerialLink::onSocketError);
    connect(&socket_, &QTcpSocket::disconnected, this, [this] {
        if (device_ == &socket_)
            failClose(QStringLiteral("PORT ERROR: the gateway closed the connection"));
    });
}

SerialLink::~SerialLink()
{
    // A socket being torn down still signals; nothing of it may reach this link.
    socket_.disconnect(this);
}

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

bool SerialLink::isNetworkLocation(const QString& location)
{
    return location.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive);
}

bool SerialLink::openLocation(const QString& location)
{
    cancelConnect();
    closeDevice(false);
    settle_.stop();
    readerRunning_ = false;
    if (isNetworkLocation(location)) {
        connectToGateway(location);
        return false;
    }
    port_.setPortName(location);
    port_.setFlowControl(currentFlowControl(location));
    port_.setReadBufferSize(kQueueSize);
    if (!port_.open(QIODevice::ReadWrite)) {
        emit portFailed(QStringLiteral("OPEN ERROR: %1: %2").arg(location, port_.errorString()));
        return false;
    }
    const bool accepted = port_.setBaudRate(QSerialPort::Baud9600) && port_.setDataBits(QSerialPort::Data8) &&
                          port_.setParity(QSerialPort::NoParity) && port_.setStopBits(QSerialPort::OneStop);
    link_.connected = accepted;
    if (!accepted) {
        emit portFailed(QStringLiteral("OPEN ERROR: %1: %2").arg(location, port_.errorString()));
        port_.close();
        return false;
    }
    device_ = &port_;
    return true;
}

void SerialLink::connectToGateway(const QString& location)
{
    const QUrl url(location);
    const int portNumber = url.port();
    if (!url.isValid() || url.host().isEmpty() || portNumber <= 0 ||
        (!url.path().isEmpty() && url.path() != QLatin1String("/"))) {
        emit portFailed(QStringLiteral("OPEN ERROR: %1: not a gateway address tcp://HOST:PORT").arg(location));
        return;
    }
    gateway_ = location;
    connecting_ = true;
    connectTimeout_.start();
    socket_.connectToHost(url.host(), quint16(portNumber));
}

void SerialLink::onSocketConnected()
{
    if (!connecting_)
        return;
    connecting_ = false;
    connectTimeout_.stop();
    // Frames are small and paced: each goes out at once, not held back to be joined.
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_.setReadBufferSize(kQueueSize);
    device_ = &socket_;
    link_.connected = true;
    emit connectEnded(true);
}

void SerialLink::onSocketError()
{
    if (connecting_)
        failConnect(socket_.errorString());
    else if (device_ == &socket_)
        failClose(QStringLiteral("PORT ERROR: %1").arg(socket_.errorString()));
}

void SerialLink::failConnect(const QString& reason)
{
    if (!connecting_)
        return;
    connecting_ = false;
    connectTimeout_.stop();
    socket_.abort();
    emit portFailed(QStringLiteral("OPEN ERROR: %1: %2").arg(gateway_, reason));
    emit connectEnded(false);
}

void SerialLink::cancelConnect()
{
    if (!connecting_)
        return;
    connecting_ = false;
    connectTimeout_.stop();
    socket_.abort();
}

void SerialLink::closeDevice(bool purge)
{
    QIODevice* device = std::exchange(device_, nullptr);
    if (device == &port_) {
        if (purge)
            port_.clear(QSerialPort::AllDirections);
        port_.close();
    } else if (device == &socket_) {
        socket_.abort(); // what was not sent yet is dropped, as a purge does
    }
}

void SerialLink::startReader()
{
    if (!link_.connected || !serialIsTransport() || !device_)
        return;
    readerRunning_ = true;
    if (device_->bytesAvailable() > 0)
        onReadyRead();
}

void SerialLink::close()
{
    cancelConnect();
    if (!link_.connected)
        return;
    readerRunning_ = false;
    settle_.stop();
    if (link_.usbMode)
        return;
    closeDevice(true);
    link_.connected = false;
}

void SerialLink::write(std::span<const std::uint8_t> bytes)
{
    if (!link_.connected || bytes.empty() || !device_)
        return;
    const qint64 written = device_->write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    if (written != qint64(bytes.size()) && device_)
        failClose(QStringLiteral("WRITE ERROR: %1").arg(device_->errorString()));
    else if (device_ == &socket_)
        socket_.flush(); // hands the frame to the system now, without waiting
}

void SerialLink::onReadyRead()
{
    // At most one read outstanding: bytes that come in while the settle timer
    // runs are taken by that read.
    if (readerRunning_ && !settle_.isActive())
        settle_.start();
}

void SerialLink::readQueued()
{
    if (!readerRunning_ || !device_)
        return;
    const QByteArray bytes = device_->readAll();
    if (!bytes.isEmpty())
        receiver_.appendSerialBytes(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())));
    // A handler may have pumped events while more bytes arrived.
    if (readerRunning_ && device_ && device_->bytesAvailable() > 0)
        settle_.start();
}

void SerialLink::onError(QSerialPort::SerialPortError error)
{
    if (device_ != &port_)
        return;
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        failClose(QStringLiteral("PORT ERROR: %1").arg(port_.errorString()));
        break;
    default:
        break;
    }
}

void SerialLink::failClose(const QString& text)
{
    // The connected flag stays as it is: the no-reply supervision ends the link.
    if (!device_)
        return;
    readerRunning_ = false;
    settle_.stop();
    closeDevice(false);
    emit portFailed(text);
}

} // namespace talvex
