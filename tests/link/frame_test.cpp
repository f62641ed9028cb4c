#include "link/delay.h"
#include "link/frame.h"

#include <gtest/gtest.h>

using namespace talvex;
using Bytes = std::vector<std::uint8_t>;

TEST(Frame, EncodeAndDecodeAgree)
{
    const Bytes bytes = frame::encode({6, frame::kOpReply, 3, frame::kCmdMeters, 0, {9, 8, 7}});
    EXPECT_EQ(bytes.size(), 15u);
    frame::Decoded d;
    EXPECT_EQ(frame::decode(Bytes(bytes.begin(), bytes.end() - 1), d), frame::DecodeStatus::NeedMore);
    ASSERT_EQ(frame::decode(bytes, d), frame::DecodeStatus::Complete);
    EXPECT_TRUE(d.checksumOk);
    EXPECT_EQ(d.consumed, bytes.size());
    EXPECT_EQ(d.frame.address, 6);
    EXPECT_EQ(d.frame.payload, (Bytes{9, 8, 7}));

    Bytes bad = bytes;
    bad[11] ^= 1;
    ASSERT_EQ(frame::decode(bad, d), frame::DecodeStatus::Complete);
    EXPECT_FALSE(d.checksumOk);
    bad.back() = 0x55;
    EXPECT_EQ(frame::decode(bad, d), frame::DecodeStatus::Invalid);
    EXPECT_EQ(frame::decode(Bytes{0xA5, 0x00}, d), frame::DecodeStatus::Invalid);
}

namespace {

struct FakePump : EventPump {
    std::uint64_t now = 1000;
    int rounds = 0;
    int step = 30;
    std::uint64_t tickMs() const override { return now; }
    void processEvents(int) override
    {
        ++rounds;
        now += step;
    }
};

} // namespace

TEST(Delay, PumpsEventsUntilTheTimeHasPassed)
{
    FakePump pump;
    Delay(pump, 100);
    EXPECT_EQ(pump.rounds, 4);
    EXPECT_GE(pump.now, 1100u);

    FakePump once;
    Delay(once, 0);
    EXPECT_EQ(once.rounds, 1); // pending events are handled even for no wait

    struct WrappingPump : FakePump {
        void processEvents(int) override
        {
            ++rounds;
            now = 5; // the tick count wrapped
        }
    } wrapping;
    Delay(wrapping, 1000);
    EXPECT_EQ(wrapping.rounds, 1);
}
