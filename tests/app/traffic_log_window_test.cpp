// The traffic capture of a whole connection against the virtual amplifier.
#include "support/window.h"

#include "app/command_line.h"
#include "link/traffic_log.h"

#include <QProcess>

#include <algorithm>
#include <fstream>
#include <sstream>

using namespace talvex;
using namespace talvex::testing;

namespace {

struct LogLine {
    long long ms = -1;
    std::string direction;
    std::string transport;
    std::string text;
};

std::vector<LogLine> readLog(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::vector<LogLine> lines;
    for (std::string raw; std::getline(in, raw);) {
        std::istringstream fields(raw);
        LogLine line;
        fields >> line.ms >> line.direction >> line.transport;
        std::getline(fields >> std::ws, line.text);
        lines.push_back(line);
    }
    return lines;
}

// Command byte of a frame's hex text (bytes: 3 start, address, operation, index, command).
std::string commandOf(const std::string& hex) { return hex.size() >= 14 ? hex.substr(12, 2) : std::string(); }
std::string operationOf(const std::string& hex) { return hex.size() >= 10 ? hex.substr(8, 2) : std::string(); }

class TrafficWindowTest : public WindowTest {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath("traffic.log");
    TrafficLog log;

    void SetUp() override
    {
        ASSERT_TRUE(log.open(path.toStdString()));
        trafficLog = &log;
    }

    // The lines from the first "opened" on, meter polls left out.
    std::vector<LogLine> connection()
    {
        std::vector<LogLine> lines;
        bool started = false;
        for (const LogLine& line : readLog(path)) {
            started = started || line.text == "opened";
            if (started && commandOf(line.text) != "2B")
                lines.push_back(line);
        }
        return lines;
    }
};

} // namespace

TEST_F(TrafficWindowTest, SerialConnectHoldsTheReadAllChainInOrder)
{
    makeWindow();
    connectAndRead();
    window->toggleConnection(); // disconnect

    const std::string port = pty.slavePath().toStdString();
    const auto lines = connection();
    // opened, then request and reply for identification, names, system record, group, then closed.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"EV", "opened"}, {"TX", "A0"}, {"RX", "A0"}, {"TX", "26"}, {"RX", "26"}, {"TX", "22"},
        {"RX", "22"},     {"TX", "28"}, {"RX", "28"}, {"EV", "closed"},
    };
    ASSERT_EQ(lines.size(), expected.size());
    long long previous = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(lines[i].direction, expected[i].first);
        EXPECT_EQ(lines[i].transport, port);
        const bool event = lines[i].direction == "EV";
        EXPECT_EQ(event ? lines[i].text : commandOf(lines[i].text), expected[i].second);
        if (!event) {
            EXPECT_EQ(operationOf(lines[i].text), lines[i].direction == "TX" ? "A2" : "52");
        }
        EXPECT_GE(lines[i].ms, previous);
        previous = lines[i].ms;
    }
    // The group reply is logged whole: the text a group file keeps.
    EXPECT_EQ(lines[8].text.size(), frame::replyTextLength(frame::kGroupSize));
    // Every frame the amplifier got is in the log, meter polls included.
    const auto all = readLog(path);
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const LogLine& line) { return line.direction == "TX"; }),
              std::ptrdiff_t(frames.size()));
}

TEST_F(TrafficWindowTest, UsbArrivalReadAllAndRemoval)
{
    makeUsbWindow();
    hid.unplug(vamp::FakeHidController::amplifierInfo().path);

    const auto all = readLog(path);
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(std::tie(all[1].direction, all[1].transport, all[1].text),
              std::tuple("EV", "USB", "arrival of ZIRIZORIDARUZ01 (Serial=0000001)"));
    const auto lines = connection();
    ASSERT_GE(lines.size(), 11u);
    std::string chain;
    for (const LogLine& line : lines) {
        EXPECT_EQ(line.transport, "USB") << line.text;
        chain += line.direction + (line.direction == "EV" ? line.text : commandOf(line.text)) + ' ';
    }
    EXPECT_EQ(chain, "EVopened TXA0 RXA0 TX26 RX26 TX22 RX22 TX28 RX28 EVremoval of ZIRIZORIDARUZ01 "
                     "(Serial=0000001) EVlost ");
    // Nothing but the amplifier's own model is a link event.
    HidDeviceInfo keyboard{0x046D, 0xC31C, "USB Keyboard", {}, "fake-hid-9"};
    const std::size_t before = readLog(path).size();
    hid.plug(keyboard);
    hid.unplug(keyboard.path);
    EXPECT_EQ(readLog(path).size(), before);
}

// USB writes go out on the writer thread; the log is written on the
// user-interface thread only. A frame the amplifier did not take keeps its TX
// line (in the order handed over, before any reply) and is then marked as not
// sent, whether its write failed or it was dropped when the session ended.
TEST_F(TrafficWindowTest, UsbFramesThatFailOrAreDroppedAreMarkedNotSent)
{
    makeUsbWindow();
    // The lines logged from line `from` on that are marked not sent, and the meter reads sent.
    auto notSent = [this](std::size_t from) {
        auto marked = readLog(path);
        marked.erase(marked.begin(), marked.begin() + std::ptrdiff_t(std::min(from, marked.size())));
        std::erase_if(marked, [](const LogLine& line) { return line.text.find("(not sent: ") == std::string::npos; });
        return marked;
    };
    auto sentMeters = [this](std::size_t from) {
        const auto all = readLog(path);
        return std::size_t(std::count_if(all.begin() + std::ptrdiff_t(std::min(from, all.size())), all.end(),
                                         [](const LogLine& line) { return line.direction == "TX" && commandOf(line.text) == "2B"; }));
    };

    // A failed write.
    std::size_t from = readLog(path).size();
    hid.failWrites = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !notSent(from).empty(); }, 3000));
    hid.failWrites = false;
    const LogLine failed = notSent(from).front();
    EXPECT_EQ(failed.transport, "USB");
    EXPECT_EQ(commandOf(failed.text), "2B");
    EXPECT_NE(failed.text.find("A device attached to the system is not functioning."), std::string::npos);
    const auto all = readLog(path);
    const auto tx = std::find_if(all.begin() + std::ptrdiff_t(from), all.end(), [&](const LogLine& line) {
        return line.direction == "TX" && failed.text.rfind(line.text + " (not sent: ", 0) == 0;
    });
    ASSERT_NE(tx, all.end());
    EXPECT_LE(tx->ms, failed.ms);

    // Writes that block, then the user disconnects: the frames still waiting
    // are dropped; the one being written goes out when the amplifier takes
    // reports again and stays unmarked, and the dropped ones are marked after it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return session().usbWritesIdle(); }, 2000));
    from = readLog(path).size();
    hid.stallWrites(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sentMeters(from) >= 3 && hid.stalledWrites() == 1; }, 3000));
    window->toggleConnection();
    ASSERT_FALSE(linked());
    EXPECT_TRUE(notSent(from).empty());
    hid.stallWrites(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session().usbWritesIdle(); }, 2000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return notSent(from).size() + 1 >= sentMeters(from); }, 2000));
    const auto dropped = notSent(from);
    EXPECT_EQ(dropped.size() + 1, sentMeters(from));
    for (const LogLine& line : dropped)
        EXPECT_NE(line.text.find("(not sent: dropped, the link has ended)"), std::string::npos) << line.text;
}

TEST(CommandLine, TrafficLogAndPortsAreRead)
{
    const CommandLine line = parseCommandLine(
        {"editor", "--traffic-log", "/tmp/bus.log", "--port", "/dev/pts/3", "--verbose", "--port", "/dev/ttyUSB0"});
    EXPECT_EQ(line.ports, (QStringList{"/dev/pts/3", "/dev/ttyUSB0"}));
    EXPECT_EQ(line.trafficLog, "/tmp/bus.log");
    EXPECT_FALSE(line.trafficLogMissing);
    // An option's value is never read as an option.
    EXPECT_TRUE(parseCommandLine({"editor", "--traffic-log", "--port", "/dev/pts/3"}).ports.isEmpty());
    EXPECT_EQ(parseCommandLine({"editor", "--traffic-log", "--port", "/dev/pts/3"}).trafficLog, "--port");
    EXPECT_TRUE(parseCommandLine({"editor", "--traffic-log"}).trafficLogMissing);
    // A --port without its path, and a bare path, name no port.
    EXPECT_TRUE(portArguments({"editor", "--port"}).isEmpty());
    EXPECT_TRUE(portArguments({"editor", "/dev/pts/3"}).isEmpty());
}

TEST(TrafficLogStartUp, AFileThatCannotBeOpenedIsReportedAndTheEditorRunsOn)
{
    QTemporaryDir dir;
    QProcess editor;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    editor.setProcessEnvironment(environment);
    const QString path = dir.filePath("no/such/folder/bus.log");
    editor.start(QStringLiteral(TALVEX_EDITOR_PATH), {"--traffic-log", path});
    ASSERT_TRUE(editor.waitForStarted(5000));
    QByteArray errors;
    const bool reported = QTest::qWaitFor([&] {
        errors += editor.readAllStandardError();
        return errors.contains("bus.log");
    }, 10000);
    EXPECT_TRUE(reported) << errors.toStdString();
    EXPECT_TRUE(errors.contains("talvex-editor: cannot open the traffic log " + path.toUtf8() +
                                ": No such file or directory; running without it"))
        << errors.toStdString();
    // It runs on: no exit in the half second after the message.
    EXPECT_FALSE(editor.waitForFinished(500));
    EXPECT_EQ(editor.state(), QProcess::Running);
    editor.kill();
    editor.waitForFinished(5000);
}
