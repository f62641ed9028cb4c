#include "link/serial_byte_link.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace talvex {

namespace {

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

} // namespace

SerialByteLink::SerialByteLink(QObject* parent) : ByteLink(parent)
{
    connect(&port_, &QSerialPort::readyRead, this, [this] {
        if (open_)
            emit bytesReceived(port_.readAll());
    });
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialByteLink::onError);
}

SerialByteLink::~SerialByteLink() { port_.disconnect(this); }

void SerialByteLink::open(const QString& location)
{
    close();
    port_.setPortName(location);
    port_.setFlowControl(currentFlowControl(location));
    port_.setReadBufferSize(kReadBufferSize);
    if (!port_.open(QIODevice::ReadWrite)) {
        emit failed(QStringLiteral("OPEN ERROR: %1: %2").arg(location, port_.errorString()));
        return;
    }
    const bool accepted = port_.setBaudRate(QSerialPort::Baud9600) && port_.setDataBits(QSerialPort::Data8) &&
                          port_.setParity(QSerialPort::NoParity) && port_.setStopBits(QSerialPort::OneStop);
    if (!accepted) {
        emit failed(QStringLiteral("OPEN ERROR: %1: %2").arg(location, port_.errorString()));
        port_.close();
        return;
    }
    open_ = true;
    emit opened();
}

void SerialByteLink::close()
{
    if (!open_)
        return;
    open_ = false;
    port_.clear(QSerialPort::AllDirections);
    port_.close();
    emit closed();
}

bool SerialByteLink::write(std::span<const std::uint8_t> bytes)
{
    if (!open_)
        return false;
    return port_.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size());
}

void SerialByteLink::onError(QSerialPort::SerialPortError error)
{
    if (!open_)
        return;
    if (error != QSerialPort::ReadError && error != QSerialPort::WriteError && error != QSerialPort::ResourceError)
        return;
    open_ = false;
    const QString text = QStringLiteral("PORT ERROR: %1").arg(port_.errorString());
    port_.close();
    emit failed(text);
    emit closed();
}

} // namespace talvex
