#include "link/bus_scheduler.h"
#include "support/frames.h"

using namespace talvex;
using namespace talvex::testing;

namespace {

// A scheduler on a fake clock that records what it writes and what its callbacks saw.
struct Bus {
    std::vector<Bytes> writes;
    std::vector<std::string> events;
    BusScheduler scheduler{[this](std::span<const std::uint8_t> f) { writes.emplace_back(f.begin(), f.end()); }};

    RequestId send(Bytes f, BusPriority priority = BusPriority::Edit, std::string name = {})
    {
        BusRequest r;
        r.frame = std::move(f);
        r.priority = priority;
        r.replyPayload = expectedReplyPayload(r.frame);
        r.onReply = [this, name](const frame::Reply&) { events.push_back(name + " replied"); };
        r.onNoReply = [this, name] { events.push_back(name + " unanswered"); };
        return scheduler.submit(std::move(r));
    }
    BusScheduler::ReplyFit reply(std::uint8_t address, std::uint8_t command, std::size_t payload, std::int64_t now)
    {
        const Bytes bytes = frame::encode({address, frame::kOpReply, 0, command, 0, Bytes(payload)});
        return scheduler.replyArrived(frame::Reply{bytes}, now);
    }
    std::vector<int> commandsWritten() const
    {
        std::vector<int> out;
        for (const auto& w : writes)
            out.push_back(commandOf(w));
        return out;
    }
};

const Bytes meterRead = readRequest(0, frame::kCmdMeters);

TEST(BusScheduler, HoldsTheBusForTheFrameAndItsReplyAtNineThousandSixHundredBaud)
{
    // wire ms rounded up: 12 bytes 13, 20 bytes 21, 412 bytes 430, 652 bytes 680; turnaround 5, margin 60, gap 4
    const struct {
        Bytes frame;
        std::int64_t freeAt;
    } cases[] = {
        {meterRead, 13 + 5 + 21 + 60},
        {readRequest(4, frame::kCmdReadPresetNames), 13 + 5 + 430 + 60},
        {request(0, frame::kOpWrite, 0, 1, 2, Bytes(8)), 21 + 4},
        {readRequest(frame::kBroadcastAddress, frame::kCmdMeters), 13 + 4}, // a broadcast is never answered
        {request(0, frame::kOpWrite, 3, frame::kCmdStoredGroup, 0, Bytes(640)), 680 + 4},
    };
    for (const auto& c : cases) {
        Bus bus;
        bus.send(c.frame);
        bus.scheduler.advance(1000);
        EXPECT_EQ(bus.writes, std::vector<Bytes>{c.frame});
        EXPECT_EQ(bus.scheduler.nextWakeMs(), 1000 + c.freeAt) << toHex(c.frame);
        bus.send(meterRead);
        bus.scheduler.advance(1000 + c.freeAt - 1);
        EXPECT_EQ(bus.writes.size(), 1u) << "nothing goes while the bus is held";
        bus.scheduler.advance(1000 + c.freeAt);
        EXPECT_EQ(bus.writes.size(), 2u);
    }
}

TEST(BusScheduler, HigherPrioritiesGoFirstAndTheAwaitedReplyFreesTheBusAtOnce)
{
    Bus bus;
    bus.send(meterRead, BusPriority::Edit, "tick");
    bus.scheduler.advance(0);
    bus.send(readRequest(4, frame::kCmdReadPresetNames), BusPriority::Background, "names");
    bus.send(readRequest(4, frame::kCmdMeters), BusPriority::Poll, "poll");
    bus.send(readRequest(0, frame::kCmdReadSystemRecord), BusPriority::Chain, "chain");
    bus.send(request(0, frame::kOpWrite, 0, 1, 2, Bytes(8)), BusPriority::Edit, "edit");
    EXPECT_EQ(bus.reply(7, frame::kCmdMeters, 8, 30), BusScheduler::ReplyFit::Unexpected) << "another device";
    EXPECT_EQ(bus.reply(0, frame::kCmdMeters, 8, 40), BusScheduler::ReplyFit::Awaited);
    for (std::int64_t now = 40; bus.scheduler.nextWakeMs(); now = *bus.scheduler.nextWakeMs())
        bus.scheduler.advance(now);
    EXPECT_EQ(bus.commandsWritten(), (std::vector<int>{frame::kCmdMeters, 1, frame::kCmdReadSystemRecord,
                                                       frame::kCmdMeters, frame::kCmdReadPresetNames}));
    EXPECT_EQ(bus.events, (std::vector<std::string>{"tick replied", "chain unanswered", "poll unanswered",
                                                    "names unanswered"}));
}

TEST(BusScheduler, BackgroundReadsWaitForRoomBeforeTheNextTickOrDelayOneTickAfterASecond)
{
    Bus bus;
    bus.scheduler.reserveAt(100);
    bus.send(readRequest(4, frame::kCmdReadPresetNames), BusPriority::Background, "names");
    bus.scheduler.advance(0);
    EXPECT_TRUE(bus.writes.empty()) << "448 ms of names do not fit before the tick at 100";
    bus.send(readRequest(4, frame::kCmdMeters), BusPriority::Poll, "poll");
    bus.scheduler.advance(10);
    EXPECT_EQ(bus.commandsWritten(), std::vector<int>{frame::kCmdMeters}) << "a poll goes at once";
    bus.reply(4, frame::kCmdMeters, 8, 50);
    bus.scheduler.advance(999);
    EXPECT_EQ(std::pair(bus.writes.size(), bus.scheduler.nextWakeMs()), std::pair(std::size_t(1), std::optional<std::int64_t>(1000)));
    bus.send(meterRead, BusPriority::Edit, "tick");
    bus.scheduler.advance(1000);
    bus.reply(0, frame::kCmdMeters, 8, 1040);
    EXPECT_EQ(bus.commandsWritten().back(), frame::kCmdReadPresetNames) << "after the tick it has waited for";
    bus.reply(4, frame::kCmdReadPresetNames, 400, 1500);
    bus.scheduler.reserveAt(2100);
    bus.send(readRequest(1, frame::kCmdReadPresetNames), BusPriority::Background, "names");
    bus.scheduler.advance(1600);
    EXPECT_EQ(bus.writes.size(), 4u) << "ends at 2048, before the tick";
}

TEST(BusScheduler, LateRepliesAreToldApartAndCancelledRequestsKeepTheBusUntilTheirDeadline)
{
    Bus bus;
    const RequestId first = bus.send(meterRead, BusPriority::Edit, "first");
    bus.send(readRequest(1, frame::kCmdMeters), BusPriority::Edit, "second");
    bus.scheduler.advance(0);
    bus.scheduler.cancel(first);
    bus.scheduler.advance(98);
    EXPECT_EQ(bus.writes.size(), 1u);
    EXPECT_EQ(bus.reply(0, frame::kCmdMeters, 8, 100), BusScheduler::ReplyFit::Late) << "deadline 99 passed";
    EXPECT_EQ(bus.writes.size(), 2u) << "the late reply's arrival frees the bus first";
    EXPECT_EQ(bus.reply(0, frame::kCmdMeters, 8, 105), BusScheduler::ReplyFit::Unexpected) << "only once late";
    bus.scheduler.clear();
    bus.scheduler.advance(100 + 99); // a garbled reply never arrives: the deadline frees the bus
    EXPECT_FALSE(bus.scheduler.busy());
    EXPECT_TRUE(bus.events.empty()) << "cancelled and cleared requests call nothing";
    EXPECT_EQ(bus.scheduler.counts().unanswered, 2u);

    // A reply already in the port when its deadline was handled (a busy machine) is in time.
    Bus busy;
    busy.send(meterRead, BusPriority::Edit, "waited");
    busy.scheduler.advance(0);
    const Bytes waited = frame::encode({0, frame::kOpReply, 0, frame::kCmdMeters, 0, Bytes(8)});
    EXPECT_EQ(busy.scheduler.replyArrived(frame::Reply{waited}, 150, true), BusScheduler::ReplyFit::Awaited);
    EXPECT_EQ(busy.events, std::vector<std::string>{"waited replied"});
}

TEST(ReplyWatchdog, CountsOnlyWhileASentRequestWentUnanswered)
{
    Bus bus;
    ReplyWatchdog watchdog(13);
    bus.send(readRequest(4, frame::kCmdReadPresetNames));
    bus.scheduler.advance(0);
    BusRequest tick;
    tick.frame = meterRead;
    tick.replyPayload = frame::kMetersSize;
    tick.onNoReply = [&] { watchdog.requestUnanswered(); };
    bus.scheduler.submit(std::move(tick));
    for (int i = 0; i < 20; ++i) // the tick waits behind the names for 508 ms: nothing owed yet
        EXPECT_FALSE(watchdog.tick());
    bus.scheduler.advance(508);
    EXPECT_EQ(bus.writes.size(), 2u);
    bus.scheduler.advance(508 + 99);
    for (int i = 1; i < 13; ++i)
        EXPECT_FALSE(watchdog.tick());
    watchdog.replied();
    EXPECT_EQ(watchdog.silentTicks(), 0);
    watchdog.requestUnanswered();
    for (int i = 1; i < 13; ++i)
        watchdog.tick();
    EXPECT_TRUE(watchdog.tick()) << "13 silent ticks after a request went unanswered";
}

} // namespace
