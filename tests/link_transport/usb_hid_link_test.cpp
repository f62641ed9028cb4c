#include "support/frames.h"

#include "fake_hid_controller.h"
#include "link/command_sender.h"
#include "link/serial_link.h"
#include "link/transport_router.h"
#include "link/usb_hid_link.h"
#include "model/parameter_model.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <deque>

using namespace talvex;
using namespace talvex::testing;
using vamp::FakeHidController;

namespace {

// Plays the session and the window: keeps the log, counts the calls, connects as the session does.
struct FakeHost {
    LinkState& link;
    std::deque<QString> history;
    QString label;
    bool selectorsEnabled = true;
    int connectClicks = 0;
    int disconnectTicks = 0; // the carrier removed
    QStringList told;

    explicit FakeHost(LinkState& l) : link(l) {}
    bool logged(const QString& line) const { return std::find(history.begin(), history.end(), line) != history.end(); }
    void attach(UsbHidLink& usb)
    {
        QObject::connect(&usb, &UsbHidLink::userMessage, [this](const QString& text) { told << text; });
        QObject::connect(&usb, &UsbHidLink::historyLineAdded, [this](const QString& line) { history.push_back(line); });
        QObject::connect(&usb, &UsbHidLink::oldestHistoryLineDropped, [this] { history.pop_front(); });
        QObject::connect(&usb, &UsbHidLink::statusChanged, [this](const QString& text) { label = text; });
        QObject::connect(&usb, &UsbHidLink::selectorsEnabledChanged, [this](bool enabled) { selectorsEnabled = enabled; });
        QObject::connect(&usb, &UsbHidLink::connectionWanted, [this] {
            ++connectClicks;
            link = LinkState::Usb;
        });
        QObject::connect(&usb, &UsbHidLink::carrierRemoved, [this] {
            ++disconnectTicks;
            link = LinkState::Closed;
        });
    }
};

// A device other than the amplifier.
const HidDeviceInfo kMouse{0x046d, 0xc52b, "USB Receiver", "", "mouse"};

HidDeviceInfo interfaceOf(const QString& path, int usagePage)
{
    HidDeviceInfo info = FakeHidController::amplifierInfo(path);
    info.usagePage = usagePage;
    return info;
}

struct UsbFixture : ::testing::Test {
    QTemporaryDir locks;
    LinkState link = LinkState::Closed;
    int noReplyCount = 0; // the session's watchdog count
    ReplyReceiver receiver;
    FakeHidController controller;
    FakeHost host{link};
    UsbHidLink usb{controller, link};
    vamp::VirtualBus bus;
    std::vector<std::vector<std::uint8_t>> frames; // what the amplifier on `bus` received
    int meters = 0;                                // meter replies handled
    int lastTemperature = -1;                      // raw temperature of the last one

    UsbFixture()
    {
        bus.add(1);
        bus.onFrame = [this](std::span<const std::uint8_t> f) { frames.emplace_back(f.begin(), f.end()); };
        usb.setLockDirectory(locks.path());
        host.attach(usb);
        // The session's part: it takes the frames and resets the no-reply count.
        QObject::connect(&usb, &UsbHidLink::bytesReceived, [this](const QByteArray& f) {
            receiver.receiveFrame(byteSpan(f));
        });
        receiver.setOwnFrameObserver([this] { noReplyCount = 0; });
        receiver.setHandler(frame::kCmdMeters, [this](const frame::Reply& reply) {
            ++meters;
            lastTemperature = reply.payload()[2] * 256 + reply.payload()[3];
        });
    }
    void plugAmplifier() { controller.plug(FakeHidController::amplifierInfo(), &bus); }
    // Waits until every queued report is written and what it set off has run.
    void waitForWrites()
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return usb.writesIdle(); }, 5000));
        for (int pass = 0; pass < 3; ++pass)
            QCoreApplication::sendPostedEvents();
    }
    void sendMeterRead() { usb.writeFrame(readRequest(0, frame::kCmdMeters)); }
    // What the session sees: USB mode, the matched device, the selectors usable, automatic connects.
    std::tuple<bool, int, bool, int> seen() const
    {
        return {usb.usbMode(), usb.matchedDevice(), host.selectorsEnabled, host.connectClicks};
    }
};

} // namespace

TEST(UsbHidNames, DisplayNames)
{
    for (const auto& [info, name] :
         {std::pair{FakeHidController::amplifierInfo(), "ZIRIZORIDARUZ01 (Serial=0000001)"},
          {HidDeviceInfo{0x0483, 0x5750, "", "", "p"}, "Device VID=0483 PID=5750"},
          {HidDeviceInfo{0x046d, 0xc52b, "", "A1", "p"}, "Device VID=046D PID=C52B (Serial=A1)"}})
        EXPECT_EQ(UsbHidLink::displayName(info), QString::fromLatin1(name));
}

TEST_F(UsbFixture, ArrivalOfTheAmplifierMatchesOpensItConnectsAndCarriesAMeterRead)
{
    controller.plug(kMouse);
    EXPECT_EQ(host.history.back(), QStringLiteral("Arrival of USB Receiver"));
    EXPECT_TRUE(host.label.isEmpty());
    EXPECT_EQ(controller.openCount, 0); // other devices are listed, never opened

    plugAmplifier();
    EXPECT_EQ(host.label, QStringLiteral("已接上设备."));
    EXPECT_EQ(usb.deviceList(), QStringList({"USB Receiver", "ZIRIZORIDARUZ01 (Serial=0000001)"}));
    EXPECT_EQ(seen(), std::tuple(true, 1, false, 1)); // arrival + change: exactly one automatic connect
    EXPECT_TRUE(usb.hasDevice() && controller.isOpen());

    // A meter read goes out as one report and is logged; another device going away while the reply is on
    // its way keeps the open amplifier, now the first device listed.
    noReplyCount = 7;
    sendMeterRead();
    controller.unplug(kMouse.path);
    EXPECT_EQ(std::pair(controller.openCount, usb.matchedDevice()), std::pair(1, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return meters == 1; }, 2000));
    EXPECT_TRUE(host.logged(QStringLiteral("W 00  A5 A5 A5 00 A2 00 2B 00 00 00 89 AA ") + QStringLiteral("00 ").repeated(52)));
    EXPECT_EQ(lastTemperature, bus.devices().front().temperatureRaw());
    EXPECT_EQ(noReplyCount, 0);
}

// The same model with another serial number, or with none, is listed but not used: the traffic stays serial.
TEST_F(UsbFixture, SameModelWithAnotherSerialIsNotUsed)
{
    SerialLink serial(receiver);
    TransportRouter router(serial, usb);
    controller.plug(HidDeviceInfo{0x0483, 0x5750, "", "", "bare"});
    controller.plug(HidDeviceInfo{0x0483, 0x5750, "ZIRIZORIDARUZ01", "0000002", "other"});
    EXPECT_EQ(host.history.back(), QStringLiteral("Arrival of ZIRIZORIDARUZ01 (Serial=0000002)"));
    EXPECT_EQ(host.label, QStringLiteral("已接上设备."));
    EXPECT_EQ(seen(), std::tuple(false, kNoMatchedDevice, false, 0));
    EXPECT_FALSE(controller.isOpen() || router.usbActive());

    controller.unplug(QStringLiteral("other"));
    controller.unplug(QStringLiteral("bare"));
    EXPECT_EQ(host.history.back(), QStringLiteral("Removal of Device VID=0483 PID=5750"));
    EXPECT_TRUE(host.selectorsEnabled);
    plugAmplifier();
    EXPECT_TRUE(router.usbActive());
}

TEST_F(UsbFixture, BlockWriteIsHeadThenTwelveReportsThroughTheRouter)
{
    plugAmplifier();
    ParameterModel model;
    SerialLink serial(receiver);
    TransportRouter router(serial, usb);
    CommandSender sender(model, link);
    sender.setTransport(&router);
    ASSERT_TRUE(router.usbActive());

    std::array<std::uint8_t, 640> block{};
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = std::uint8_t(i % 251);
    const std::size_t before = controller.written.size();
    sender.sendBlockWrite(0, frame::kCmdCurrentGroup, block);
    waitForWrites();

    const auto& written = controller.written;
    ASSERT_EQ(written.size() - before, 13u);
    for (std::size_t i = before; i < written.size(); ++i)
        EXPECT_EQ(written[i].size(), 65u);
    EXPECT_EQ(written[before][7], frame::kCmdCurrentGroup);
    EXPECT_EQ(written[before + 11][2], 0xAA);     // piece 10: checksum, 0xAA, zeros
    EXPECT_EQ(written[before + 12], written[before + 11]); // the repeat
    const auto& image = bus.devices().front().image();
    EXPECT_TRUE(std::equal(block.begin(), block.end(), image.begin()));
    EXPECT_EQ(host.history.size(), 13u + 1u); // arrival line + one line per report
}

TEST_F(UsbFixture, RemovalWhileConnectedDisconnectsAtOnce)
{
    plugAmplifier();
    ASSERT_TRUE(link == LinkState::Usb);

    controller.unplug(FakeHidController::amplifierInfo().path);
    EXPECT_EQ(host.history.back(), QStringLiteral("Removal of ZIRIZORIDARUZ01 (Serial=0000001)"));
    EXPECT_EQ(host.label, QStringLiteral("已移除设备."));
    EXPECT_EQ(host.disconnectTicks, 1);
    EXPECT_EQ(seen(), std::tuple(false, kNoMatchedDevice, true, 1));
    EXPECT_FALSE(link != LinkState::Closed || usb.hasDevice());

    // Nothing is written without a device.
    const std::size_t before = controller.written.size();
    sendMeterRead();
    waitForWrites();
    EXPECT_EQ(controller.written.size(), before);
}

TEST_F(UsbFixture, ReconnectAsksThreeMoreTimesUntilTheVersionIsConfirmed)
{
    plugAmplifier();
    ASSERT_EQ(host.connectClicks, 1);

    for (int tick = 1; tick <= 3; ++tick)
        EXPECT_TRUE(usb.retryDue()) << tick;
    EXPECT_FALSE(usb.retryDue());

    // A confirmed identification ends the retries at once.
    usb.reconnectAttempts = 0;
    usb.versionConfirmed = true;
    EXPECT_FALSE(usb.retryDue());
}

TEST_F(UsbFixture, WriteErrorsAreLoggedAndABlockStopsAtItsFirst)
{
    plugAmplifier();
    controller.failWrites = true;
    const std::size_t lines = host.history.size();
    sendMeterRead();
    std::array<std::uint8_t, 642> block{};
    usb.writeFramePart(block);
    waitForWrites();
    ASSERT_EQ(host.history.size(), lines + 2); // the block stops at its first failed report
    EXPECT_EQ(host.history.back(), QStringLiteral("WRITE ERROR: A device attached to the system is not functioning. (1F)"));
    EXPECT_TRUE(link == LinkState::Usb);
}

// Every frame that never reaches the amplifier is reported once, in the order
// the frames were handed over: a block cut short when the session ends is
// reported before the frames that waited behind it, and a frame the full queue
// refused keeps its place after them.
TEST_F(UsbFixture, FramesNotWrittenAreReportedOnceInTheOrderHandedOver)
{
    plugAmplifier();
    QSignalSpy unsent(&usb, &UsbHidLink::frameNotSent);
    controller.stallWrites(true);
    const std::array<std::uint8_t, 642> block{0x5A};
    usb.writeFramePart(block);
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller.stalledWrites() == 1; }, 2000));
    for (std::size_t i = 0; i <= HidWriteQueue::kMaxQueuedReports; ++i)
        sendMeterRead();
    usb.sessionEnded();
    EXPECT_EQ(unsent.count(), 0); // the block's first report is still being written

    controller.stallWrites(false);
    waitForWrites();
    EXPECT_EQ(controller.written.size(), 1u);
    ASSERT_EQ(unsent.count(), int(HidWriteQueue::kMaxQueuedReports) + 2);
    EXPECT_EQ(unsent.front().at(0).toByteArray().size(), 642);
    EXPECT_EQ(unsent.front().at(1).toString(), QStringLiteral("dropped, the link has ended"));
    for (int i = 1; i <= int(HidWriteQueue::kMaxQueuedReports); ++i) {
        EXPECT_EQ(unsent.at(i).at(0).toByteArray(), QByteArray::fromHex("A5A5A500A2002B00000089AA")) << i;
        EXPECT_EQ(unsent.at(i).at(1).toString(), QStringLiteral("dropped, the link has ended")) << i;
    }
    EXPECT_EQ(unsent.back().at(1).toString(), QStringLiteral("the amplifier takes no reports"));
}

TEST_F(UsbFixture, TrafficLogKeepsTheNewestLines)
{
    for (int i = 0; i < UsbHidLink::kHistoryLimit + 25; ++i)
        usb.addHistoryLine(QString::number(i));
    EXPECT_EQ(host.history.size(), std::size_t(UsbHidLink::kHistoryLimit));
    EXPECT_EQ(host.history.front(), QStringLiteral("25"));
    EXPECT_EQ(usb.historyLines(), UsbHidLink::kHistoryLimit);
}

TEST_F(UsbFixture, AnAmplifierThatCannotBeOpenedIsReportedOnceAndLeavesTheSelectorsUsable)
{
    controller.openRefusal = {false, 13, QStringLiteral("Failed to open a device with path 'fake-hid-0': Permission denied")};
    plugAmplifier();
    EXPECT_TRUE(host.logged(QStringLiteral("OPEN ERROR: Failed to open a device with path 'fake-hid-0': Permission denied (D)")));
    EXPECT_EQ(seen(), std::tuple(false, kNoMatchedDevice, true, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.told.size() == 1; }, 2000));
    EXPECT_TRUE(host.told[0].contains(QStringLiteral("Permission denied")));
    EXPECT_TRUE(host.told[0].contains(QStringLiteral("Until then you can connect through a serial port.")));

    // One line per plug-in; another device's change does not try again.
    const auto openErrors = [&] {
        return std::count_if(host.history.begin(), host.history.end(),
                             [](const QString& line) { return line.startsWith(QStringLiteral("OPEN ERROR: ")); });
    };
    EXPECT_EQ(openErrors(), 1);
    controller.plug(kMouse);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(openErrors(), 1);
    EXPECT_EQ(host.told.size(), 1);

    // The rule installed, a connect finds the amplifier without replugging.
    controller.openRefusal = {};
    usb.prepareConnect();
    EXPECT_TRUE(usb.hasDevice());
    EXPECT_EQ(seen(), std::tuple(true, 0, false, 0));

    // Unplugged and refused again: told again. hidapi on Windows gives a reason but no system code: no "(0)".
    controller.unplug(FakeHidController::amplifierInfo().path);
    controller.openRefusal = {false, 0, QStringLiteral("Access is denied.")};
    plugAmplifier();
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.told.size() == 2; }, 2000));
    EXPECT_TRUE(host.logged(QStringLiteral("OPEN ERROR: Access is denied.")));
    EXPECT_TRUE(host.selectorsEnabled);
}

TEST_F(UsbFixture, AReadErrorClosesTheDeviceAndItIsOpenedAgain)
{
    plugAmplifier();

    controller.raiseDataError(0x5, QStringLiteral("Input/output error"));
    EXPECT_EQ(host.history.back(), QStringLiteral("READ ERROR: Input/output error (5)"));
    // Closed, but the selectors stay off: it is still this editor's amplifier.
    EXPECT_EQ(std::tuple(controller.isOpen(), usb.hasDevice(), host.selectorsEnabled), std::tuple(false, false, false));

    // The next connect opens it again.
    usb.prepareConnect();
    EXPECT_EQ(std::pair(controller.openCount, usb.hasDevice()), std::pair(2, true));
    sendMeterRead();
    ASSERT_TRUE(QTest::qWaitFor([&] { return meters == 1; }, 2000));

    // So does a device change, without connecting by itself.
    controller.raiseDataError(0x13, QStringLiteral("No such device"));
    EXPECT_EQ(host.history.back(), QStringLiteral("READ ERROR: No such device (13)"));
    controller.plug(kMouse);
    EXPECT_EQ(std::tuple(controller.openCount, usb.hasDevice(), host.connectClicks), std::tuple(3, true, 1));
}

TEST_F(UsbFixture, OfSeveralInterfacesTheVendorDefinedOneIsChosenAndASingleOneIsUsedAnyway)
{
    controller.plugTogether({{interfaceOf(QStringLiteral("if0"), 0x0C), nullptr},
                             {interfaceOf(QStringLiteral("if1"), 0xFF00), &bus}});
    EXPECT_EQ(usb.matchedDevice(), 1);
    sendMeterRead(); // the vendor-defined interface carries the link
    ASSERT_TRUE(QTest::qWaitFor([&] { return meters == 1; }, 2000));
    controller.unplug(QStringLiteral("if0"));
    controller.unplug(QStringLiteral("if1"));
    controller.plug(interfaceOf(QStringLiteral("only"), 0x01), &bus);
    EXPECT_EQ(usb.matchedDevice(), 0);
    EXPECT_TRUE(usb.hasDevice());
}

TEST_F(UsbFixture, WritesKeepTheirOrderWhileTheDeviceStalls)
{
    plugAmplifier();
    controller.stallWrites(true);
    sendMeterRead();
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller.stalledWrites() == 1; }, 2000));
    // The calls return at once; the frames wait behind the stalled one.
    const std::array<std::uint8_t, 642> block{0x5A};
    usb.writeFramePart(block);
    usb.writeFrame(readRequest(0, frame::kCmdIdentification));
    EXPECT_TRUE(controller.written.empty());

    controller.stallWrites(false);
    waitForWrites();
    const auto& written = controller.written;
    ASSERT_EQ(written.size(), 14u);
    EXPECT_EQ(written[0][7], frame::kCmdMeters);
    EXPECT_EQ(written[1][1], 0x5A);
    EXPECT_EQ(written[13][7], frame::kCmdIdentification);
    EXPECT_EQ(host.history.size(), 1u + 14u); // arrival + one line per report, in the same order
    EXPECT_TRUE(host.history[1].startsWith(QStringLiteral("W 00  A5 A5 A5 00 A2 00 2B")));
    EXPECT_TRUE(host.history[2].startsWith(QStringLiteral("W 00  5A ")));
}

TEST_F(UsbFixture, AStalledWriteTimesOutAndAFullQueueDropsFrames)
{
    plugAmplifier();
    controller.stallTimeout = std::chrono::milliseconds(200);
    controller.stallWrites(true);
    sendMeterRead();
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller.stalledWrites() == 1; }, 2000));
    for (std::size_t i = 0; i < HidWriteQueue::kMaxQueuedReports + 2; ++i)
        sendMeterRead();
    EXPECT_EQ(host.history.back(), QStringLiteral("WRITE ERROR: the amplifier takes no reports, frame dropped"));
    // The session's end drops what waits; the stalled write fails at its time-out.
    usb.sessionEnded();
    waitForWrites();
    EXPECT_EQ(host.history.back(), QStringLiteral("WRITE ERROR: Connection timed out (6E)"));
    EXPECT_TRUE(controller.written.empty());
    controller.stallWrites(false);
}
