#include "link/command_sender.h"
#include "support/frames.h"

#include <numeric>

using namespace talvex;
using namespace talvex::testing;

namespace {

struct SenderTest : ::testing::Test {
    ParameterModel model;
    LinkState link = LinkState::Bus;
    int noReplyCount = 0; // the session's watchdog count
    RecordingTransport transport;
    CommandSender sender{model, link};

    SenderTest()
    {
        model.writeDefaults();
        sender.setTransport(&transport);
        sender.setBroadcastWriteObserver([this] { noReplyCount = 0; }); // the session's part
    }

    const Bytes& lastSerial() const { return transport.serialWrites.back(); }
    int lastAddress() const { return lastSerial().at(3); }
};

} // namespace

// Requests written out by hand. The checksum runs from the address byte on, only the low byte of an
// entry goes out, and a block write goes as its head alone and then the block, checksummed over both.
TEST_F(SenderTest, FramesAreExact)
{
    sender.sendRead(0, frame::kCmdMeters, 0);
    sender.sendRead(0, frame::kCmdIdentification, 0);
    sender.deviceAddress = 0x35; // Device ID 0x36
    sender.sendRead(0, frame::kCmdCurrentGroup, 0);
    for (int i = 0; i < 8; ++i)
        model.image[8 * 20 + i] = 0x100 + 20 + i;
    sender.sendChunk(20); // High, sub-index 2
    std::array<std::uint8_t, 640> data{};
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t(i * 7 + 3); // these 640 bytes XOR to 0,
    data[0] ^= 0x11;                       // and now to 0x11
    sender.sendBlockWrite(5, frame::kCmdStoredGroup, data);

    const auto& w = transport.serialWrites;
    ASSERT_EQ(w.size(), 6u);
    EXPECT_EQ(w[0], (Bytes{0xA5, 0xA5, 0xA5, 0x00, 0xA2, 0x00, 0x2B, 0x00, 0x00, 0x00, 0x89, 0xAA}));
    EXPECT_EQ(w[1], (Bytes{0xA5, 0xA5, 0xA5, 0x00, 0xA2, 0x00, 0xA0, 0x00, 0x00, 0x00, 0x02, 0xAA}));
    EXPECT_EQ(w[2], (Bytes{0xA5, 0xA5, 0xA5, 0x35, 0xA2, 0x00, 0x28, 0x00, 0x00, 0x00, 0xBF, 0xAA}));
    EXPECT_EQ(w[3], (Bytes{0xA5, 0xA5, 0xA5, 0x35, 0xA1, 0x00, 0x01, 0x02, 0x00, 0x08, 20, 21, 22, 23, 24, 25, 26,
                           27, 0x9F, 0xAA}));
    EXPECT_EQ(w[4], (Bytes{0xA5, 0xA5, 0xA5, 0x35, 0xA1, 0x05, 0x29, 0x00, 0x02, 0x80}));
    ASSERT_EQ(w[5].size(), 642u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), w[5].begin()));
    EXPECT_EQ(Bytes(w[5].begin() + 640, w[5].end()), (Bytes{0x2B, 0xAA}));
}

TEST_F(SenderTest, NothingIsSentWhileDisconnected)
{
    link = LinkState::Closed;
    model.markChunk(3);
    sender.sendRead(0, frame::kCmdMeters, 0);
    sender.sendChunk(20);
    sender.sendPresetName();
    sender.sendNextChunkOrMeterRead();
    EXPECT_TRUE(transport.serialWrites.empty());
    EXPECT_TRUE(model.pending[3]); // the scheduler did not consume it either
}

TEST_F(SenderTest, ChunksMapToTheirBlockCommandAndSubIndex)
{
    struct Case {
        int chunk, command, sub;
    };
    for (Case c : {Case{0, 0, 0}, Case{17, 0, 17}, Case{18, 1, 0}, Case{20, 1, 2}, Case{36, 1, 18},
                   Case{37, 2, 0}, Case{55, 2, 18}, Case{56, 3, 0}, Case{74, 3, 18}}) {
        SCOPED_TRACE(c.chunk);
        for (int i = 0; i < 8; ++i)
            model.image[8 * c.chunk + i] = c.chunk + i;
        sender.sendChunk(c.chunk);
        const frame::Frame f = decodeWrites({lastSerial()}).at(0); // checks the checksum
        EXPECT_EQ(std::tuple(f.operation, f.index, f.command, f.subIndex), std::tuple(frame::kOpWrite, 0, c.command, c.sub));
        Bytes payload(8);
        std::iota(payload.begin(), payload.end(), std::uint8_t(c.chunk));
        EXPECT_EQ(f.payload, payload);
    }
    const std::size_t before = transport.serialWrites.size();
    for (int chunk : {75, 76, 77, 80, 81})
        sender.sendChunk(chunk);
    EXPECT_EQ(transport.serialWrites.size(), before);
}

TEST_F(SenderTest, BroadcastAddressingAndTheReadBackOverride)
{
    sender.setSelectedAddress(4);
    sender.deviceAddress = 255;
    sender.broadcast = true;
    noReplyCount = 9;

    sender.sendChunk(2);
    EXPECT_EQ(lastAddress(), 255);
    EXPECT_EQ(noReplyCount, 0); // broadcast writes keep the watchdog quiet

    sender.sendRead(0, frame::kCmdMeters, 0);
    EXPECT_EQ(lastAddress(), 4); // meters come from the selected device

    sender.readBackOverride = true;
    sender.sendRead(0, frame::kCmdCurrentGroup, 0);
    EXPECT_EQ(lastAddress(), 4);
    EXPECT_FALSE(sender.readBackOverride);
    sender.sendRead(0, frame::kCmdCurrentGroup, 0);
    EXPECT_EQ(lastAddress(), 255);
}

TEST_F(SenderTest, SystemRecordWriteMovesTheDeviceAddress)
{
    for (int i = 0; i < 8; ++i)
        model.systemRecord[i] = 10 + i;
    model.systemRecord[3] = 7; // new Device ID
    sender.deviceAddress = 0;
    sender.sendChunk(kSystemRecordChunk);
    EXPECT_EQ(lastSerial(), frame::encode({0, frame::kOpWrite, 0, frame::kCmdWriteSystemRecord, 0,
                                           {10, 11, 12, 7, 14, 15, 16, 17}}));
    sender.sendRead(0, frame::kCmdMeters, 0);
    EXPECT_EQ(lastAddress(), 6);

    sender.broadcast = true;
    sender.deviceAddress = 255;
    model.systemRecord[3] = 9;
    sender.sendChunk(kSystemRecordChunk);
    EXPECT_EQ(sender.deviceAddress, 8);
}

TEST_F(SenderTest, PresetNameWriteCarriesTheCurrentPresetsName)
{
    model.systemRecord[0] = 6;
    const char name[] = "Live 1              ";
    std::copy(name, name + 20, model.presetNames[5].begin());
    sender.sendPresetName();
    Bytes payload(name, name + 20);
    EXPECT_EQ(lastSerial(), frame::encode({0, frame::kOpWrite, 6, frame::kCmdWritePresetName, 0, payload}));
    EXPECT_EQ(lastSerial().size(), 32u);

    int wrapped = 0;
    sender.setPresetNameWriter([&] { ++wrapped; });
    sender.sendChunk(kPresetNameChunk);
    EXPECT_EQ(wrapped, 1);
}

TEST_F(SenderTest, SchedulerSendsOnePendingChunkPerTickLowestFirstAndOnABusStillReadsTheMeters)
{
    // chunk 2, chunk 19, flag 76 (consumed, nothing sent), system record, then a meter read; on a
    // shared bus every second tick that writes also reads the meters, so a long edit hears the device.
    const std::vector<std::vector<int>> usb{{0}, {1}, {}, {0x21}, {0x2B}};
    const std::vector<std::vector<int>> bus{{0}, {1, 0x2B}, {}, {0x21, 0x2B}, {0x2B}};
    for (const bool overUsb : {true, false}) {
        transport.usb = overUsb;
        for (int chunk : {79, 19, 2, 76})
            model.markChunk(chunk);
        std::vector<std::vector<int>> ticks;
        for (int tick = 0; tick < 5; ++tick) {
            auto& written = overUsb ? transport.hidReports : transport.serialWrites;
            written.clear();
            sender.sendNextChunkOrMeterRead();
            ticks.emplace_back();
            for (const Bytes& w : written)
                ticks.back().push_back(w.at(overUsb ? 7 : 6));
        }
        EXPECT_EQ(ticks, overUsb ? usb : bus);
        EXPECT_EQ(model.lowestPending(), -1);
    }

    // Over USB, ten bands pending: a meter read after six writes keeps the watchdog fed.
    transport.usb = true;
    for (int chunk = 21; chunk <= 30; ++chunk)
        model.markChunk(chunk);
    std::vector<int> commands;
    for (int tick = 0; tick < 12; ++tick) {
        transport.hidReports.clear();
        sender.sendNextChunkOrMeterRead();
        commands.push_back(transport.hidReports.at(0).at(7));
    }
    EXPECT_EQ(commands, (std::vector<int>{1, 1, 1, 1, 1, 1, 0x2B, 1, 1, 1, 1, 0x2B}));
}
