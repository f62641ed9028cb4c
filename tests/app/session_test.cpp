// The session on its own, without a window: the watchdog's exact tick count.

#include "fake_hid_controller.h"
#include "session/session.h"
#include "virtual_amplifier.h"

#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace talvex;

TEST(Session, WatchdogEndsTheLinkOnTheThirteenthSilentTick)
{
    vamp::VirtualBus silentBus;
    silentBus.add(1, vamp::Faults{.silent = true});
    vamp::FakeHidController hid;
    QTemporaryDir locks;
    ParameterModel model;
    Session::Platform platform;
    platform.hid = &hid;
    platform.hidLockDirectory = locks.path();
    Session session(model, platform);
    QSignalSpy lost(&session, &Session::linkLost);
    hid.plug(vamp::FakeHidController::amplifierInfo(), &silentBus); // connects by itself
    ASSERT_EQ(session.state(), Session::State::Connecting);

    for (int tick = 1; tick <= 12; ++tick)
        session.watchdogTick();
    EXPECT_TRUE(session.link().connected);
    EXPECT_EQ(session.state(), Session::State::Connecting);
    EXPECT_EQ(lost.count(), 0);

    session.watchdogTick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.state() == Session::State::Disconnected; }, 1000));
    EXPECT_FALSE(session.link().connected);
    EXPECT_EQ(session.state(), Session::State::Disconnected);
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(session.watchdogTimer.isActive() || session.sendPulseTimer.isActive());
}
