#pragma once
// An RS-485 gateway on the network ("tcp://HOST:PORT") as a byte link. The
// connection is made in the background: open() returns at once, and opened()
// or failed() follows; a gateway that has not accepted within kConnectTimeoutMs
// fails as one that refused. Writes leave at once (no joining of small writes).

#include "link/byte_link.h"

#include <QTcpSocket>
#include <QTimer>

namespace talvex {

class TcpByteLink : public ByteLink {
    Q_OBJECT
public:
    static constexpr int kConnectTimeoutMs = 3000;
    static constexpr int kReadBufferSize = 4096;

    explicit TcpByteLink(QObject* parent = nullptr);
    ~TcpByteLink() override;

    void open(const QString& location) override;
    void close() override;
    bool isOpen() const override { return open_; }
    bool isOpening() const override { return connecting_; }
    bool write(std::span<const std::uint8_t> bytes) override;
    void flush() override;
    void readWaiting() override
    {
        if (open_)
            socket_.waitForReadyRead(0); // reports through readyRead
    }
    QString errorString() const override { return socket_.errorString(); }

private:
    void onConnected();
    void onError();
    void failOpen(const QString& reason);
    void failClose(const QString& text);

    QTcpSocket socket_;
    QTimer connectTimeout_;
    QString location_;
    bool connecting_ = false;
    bool open_ = false;
};

} // namespace talvex
