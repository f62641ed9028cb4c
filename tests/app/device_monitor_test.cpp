// The window behind a device monitor: the serial ports and HID devices are
// listed again only when the monitor reports a change, and what the user sees
// is what polling gives: the port list current within one 2 s tick, USB
// arrival connecting by itself, removal disconnecting at once.
#include "support/window.h"

#include <QDialog>

using namespace talvex;
using namespace talvex::testing;

namespace {

class MonitoredWindowTest : public WindowTest {
protected:
    MonitoredWindowTest() { monitor = &fakeMonitor; }
    QComboBox* ports() { return control<QComboBox>("cbb_comport"); }
    vamp::FakeDeviceMonitor fakeMonitor;
};

} // namespace

TEST_F(MonitoredWindowTest, PortsAreListedOnlyAfterAReportedChange)
{
    makeWindow(QStringList{});
    const int atStart = portListings;
    for (int tick = 0; tick < 3; ++tick)
        timers.fire("port list");
    EXPECT_EQ(portListings, atStart);

    // An adapter comes: the running 2 s timer shows it, selected.
    systemPorts = {{"ttyUSB0", "/dev/ttyUSB0", 0}, {"ttyACM0", "/dev/ttyACM0", 0}};
    fakeMonitor.reportPortChange();
    ASSERT_TRUE(QTest::qWaitFor([this] { return ports()->count() == 2; }, 2500));
    EXPECT_EQ(ports()->currentText(), "ttyUSB0");
    EXPECT_EQ(portListings, atStart + 1);

    // It goes again.
    systemPorts.erase(systemPorts.begin());
    fakeMonitor.reportPortChange();
    ASSERT_TRUE(QTest::qWaitFor([this] { return ports()->count() == 1; }, 2500));
    EXPECT_EQ(ports()->currentText(), "ttyACM0");
}

TEST_F(MonitoredWindowTest, PortChangeWhileConnectedShowsAfterTheDisconnect)
{
    makeWindow();
    connectAndRead();
    systemPorts = {{"ttyUSB0", "/dev/ttyUSB0", 0}};
    fakeMonitor.reportPortChange();
    timers.fire("port list");
    EXPECT_EQ(ports()->count(), 1); // the virtual amplifier's terminal only

    window->toggleConnection(); // disconnect
    ASSERT_TRUE(QTest::qWaitFor([this] { return !linked(); }, 1000)); // the port closes 50 ms later
    timers.fire("port list");
    ASSERT_EQ(ports()->count(), 2);
    EXPECT_EQ(ports()->itemText(0), "ttyUSB0");
    EXPECT_EQ(ports()->currentText(), pty.slavePath()); // the last item, as ever
}

TEST_F(MonitoredWindowTest, UsbArrivalAndRemovalFollowTheMonitor)
{
    makeWindow(QStringList{});
    const auto info = vamp::FakeHidController::amplifierInfo();
    hid.plug(info, &bus);
    // Nothing looks for devices on its own any more.
    QCoreApplication::processEvents();
    EXPECT_FALSE((link() == LinkState::Usb));
    EXPECT_EQ(hid.listings, 0);

    fakeMonitor.reportHidChange();
    ASSERT_TRUE(QTest::qWaitFor([this] { return idleConnected(); }, 5000));
    EXPECT_EQ(portNumber(), kPortUsb);
    EXPECT_FALSE(control("cbb_comport")->isEnabled());
    EXPECT_EQ(log().value(0), "Arrival of ZIRIZORIDARUZ01 (Serial=0000001)");

    hid.unplug(info.path);
    fakeMonitor.reportHidChange();
    expectDisconnected();
    EXPECT_FALSE((link() == LinkState::Usb));
    EXPECT_TRUE(warningDialog()->isVisible());
    EXPECT_TRUE(control("cbb_comport")->isEnabled());
}
