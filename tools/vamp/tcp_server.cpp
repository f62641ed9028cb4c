#include "tcp_server.h"

#include <QDateTime>
#include <QHostAddress>

#include <algorithm>

namespace talvex::vamp {

namespace {
constexpr double kBytesPerMs = 9600.0 / 10.0 / 1000.0; // 10 bits a byte at 9600 baud
} // namespace

TcpServer::TcpServer(VirtualBus& bus, QObject* parent) : QObject(parent), bus_(bus)
{
    paceTimer_.setInterval(5);
    paceTimer_.setTimerType(Qt::PreciseTimer);
    connect(&paceTimer_, &QTimer::timeout, this, &TcpServer::flushPaced);
    connect(&server_, &QTcpServer::newConnection, this, &TcpServer::onNewConnection);
}

TcpServer::~TcpServer() { stop(); }

bool TcpServer::start(quint16 port) { return server_.listen(QHostAddress::LocalHost, port); }

void TcpServer::stop()
{
    paceTimer_.stop();
    paced_.clear();
    if (client_) {
        client_->abort();
        client_->deleteLater();
    }
    client_.clear();
    server_.close();
}

QString TcpServer::location() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(server_.serverPort()); }

void TcpServer::onNewConnection()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (client_) {
            // The newest connection takes the bus: the one before may be a
            // client that went away without its close having arrived yet.
            QTcpSocket* old = client_;
            client_.clear();
            old->abort();
        }
        paceTimer_.stop();
        paced_.clear();
        client_ = socket;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, &TcpServer::onReadable);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (client_ == socket) {
                client_.clear();
                paceTimer_.stop();
                paced_.clear();
            }
            socket->deleteLater();
        });
    }
}

void TcpServer::onReadable()
{
    if (!client_)
        return;
    const QByteArray bytes = client_->readAll();
    send(bus_.feed(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()))));
}

void TcpServer::send(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.empty() || !client_)
        return;
    if (replyDelayMs_ > 0) {
        // Equal delays keep the replies in order.
        QTimer::singleShot(replyDelayMs_, Qt::PreciseTimer, this, [this, bytes] { sendNow(bytes); });
        return;
    }
    sendNow(bytes);
}

void TcpServer::sendNow(const std::vector<std::uint8_t>& bytes)
{
    if (!client_)
        return;
    if (wirePace_) {
        if (paced_.isEmpty()) {
            paceStartMs_ = QDateTime::currentMSecsSinceEpoch();
            pacedSent_ = 0;
        }
        paced_.append(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
        paceTimer_.start();
        return;
    }
    client_->write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
}

void TcpServer::flushPaced()
{
    if (!client_)
        return;
    const qint64 elapsed = QDateTime::currentMSecsSinceEpoch() - paceStartMs_;
    const qint64 due = std::min<qint64>(qint64(double(elapsed) * kBytesPerMs) + 1 - pacedSent_, paced_.size());
    if (due > 0) {
        client_->write(paced_.constData(), due);
        paced_.remove(0, due);
        pacedSent_ += due;
    }
    if (paced_.isEmpty())
        paceTimer_.stop();
}

} // namespace talvex::vamp
