#pragma once
// One medium that carries bytes between the editor and the amplifiers. A link
// is opened, written to and closed; everything it does is reported by signal,
// so a medium that opens at once (a serial port) and one that takes a while (a
// network gateway) look the same to the code above:
//
//   open(location) --> opened()            the link carries bytes from now on
//                  --> failed(text)        it could not be opened (nothing is open)
//   while open:        bytesReceived(b)    bytes as they arrived (a whole frame
//                                          where the medium delivers frames)
//                      failed(text), closed()  a read or write error, or the far
//                                          end hung up, closed the link
//   close()        --> closed()            only when something was open
//
// opened() or failed() may come before open() returns. A link that is closed
// while it is still opening ends without either signal. Texts are for the
// traffic log ("OPEN ERROR: ...", "PORT ERROR: ...").
//
// Backends: serial_byte_link.h (a serial port), tcp_byte_link.h (an RS-485
// gateway on the network, "tcp://HOST:PORT"), and the USB HID link.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <span>

namespace talvex {

class ByteLink : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~ByteLink() override;

    virtual void open(const QString& location) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Between open() and opened()/failed().
    virtual bool isOpening() const { return false; }
    // Hands bytes to the medium; false when it did not take them all (the
    // caller closes the link; errorString() says why).
    virtual bool write(std::span<const std::uint8_t> bytes) = 0;
    // Sends what the writes since the last flush have handed over, now.
    virtual void flush() {}
    // Reports (bytesReceived) what the medium has already received and not yet
    // reported, without waiting for more.
    virtual void readWaiting() {}
    virtual QString errorString() const = 0;

signals:
    void opened();
    void failed(const QString& text);
    void bytesReceived(const QByteArray& bytes);
    void closed();
};

// The bytes of a Qt byte array, and back: the signals carry QByteArray, the
// codec and the receiver take spans.
inline std::span<const std::uint8_t> byteSpan(const QByteArray& bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())};
}
inline QByteArray byteArray(std::span<const std::uint8_t> bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// "tcp://HOST:PORT" (any case): an RS-485 gateway on the network.
bool isNetworkLocation(const QString& location);

// The backend for a bus location: the TCP gateway for a network location, the
// serial port otherwise.
std::unique_ptr<ByteLink> makeBusByteLink(const QString& location);

} // namespace talvex
