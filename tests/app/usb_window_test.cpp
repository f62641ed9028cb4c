// The amplifier on USB as the user meets it in the window: one that cannot be
// opened, a second amplifier, an amplifier during a serial session, Disconnect
// during the connect retries, a second editor, and a device that stops taking reports.

#include "support/window.h"

#include <QDialog>

using namespace talvex;
using namespace talvex::testing;

namespace {
class UsbWindowTest : public WindowTest {};
} // namespace

TEST_F(UsbWindowTest, AnAmplifierThatCannotBeOpenedSaysSoOnceAndTheSerialPortStaysUsable)
{
    makeWindow();
    hid.openRefusal = {false, 13, QStringLiteral("Failed to open a device with path 'fake-hid-0': Permission denied")};
    hid.plug(vamp::FakeHidController::amplifierInfo(), &bus);

    ASSERT_TRUE(QTest::qWaitFor([this] { return prompts.messages.size() == 1; }, 2000));
    EXPECT_TRUE(prompts.messages[0].contains("packaging/70-talvex-96k.rules"));
    EXPECT_TRUE(prompts.messages[0].contains("Permission denied"));
    EXPECT_TRUE(log().contains("OPEN ERROR: Failed to open a device with path 'fake-hid-0': Permission denied (D)"));
    EXPECT_EQ(text("btn_connect"), "Connect");
    EXPECT_TRUE(selectorsEnabled());

    // Connect goes over the serial port; the user is not told a second time.
    connectAndRead();
    EXPECT_NE(portNumber(), kPortUsb);
    EXPECT_EQ(frames.front()[6], frame::kCmdIdentification);
    EXPECT_TRUE(hid.written.empty());
    EXPECT_EQ(prompts.messages.size(), 1);
}

TEST_F(UsbWindowTest, ASecondAmplifierPluggedInDoesNotTakeOverTheSession)
{
    makeWindow(QStringList{});
    plugAndRead(vamp::FakeHidController::amplifierInfo(QStringLiteral("a")), bus);
    vamp::VirtualBus otherBus;
    otherBus.add(1);
    int otherFrames = 0;
    otherBus.onFrame = [&](std::span<const std::uint8_t>) { ++otherFrames; };

    hid.plug(vamp::FakeHidController::amplifierInfo(QStringLiteral("b")), &otherBus, 0); // enumerates first
    EXPECT_EQ(items("DevListBox").size(), 2);
    // An edit and the meter reads still go to the first amplifier.
    control<QAbstractSlider>("rztrckbr_ingain")->setValue(250);
    const std::size_t before = frames.size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return frames.size() >= before + 2; }, 3000));
    EXPECT_TRUE(std::any_of(frames.begin() + std::ptrdiff_t(before), frames.end(),
                            [](const auto& f) { return f[4] == frame::kOpWrite; }));
    EXPECT_EQ(otherFrames, 0);
    EXPECT_EQ(hid.openCount, 1);
    EXPECT_EQ(text("btn_connect"), "Disconnect");

    // Unplugging the second one leaves the session alone.
    hid.unplug(QStringLiteral("b"));
    EXPECT_TRUE(linked());
    EXPECT_FALSE(warningDialog()->isVisible());
    EXPECT_TRUE(selectorsDisabled());
}

TEST_F(UsbWindowTest, AnAmplifierPluggedInDuringASerialSessionWaitsForItsEnd)
{
    makeWindow();
    connectAndRead();
    const int serialPort = portNumber();
    vamp::VirtualBus usbBus; // an amplifier of its own on USB
    usbBus.add(1);
    hid.plug(vamp::FakeHidController::amplifierInfo(), &usbBus);
    EXPECT_TRUE(log().contains("Arrival of ZIRIZORIDARUZ01 (Serial=0000001)"));
    EXPECT_EQ(label("lbl_usbhid"), QStringLiteral("已接上设备."));
    EXPECT_TRUE(selectorsDisabled());

    // The traffic stays on the serial port.
    const std::size_t before = frames.size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return frames.size() >= before + 2; }, 3000));
    EXPECT_TRUE(hid.written.empty());
    EXPECT_EQ(portNumber(), serialPort);

    // Unplugging it does not end the serial session.
    hid.unplug(vamp::FakeHidController::amplifierInfo().path);
    EXPECT_TRUE(linked());
    EXPECT_FALSE(warningDialog()->isVisible());
    EXPECT_TRUE(selectorsEnabled());
    const std::size_t later = frames.size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return frames.size() >= later + 2; }, 3000));

    // Plugged in again; once the serial session has ended, Connect goes over USB.
    hid.plug(vamp::FakeHidController::amplifierInfo(), &usbBus);
    window->toggleConnection();
    expectDisconnected();
    EXPECT_TRUE(hid.written.empty()); // no automatic connect after the user's Disconnect
    connectAndRead();
    EXPECT_EQ(portNumber(), kPortUsb);
    EXPECT_EQ(reportsWith(frame::kCmdIdentification), 1);
}

TEST_F(UsbWindowTest, DisconnectStopsTheReconnectAttempts)
{
    plugSilentUsbAmplifier();
    window->toggleConnection(); // Disconnect, within the first 500 ms
    for (int tick = 0; tick < 3; ++tick)
        timers.fire("USB retry");
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(reportsWith(frame::kCmdIdentification), 1);
    expectDisconnected();
}

TEST_F(UsbWindowTest, ASecondEditorFindsTheAmplifierInUse)
{
    makeUsbWindow();

    vamp::FakeHidController hid2;
    RecordingPrompts prompts2;
    Session::Platform platform;
    platform.hid = &hid2;
    platform.enumerator = [] { return std::vector<SerialPortItem>{}; };
    platform.hidLockDirectory = hidLocks.path();
    TestClock secondTimers{TestClock::Mode::EventLoop};
    platform.clock = &secondTimers;
    EditorCore secondCore(platform);
    auto second = std::make_unique<MainWindow>(secondCore, MainWindow::Platform{&prompts2, nullptr});
    hid2.plug(vamp::FakeHidController::amplifierInfo(), &bus);

    ASSERT_TRUE(QTest::qWaitFor([&] { return prompts2.messages.size() == 1; }, 2000));
    EXPECT_TRUE(prompts2.messages[0].contains("in use by another Talvex-96K editor"));
    EXPECT_EQ(hid2.openCount, 0);
    EXPECT_FALSE(secondCore.session.linkOpen());
    EXPECT_TRUE(second->findChild<QWidget*>("cbb_comport")->isEnabled());
    EXPECT_EQ(itemsOf(second->findChild<QListWidget*>("HistoryListBox")).last(),
              "IN USE: ZIRIZORIDARUZ01 (Serial=0000001) is open in another editor");

    // The first editor closes; Connect in the second one takes the amplifier.
    window.reset();
    core.reset();
    second->toggleConnection();
    ASSERT_TRUE(QTest::qWaitFor([&] { return secondCore.session.linkOpen() && secondTimers.running("send pulse"); }, 5000));
    EXPECT_EQ(secondCore.session.portNumber(), kPortUsb);
    EXPECT_EQ(hid2.openCount, 1);
}

TEST_F(UsbWindowTest, AnAmplifierThatStopsTakingReportsDoesNotFreezeTheWindow)
{
    makeUsbWindow();
    hid.stallTimeout = std::chrono::seconds(20);
    hid.stallWrites(true);

    // While the first stalled write still blocks, the window goes on: the
    // watchdog ends the silent session and shows the warning.
    ASSERT_TRUE(QTest::qWaitFor([this] { return warningDialog()->isVisible(); }, 6000));
    EXPECT_EQ(hid.stalledWrites(), 1);
    EXPECT_EQ(text("btn_connect"), "Connect");

    // The frames of the ended session are dropped; the stalled one goes out when the device takes it.
    const std::size_t before = hid.written.size();
    hid.stallWrites(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session().usbWritesIdle() && hid.written.size() == before + 1; }, 2000));
    QTest::qWait(50);
    EXPECT_EQ(hid.written.size(), before + 1);
    EXPECT_EQ(reportCommandOf(hid.written.back()), frame::kCmdMeters);
}
