#include "tcp_server.h"

#include <QHostAddress>


namespace talvex::vamp {

TcpServer::TcpServer(VirtualBus& bus, QObject* parent) : QObject(parent), bus_(bus)
{
    connect(&server_, &QTcpServer::newConnection, this, &TcpServer::onNewConnection);
}

TcpServer::~TcpServer() { stop(); }

bool TcpServer::start(quint16 port) { return server_.listen(QHostAddress::LocalHost, port); }

void TcpServer::stop()
{
    pacer_.clear();
    // Aborting may report the disconnection at once, which clears client_.
    if (QTcpSocket* client = client_) {
        client_.clear();
        client->abort();
        client->deleteLater();
    }
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
        pacer_.clear();
        client_ = socket;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, &TcpServer::onReadable);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (client_ == socket) {
                client_.clear();
                pacer_.clear();
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
    if (!pacer_.accept(std::size_t(bytes.size())))
        return;
    pacer_.send(bus_.feed(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()))));
}

} // namespace talvex::vamp
