#include "link/bus_port.h"

#include "link/frame_packaging.h"

#include <QUrl>

#include <algorithm>
#include <utility>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace talvex {

namespace {

// The longest reply any command gets (a group); a longer length field is noise.
constexpr std::size_t kLongestReply = frame::kGroupSize + frame::kOverhead;

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

QByteArray bytesOf(std::span<const std::uint8_t> bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

} // namespace

BusPort::BusPort(BusTiming timing, QObject* parent)
    : QObject(parent), scheduler_([this](std::span<const std::uint8_t> f) { write(f); }, timing)
{
    clock_.start();
    wake_.setSingleShot(true);
    wake_.setTimerType(Qt::PreciseTimer); // deadlines are a few milliseconds apart
    connect(&wake_, &QTimer::timeout, this, &BusPort::drive);

    connect(&port_, &QSerialPort::readyRead, this, &BusPort::onReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &BusPort::onSerialError);

    connectTimeout_.setSingleShot(true);
    connectTimeout_.setTimerType(Qt::PreciseTimer); // a coarse timer may end the wait early
    connectTimeout_.setInterval(kConnectTimeoutMs);
    connect(&connectTimeout_, &QTimer::timeout, this, [this] {
        connecting_ = false;
        socket_.abort();
        emit failed(QStringLiteral("OPEN ERROR: %1: no connection within %2 s")
                        .arg(location_)
                        .arg(kConnectTimeoutMs / 1000));
    });
    connect(&socket_, &QTcpSocket::connected, this, &BusPort::onSocketConnected);
    connect(&socket_, &QTcpSocket::readyRead, this, &BusPort::onReadyRead);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &BusPort::onSocketError);
    connect(&socket_, &QTcpSocket::disconnected, this, [this] {
        if (device_ == &socket_)
            failClose(QStringLiteral("PORT ERROR: the gateway closed the connection"));
    });
}

BusPort::~BusPort()
{
    // A socket being torn down still signals; nothing of it may reach this port.
    socket_.disconnect(this);
    port_.disconnect(this);
}

bool BusPort::isNetworkLocation(const QString& location)
{
    return location.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive);
}

BusPort::OpenResult BusPort::open(const QString& location)
{
    close();
    location_ = location;
    if (isNetworkLocation(location)) {
        connectToGateway(location);
        return connecting_ ? OpenResult::Connecting : OpenResult::Failed;
    }
    port_.setPortName(location);
    port_.setFlowControl(currentFlowControl(location));
    port_.setReadBufferSize(kQueueSize);
    if (!port_.open(QIODevice::ReadWrite)) {
        emit failed(QStringLiteral("OPEN ERROR: %1: %2").arg(location, port_.errorString()));
        return OpenResult::Failed;
    }
    const bool accepted = port_.setBaudRate(QSerialPort::Baud9600) && port_.setDataBits(QSerialPort::Data8) &&
                          port_.setParity(QSerialPort::NoParity) && port_.setStopBits(QSerialPort::OneStop);
    if (!accepted) {
        emit failed(QStringLiteral("OPEN ERROR: %1: %2").arg(location, port_.errorString()));
        port_.close();
        return OpenResult::Failed;
    }
    device_ = &port_;
    emit opened();
    return OpenResult::Opened;
}

void BusPort::connectToGateway(const QString& location)
{
    const QUrl url(location);
    const int portNumber = url.port();
    if (!url.isValid() || url.host().isEmpty() || portNumber <= 0 ||
        (!url.path().isEmpty() && url.path() != QLatin1String("/"))) {
        emit failed(QStringLiteral("OPEN ERROR: %1: not a gateway address tcp://HOST:PORT").arg(location));
        return;
    }
    connecting_ = true;
    connectTimeout_.start();
    socket_.connectToHost(url.host(), quint16(portNumber));
}

void BusPort::onSocketConnected()
{
    if (!connecting_)
        return;
    connecting_ = false;
    connectTimeout_.stop();
    // Frames are small and paced: each goes out at once, not held back to be joined.
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_.setReadBufferSize(kQueueSize);
    device_ = &socket_;
    emit opened();
}

void BusPort::onSocketError()
{
    if (connecting_) {
        connecting_ = false;
        connectTimeout_.stop();
        const QString reason = socket_.errorString();
        socket_.abort();
        emit failed(QStringLiteral("OPEN ERROR: %1: %2").arg(location_, reason));
    } else if (device_ == &socket_) {
        failClose(QStringLiteral("PORT ERROR: %1").arg(socket_.errorString()));
    }
}

void BusPort::onSerialError(QSerialPort::SerialPortError error)
{
    if (device_ != &port_)
        return;
    if (error == QSerialPort::ReadError || error == QSerialPort::WriteError || error == QSerialPort::ResourceError)
        failClose(QStringLiteral("PORT ERROR: %1").arg(port_.errorString()));
}

void BusPort::close()
{
    if (connecting_) {
        connecting_ = false;
        connectTimeout_.stop();
        socket_.abort();
    }
    QIODevice* device = std::exchange(device_, nullptr);
    scheduler_.reset();
    received_.clear();
    wake_.stop();
    if (!device)
        return;
    if (device == &port_) {
        port_.clear(QSerialPort::AllDirections);
        port_.close();
    } else {
        socket_.abort(); // what was not sent yet is dropped, as a purge does
    }
    emit closed();
}

void BusPort::failClose(const QString& text)
{
    QIODevice* device = std::exchange(device_, nullptr);
    if (!device)
        return;
    scheduler_.reset();
    received_.clear();
    wake_.stop();
    if (device == &port_)
        port_.close();
    else
        socket_.abort();
    emit failed(text);
    emit closed();
}

RequestId BusPort::submit(BusRequest request)
{
    if (!device_)
        return 0;
    // A deadline that passes ends whatever half reply is in the buffer: the next
    // reply starts clean.
    request.onNoReply = [this, inner = std::move(request.onNoReply)] {
        received_.clear();
        if (inner)
            inner();
    };
    const RequestId id = scheduler_.submit(std::move(request));
    drive();
    return id;
}

void BusPort::reserveIn(std::optional<int> ms)
{
    scheduler_.reserveAt(ms ? std::optional(nowMs() + *ms) : std::nullopt);
    if (device_)
        drive();
}

void BusPort::writeUnscheduled(std::span<const std::uint8_t> bytes) { write(bytes); }

void BusPort::write(std::span<const std::uint8_t> frame)
{
    // A block write goes as its head, then the rest, as over every medium.
    for (auto part : frameParts(frame)) {
        if (!device_ || part.empty())
            return;
        const qint64 written = device_->write(reinterpret_cast<const char*>(part.data()), qint64(part.size()));
        if (written != qint64(part.size())) {
            failClose(QStringLiteral("WRITE ERROR: %1").arg(device_->errorString()));
            return;
        }
    }
    if (device_ == &socket_)
        socket_.flush(); // hands the frame to the system now, without waiting
}

void BusPort::drive()
{
    if (!device_)
        return;
    const std::int64_t now = nowMs();
    scheduler_.advance(now);
    if (const auto wake = scheduler_.nextWakeMs(); wake && device_)
        wake_.start(int(std::max<std::int64_t>(0, *wake - nowMs())));
    else
        wake_.stop();
}

void BusPort::onReadyRead()
{
    if (!device_)
        return;
    const QByteArray bytes = device_->readAll();
    received_.insert(received_.end(), bytes.begin(), bytes.end());
    takeReplies();
}

void BusPort::takeReplies()
{
    QByteArray garbled;
    const auto drop = [&](std::size_t count) {
        garbled.append(reinterpret_cast<const char*>(received_.data()), qsizetype(count));
        received_.erase(received_.begin(), received_.begin() + std::ptrdiff_t(count));
    };
    while (!received_.empty()) {
        const auto start = std::find(received_.begin(), received_.end(), frame::kStart);
        drop(std::size_t(start - received_.begin()));
        frame::Decoded decoded;
        const auto status = frame::decode(received_, decoded);
        const auto size = frame::frameSize(received_);
        if (status == frame::DecodeStatus::NeedMore && !(size && *size > kLongestReply))
            break;
        if (status != frame::DecodeStatus::Complete) {
            drop(1); // look for the next start byte
            continue;
        }
        if (!decoded.checksumOk) {
            drop(decoded.consumed);
            continue;
        }
        const std::vector<std::uint8_t> reply(received_.begin(), received_.begin() + std::ptrdiff_t(decoded.consumed));
        received_.erase(received_.begin(), received_.begin() + std::ptrdiff_t(decoded.consumed));
        switch (scheduler_.replyArrived(frame::Reply{reply}, nowMs())) {
        case BusScheduler::ReplyFit::Awaited:
            break;
        case BusScheduler::ReplyFit::Late:
            emit lateReply(bytesOf(reply));
            break;
        case BusScheduler::ReplyFit::Unexpected:
            emit unexpectedReply(bytesOf(reply));
            break;
        }
    }
    if (!garbled.isEmpty())
        emit garbledReply(garbled);
    drive();
}

} // namespace talvex
