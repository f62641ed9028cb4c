// The virtual amplifier where the editor's suites do not reach it: writes, bus addressing, line noise,
// faults and moving meters. Its answers to the editor's reads and its HID reports are exercised by every
// window and USB case.
#include "support/frames.h"
#include "virtual_amplifier.h"

#include <set>

using namespace talvex;
using namespace talvex::testing;
using namespace talvex::vamp;

namespace {

frame::Frame only(std::span<const std::uint8_t> bytes)
{
    auto all = replies(bytes);
    EXPECT_EQ(all.size(), 1u);
    return all.empty() ? frame::Frame{} : all.front();
}

} // namespace

TEST(VirtualAmplifier, WritesChangeTheImageStoredGroupsAndPresets)
{
    VirtualBus bus;
    VirtualAmplifier& amp = bus.add(2);

    // Chunk 20 (High limiter) is command 1, sub-index 2.
    std::vector<std::uint8_t> chunk{1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_TRUE(bus.feed(request(1, frame::kOpWrite, 0, 1, 2, chunk)).empty());
    EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), amp.image().begin() + 160));
    // Low block chunk 56 + 18 = 74 is the last one.
    bus.feed(request(1, frame::kOpWrite, 0, 3, 18, chunk));
    EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), amp.image().begin() + 592));

    std::vector<std::uint8_t> block(640);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = std::uint8_t(i * 7);
    bus.feed(request(1, frame::kOpWrite, 0, frame::kCmdCurrentGroup, 0, block));
    EXPECT_TRUE(std::equal(block.begin(), block.end(), amp.image().begin()));

    bus.feed(request(1, frame::kOpWrite, 7, frame::kCmdStoredGroup, 0, block));
    auto stored = only(bus.feed(readRequest(1, frame::kCmdStoredGroup, 7)));
    EXPECT_EQ(stored.payload, block);

    // A name write saves the working group as that preset; reading the preset recalls it.
    amp.image()[100] = 42;
    std::vector<std::uint8_t> name(20, 0);
    std::copy_n("Saved", 5, name.begin());
    EXPECT_TRUE(bus.feed(request(1, frame::kOpWrite, 5, frame::kCmdWritePresetName, 0, name)).empty());
    EXPECT_EQ(amp.presetNames()[4][0], 'S');
    amp.image()[100] = 0;
    auto recalled = only(bus.feed(readRequest(1, frame::kCmdCurrentGroup, 5)));
    EXPECT_EQ(std::tuple(recalled.payload[100], amp.image()[100], amp.systemRecord()[0]), std::tuple(42, 42, 5));
}

TEST(VirtualAmplifier, BusAddressing)
{
    VirtualBus bus;
    VirtualAmplifier& a = bus.add(1);
    VirtualAmplifier& b = bus.add(5);

    auto answer = only(bus.feed(readRequest(4, frame::kCmdMeters)));
    EXPECT_EQ(answer.address, 4);
    EXPECT_TRUE(bus.feed(readRequest(2, frame::kCmdMeters)).empty()); // nobody at ID 3

    // Address 255: every device applies the write, nobody replies, reads too.
    std::vector<std::uint8_t> chunk(8, 0x77);
    EXPECT_TRUE(bus.feed(request(255, frame::kOpWrite, 0, 0, 0, chunk)).empty());
    EXPECT_EQ(std::tuple(a.image()[0], b.image()[0]), std::tuple(0x77, 0x77));
    EXPECT_TRUE(bus.feed(readRequest(255, frame::kCmdMeters)).empty());

    // A new Device ID makes the device answer at its new address only.
    std::vector<std::uint8_t> record(b.systemRecord().begin(), b.systemRecord().begin() + 8);
    record[3] = 9;
    bus.feed(request(4, frame::kOpWrite, 0, frame::kCmdWriteSystemRecord, 0, record));
    EXPECT_TRUE(bus.feed(readRequest(4, frame::kCmdMeters)).empty());
    EXPECT_EQ(only(bus.feed(readRequest(8, frame::kCmdMeters))).address, 8);
}

TEST(VirtualAmplifier, StreamReassemblyAndNoise)
{
    VirtualBus bus;
    bus.add(1);
    auto meter = readRequest(0, frame::kCmdMeters);

    // One byte at a time, after line noise.
    std::vector<std::uint8_t> out = bus.feed(std::vector<std::uint8_t>{0x00, 0x13, 0xA5});
    for (std::size_t i = 0; i < meter.size(); ++i) {
        auto part = bus.feed(std::span(meter).subspan(i, 1));
        out.insert(out.end(), part.begin(), part.end());
    }
    EXPECT_EQ(replies(out).size(), 1u);

    // A wrong checksum is dropped; two frames in one read give two replies.
    auto bad = meter;
    bad[10] ^= 1;
    EXPECT_TRUE(bus.feed(bad).empty());
    auto two = meter;
    two.insert(two.end(), meter.begin(), meter.end());
    EXPECT_EQ(replies(bus.feed(two)).size(), 2u);

    // A head with an impossible length does not stall the line.
    std::vector<std::uint8_t> noise{0xA5, 0xA5, 0xA5, 0, 0xA2, 0, 0x2B, 0, 0xFF, 0xFF};
    bus.feed(noise);
    EXPECT_EQ(replies(bus.feed(meter)).size(), 1u);
}

TEST(VirtualAmplifier, FaultModesAndMovingMeters)
{
    VirtualBus bus;
    bus.add(1, Faults{.silent = false, .badIdentification = true});
    bus.add(2, Faults{.silent = true, .badIdentification = false});
    auto ident = only(bus.feed(readRequest(0, frame::kCmdIdentification)));
    EXPECT_NE(std::string(ident.payload.begin(), ident.payload.end()), "KORVEN2Q7 V2.1.0        ");
    EXPECT_TRUE(bus.feed(readRequest(1, frame::kCmdIdentification)).empty());

    std::set<int> temperatures, attenuations;
    for (int i = 0; i < 60; ++i) {
        auto m = only(bus.feed(readRequest(0, frame::kCmdMeters)));
        temperatures.insert(m.payload[2] * 256 + m.payload[3]);
        attenuations.insert(m.payload[4]);
    }
    EXPECT_GT(temperatures.size(), 3u);
    EXPECT_GT(attenuations.size(), 3u);
}
