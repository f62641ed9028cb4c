// A serial session on a two-wire bus: virtual amplifiers 1, 2 and 5 behind a
// half-duplex pseudo-terminal. A long edit is not a lost link, while a dead
// amplifier still is; choosing other devices reads each one whole; another
// device's image clears the undo history even after a cancelled one-group save.

#include "support/window.h"

#include "editing/edit_history.h"

#include <QAction>
#include <QDialog>
#include <QTimer>

using namespace talvex;
using namespace talvex::testing;

namespace {

struct BusSessionTest : WindowTest {
    vamp::VirtualAmplifier& second = bus.add(2);
    vamp::VirtualAmplifier& fifth = bus.add(5);

    void SetUp() override
    {
        pty.setHalfDuplex(true);
        makeWindow();
        connectAndRead();
    }
};

} // namespace

TEST_F(BusSessionTest, ALongEditIsNoLostLinkButADeadAmplifierIsFoundWithinAboutFourSeconds)
{
    QTimer wheel; // a chunk waiting at every send tick
    QObject::connect(&wheel, &QTimer::timeout, [this] { model().markChunk(18); });
    wheel.start(100);
    QTest::qWait(6000);
    EXPECT_TRUE(linked() && !warningDialog()->isVisible());

    amp.systemRecord()[3] = 9; // the amplifier stops answering at its address; the edits go on
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !linked(); }, 8000));
    EXPECT_LT(clock.elapsed(), 4600);
    EXPECT_EQ(pty.collisions(), 0u);
}

TEST_F(BusSessionTest, ChoosingOtherDevicesReadsEachWholeAndClearsTheUndoHistory)
{
    click("btn_save_onegrp2pc"); // its save dialog is cancelled: the request stays
    ASSERT_TRUE(QTest::qWaitFor([this] { return fileDialogs.asked.size() == 1 && idleConnected(); }, 5000));
    for (int address : {1, 4, 0, 4, 1, 0}) {
        click("btn_op0_mute");
        ASSERT_TRUE(part<EditHistory>().undoAction()->isEnabled());
        frames.clear();
        choose("cbb_deviceid", address);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return idleConnected() && session().sessionDeviceAddress() == address; }, 5000));
        std::vector<int> reads;
        for (const auto& f : frames)
            if (addressOf(f) == address && !isWrite(f))
                reads.push_back(commandOf(f));
        reads.resize(std::min<std::size_t>(reads.size(), 4));
        EXPECT_EQ(reads, (std::vector<int>{frame::kCmdIdentification, frame::kCmdReadPresetNames,
                                           frame::kCmdReadSystemRecord, frame::kCmdCurrentGroup}));
        EXPECT_FALSE(part<EditHistory>().undoAction()->isEnabled()) << address;
    }
    EXPECT_EQ(pty.collisions(), 0u);
}
