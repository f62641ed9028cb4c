#include "support/frames.h"

#include "link/link_state.h"
#include "link/port_list.h"
#include "link/serial_link.h"
#include "pty_server.h"
#include "virtual_amplifier.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <set>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

using namespace talvex;
using namespace talvex::testing;

namespace {

std::vector<SerialPortItem> ports(std::initializer_list<const char*> names)
{
    std::vector<SerialPortItem> list;
    for (const char* name : names)
        list.push_back({QString::fromLatin1(name), QStringLiteral("/dev/") + QString::fromLatin1(name), 0});
    return list;
}

// A port list and a serial link on their own; meter replies are counted.
struct SerialPortList : ::testing::Test {
    ReplyReceiver receiver;
    PortList list;
    SerialLink serial{receiver};
    int meters = 0;

    SerialPortList() { receiver.setHandler(frame::kCmdMeters, [this](const frame::Reply&) { ++meters; }); }
    void sendMeterRead() { serial.write(readRequest(0, frame::kCmdMeters)); }
    // Opens the port with this number of the list; true when it opened before open() returned.
    bool openNumber(int number)
    {
        QSignalSpy opened(&serial, &SerialLink::opened);
        if (const auto location = list.location(number))
            serial.open(*location);
        return opened.count() == 1 && serial.isOpen();
    }
};

#ifdef Q_OS_UNIX
struct SerialReception : SerialPortList {};

// A pseudo-terminal whose device side the test plays by hand.
struct RawPty {
    int master = -1;
    QString path;
    RawPty()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        ::grantpt(master);
        ::unlockpt(master);
        path = QString::fromLocal8Bit(::ptsname(master));
    }
    ~RawPty() { ::close(master); }
    void send(std::span<const std::uint8_t> bytes) { ASSERT_EQ(::write(master, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    std::vector<std::uint8_t> received()
    {
        std::vector<std::uint8_t> out(4096);
        const ssize_t n = ::read(master, out.data(), out.size());
        out.resize(n > 0 ? std::size_t(n) : 0);
        return out;
    }
};

struct SerialFixture : SerialPortList {
    vamp::VirtualBus bus;
    vamp::PtyServer server{bus};

    bool openVirtualAmplifier()
    {
        bus.add(1);
        if (!server.start())
            return false;
        list.setEnumerator({});
        list.setExtraPorts({server.slavePath()});
        list.readAtStart();
        if (!openNumber(*list.portNumber(0)))
            return false;
        serial.startReader();
        return true;
    }
};
#endif // Q_OS_UNIX

} // namespace

TEST_F(SerialPortList, SortedIgnoringCaseThenExtraPathsAndOnlyListedPortsOpen)
{
    list.setEnumerator([] { return ports({"ttyUSB1", "COM2", "com10", "ttyS0"}); });
    list.setExtraPorts({QStringLiteral("/tmp/z"), QStringLiteral("/tmp/a")});

    const QStringList names = list.readAtStart();
    EXPECT_EQ(names, QStringList({"com10", "COM2", "ttyS0", "ttyUSB1", "/tmp/z", "/tmp/a"}));
    // Each item keeps its system location; the last one given is the last item.
    EXPECT_EQ(list.table()[1].location, QStringLiteral("/dev/COM2"));
    EXPECT_EQ(list.table()[5].location, QStringLiteral("/tmp/a"));
    EXPECT_EQ(std::tuple(list.portNumber(0), list.portNumber(5), list.portNumber(6), list.portNumber(-1)),
              std::tuple(1, 6, std::nullopt, std::nullopt));

    for (const auto& [number, name] : {std::pair{3, "COM3"}, {9, "COM9"}, {12, "//./COM12"}})
        EXPECT_EQ(PortList::comDeviceName(number), QString::fromLatin1(name));
    // Opening nothing, a number beyond the list, or a port that is not there fails.
    QSignalSpy failed(&serial, &SerialLink::openFailed);
    EXPECT_FALSE(openNumber(kPortNone) || openNumber(7) || openNumber(1) || serial.isOpen());
    EXPECT_EQ(failed.size(), 1); // the port that is not there; the others name no location
}

TEST_F(SerialPortList, RefreshReplacesOnlyWhenChangedAndDisconnected)
{
    auto present = ports({"ttyUSB0"});
    list.setEnumerator([&] { return present; });
    list.readAtStart();

    EXPECT_FALSE(list.refresh()); // same list: the shown list stays

    present = ports({"ttyUSB0", "ttyACM0"});
    auto replaced = list.refresh();
    ASSERT_TRUE(replaced);
    EXPECT_EQ(*replaced, QStringList({"ttyACM0", "ttyUSB0"}));
    EXPECT_FALSE(list.refresh());

    present.clear();
    replaced = list.refresh();
    ASSERT_TRUE(replaced);
    EXPECT_TRUE(replaced->isEmpty());

    // Behind a device monitor the ports are read only after it has reported a change.
    list.setMonitored(true);
    present = ports({"ttyS0"});
    const int readings = list.readings();
    EXPECT_FALSE(list.refresh() || list.refresh());
    EXPECT_EQ(list.readings(), readings);
    list.portsMayHaveChanged();
    EXPECT_EQ(list.refresh(), QStringList({"ttyS0"}));
    EXPECT_EQ(list.readings(), readings + 1);
}

// The serial link against pseudo-terminals: POSIX systems only.
#ifdef Q_OS_UNIX
TEST_F(SerialFixture, OpensAt9600EightNoneOne)
{
    ASSERT_TRUE(openVirtualAmplifier());
    EXPECT_TRUE(serial.isOpen());

    const int fd = ::open(server.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::close(fd);
    EXPECT_EQ(std::tuple(::cfgetospeed(&tio), ::cfgetispeed(&tio), tio.c_cflag & CSIZE, tio.c_cflag & PARENB,
                         tio.c_cflag & CSTOPB),
              std::tuple(speed_t(B9600), speed_t(B9600), tcflag_t(CS8), tcflag_t(0), tcflag_t(0)));

    QSignalSpy closed(&serial, &SerialLink::closed);
    serial.close();
    EXPECT_EQ(std::pair(closed.size(), serial.isOpen()), std::pair(qsizetype(1), false));
}

TEST_F(SerialFixture, MeterRoundTripAndGroupReplyAtWirePace)
{
    ASSERT_TRUE(openVirtualAmplifier());
    server.setWirePace(true);
    std::vector<int> group;
    std::size_t groupText = 0;
    receiver.setHandler(frame::kCmdCurrentGroup, [&](const frame::Reply& reply) {
        groupText = frame::replyTextLength(reply.payload().size());
        group.assign(reply.payload().begin(), reply.payload().end());
    });

    int ownReplies = 0;
    receiver.setOwnFrameObserver([&] { ++ownReplies; });
    sendMeterRead();
    ASSERT_TRUE(QTest::qWaitFor([&] { return meters == 1; }, 3000));
    EXPECT_EQ(ownReplies, 1);

    // 652 bytes at 9600 baud take about 0.7 s and arrive over many reads.
    serial.write(readRequest(0, frame::kCmdCurrentGroup));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !group.empty(); }, 5000));
    EXPECT_EQ(groupText, 1304u);
    const auto& image = bus.devices().front().image();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), group.begin()));
}

TEST_F(SerialReception, FrameSplitOverSeveralReadsIsDispatchedOnceComplete)
{
    RawPty device;
    QSignalSpy opened(&serial, &SerialLink::opened);
    serial.open(device.path);
    ASSERT_EQ(opened.size(), 1);
    serial.startReader();

    sendMeterRead();
    ASSERT_TRUE(QTest::qWaitFor([&] { return device.received() == readRequest(0, frame::kCmdMeters); }, 2000));

    frame::Frame reply{0, frame::kOpReply, 0, frame::kCmdMeters, 0, {0, 0, 0x07, 0xD0, 3, 0, 0, 0}};
    const auto bytes = frame::encode(reply);
    ASSERT_EQ(bytes.size(), 20u);
    for (std::size_t at : {0u, 1u, 7u, 13u}) {
        const std::size_t end = at == 13 ? 19 : (at == 0 ? 1 : at + 6);
        device.send(std::span(bytes).subspan(at, end - at));
        QTest::qWait(90); // longer than the settle time: each piece is its own read
    }
    EXPECT_EQ(meters, 0);
    device.send(std::span(bytes).last(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return meters == 1; }, 2000));
}

TEST_F(SerialFixture, AmplifierGoingAwayClosesThePortButLeavesTheLinkToTheWatchdog)
{
    ASSERT_TRUE(openVirtualAmplifier());
    QSignalSpy failed(&serial, &SerialLink::portFailed);
    sendMeterRead();
    ASSERT_TRUE(QTest::qWaitFor([&] { return meters == 1; }, 2000));

    server.stop();
    // The hang-up shows as a read error, or at the latest on the next write.
    if (!QTest::qWaitFor([&] { return !failed.isEmpty(); }, 500))
        sendMeterRead();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !failed.isEmpty(); }, 2000));
    QSignalSpy openFailed(&serial, &SerialLink::openFailed);
    QSignalSpy closed(&serial, &SerialLink::closed);
    EXPECT_FALSE(serial.isOpen());
    sendMeterRead(); // harmless on a closed port
    EXPECT_EQ(failed.size(), 1);
    // Not an opening that failed, nor the user's close: the watchdog ends the link.
    EXPECT_EQ(std::pair(openFailed.size(), closed.size()), std::pair(qsizetype(0), qsizetype(0)));
}
#endif // Q_OS_UNIX

TEST_F(SerialPortList, NumbersStepOverTheUsbMark)
{
    list.setEnumerator([] {
        std::vector<SerialPortItem> many;
        for (int i = 0; i < 120; ++i)
            many.push_back({QStringLiteral("tty%1").arg(i, 3, 10, QLatin1Char('0')), QString(), 0});
        return many;
    });
    list.readAtStart();
    std::set<int> numbers;
    for (const SerialPortItem& item : list.table())
        numbers.insert(item.number);
    EXPECT_EQ(numbers.size(), 120u);
    for (int mark : {kPortUsb, kPortNone, kPortFailed})
        EXPECT_FALSE(numbers.count(mark)) << mark;
}

#ifdef Q_OS_UNIX
TEST_F(SerialFixture, ReopensAfterCloseAndRefusesASecondUser)
{
    ASSERT_TRUE(openVirtualAmplifier());
    ReplyReceiver otherReceiver;
    SerialLink other(otherReceiver);
    QSignalSpy otherFailed(&other, &SerialLink::openFailed);
    other.open(server.slavePath()); // in use
    EXPECT_EQ(std::pair(otherFailed.size(), other.isOpen()), std::pair(qsizetype(1), false));

    serial.close();
    ASSERT_TRUE(openNumber(*list.portNumber(0)));
    serial.startReader();
    sendMeterRead();
    ASSERT_TRUE(QTest::qWaitFor([&] { return meters == 1; }, 2000));
}
#endif // Q_OS_UNIX

// A gateway is connected to in the background: nothing has ended when open()
// returns; then it opens, or fails once, whether it refuses or does not exist.
TEST_F(SerialPortList, GatewayOpeningEndsInOpenedOrFailedNeverInBoth)
{
    QTcpServer listening;
    ASSERT_TRUE(listening.listen(QHostAddress::LocalHost));
    QTcpServer refusing; // its port is closed again at once
    ASSERT_TRUE(refusing.listen(QHostAddress::LocalHost));
    const quint16 closedPort = refusing.serverPort();
    refusing.close();

    struct Case {
        QString location;
        bool opens;
        bool endsAtOnce; // an address that is no gateway address fails before open() returns
    };
    const Case cases[] = {
        {QStringLiteral("tcp://127.0.0.1:%1").arg(listening.serverPort()), true, false},
        {QStringLiteral("tcp://127.0.0.1:%1").arg(closedPort), false, false},
        {QStringLiteral("tcp://127.0.0.1"), false, true},
    };
    for (const Case& c : cases) {
        QSignalSpy opened(&serial, &SerialLink::opened);
        QSignalSpy failed(&serial, &SerialLink::openFailed);
        serial.open(c.location);
        EXPECT_EQ(serial.connecting(), !c.endsAtOnce) << c.location.toStdString();
        EXPECT_EQ(opened.size() + failed.size(), c.endsAtOnce ? 1 : 0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return opened.size() + failed.size() > 0; }, 5000));
        QTest::qWait(20); // nothing more follows
        EXPECT_EQ(std::tuple(opened.size(), failed.size(), serial.isOpen(), serial.connecting()),
                  std::tuple(qsizetype(c.opens), qsizetype(!c.opens), c.opens, false))
            << c.location.toStdString();
        serial.close();
    }
}
