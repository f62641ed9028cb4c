#pragma once
// A serial port as a byte link: 9600 baud 8N1, with the flow control, DTR and
// RTS the port already has. Opening is immediate: opened() or failed() is sent
// before open() returns.

#include "link/byte_link.h"

#include <QSerialPort>

namespace talvex {

class SerialByteLink : public ByteLink {
    Q_OBJECT
public:
    // Bytes the system read buffer holds before reads catch up.
    static constexpr int kReadBufferSize = 4096;

    explicit SerialByteLink(QObject* parent = nullptr);
    ~SerialByteLink() override;

    void open(const QString& location) override;
    void close() override;
    bool isOpen() const override { return open_; }
    bool write(std::span<const std::uint8_t> bytes) override;
    // Hands the frame to the system now: the reply's deadline runs from here.
    void flush() override
    {
        if (open_)
            port_.flush();
    }
    void readWaiting() override
    {
        if (open_)
            port_.waitForReadyRead(0); // reports through readyRead; finding nothing is no error
    }
    QString errorString() const override { return port_.errorString(); }

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort port_;
    bool open_ = false;
};

} // namespace talvex
