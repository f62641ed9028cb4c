// The editor on a network RS-485 gateway: talvex-vamp --tcp serves the bus on
// 127.0.0.1, the editor's port list carries tcp://HOST:PORT.

#include "support/qstring_print.h"
#include "support/window.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

using namespace talvex;
using namespace talvex::testing;

namespace {

// talvex-vamp --tcp 0 with these Device IDs; `location` is what it printed.
struct VampGateway {
    QProcess process;
    QString location;

    explicit VampGateway(const char* ids)
    {
        process.start(QStringLiteral(TALVEX_VAMP_PATH),
                      {QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--ids"), QString::fromLatin1(ids)});
        if (process.waitForStarted(5000) && QTest::qWaitFor([&] { return process.canReadLine(); }, 5000))
            location = QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    ~VampGateway()
    {
        process.kill();
        process.waitForFinished(3000);
    }
};

bool hasLineStartingWith(const QStringList& lines, const QString& start)
{
    return std::any_of(lines.begin(), lines.end(), [&](const QString& line) { return line.startsWith(start); });
}

} // namespace

TEST_F(WindowTest, GatewayCarriesTheReadAllAndTheSearch)
{
    VampGateway gateway("1,4");
    ASSERT_TRUE(gateway.location.startsWith(QStringLiteral("tcp://127.0.0.1:"))) << gateway.location.toStdString();
    makeWindow(QStringList{gateway.location});
    EXPECT_EQ(items("cbb_comport"), QStringList{gateway.location});

    combo("cbb_deviceid")->setCurrentIndex(3);
    connectAndRead();
    EXPECT_EQ(text("btn_connect"), "Disconnect");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !label("lbl_temperature").isEmpty(); }, 2000)); // a meter poll answered

    window->toggleConnection();
    busSearch().setFullAddressCount(6);
    click("btn41");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !busSearch().running(); }, 5000));
    EXPECT_EQ(control<QPlainTextEdit>("mmo_s_result")->toPlainText(),
              QStringLiteral("\n%1--Device ID:1 , 4 , ").arg(gateway.location));
    EXPECT_FALSE(linked());
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
}

TEST_F(WindowTest, GatewayThatGoesAwayEndsTheSessionAsAVanishedPort)
{
    VampGateway gateway("1");
    makeWindow(QStringList{gateway.location});
    connectAndRead();

    gateway.process.kill();
    ASSERT_TRUE(QTest::qWaitFor([this] { return hasLineStartingWith(log(), "PORT ERROR: "); }, 2000));
    EXPECT_FALSE(session().portHeld());
    ASSERT_TRUE(QTest::qWaitFor([this] { return warningDialog()->isVisible(); }, 5000));
    EXPECT_EQ(text("btn_connect"), "Connect");
    EXPECT_FALSE(linked());
    EXPECT_EQ(portNumber(), kPortNone);
}

// A gateway that refuses, one that never accepts, and an address that is no
// gateway's all say "No port or in use." and log why; the window keeps running
// while the connection is tried.
TEST_F(WindowTest, GatewayThatCannotBeReachedSaysNoPortOrInUse)
{
    QTcpServer closed; // its port, free again: nothing listens there
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString refusing = QStringLiteral("tcp://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();

    // A listener whose one-place accept queue is full drops further connection
    // attempts: they neither succeed nor fail.
    QTcpServer full;
    full.setListenBacklogSize(0);
    ASSERT_TRUE(full.listen(QHostAddress::LocalHost));
    full.pauseAccepting();
    QTcpSocket filler;
    filler.connectToHost(QHostAddress::LocalHost, full.serverPort());
    ASSERT_TRUE(filler.waitForConnected(2000));
    const QString silent = QStringLiteral("tcp://127.0.0.1:%1").arg(full.serverPort());

    // Giving up while the gateway is silent ends the attempt.
    makeWindow(QStringList{silent});
    window->toggleConnection();
    window->toggleConnection();
    EXPECT_EQ(text("btn_connect"), "Connect");
    EXPECT_FALSE(session().portHeld());
    window.reset();

    // A USB amplifier plugged in meanwhile carries the link at once.
    makeWindow(QStringList{silent});
    window->toggleConnection();
    plugAndRead(vamp::FakeHidController::amplifierInfo(), bus);
    EXPECT_EQ(portNumber(), kPortUsb);
    EXPECT_FALSE(session().portHeld() || session().portHeld());
    window.reset();
    hid.unplug(vamp::FakeHidController::amplifierInfo().path);

    struct Case {
        QString location;
        QString reason;
        int minMs, maxMs;
    };
    const Case cases[] = {
        {refusing, "Connection refused", 0, 1000},
        {silent, "no connection within 3 s", 2900, 3600},
        {QStringLiteral("tcp://127.0.0.1"), "not a gateway address tcp://HOST:PORT", 0, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location.toStdString());
        prompts.messages.clear();
        makeWindow(QStringList{c.location});
        QElapsedTimer clock;
        clock.start();
        window->toggleConnection();
        if (c.minMs > 0) {
            // toggleConnection came back at once, with the connection still being tried.
            EXPECT_LT(clock.elapsed(), 500);
            EXPECT_EQ(text("btn_connect"), "Disconnect");
            EXPECT_TRUE(prompts.messages.isEmpty());
        }
        ASSERT_TRUE(QTest::qWaitFor([this] { return !prompts.messages.isEmpty(); }, 4000));
        EXPECT_GE(clock.elapsed(), c.minMs);
        EXPECT_LE(clock.elapsed(), c.maxMs);
        EXPECT_EQ(prompts.messages, QStringList{"No port or in use."});
        EXPECT_TRUE(log().contains(QStringLiteral("OPEN ERROR: %1: %2").arg(c.location, c.reason))) << log().join('|').toStdString();
        EXPECT_EQ(text("btn_connect"), "Connect");
        EXPECT_FALSE(linked());
        EXPECT_EQ(portNumber(), kPortFailed);
        EXPECT_FALSE(shown("rzgrpbx_data_tx_bar"));
        window.reset();
    }
}
