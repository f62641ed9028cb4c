#include "pty_server.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace talvex::vamp {

namespace {
constexpr double kBytesPerMs = 9600.0 / 10.0 / 1000.0; // 10 bits a byte at 9600 baud
}

PtyServer::PtyServer(VirtualBus& bus, QObject* parent) : QObject(parent), bus_(bus)
{
    paceTimer_.setInterval(5);
    paceTimer_.setTimerType(Qt::PreciseTimer);
    connect(&paceTimer_, &QTimer::timeout, this, &PtyServer::flushPaced);
}

PtyServer::~PtyServer() { stop(); }

bool PtyServer::start()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        stop();
        return false;
    }
    slavePath_ = QString::fromLocal8Bit(::ptsname(master_));
    // Hold the line open ourselves in raw mode: no echo, no line editing, and the
    // master keeps working while the editor has the port closed.
    slaveKeepAlive_ = ::open(slavePath_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slaveKeepAlive_ >= 0) {
        termios tio{};
        if (::tcgetattr(slaveKeepAlive_, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::cfsetspeed(&tio, B9600);
            ::tcsetattr(slaveKeepAlive_, TCSANOW, &tio);
        }
    }
    notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &PtyServer::onReadable);
    return true;
}

void PtyServer::stop()
{
    notifier_.reset();
    paceTimer_.stop();
    paced_.clear();
    if (slaveKeepAlive_ >= 0)
        ::close(slaveKeepAlive_);
    if (master_ >= 0)
        ::close(master_);
    slaveKeepAlive_ = -1;
    master_ = -1;
}

void PtyServer::onReadable()
{
    std::uint8_t buffer[1024];
    for (;;) {
        const ssize_t count = ::read(master_, buffer, sizeof buffer);
        if (count <= 0)
            break;
        send(bus_.feed(std::span(buffer, std::size_t(count))));
    }
}

void PtyServer::send(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.empty() || master_ < 0)
        return;
    if (replyDelayMs_ > 0) {
        // Equal delays keep the replies in order.
        QTimer::singleShot(replyDelayMs_, Qt::PreciseTimer, this, [this, bytes] { sendNow(bytes); });
        return;
    }
    sendNow(bytes);
}

void PtyServer::sendNow(const std::vector<std::uint8_t>& bytes)
{
    if (master_ < 0)
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
    std::size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t count = ::write(master_, bytes.data() + at, bytes.size() - at);
        if (count < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                ::usleep(1000);
                continue;
            }
            return;
        }
        at += std::size_t(count);
        sent_ += count;
    }
}

void PtyServer::flushPaced()
{
    const qint64 elapsed = QDateTime::currentMSecsSinceEpoch() - paceStartMs_;
    const qint64 due = qint64(double(elapsed) * kBytesPerMs) + 1 - pacedSent_;
    if (due <= 0)
        return;
    const qint64 count = std::min<qint64>(due, paced_.size());
    const ssize_t written = ::write(master_, paced_.constData(), std::size_t(count));
    if (written > 0) {
        paced_.remove(0, written);
        pacedSent_ += written;
        sent_ += written;
    }
    if (paced_.isEmpty())
        paceTimer_.stop();
}

} // namespace talvex::vamp
