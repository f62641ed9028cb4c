#include "support/window.h"

#include "editing/channel_strip.h"
#include "ui/icons.h"
#include "model/parameter_model.h"
#include "presets/group_transfer.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QSignalSpy>

using namespace talvex;
using namespace talvex::testing;

const QColor kRed(255, 0, 0);

TEST_F(WindowTest, StartUpShowsTheDefaults)
{
    makeWindow();
    EXPECT_EQ(portListings, 1); // the ports are read once at start-up
    EXPECT_EQ(window->windowTitle(), "Talvex-96K V3.8.0 U");
    EXPECT_EQ(label("lbl28"), "-60dB");
    for (const char* name : {"btn_in0_pol", "btn_op0_pol", "btn_op1_pol", "btn_op2_pol"})
        EXPECT_EQ(text(name), "+") << name;
    for (const char* name : {"btn_op0_mute", "btn_op1_mute", "btn_op2_mute", "btn_op2_bassp"})
        EXPECT_NE(face(name), kRed) << name;
    EXPECT_TRUE(checked("NoBTL1"));
    EXPECT_FALSE(checked("Lowmidbridge1") || checked("highmidbridge1") || checked("LowmidBTLhighlow1"));
    expectDisconnected();
    EXPECT_EQ(model().lowestPending(), -1); // showing the image marks nothing

    // The serial port list holds the --port path, selected.
    EXPECT_EQ(items("cbb_comport"), QStringList{pty.slavePath()});
    EXPECT_EQ(text("cbb_comport"), pty.slavePath());
}

TEST_F(WindowTest, TimersHaveTheirIntervals)
{
    makeWindow();
    const std::pair<const char*, int> expected[] = {
        {"search start", 100}, {"progress", 200}, {"watchdog", 250}, {"send pulse", 350}, {"USB retry", 500},
        {"group read", 980}, {"group write", 1500}, {"port list", 2000}, {"search result close", 3000},
    };
    for (auto [name, interval] : expected)
        EXPECT_EQ(timers.interval(name), interval) << name;
    EXPECT_TRUE(timers.running("port list"));
    EXPECT_FALSE(timers.running("send pulse") || timers.running("watchdog"));
}

TEST_F(WindowTest, ConnectReadsEverythingAndShowsTheDevice)
{
    // Give the device values that differ from the defaults everywhere the view shows.
    auto& image = amp.image();
    image[kMainGain] = 250 % 256;
    image[kMainGain + 1] = 250 / 256;
    image[kMainPolarity] = 1;
    image[outputBlockStart(0) + kOutMute] = 1;
    image[outputBlockStart(1) + kOutMute] = 0;
    image[outputBlockStart(1) + kOutPolarity] = 1;
    image[outputBlockStart(2) + kOutRecoup] = 1;
    image[kBridgeMode] = 2;
    std::fill(amp.presetNames()[2].begin(), amp.presetNames()[2].end(), 0);
    std::memcpy(amp.presetNames()[2].data(), "ABCD", 4);
    amp.presetNames()[3][5] = 255;
    amp.systemRecord()[0] = 3;
    amp.systemRecord()[7] = 5;
    makeWindow();

    connectAndRead();
    expectConnected(1);

    // The chain: identification, names, system record, current group, in that order, nothing between.
    ASSERT_GE(frames.size(), 4u);
    EXPECT_EQ((std::vector{commandOf(frames[0]), commandOf(frames[1]), commandOf(frames[2]), commandOf(frames[3])}),
              (std::vector<int>{frame::kCmdIdentification, frame::kCmdReadPresetNames, frame::kCmdReadSystemRecord,
                                frame::kCmdCurrentGroup}));

    EXPECT_EQ(textsOf({"lbl28", "btn_in0_pol", "btn_op1_pol"}), QStringList({"-10dB", "-", "-"}));
    EXPECT_TRUE(face("btn_op0_mute") == kRed && face("btn_op1_mute") != kRed && face("btn_op2_bassp") == kRed);
    EXPECT_EQ(std::tuple(checked("highmidbridge1"), checked("NoBTL1"), shown("btn_op0_mute"), shown("btn_op1_mute")),
              std::tuple(true, false, true, false));
    // Nothing queued by the read-all chain or the refresh.
    EXPECT_EQ(model().lowestPending(), -1);

    const QStringList load = items("cbb_load2dev");
    EXPECT_EQ((QStringList{load.value(0), load.value(2), load.value(3)}),
              QStringList({"Usr0:Club Night          ", "Usr2:ABCD                ", "Usr3:"}));
    EXPECT_EQ(items("cbb_save2dev").value(2), "Usr2:"); // the save list keeps its design items
    EXPECT_EQ(std::tuple(combo("cbb_load2dev")->currentIndex(), combo("cbb_save2dev")->currentIndex(),
                         combo("cbb_TemperatureThr")->currentIndex()), std::tuple(2, 2, 5));

    // The meters: the first meter read goes out on the first idle tick.
    ASSERT_TRUE(QTest::qWaitFor([this] { return label("lbl_attenuation").endsWith(" dB") &&
                                                 !label("lbl_attenuation").contains(u'°') &&
                                                 !control<QLineEdit>("edt1")->text().isEmpty(); }, 3000));
    const QString temperature = label("lbl_temperature");
    EXPECT_FALSE(temperature.contains(u'°'));
    EXPECT_TRUE(temperature == ">=70" || temperature == "<=10" || temperature.toInt() > 10) << temperature.toStdString();
}

TEST_F(WindowTest, AnEditGoesOutOnTheNextTickAndNothingBeforeTheFirstGroup)
{
    makeWindow();
    // Changed before connecting: the image read at connect replaces it, and none of it is sent.
    control<QAbstractSlider>("rztrckbr_ingain")->setValue(10);

    connectAndRead();
    EXPECT_EQ(model().lowestPending(), -1);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_FALSE(isWrite(frames[i])) << i;
    EXPECT_EQ(label("lbl28"), "0dB"); // the device's value replaced the local change

    const std::size_t before = frames.size();
    control<QAbstractSlider>("rztrckbr_ingain")->setValue(200);
    EXPECT_EQ(label("lbl28"), "-20dB");
    EXPECT_TRUE(model().pending[0]);
    const auto written = [&] { return std::find_if(frames.begin() + std::ptrdiff_t(before), frames.end(), isWrite); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return written() != frames.end(); }, 2000));
    const Bytes write = *written();
    EXPECT_EQ(commandAndSubIndexOf(write), std::pair(0, 0)); // chunk 0
    EXPECT_EQ(write[10 + kMainGain] + 256 * write[11 + kMainGain], 200);
    EXPECT_EQ(amp.image()[kMainGain] + 256 * amp.image()[kMainGain + 1], 200);
    EXPECT_EQ(model().lowestPending(), -1);
}

TEST_F(WindowTest, BridgeMenuHidesRowsAndWritesChunkZero)
{
    makeWindow();
    // Before the first group the menu changes the screen only (nothing of it is sent, below).
    part<ChannelStrip>().chooseBridgeMode(3);
    EXPECT_FALSE(shown("btn_op0_gain"));
    part<ChannelStrip>().chooseBridgeMode(0);
    for (const char* row : {"btn_op0_", "btn_op1_"})
        for (const char* suffix : {"mute", "gain", "eq", "lim", "delay", "pol"})
            EXPECT_TRUE(shown((std::string(row) + suffix).c_str())) << row << suffix;
    const QImage plain = icons::bridge(icons::Bridge::Plain).toImage();
    EXPECT_EQ(control<QLabel>("img2")->pixmap().toImage(), plain);
    EXPECT_EQ(control<QLabel>("img6")->pixmap().toImage(), plain);

    connectAndRead();
    EXPECT_EQ(model().lowestPending(), -1);
    control<QAction>("highmidbridge1")->trigger();
    EXPECT_EQ(std::tuple(checked("highmidbridge1"), checked("NoBTL1"), shown("btn_op1_delay"), shown("btn_op0_delay")),
              std::tuple(true, false, false, true));
    EXPECT_EQ(control<QLabel>("img6")->pixmap().toImage(), icons::bridge(icons::Bridge::FromAbove).toImage());
    EXPECT_TRUE(model().pending[0]);
    ASSERT_TRUE(QTest::qWaitFor([this] { return amp.image()[kBridgeMode] == 2; }, 2000));

    part<ChannelStrip>().chooseBridgeMode(1);
    EXPECT_EQ(control<QLabel>("img6")->pixmap().toImage(), icons::bridge(icons::Bridge::FromBelow).toImage());
    EXPECT_EQ(control<QLabel>("img2")->pixmap().toImage(), plain);
}

TEST_F(WindowTest, UnknownBridgeModeLeavesTheMenuAsItWas)
{
    amp.image()[kBridgeMode] = 7;
    makeWindow();
    part<ChannelStrip>().chooseBridgeMode(2);
    connectAndRead();
    EXPECT_TRUE(checked("highmidbridge1"));
    EXPECT_FALSE(shown("btn_op1_mute"));
    EXPECT_EQ(model().image[kBridgeMode], 7);
}

TEST_F(WindowTest, DisconnectKeepsTheValuesAndReconnectReadsAgain)
{
    makeWindow();
    connectAndRead();
    EXPECT_EQ(label("lbl28"), "0dB");
    window->toggleConnection();
    expectDisconnected();
    EXPECT_EQ(label("lbl28"), "0dB");

    amp.image()[kMainGain] = 39; // 295, changed on the device meanwhile
    amp.image()[kMainGain + 1] = 1;
    model().pending[5] = true; // a flag left from before is dropped on connect
    connectAndRead();
    EXPECT_EQ(label("lbl28"), "-1dB");
    EXPECT_FALSE(model().pending[5]);
}

TEST_F(WindowTest, MissingPortSaysSoAndStaysDisconnected)
{
    makeWindow(QStringList{QStringLiteral("/dev/talvex-no-such-port")});
    window->toggleConnection();
    EXPECT_EQ(prompts.messages, QStringList{"No port or in use."});
    expectDisconnected(kPortFailed);
}

TEST_F(WindowTest, WatchdogEndsASilentLinkWithTheWarning)
{
    makeFaultyWindow(vamp::Faults{.silent = true});

    window->toggleConnection();
    EXPECT_EQ(text("btn_connect"), "Disconnect");
    EXPECT_TRUE(shown("rzgrpbx_data_tx_bar"));
    EXPECT_FALSE(warningDialog()->isVisible());
    QTest::qWait(2800); // 11 ticks: still up
    EXPECT_TRUE(linked());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !linked(); }, 1500));
    expectDisconnected();
    EXPECT_TRUE(warningDialog()->isVisible());
    EXPECT_FALSE(warningDialog()->isModal());

    // The next connect closes the warning.
    window->toggleConnection();
    EXPECT_FALSE(warningDialog()->isVisible());
}

// Disconnect while the read-all chain waits for a reply: the reply that still
// comes starts no further read, and the port closes.
TEST_F(WindowTest, DisconnectWhileTheChainWaitsSendsNothingMore)
{
    pty.setReplyDelay(20); // the reply comes while the port is closing
    makeWindow();
    window->toggleConnection();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !frames.empty(); }, 2000));
    window->toggleConnection();
    QTest::qWait(400);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(commandOf(frames[0]), frame::kCmdIdentification);
    expectDisconnected();
    EXPECT_FALSE(session().portHeld());
}

TEST_F(WindowTest, WrongIdentificationStopsTheChain)
{
    makeFaultyWindow(vamp::Faults{.badIdentification = true});
    std::vector<int> commands;
    faultyBus.onFrame = [&](std::span<const std::uint8_t> f) { commands.push_back(f[6]); };
    window->toggleConnection();
    QTest::qWait(800);
    EXPECT_EQ(commands, std::vector<int>{frame::kCmdIdentification});
    EXPECT_TRUE(linked());
    EXPECT_FALSE(timers.running("send pulse"));
}

TEST_F(WindowTest, ProgressPanelRunsForTenSecondsAtMost)
{
    makeFaultyWindow(vamp::Faults{.silent = true});
    window->toggleConnection();
    // The steps are driven through the clock, no events between them.
    const auto step = [this] { timers.fire("progress"); };
    auto* bar = control<QProgressBar>("rzprgrsbr_data_bar");
    EXPECT_EQ(control("rzgrpbx_data_tx_bar")->pos(), QPoint(189, 205));
    step();
    EXPECT_EQ(bar->value(), 2);
    for (int i = 1; i < 49; ++i)
        step();
    EXPECT_EQ(bar->value(), 98);
    EXPECT_TRUE(shown("rzgrpbx_data_tx_bar"));
    step();
    EXPECT_EQ(bar->value(), 0);
    EXPECT_FALSE(shown("rzgrpbx_data_tx_bar"));
}

TEST_F(WindowTest, UsbArrivalConnectsByItself)
{
    makeUsbWindow();
    expectConnected(kPortUsb);
    EXPECT_TRUE((link() == LinkState::Usb));
    EXPECT_TRUE(selectorsDisabled());
    EXPECT_EQ(label("lbl28"), "0dB");
    EXPECT_TRUE(prompts.messages.isEmpty());
    // The hidden device list names the device; the traffic log saw it arrive.
    EXPECT_EQ(items("DevListBox"), QStringList{"ZIRIZORIDARUZ01 (Serial=0000001)"});
    EXPECT_EQ(log().value(0), "Arrival of ZIRIZORIDARUZ01 (Serial=0000001)");
    // Meter reads keep flowing over USB.
    const std::size_t before = hid.written.size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return hid.written.size() >= before + 2; }, 2000));
    EXPECT_EQ(hid.written.back()[7], frame::kCmdMeters);
}

TEST_F(WindowTest, SilentUsbDeviceIsAskedThreeMoreTimes)
{
    plugSilentUsbAmplifier();
    QTest::qWait(2300);
    EXPECT_EQ(reportsWith(frame::kCmdIdentification), 4);
    EXPECT_FALSE(timers.running("USB retry"));
}

TEST_F(WindowTest, ShortRepliesChangeNothing)
{
    // A USB amplifier that answers nothing itself; the short replies come from it.
    vamp::VirtualBus silent;
    silent.add(1, vamp::Faults{.silent = true});
    makeWindow(QStringList{});
    hid.plug(vamp::FakeHidController::amplifierInfo(), &silent);
    ASSERT_EQ(session().state(), Session::State::Connecting);
    const QString firstItem = control<QComboBox>("cbb_load2dev")->itemText(0);
    const QString temperature = label("lbl_temperature");
    for (const auto& [command, length] : {std::pair{frame::kCmdReadPresetNames, 399},
                                         std::pair{frame::kCmdCurrentGroup, 638}, std::pair{frame::kCmdMeters, 7}})
        hid.sendReply(frame::encode({0, frame::kOpReply, 0, std::uint8_t(command), 0,
                                     std::vector<std::uint8_t>(std::size_t(length), 0x41)}));
    QSignalSpy meters(&session(), &Session::meterReplied);
    ASSERT_TRUE(QTest::qWaitFor([&] { return meters.count() == 1; }, 2000)); // the last one arrived
    EXPECT_EQ(control<QComboBox>("cbb_load2dev")->itemText(0), firstItem);
    EXPECT_EQ(model().image[0], 0);
    EXPECT_FALSE(timers.running("send pulse"));
    EXPECT_EQ(label("lbl_temperature"), temperature);
}

TEST_F(WindowTest, BroadcastModeAddressesEveryDeviceOnceTheChosenOneIsRead)
{
    makeWindow();
    click("btn_broadcase");
    ASSERT_TRUE(session().broadcasting());
    connectAndRead(); // the read-all chain reads the chosen device, ID 1
    EXPECT_EQ(session().deviceAddress(), frame::kBroadcastAddress);
}
