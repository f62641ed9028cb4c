#include "test_support.h"

#include "fake_hid_controller.h"
#include "link/hex_text.h"
#include "link/command_sender.h"
#include "link/serial_link.h"
#include "link/transport_router.h"
#include "link/usb_hid_link.h"
#include "model/parameter_model.h"

#include <QTest>

#include <gtest/gtest.h>

#include <deque>

using namespace talvex;
using vamp::FakeHidController;

namespace {

// Plays the main window: keeps the log, counts the calls, connects like btn_connectClick.
struct FakeHost : UsbHidHost {
    LinkState& link;
    std::deque<QString> history;
    QString label;
    bool selectorsEnabled = true;
    int connectClicks = 0;
    int disconnectTicks = 0;
    bool reconnectTimer = false;
    QString caption;

    explicit FakeHost(LinkState& l) : link(l) {}
    void addHistoryLine(const QString& line) override { history.push_back(line); }
    void dropOldestHistoryLine() override { history.pop_front(); }
    void setUsbHidLabel(const QString& text) override { label = text; }
    void setSelectorsEnabled(bool enabled) override { selectorsEnabled = enabled; }
    void connectClick() override
    {
        ++connectClicks;
        link.connected = true;
        link.currentPort = kPortUsb;
        reconnectTimer = true;
    }
    void disconnectTick() override
    {
        ++disconnectTicks;
        if (link.noReplyCount > 12)
            link.connected = false;
    }
    void setReconnectTimerActive(bool active) override { reconnectTimer = active; }
    void setConnectCaption(const QString& text) override { caption = text; }
};

HidDeviceInfo device(std::uint16_t vid, std::uint16_t pid, const char* product, const char* serial, const char* path)
{
    HidDeviceInfo info;
    info.vendorId = vid;
    info.productId = pid;
    info.product = QString::fromLatin1(product);
    info.serialNumber = QString::fromLatin1(serial);
    info.path = QString::fromLatin1(path);
    return info;
}

std::array<std::uint8_t, 65> reportOf(std::span<const std::uint8_t> frameBytes)
{
    std::array<std::uint8_t, 65> report{};
    std::copy(frameBytes.begin(), frameBytes.end(), report.begin() + 1);
    return report;
}

struct UsbFixture : testing::Test {
    LinkState link;
    ReplyReceiver receiver{link};
    FakeHidController controller;
    FakeHost host{link};
    UsbHidLink usb{controller, link, receiver, host};
    vamp::VirtualBus bus;

    UsbFixture() { bus.add(1); }
};

} // namespace

TEST(UsbHidNames, DisplayNames)
{
    EXPECT_EQ(UsbHidLink::DeviceName(FakeHidController::amplifierInfo()),
              QStringLiteral("ZIRIZORIDARUZ01 (Serial=0000001)"));
    EXPECT_EQ(UsbHidLink::DeviceName(device(0x0483, 0x5750, "", "", "p")), QStringLiteral("Device VID=0483 PID=5750"));
    EXPECT_EQ(UsbHidLink::DeviceName(device(0x046d, 0xc52b, "", "A1", "p")),
              QStringLiteral("Device VID=046D PID=C52B (Serial=A1)"));
}

TEST_F(UsbFixture, ArrivalOfTheAmplifierMatchesOpensItAndConnects)
{
    controller.plug(device(0x046d, 0xc52b, "USB Receiver", "", "mouse"));
    EXPECT_EQ(host.history.back(), QStringLiteral("Arrival of USB Receiver"));
    EXPECT_TRUE(host.label.isEmpty());
    EXPECT_EQ(controller.openCount, 0); // other devices are listed, never opened

    controller.plug(FakeHidController::amplifierInfo(), &bus);
    EXPECT_EQ(host.label, QStringLiteral("已接上设备."));
    EXPECT_FALSE(host.selectorsEnabled);
    EXPECT_EQ(usb.deviceList(),
              QStringList({"USB Receiver", "ZIRIZORIDARUZ01 (Serial=0000001)"}));
    EXPECT_EQ(link.matchedDevice, 1);
    EXPECT_TRUE(link.usbMode);
    EXPECT_TRUE(usb.hasDevice());
    EXPECT_TRUE(controller.isOpen());
    EXPECT_EQ(host.connectClicks, 1); // arrival + change: exactly one automatic connect
}

TEST_F(UsbFixture, SameModelWithAnotherSerialIsNotUsed)
{
    controller.plug(device(0x0483, 0x5750, "ZIRIZORIDARUZ01", "0000002", "other"));
    EXPECT_EQ(host.history.back(), QStringLiteral("Arrival of ZIRIZORIDARUZ01 (Serial=0000002)"));
    EXPECT_EQ(host.label, QStringLiteral("已接上设备."));
    EXPECT_FALSE(host.selectorsEnabled);
    EXPECT_EQ(link.matchedDevice, kNoMatchedDevice);
    EXPECT_FALSE(link.usbMode);
    EXPECT_FALSE(controller.isOpen());
    EXPECT_EQ(host.connectClicks, 0);

    controller.unplug(QStringLiteral("other"));
    EXPECT_EQ(host.history.back(), QStringLiteral("Removal of ZIRIZORIDARUZ01 (Serial=0000002)"));
    EXPECT_TRUE(host.selectorsEnabled);
}

TEST_F(UsbFixture, MeterRoundTripOverReportsAndItsLogLine)
{
    controller.plug(FakeHidController::amplifierInfo(), &bus);
    int meters = 0;
    int raw = -1;
    receiver.setHandler(frame::kCmdMeters, [&](const std::string& frameText) {
        ++meters;
        raw = replyDataByte(frameText, 2) * 256 + replyDataByte(frameText, 3);
    });
    link.noReplyCount = 7;

    usb.UsbHidSendDataClick(reportOf(readRequest(0, frame::kCmdMeters)));
    QString expected = QStringLiteral("W 00  A5 A5 A5 00 A2 00 2B 00 00 00 89 AA ");
    for (int i = 0; i < 52; ++i)
        expected += QStringLiteral("00 ");
    EXPECT_EQ(host.history.back(), expected);

    ASSERT_TRUE(QTest::qWaitFor([&] { return meters == 1; }, 2000));
    EXPECT_EQ(raw, bus.devices().front().temperatureRaw());
    EXPECT_EQ(link.noReplyCount, 0);
}

TEST_F(UsbFixture, BlockWriteIsHeadThenTwelveReportsThroughTheRouter)
{
    controller.plug(FakeHidController::amplifierInfo(), &bus);
    ParameterModel model;
    SerialLink serial(link, receiver);
    TransportRouter router(link, serial, usb);
    CommandSender sender(model, link);
    sender.setTransport(&router);
    ASSERT_TRUE(router.usbActive());

    std::array<std::uint8_t, 640> block{};
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = std::uint8_t(i % 251);
    const std::size_t before = controller.written.size();
    sender.sendBlockWrite(0, frame::kCmdCurrentGroup, block);

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
    controller.plug(FakeHidController::amplifierInfo(), &bus);
    ASSERT_TRUE(link.connected);

    controller.unplug(FakeHidController::amplifierInfo().path);
    EXPECT_EQ(host.history.back(), QStringLiteral("Removal of ZIRIZORIDARUZ01 (Serial=0000001)"));
    EXPECT_EQ(host.label, QStringLiteral("已移除设备."));
    EXPECT_EQ(host.disconnectTicks, 1);
    EXPECT_FALSE(link.connected);
    EXPECT_TRUE(host.selectorsEnabled);
    EXPECT_FALSE(link.usbMode);
    EXPECT_EQ(link.matchedDevice, kNoMatchedDevice);
    EXPECT_FALSE(usb.hasDevice());

    // Nothing is written without a device.
    const std::size_t before = controller.written.size();
    usb.UsbHidSendDataClick(reportOf(readRequest(0, frame::kCmdMeters)));
    EXPECT_EQ(controller.written.size(), before);
}

TEST_F(UsbFixture, ReconnectAsksThreeMoreTimesUntilTheVersionIsConfirmed)
{
    controller.plug(FakeHidController::amplifierInfo(), &bus);
    ASSERT_EQ(host.connectClicks, 1);

    for (int tick = 1; tick <= 3; ++tick) {
        host.caption = QStringLiteral("Disconnect");
        usb.tmr_hidreconnectTick();
        EXPECT_EQ(host.connectClicks, 1 + tick);
        EXPECT_TRUE(host.reconnectTimer);
        EXPECT_EQ(host.caption, QStringLiteral("Connect"));
        EXPECT_EQ(link.noReplyCount, 0);
    }
    usb.tmr_hidreconnectTick();
    EXPECT_EQ(host.connectClicks, 4);
    EXPECT_FALSE(host.reconnectTimer);

    // A confirmed identification ends the retries at once.
    usb.reconnectAttempts = 0;
    usb.versionConfirmed = true;
    usb.tmr_hidreconnectTick();
    EXPECT_EQ(host.connectClicks, 4);
    EXPECT_FALSE(host.reconnectTimer);
}

TEST_F(UsbFixture, ErrorsAreLoggedOnly)
{
    controller.plug(FakeHidController::amplifierInfo(), &bus);
    controller.failWrites = true;
    const std::size_t lines = host.history.size();
    usb.UsbHidSendDataClick(reportOf(readRequest(0, frame::kCmdMeters)));
    EXPECT_EQ(host.history.back(), QStringLiteral("WRITE ERROR: A device attached to the system is not functioning. (1F)"));
    std::array<std::uint8_t, 642> block{};
    usb.UsbHidSendBigData(block);
    EXPECT_EQ(host.history.size(), lines + 2); // the block stops at its first failed report

    controller.raiseDataError(0x5, QStringLiteral("Input/output error"));
    EXPECT_EQ(host.history.back(), QStringLiteral("READ ERROR: Input/output error (5)"));
    EXPECT_TRUE(link.connected);
}

TEST_F(UsbFixture, TrafficLogKeepsTheNewestLines)
{
    for (int i = 0; i < UsbHidLink::kHistoryLimit + 25; ++i)
        usb.AddToHistory(QString::number(i));
    EXPECT_EQ(host.history.size(), std::size_t(UsbHidLink::kHistoryLimit));
    EXPECT_EQ(host.history.front(), QStringLiteral("25"));
    EXPECT_EQ(usb.historyLines(), UsbHidLink::kHistoryLimit);
}

TEST_F(UsbFixture, RouterUsesSerialWithoutAMatchedDevice)
{
    SerialLink serial(link, receiver);
    TransportRouter router(link, serial, usb);
    EXPECT_FALSE(router.usbActive());
    controller.plug(device(0x0483, 0x5750, "", "", "bare"));
    EXPECT_FALSE(router.usbActive());
    controller.plug(FakeHidController::amplifierInfo(), &bus);
    EXPECT_TRUE(router.usbActive());
}

TEST_F(UsbFixture, AChangeKeepsTheOpenMatchedDeviceAndItsRepliesOnTheirWay)
{
    controller.plug(FakeHidController::amplifierInfo(), &bus);
    ASSERT_EQ(controller.openCount, 1);
    int meters = 0;
    receiver.setHandler(frame::kCmdMeters, [&](const std::string&) { ++meters; });
    usb.UsbHidSendDataClick(reportOf(readRequest(0, frame::kCmdMeters)));

    // Another device comes and goes while the reply is on its way.
    controller.plug(device(0x046d, 0xc52b, "USB Receiver", "", "mouse"));
    controller.unplug(QStringLiteral("mouse"));
    EXPECT_EQ(controller.openCount, 1);
    EXPECT_EQ(link.matchedDevice, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return meters == 1; }, 2000));
}
