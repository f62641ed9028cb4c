#include "support/files.h"
#include "support/frames.h"

#include "link/serial_link.h"

#include <QProcess>
#include <QTest>

using namespace talvex;
using namespace talvex::testing;

namespace {

// Runs talvex-vamp with `arguments` and talks to it over its pseudo-terminal.
struct VampClient {
    QProcess process;
    QString path;
    ReplyReceiver receiver;
    SerialLink serial{receiver};
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
        serial.open(path); // a pseudo-terminal has opened or failed on return
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

// One run with the options that leave the devices answering: each given ID answers, replies are held
// back, one stored group's reply is lost, and each received frame is logged.
TEST(VampProgram, AnswersEachGivenIdLateAndLosesTheDroppedGroup)
{
    VampClient client({"--ids", "1,5", "--verbose", "--reply-delay", "300", "--drop-group", "13"});
    ASSERT_TRUE(client.path.startsWith(QStringLiteral("/dev/"))) << client.path.toStdString();
    ASSERT_TRUE(client.serial.isOpen());
    std::vector<int> groups;
    client.receiver.setHandler(frame::kCmdStoredGroup,
                               [&](const frame::Reply& reply) { groups.push_back(reply.index()); });

    client.serial.write(readRequest(4, frame::kCmdIdentification));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !client.identification.empty(); }, 3000));
    EXPECT_EQ(client.identification, "KORVEN2Q7 V2.1.0        ");
    client.serial.write(readRequest(0, frame::kCmdMeters));
    client.serial.write(readRequest(1, frame::kCmdMeters)); // nobody at ID 2
    QTest::qWait(150);
    EXPECT_EQ(client.meterReplies, 0); // held back
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.meterReplies == 1; }, 3000));
    for (std::uint8_t g : {12, 13, 14}) {
        client.serial.write(readRequest(0, frame::kCmdStoredGroup, g));
        QTest::qWait(400); // one reply per read, so none are joined on the way
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return groups.size() >= 2; }, 3000));
    QTest::qWait(400);
    EXPECT_EQ(groups, (std::vector<int>{12, 14}));
    EXPECT_EQ(client.meterReplies, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.process.readAllStandardError().contains("A5 A5 A5 00 A2 00 2B"); }, 2000));
}

TEST(VampProgram, FaultOptionsAndRefusedArguments)
{
    for (const bool silent : {false, true}) {
        VampClient client({silent ? "--silent" : "--bad-ident"});
        ASSERT_TRUE(client.serial.isOpen());
        client.serial.write(readRequest(0, frame::kCmdIdentification));
        if (silent) {
            QTest::qWait(400);
            EXPECT_TRUE(client.identification.empty());
        } else {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !client.identification.empty(); }, 3000));
            EXPECT_NE(client.identification, "KORVEN2Q7 V2.1.0        ");
        }
    }
    for (const QStringList& arguments : {QStringList{"--ids", "0,251"}, QStringList{"--reply-delay", "-5"},
                                         QStringList{"--drop-group", "21"}})
        EXPECT_EQ(runTool(QStringLiteral(TALVEX_VAMP_PATH), arguments).status, 2) << arguments.join(' ').toStdString();
}
