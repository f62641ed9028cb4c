#include "link/tcp_byte_link.h"

#include <QUrl>

namespace talvex {

TcpByteLink::TcpByteLink(QObject* parent) : ByteLink(parent)
{
    connectTimeout_.setSingleShot(true);
    connectTimeout_.setTimerType(Qt::PreciseTimer); // a coarse timer may end the wait early
    connectTimeout_.setInterval(kConnectTimeoutMs);
    connect(&connectTimeout_, &QTimer::timeout, this, [this] {
        failOpen(QStringLiteral("no connection within %1 s").arg(kConnectTimeoutMs / 1000));
    });
    connect(&socket_, &QTcpSocket::connected, this, &TcpByteLink::onConnected);
    connect(&socket_, &QTcpSocket::readyRead, this, [this] {
        if (open_)
            emit bytesReceived(socket_.readAll());
    });
    connect(&socket_, &QTcpSocket::errorOccurred, this, &TcpByteLink::onError);
    connect(&socket_, &QTcpSocket::disconnected, this, [this] {
        if (open_)
            failClose(QStringLiteral("PORT ERROR: the gateway closed the connection"));
    });
}

TcpByteLink::~TcpByteLink()
{
    // A socket being torn down still signals; nothing of it may reach this link.
    socket_.disconnect(this);
}

void TcpByteLink::open(const QString& location)
{
    close();
    location_ = location;
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

void TcpByteLink::close()
{
    if (connecting_) {
        connecting_ = false;
        connectTimeout_.stop();
        socket_.abort();
    }
    if (!open_)
        return;
    open_ = false;
    socket_.abort(); // what was not sent yet is dropped, as a purge does
    emit closed();
}

void TcpByteLink::onConnected()
{
    if (!connecting_)
        return;
    connecting_ = false;
    connectTimeout_.stop();
    // Frames are small and paced: each goes out at once, not held back to be joined.
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_.setReadBufferSize(kReadBufferSize);
    open_ = true;
    emit opened();
}

void TcpByteLink::onError()
{
    if (connecting_)
        failOpen(socket_.errorString());
    else if (open_ && socket_.error() != QAbstractSocket::SocketTimeoutError) // readWaiting() found nothing
        failClose(QStringLiteral("PORT ERROR: %1").arg(socket_.errorString()));
}

void TcpByteLink::failOpen(const QString& reason)
{
    connecting_ = false;
    connectTimeout_.stop();
    socket_.abort();
    emit failed(QStringLiteral("OPEN ERROR: %1: %2").arg(location_, reason));
}

void TcpByteLink::failClose(const QString& text)
{
    open_ = false;
    socket_.abort();
    emit failed(text);
    emit closed();
}

bool TcpByteLink::write(std::span<const std::uint8_t> bytes)
{
    if (!open_)
        return false;
    return socket_.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size());
}

void TcpByteLink::flush()
{
    if (open_)
        socket_.flush(); // hands the frame to the system now, without waiting
}

} // namespace talvex
