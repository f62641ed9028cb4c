#include "pty_server.h"

#include <cerrno>
#include <cstring>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace talvex::vamp {

namespace {
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

PtyServer::PtyServer(VirtualBus& bus, QObject* parent) : QObject(parent), bus_(bus) {}

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
    pacer_.clear();
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
        if (pacer_.accept(std::size_t(count)))
            pacer_.send(bus_.feed(std::span(buffer, std::size_t(count))));
    }
}

qint64 PtyServer::write(const char* data, qint64 size)
{
    if (master_ < 0)
        return -1;
    const long count = writeSome(master_, data, std::size_t(size));
    if (count < 0)
        return errno == EAGAIN || errno == EINTR ? 0 : -1;
    sent_ += count;
    return count;
}

} // namespace talvex::vamp
