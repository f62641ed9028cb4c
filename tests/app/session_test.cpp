// The session on its own, without a window: the watchdog's exact tick count.

#include "fake_hid_controller.h"
#include "session/session.h"
#include "support/test_clock.h"
#include "virtual_amplifier.h"

#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace talvex;
using talvex::testing::TestClock;

namespace {

// A session on the fake HID controller alone (no serial ports).
struct UsbOnly {
    explicit UsbOnly(TestClock::Mode mode = TestClock::Mode::EventLoop) : timers(mode) {}
    Session::Platform platform()
    {
        Session::Platform platform;
        platform.hid = &hid;
        platform.hidLockDirectory = locks.path();
        platform.clock = &timers;
        return platform;
    }
    TestClock timers;
    vamp::FakeHidController hid;
    QTemporaryDir locks;
    ParameterModel model;
};

} // namespace

// A silent USB amplifier, on the session's clock: the handshake is tried three
// more times, 500 ms apart, and the watchdog ends the link on the thirteenth
// silent 250 ms tick after the last try (at 1.5 s + 3.25 s).
TEST(Session, ASilentUsbAmplifierIsRetriedThenLost)
{
    vamp::VirtualBus silentBus;
    silentBus.add(1, vamp::Faults{.silent = true});
    UsbOnly usb{TestClock::Mode::ByHand};
    auto& hid = usb.hid;
    Session session(usb.model, usb.platform());
    QSignalSpy lost(&session, &Session::linkLost);
    hid.plug(vamp::FakeHidController::amplifierInfo(), &silentBus); // connects by itself
    ASSERT_EQ(session.state(), Session::State::Connecting);
    const auto identifications = [&] {
        return std::count_if(hid.written.begin(), hid.written.end(), [](const auto& report) {
            return report.size() > 7 && report[7] == frame::kCmdIdentification;
        });
    };

    usb.timers.advance(4749);
    EXPECT_EQ(session.state(), Session::State::Connecting);
    EXPECT_EQ(lost.count(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return identifications() == 4; }, 2000)) << identifications();

    usb.timers.advance(1);
    EXPECT_EQ(session.link(), LinkState::Closed);
    EXPECT_EQ(session.state(), Session::State::Disconnected);
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(usb.timers.running("watchdog") || usb.timers.running("send pulse") || usb.timers.running("USB retry"));
    EXPECT_EQ(identifications(), 4);
}

// Another device chosen while edits wait over USB: they go out a send tick
// apart, a second choice meanwhile is read once after them; an amplifier
// unplugged meanwhile ends the change without a read.
TEST(Session, ADeviceChangeDrainsEditsFirstAndEndsWithItsLink)
{
    for (const bool unplugged : {false, true}) {
        vamp::VirtualBus bus;
        bus.add(1);
        bus.add(2);
        UsbOnly usb;
        auto& [timers, hid, locks, model] = usb;
        Session session(model, usb.platform());
        session.chooseDeviceAddress(1);
        hid.plug(vamp::FakeHidController::amplifierInfo(), &bus);
        ASSERT_TRUE(QTest::qWaitFor([&] { return session.state() == Session::State::Connected; }, 5000));
        model.markChunk(18);
        model.markChunk(19);
        const std::size_t before = hid.written.size();
        session.readSelectedDevice();
        session.readSelectedDevice();
        if (unplugged)
            hid.unplug(vamp::FakeHidController::amplifierInfo().path);
        if (unplugged)
            QTest::qWait(800);
        else
            EXPECT_TRUE(QTest::qWaitFor([&] { return session.state() == Session::State::Connecting; }, 3000) &&
                        QTest::qWaitFor([&] { return session.state() == Session::State::Connected; }, 5000));
        std::vector<int> commands;
        for (std::size_t i = before; i < hid.written.size(); ++i)
            commands.push_back(hid.written[i].size() > 7 ? hid.written[i][7] : -1);
        const auto read = std::find(commands.begin(), commands.end(), frame::kCmdIdentification);
        EXPECT_EQ(std::count(commands.begin(), commands.end(), frame::kCmdIdentification), unplugged ? 0 : 1);
        EXPECT_EQ(session.state(), unplugged ? Session::State::Disconnected : Session::State::Connected);
        if (!unplugged) {
            EXPECT_GE(read - commands.begin(), 2); // both edits first
        }
    }
}
