#include "support/files.h"
#include "support/frames.h"

#include "link/serial_link.h"

#include <QProcess>
#include <QTest>

using namespace talvex;
using namespace talvex::testing;

namespace {

// The exit status of talvex-vamp run with `arguments` (2: refused).
int exitCodeOf(const QStringList& arguments) { return runTool(QStringLiteral(TALVEX_VAMP_PATH), arguments).status; }

// Runs talvex-vamp with `arguments` and talks to it over its pseudo-terminal.
struct VampClient {
    QProcess process;
    QString path;
    LinkState link;
    ReplyReceiver receiver{link};
    SerialLink serial{link, receiver};
    std::string identification;
    int meterReplies = 0;

    explicit VampClient(const QStringList& arguments)
    {
        receiver.setHandler(frame::kCmdIdentification, [this](const frame::Reply& reply) {
            identification.assign(reply.payload().begin(), reply.payload().end());
        });
        receiver.setHandler(frame::kCmdMeters, [this](const frame::Reply&) { ++meterReplies; });
        process.start(QStringLiteral(TALVEX_VAMP_PATH), arguments);
        if (process.waitForStarted(5000) && QTest::qWaitFor([&] { return process.canReadLine(); }, 5000))
            path = QString::fromLocal8Bit(process.readLine()).trimmed();
        if (serial.openLocation(path))
            serial.startReader();
    }
    ~VampClient()
    {
        serial.close();
        process.terminate();
        process.waitForFinished(3000);
    }
};

} // namespace

TEST(VampProgram, PrintsItsTerminalAndAnswersEachGivenId)
{
    VampClient client({QStringLiteral("--ids"), QStringLiteral("1,5"), QStringLiteral("--verbose")});
    ASSERT_TRUE(client.path.startsWith(QStringLiteral("/dev/"))) << client.path.toStdString();
    ASSERT_TRUE(client.serial.isOpen());

    client.serial.write(readRequest(4, frame::kCmdIdentification));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !client.identification.empty(); }, 3000));
    EXPECT_EQ(client.identification, "KORVEN2Q7 V2.1.0        ");

    client.serial.write(readRequest(0, frame::kCmdMeters));
    client.serial.write(readRequest(1, frame::kCmdMeters)); // nobody at ID 2
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.meterReplies == 1; }, 3000));
    QTest::qWait(200);
    EXPECT_EQ(client.meterReplies, 1);

    // --verbose logs each received frame on stderr.
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.process.readAllStandardError().contains("A5 A5 A5 00 A2 00 2B"); }, 2000));
}

TEST(VampProgram, FaultOptions)
{
    {
        VampClient client({QStringLiteral("--bad-ident")});
        ASSERT_TRUE(client.serial.isOpen());
        client.serial.write(readRequest(0, frame::kCmdIdentification));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !client.identification.empty(); }, 3000));
        EXPECT_NE(client.identification, "KORVEN2Q7 V2.1.0        ");
    }
    {
        VampClient client({QStringLiteral("--silent")});
        ASSERT_TRUE(client.serial.isOpen());
        client.serial.write(readRequest(0, frame::kCmdIdentification));
        QTest::qWait(400);
        EXPECT_TRUE(client.identification.empty());
    }
    EXPECT_EQ(exitCodeOf({QStringLiteral("--ids"), QStringLiteral("0,251")}), 2);
}

TEST(VampProgram, ReplyDelayHoldsRepliesBack)
{
    VampClient client({QStringLiteral("--reply-delay"), QStringLiteral("300")});
    ASSERT_TRUE(client.serial.isOpen());
    client.serial.write(readRequest(0, frame::kCmdMeters));
    QTest::qWait(150);
    EXPECT_EQ(client.meterReplies, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.meterReplies == 1; }, 3000));
    EXPECT_EQ(exitCodeOf({QStringLiteral("--reply-delay"), QStringLiteral("-5")}), 2);
}

TEST(VampProgram, DropGroupLosesTheReplyToOneStoredGroupRead)
{
    VampClient client({QStringLiteral("--drop-group"), QStringLiteral("13")});
    std::vector<int> groups;
    client.receiver.setHandler(frame::kCmdStoredGroup,
                               [&](const frame::Reply& reply) { groups.push_back(reply.index()); });
    ASSERT_TRUE(client.serial.isOpen());
    for (std::uint8_t g : {12, 13, 14}) {
        client.serial.write(readRequest(0, frame::kCmdStoredGroup, g));
        QTest::qWait(150); // one reply per read, so none are joined on the way
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return groups.size() >= 2; }, 3000));
    QTest::qWait(200);
    EXPECT_EQ(groups, (std::vector<int>{12, 14}));
    EXPECT_EQ(exitCodeOf({QStringLiteral("--drop-group"), QStringLiteral("21")}), 2);
}
