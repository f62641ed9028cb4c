#include "support/frames.h"

#include "link/serial_link.h"

#include <QProcess>
#include <QTest>

using namespace talvex;
using namespace talvex::testing;

namespace {

// Runs talvex-vamp with `arguments` and talks to it over its pseudo-terminal.
struct VampProcess {
    QProcess process;
    QString path;

    explicit VampProcess(const QStringList& arguments)
    {
        process.start(QStringLiteral(TALVEX_VAMP_PATH), arguments);
        if (process.waitForStarted(5000) && QTest::qWaitFor([&] { return process.canReadLine(); }, 5000))
            path = QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    ~VampProcess()
    {
        process.terminate();
        process.waitForFinished(3000);
    }
};

struct Client {
    LinkState link;
    ReplyReceiver receiver{link};
    SerialLink serial{link, receiver};
    std::string identification;
    int meterReplies = 0;

    bool open(const QString& path)
    {
        receiver.setHandler(frame::kCmdIdentification, [this](const frame::Reply& reply) {
            identification.assign(reply.payload().begin(), reply.payload().end());
        });
        receiver.setHandler(frame::kCmdMeters, [this](const frame::Reply&) { ++meterReplies; });
        if (!serial.openLocation(path))
            return false;
        serial.startReader();
        return true;
    }
};

} // namespace

TEST(VampProgram, PrintsItsTerminalAndAnswersEachGivenId)
{
    VampProcess vamp({QStringLiteral("--ids"), QStringLiteral("1,5"), QStringLiteral("--verbose")});
    ASSERT_TRUE(vamp.path.startsWith(QStringLiteral("/dev/"))) << vamp.path.toStdString();
    Client client;
    ASSERT_TRUE(client.open(vamp.path));

    client.serial.write(readRequest(4, frame::kCmdIdentification));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !client.identification.empty(); }, 3000));
    EXPECT_EQ(client.identification, "KORVEN2Q7 V2.1.0        ");

    client.serial.write(readRequest(0, frame::kCmdMeters));
    client.serial.write(readRequest(1, frame::kCmdMeters)); // nobody at ID 2
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.meterReplies == 1; }, 3000));
    QTest::qWait(200);
    EXPECT_EQ(client.meterReplies, 1);

    // --verbose logs each received frame on stderr.
    ASSERT_TRUE(QTest::qWaitFor([&] { return vamp.process.readAllStandardError().contains("A5 A5 A5 00 A2 00 2B"); }, 2000));
}

TEST(VampProgram, FaultOptions)
{
    {
        VampProcess vamp({QStringLiteral("--bad-ident")});
        Client client;
        ASSERT_TRUE(client.open(vamp.path));
        client.serial.write(readRequest(0, frame::kCmdIdentification));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !client.identification.empty(); }, 3000));
        EXPECT_NE(client.identification, "KORVEN2Q7 V2.1.0        ");
    }
    {
        VampProcess vamp({QStringLiteral("--silent")});
        Client client;
        ASSERT_TRUE(client.open(vamp.path));
        client.serial.write(readRequest(0, frame::kCmdIdentification));
        QTest::qWait(400);
        EXPECT_TRUE(client.identification.empty());
    }
    {
        QProcess bad;
        bad.start(QStringLiteral(TALVEX_VAMP_PATH), {QStringLiteral("--ids"), QStringLiteral("0,251")});
        ASSERT_TRUE(bad.waitForFinished(5000));
        EXPECT_NE(bad.exitCode(), 0);
    }
}

TEST(VampProgram, ReplyDelayHoldsRepliesBack)
{
    VampProcess vamp({QStringLiteral("--reply-delay"), QStringLiteral("300")});
    Client client;
    ASSERT_TRUE(client.open(vamp.path));
    client.serial.write(readRequest(0, frame::kCmdMeters));
    QTest::qWait(150);
    EXPECT_EQ(client.meterReplies, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.meterReplies == 1; }, 3000));

    QProcess bad;
    bad.start(QStringLiteral(TALVEX_VAMP_PATH), {QStringLiteral("--reply-delay"), QStringLiteral("-5")});
    ASSERT_TRUE(bad.waitForFinished(5000));
    EXPECT_EQ(bad.exitCode(), 2);
}

TEST(VampProgram, DropGroupLosesTheReplyToOneStoredGroupRead)
{
    VampProcess vamp({QStringLiteral("--drop-group"), QStringLiteral("13")});
    Client client;
    std::vector<int> groups;
    client.receiver.setHandler(frame::kCmdStoredGroup,
                               [&](const frame::Reply& reply) { groups.push_back(reply.index()); });
    ASSERT_TRUE(client.open(vamp.path));
    for (std::uint8_t g : {12, 13, 14}) {
        client.serial.write(readRequest(0, frame::kCmdStoredGroup, g));
        QTest::qWait(150); // one reply per read, so none are joined on the way
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return groups.size() >= 2; }, 3000));
    QTest::qWait(200);
    EXPECT_EQ(groups, (std::vector<int>{12, 14}));

    QProcess bad;
    bad.start(QStringLiteral(TALVEX_VAMP_PATH), {QStringLiteral("--drop-group"), QStringLiteral("21")});
    ASSERT_TRUE(bad.waitForFinished(5000));
    EXPECT_NE(bad.exitCode(), 0);
}
