#include "link/reply_receiver.h"
#include "link/usb_report_assembler.h"
#include "support/frames.h"

#include <random>

using namespace talvex;
using namespace talvex::testing;

namespace {

Bytes meterReply(std::uint8_t end = frame::kEnd, std::uint8_t op = frame::kOpReply)
{
    Bytes f = frame::encode({0, op, 0, frame::kCmdMeters, 0, {1, 2, 0x04, 0x60, 5, 6, 7, 8}});
    f.back() = end;
    return f;
}

Bytes groupReply(std::uint8_t command = frame::kCmdCurrentGroup)
{
    Bytes payload(640);
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = std::uint8_t(i);
    return frame::encode({0, frame::kOpReply, 0, command, 0, payload});
}

// Splits a reply into USB input reports: a header report, full data reports,
// and a last report with the rest of the payload, the checksum and the end byte.
std::vector<Bytes> usbReports(const Bytes& frameBytes)
{
    std::vector<Bytes> reports;
    Bytes header(frameBytes.begin(), frameBytes.begin() + 10);
    header.resize(64, 0xEE); // whatever follows the head in the header report is ignored
    reports.push_back(header);
    for (std::size_t at = 10; at < frameBytes.size(); at += 64) {
        Bytes r(frameBytes.begin() + at, frameBytes.begin() + std::min(at + 64, frameBytes.size()));
        r.resize(64, 0);
        reports.push_back(r);
    }
    return reports;
}

struct ReceiverTest : ::testing::Test {
    ReplyReceiver receiver;
    UsbReportAssembler assembler; // the USB link's, feeding the receiver its frames
    int noReplyCount = 7;         // as the session keeps it: reset by each frame of its own device
    std::vector<int> dispatched;
    std::string textSeenByHandler;

    ReceiverTest()
    {
        for (std::uint8_t cmd : {frame::kCmdReadSystemRecord, frame::kCmdReadPresetNames, frame::kCmdCurrentGroup,
                                 frame::kCmdStoredGroup, frame::kCmdMeters, frame::kCmdIdentification})
            receiver.setHandler(cmd, [this, cmd](const frame::Reply& reply) {
                dispatched.push_back(cmd);
                textSeenByHandler = toHex(reply.bytes);
                EXPECT_TRUE(receiver.receivedBytes().empty());
            });
        receiver.setOwnFrameObserver([this] { noReplyCount = 0; });
    }

    void serial(const Bytes& bytes) { receiver.receive(bytes); }
    void usb(const Bytes& report)
    {
        if (const auto whole = assembler.addReport(report))
            receiver.receiveFrame(*whole);
    }
    std::string receiveText() const { return toHex(receiver.receivedBytes()); }
};

} // namespace

TEST_F(ReceiverTest, MeterReplyIsDispatchedWhateverTheSplit)
{
    const Bytes reply = meterReply();
    ASSERT_EQ(reply.size(), 20u);
    // Every way of cutting the frame into two or three reads.
    for (std::size_t a = 1; a < reply.size(); ++a) {
        for (std::size_t b = a; b <= reply.size(); ++b) {
            dispatched.clear();
            serial(Bytes(reply.begin(), reply.begin() + a));
            EXPECT_TRUE(dispatched.empty());
            serial(Bytes(reply.begin() + a, reply.begin() + b));
            if (b < reply.size()) {
                EXPECT_TRUE(dispatched.empty());
                serial(Bytes(reply.begin() + b, reply.end()));
            }
            ASSERT_EQ(dispatched, std::vector<int>{frame::kCmdMeters}) << a << "," << b;
            EXPECT_TRUE(receiveText().empty());
        }
    }
    // One byte at a time.
    dispatched.clear();
    for (std::uint8_t b : reply)
        serial({b});
    EXPECT_EQ(dispatched, std::vector<int>{frame::kCmdMeters});
    EXPECT_EQ(textSeenByHandler, toHex(reply));
    EXPECT_EQ(noReplyCount, 0);
    const frame::Reply parsed{reply};
    EXPECT_EQ(Bytes(parsed.payload().begin(), parsed.payload().end()), (Bytes{1, 2, 0x04, 0x60, 5, 6, 7, 8}));
}

TEST_F(ReceiverTest, GroupReplyOverSerialReachesItsHandlerWhole)
{
    const Bytes reply = groupReply();
    std::mt19937 rng(7);
    std::size_t at = 0;
    while (at < reply.size()) {
        const std::size_t n = std::min<std::size_t>(1 + rng() % 90, reply.size() - at);
        serial(Bytes(reply.begin() + at, reply.begin() + at + n));
        at += n;
    }
    ASSERT_EQ(dispatched, std::vector<int>{frame::kCmdCurrentGroup});
    EXPECT_EQ(textSeenByHandler.size(), 1304u);
    EXPECT_EQ(textSeenByHandler, toHex(reply));
}

TEST_F(ReceiverTest, FaultyFramesAreDropped)
{
    // A stray leading byte: the whole text goes, and the frame with it.
    Bytes stray{0x00};
    const Bytes reply = meterReply();
    stray.insert(stray.end(), reply.begin(), reply.end());
    serial(stray);
    EXPECT_EQ(std::tuple(dispatched.size(), receiveText(), noReplyCount), std::tuple(0u, "", 7));

    // A wrong end byte: not dispatched, but the link is known to be alive.
    serial(meterReply(0x55));
    EXPECT_EQ(std::tuple(dispatched.size(), receiveText(), noReplyCount), std::tuple(0u, "", 0));

    // Not a reply operation, and a command nobody handles.
    noReplyCount = 3;
    serial(meterReply(frame::kEnd, frame::kOpRead));
    serial(frame::encode({0, frame::kOpReply, 0, 0x55, 0, {1, 2}}));
    EXPECT_TRUE(dispatched.empty());
    EXPECT_EQ(noReplyCount, 0);
}

TEST_F(ReceiverTest, BytesAfterACompleteFrameAreDiscardedWithIt)
{
    Bytes two = meterReply();
    const Bytes second = meterReply();
    two.insert(two.end(), second.begin(), second.end());
    serial(two);
    EXPECT_EQ(dispatched.size(), 1u);
    EXPECT_EQ(textSeenByHandler, toHex(meterReply())); // the handler sees its frame only
    EXPECT_TRUE(receiveText().empty());
}

TEST_F(ReceiverTest, OverlongTextIsCleared)
{
    // A header claiming 2000 payload bytes can never fit the 2000-character limit.
    serial({0xA5, 0xA5, 0xA5, 0x00, 0x52, 0x00, 0x28, 0x00, 0x07, 0xD0});
    for (int i = 0; i < 100; ++i)
        serial(Bytes(10, 0x11));
    EXPECT_LE(receiver.receivedBytes().size(), ReplyReceiver::kByteLimit);
    EXPECT_TRUE(dispatched.empty());
}

// A meter reply comes in two reports, a group reply in twelve; the frame waits until the last one.
TEST_F(ReceiverTest, UsbRepliesAreReassembledFromTheirReports)
{
    for (const auto& [reply, count] : {std::pair{meterReply(), 2u}, {groupReply(frame::kCmdStoredGroup), 12u}}) {
        dispatched.clear();
        noReplyCount = 7;
        const auto reports = usbReports(reply);
        ASSERT_EQ(reports.size(), count);
        for (std::size_t i = 0; i + 1 < reports.size(); ++i) {
            usb(reports[i]);
            EXPECT_TRUE(dispatched.empty() && assembler.joining());
        }
        EXPECT_TRUE(receiveText().empty()); // the USB link joins them; the receiver sees the whole frame only
        usb(reports.back());
        ASSERT_EQ(dispatched, std::vector<int>{reply[6]});
        EXPECT_EQ(textSeenByHandler, toHex(reply));
        EXPECT_FALSE(assembler.joining());
        EXPECT_EQ(noReplyCount, 0);
    }
}

TEST_F(ReceiverTest, UsbReportsWithoutAHeaderOrWithALengthThatCannotCompleteAreDroppedCleanly)
{
    usb(Bytes(64, 0x33)); // no header: ignored
    EXPECT_EQ(std::pair(assembler.joining(), receiveText()), std::pair(false, std::string()));
    // 63 payload bytes would need 65 bytes in the last report.
    Bytes head{0xA5, 0xA5, 0xA5, 0x00, 0x52, 0x00, 0x2B, 0x00, 0x00, 63};
    head.resize(64, 0);
    usb(head);
    EXPECT_EQ(std::pair(assembler.joining(), receiveText()), std::pair(false, std::string()));
    usb(Bytes(64, 0xAA));
    EXPECT_TRUE(dispatched.empty());
    // So is a length whose frame could never fit the receive text; the next
    // header report is then taken at once.
    Bytes huge{0xA5, 0xA5, 0xA5, 0x00, 0x52, 0x00, 0x28, 0x9C, 0x9C, 0x00};
    huge.resize(64, 0);
    usb(huge);
    EXPECT_FALSE(assembler.joining());
    // A short last report neither reads past its end nor leaves a stale frame.
    const auto reports = usbReports(meterReply());
    usb(reports[0]);
    usb(Bytes(reports[1].begin(), reports[1].begin() + 3));
    EXPECT_TRUE(dispatched.empty());
    EXPECT_FALSE(assembler.joining());
    for (const Bytes& r : reports)
        usb(r);
    EXPECT_EQ(dispatched.size(), 1u);
}

TEST_F(ReceiverTest, InputArrivingDuringAHandlerWaitsForItsTurn)
{
    // A handler that opens a modal dialog may see the next bytes arrive; they
    // must not disturb the frame it is reading nor be lost.
    const Bytes first = meterReply();
    const Bytes second = groupReply();
    bool fed = false;
    receiver.setHandler(frame::kCmdMeters, [&](const frame::Reply& reply) {
        dispatched.push_back(frame::kCmdMeters);
        if (!fed) {
            fed = true;
            serial(Bytes(second.begin(), second.begin() + 100));
        }
        EXPECT_EQ(toHex(reply.bytes), toHex(first));
    });
    serial(first);
    serial(Bytes(second.begin() + 100, second.end()));
    EXPECT_EQ(dispatched, (std::vector<int>{frame::kCmdMeters, frame::kCmdCurrentGroup}));
}

TEST(HexText, ConvertsBothCasesAndRejectsTheRest)
{
    using Value = std::optional<std::uint32_t>;
    for (const auto& [digits, value] :
         {std::pair{"A5", Value(0xA5)}, {"a5", 0xA5}, {"0280", 640}, {"", {}}, {"G1", {}}, {" 1", {}}})
        EXPECT_EQ(hexValue(digits), value) << '"' << digits << '"';
    EXPECT_EQ(toHex(Bytes{0x00, 0xAB, 0x0F}), "00AB0F");
}
