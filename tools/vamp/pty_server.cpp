#include "pty_server.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace talvex::vamp {

namespace {
constexpr double kBytesPerMs = 9600.0 / 10.0 / 1000.0; // 10 bits a byte at 9600 baud

// The pseudo-terminal itself is POSIX. Elsewhere (Windows) the virtual
// amplifier's devices and its fake HID controller work as everywhere, but no
// terminal can be served: start() says so.
#ifdef Q_OS_UNIX
constexpr bool kHavePseudoTerminals = true;
int openMaster() { return ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK); }
bool unlockMaster(int master) { return ::grantpt(master) == 0 && ::unlockpt(master) == 0; }
QString slaveName(int master) { return QString::fromLocal8Bit(::ptsname(master)); }
// Held open by the server in raw mode: no echo, no line editing, and the
// master keeps working while the editor has the port closed.
int openRawSlave(const QString& path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B9600);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}
long readSome(int fd, void* buffer, std::size_t size) { return long(::read(fd, buffer, size)); }
long writeSome(int fd, const void* data, std::size_t size) { return long(::write(fd, data, size)); }
void closeLine(int fd) { ::close(fd); }
#else
constexpr bool kHavePseudoTerminals = false;
int openMaster()
{
    errno = ENOSYS;
    return -1;
}
bool unlockMaster(int) { return false; }
QString slaveName(int) { return {}; }
int openRawSlave(const QString&) { return -1; }
long readSome(int, void*, std::size_t) { return -1; }
long writeSome(int, const void*, std::size_t) { return -1; }
void closeLine(int) {}
#endif
} // namespace

PtyServer::PtyServer(VirtualBus& bus, QObject* parent) : QObject(parent), bus_(bus)
{
    paceTimer_.setInterval(5);
    paceTimer_.setTimerType(Qt::PreciseTimer);
    connect(&paceTimer_, &QTimer::timeout, this, &PtyServer::flushPaced);
}

PtyServer::~PtyServer() { stop(); }

bool PtyServer::start()
{
    if constexpr (!kHavePseudoTerminals) {
        error_ = QStringLiteral("pseudo-terminals exist only on POSIX systems");
        return false;
    }
    master_ = openMaster();
    if (master_ < 0 || !unlockMaster(master_)) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        stop();
        return false;
    }
    slavePath_ = slaveName(master_);
    slaveKeepAlive_ = openRawSlave(slavePath_);
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
        closeLine(slaveKeepAlive_);
    if (master_ >= 0)
        closeLine(master_);
    slaveKeepAlive_ = -1;
    master_ = -1;
}

void PtyServer::onReadable()
{
    std::uint8_t buffer[1024];
    for (;;) {
        const long count = readSome(master_, buffer, sizeof buffer);
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
        const long count = writeSome(master_, bytes.data() + at, bytes.size() - at);
        if (count < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
    const long written = writeSome(master_, paced_.constData(), std::size_t(count));
    if (written > 0) {
        paced_.remove(0, written);
        pacedSent_ += written;
        sent_ += written;
    }
    if (paced_.isEmpty())
        paceTimer_.stop();
}

} // namespace talvex::vamp
