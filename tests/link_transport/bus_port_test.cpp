#include "support/frames.h"

#include "link/bus_port.h"
#include "pty_server.h"
#include "tcp_server.h"

#include <QSignalSpy>
#include <QTest>

using namespace talvex;
using namespace talvex::testing;

namespace {

// Amplifiers 1, 2 and 5 on a two-wire bus, served on a pseudo-terminal or as a network gateway.
struct HalfDuplexBus {
    vamp::VirtualBus bus;
    vamp::PtyServer pty{bus};
    vamp::TcpServer tcp{bus};
    HalfDuplexBus()
    {
        for (int id : {1, 2, 5})
            bus.add(id);
        pty.setHalfDuplex(true);
        tcp.setHalfDuplex(true);
    }
};

} // namespace

// Every request queued at once, at every priority, for three devices and one that is not there: each
// awaited reply arrives, the missing device's deadline passes, nothing collides; a reply held back
// past its deadline is reported late and reaches no request.
TEST(BusPort, OneConversationAtATimeOverAPtyAndOverTcp)
{
#ifdef Q_OS_UNIX
    for (const bool network : {false, true}) {
        HalfDuplexBus line;
        ASSERT_TRUE(network ? line.tcp.start() : line.pty.start());
        BusTiming timing;
        timing.marginMs = 400; // a loaded test machine answers late, and only the order is tested here
        BusPort port(timing);
        QSignalSpy opened(&port, &BusPort::opened);
        port.open(network ? line.tcp.location() : line.pty.slavePath());
        ASSERT_TRUE(opened.count() == 1 || opened.wait(3000));

        std::vector<std::pair<int, int>> answered; // address, command
        std::vector<int> unanswered;
        const auto read = [&](int address, std::uint8_t command, BusPriority priority) {
            BusRequest r;
            r.frame = readRequest(std::uint8_t(address), command);
            r.priority = priority;
            r.replyPayload = expectedReplyPayload(r.frame);
            r.onReply = [&](const frame::Reply& reply) { answered.emplace_back(reply.address(), reply.command()); };
            r.onNoReply = [&, address] { unanswered.push_back(address); };
            port.submit(std::move(r));
        };
        read(4, frame::kCmdReadPresetNames, BusPriority::Background);
        read(1, frame::kCmdMeters, BusPriority::Poll);
        read(3, frame::kCmdMeters, BusPriority::Poll); // nobody at ID 4
        read(0, frame::kCmdIdentification, BusPriority::Chain);
        port.submit({request(0, frame::kOpWrite, 0, 1, 2, Bytes(8)), BusPriority::Edit, {}, {}, {}, {}});
        ASSERT_TRUE(QTest::qWaitFor([&] { return answered.size() + unanswered.size() == 4; }, 5000));
        // The names went at once (nothing reserved); the rest waited for them, then went by priority.
        EXPECT_EQ(answered, (std::vector<std::pair<int, int>>{{4, frame::kCmdReadPresetNames},
                                                              {0, frame::kCmdIdentification},
                                                              {1, frame::kCmdMeters}}));
        EXPECT_EQ(unanswered, std::vector<int>{3});
        EXPECT_EQ(network ? line.tcp.collisions() : line.pty.collisions(), 0u);

        network ? line.tcp.setReplyDelay(600) : line.pty.setReplyDelay(600);
        QSignalSpy late(&port, &BusPort::lateReply);
        read(0, frame::kCmdMeters, BusPriority::Edit);
        ASSERT_TRUE(late.wait(2000));
        EXPECT_EQ(std::pair(unanswered.size(), answered.size()), std::pair(std::size_t(2), std::size_t(3)));
    }
#else
    GTEST_SKIP() << "pseudo-terminals exist only on POSIX systems";
#endif
}
