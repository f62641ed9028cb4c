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

TEST(Session, WatchdogEndsTheLinkOnTheThirteenthSilentTick)
{
    vamp::VirtualBus silentBus;
    silentBus.add(1, vamp::Faults{.silent = true});
    UsbOnly usb{TestClock::Mode::ByHand};
    auto& hid = usb.hid;
    Session session(usb.model, usb.platform());
    QSignalSpy lost(&session, &Session::linkLost);
    hid.plug(vamp::FakeHidController::amplifierInfo(), &silentBus); // connects by itself
    ASSERT_EQ(session.state(), Session::State::Connecting);

    for (int tick = 1; tick <= 12; ++tick)
        usb.timers.fire("watchdog");
    EXPECT_TRUE((session.link() != LinkState::Closed));
    EXPECT_EQ(session.state(), Session::State::Connecting);
    EXPECT_EQ(lost.count(), 0);

    usb.timers.fire("watchdog");
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.state() == Session::State::Disconnected; }, 1000));
    EXPECT_FALSE((session.link() != LinkState::Closed));
    EXPECT_EQ(session.state(), Session::State::Disconnected);
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(usb.timers.running("watchdog") || usb.timers.running("send pulse"));
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
