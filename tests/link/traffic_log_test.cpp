#include "link/command_sender.h"
#include "link/reply_receiver.h"
#include "link/traffic_log.h"
#include "model/file_path.h"
#include "support/files.h"
#include "support/frames.h"

using namespace talvex;
using namespace talvex::testing;

namespace {

std::vector<std::string> linesOf(const std::filesystem::path& path) { return lines(readText(path)); }

// Removes the file when destroyed: declared before the log, it outlives the
// log's open handle (Windows removes no file that is still open).
struct RemovedAtEnd {
    std::filesystem::path path;
    ~RemovedAtEnd()
    {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
};

struct TrafficLogTest : ::testing::Test {
    TempFolder folder;
    std::filesystem::path path = folder / "traffic.log";
    std::int64_t now = 1000;
    TrafficLog log{[this] { return now; }};
};

} // namespace

TEST_F(TrafficLogTest, LinesAreOnDiskAsSoonAsTheyAreWritten)
{
    ASSERT_TRUE(log.open(path, "talvex-editor 3.8.0"));
    now = 1102;
    log.sent("/dev/ttyUSB0", std::vector<std::uint8_t>{0xA5, 0xA5, 0xA5, 0x00, 0xA2, 0x00, 0xA0, 0, 0, 0, 0x02, 0xAA});
    now = 1250;
    const std::vector<std::uint8_t> reply{0xA5, 0xA5, 0xA5, 0x00, 0x52, 0x00, 0x26};
    log.received("USB", reply);
    log.received("USB", reply, false);
    now = 1000 + 123456789;
    log.event("", "closed");

    // Read while the log is still open: nothing waits in a buffer.
    const auto lines = linesOf(path);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_TRUE(lines[0].starts_with("       0 EV - log started, talvex-editor 3.8.0, 20")) << lines[0];
    EXPECT_TRUE(lines[0].ends_with(" UTC")) << lines[0];
    EXPECT_EQ(lines[1], "     102 TX /dev/ttyUSB0 A5A5A500A200A000000002AA");
    EXPECT_EQ(lines[2], "     250 RX USB A5A5A500520026");
    EXPECT_EQ(lines[3], "     250 RX USB A5A5A500520026 (ignored)");
    EXPECT_EQ(lines[4], "123456789 EV - closed");
}

TEST_F(TrafficLogTest, EveryRunIsAppended)
{
    ASSERT_TRUE(log.open(path));
    log.event("USB", "opened");
    {
        TrafficLog second([] { return std::int64_t(5); });
        ASSERT_TRUE(second.open(path));
        second.event("USB", "opened");
    }
    const auto lines = linesOf(path);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "       0 EV USB opened");
    EXPECT_TRUE(lines[2].starts_with("       0 EV - log started, talvex-editor, "));
    EXPECT_EQ(lines[3], "       0 EV USB opened");
}

TEST_F(TrafficLogTest, AFileThatCannotBeOpenedIsReported)
{
    EXPECT_FALSE(log.open((path / "no" / "such" / "folder.log").string()));
    EXPECT_EQ(std::pair(log.isOpen(), log.errorText().empty()), std::pair(false, false)); // not open, and says why
    EXPECT_FALSE(log.open(""));
    // Writing to a log that is not open does nothing.
    log.event("-", "closed");
    EXPECT_FALSE(std::filesystem::exists(path));
}

// A name with letters outside any narrow code page (Greek, Japanese, with an
// umlaut) is the file's name on disk, not a garbled one.
TEST_F(TrafficLogTest, ANonAsciiNameOpensTheFileItNames)
{
    const std::filesystem::path named =
        path.parent_path() / pathFromUtf8(utf8FromPath(path.stem()) + "-Gr\u00f6\u00dfe-\u03a9\u03bc-\u65e5\u672c.log");
    RemovedAtEnd namedRemoval{named};
    {
        TrafficLog unicode([] { return std::int64_t(0); });
        ASSERT_TRUE(unicode.open(named)) << unicode.errorText();
        unicode.event("-", "opened");
    }
    EXPECT_EQ(linesOf(named).size(), 2u);
    bool listed = false;
    for (const auto& entry : std::filesystem::directory_iterator(named.parent_path()))
        listed = listed || entry.path().filename().u8string() == named.filename().u8string();
    EXPECT_TRUE(listed);
}

TEST_F(TrafficLogTest, TapLogsWhatTheSenderWritesOnEitherTransport)
{
    ASSERT_TRUE(log.open(path));
    ParameterModel model;
    model.writeDefaults();
    LinkState link = LinkState::Bus;
    RecordingTransport inner;
    bool portOpen = true;
    TrafficTap tap(inner, log, [] { return std::string("COM3"); }, [&] { return portOpen; });
    CommandSender sender(model, link);
    sender.setTransport(&tap);

    sender.sendRead(0, frame::kCmdMeters, 0);
    portOpen = false; // a port error closed it; the link is still up until the watchdog ends it
    sender.sendRead(0, frame::kCmdMeters, 0);
    EXPECT_EQ(tap.transportName(), "COM3");
    inner.usb = true;
    EXPECT_EQ(tap.transportName(), "USB");
    sender.sendChunk(20);
    std::array<std::uint8_t, 640> group{};
    group[639] = 0x5A;
    sender.sendBlockWrite(3, frame::kCmdStoredGroup, group);

    // Everything still reached the real transport.
    EXPECT_EQ(std::tuple(inner.serialWrites.size(), inner.hidReports.size(), inner.hidBlocks.size()),
              std::tuple(2u, 2u, 1u));

    auto lines = linesOf(path);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[1], "       0 TX COM3 A5A5A500A2002B00000089AA");
    EXPECT_EQ(lines[2], "       0 TX COM3 A5A5A500A2002B00000089AA (not sent: the port is closed)");
    lines.erase(lines.begin() + 2);
    EXPECT_TRUE(lines[2].starts_with("       0 TX USB A5A5A500A1000102000814")) << lines[2];
    EXPECT_EQ(lines[2].size(), std::string("       0 TX USB ").size() + 2 * 20);
    EXPECT_EQ(lines[3], "       0 TX USB A5A5A500A10329000280"); // the block write's head alone
    ASSERT_EQ(lines[4].size(), std::string("       0 TX USB ").size() + 2 * 642);
    EXPECT_EQ(lines[4].substr(lines[4].size() - 6, 2), "5A");
    EXPECT_TRUE(lines[4].ends_with("AA"));
}

TEST_F(TrafficLogTest, ReceiverShowsEveryCompleteFrameBeforeItsHandler)
{
    ReplyReceiver receiver;
    std::vector<std::string> seen;
    receiver.setFrameObserver([&](std::span<const std::uint8_t> frame, bool isReply) {
        seen.push_back(toHex(frame) + (isReply ? "" : " ignored"));
    });
    receiver.setHandler(frame::kCmdMeters, [&](const frame::Reply&) { seen.push_back("handled"); });
    const std::vector<std::uint8_t> reply = frame::encode({0, frame::kOpReply, 0, frame::kCmdMeters, 0, {1, 2, 3, 4, 5, 6, 7, 8}});
    receiver.receive(std::span(reply).first(7));
    EXPECT_TRUE(seen.empty()); // an incomplete frame is not shown
    receiver.receive(std::span(reply).subspan(7));
    std::vector<std::uint8_t> badEnd = reply;
    badEnd.back() = 0xAB;
    receiver.receive(badEnd);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], toHex(reply));
    EXPECT_EQ(seen[1], "handled");
    EXPECT_TRUE(seen[2].ends_with("AB ignored"));
}
