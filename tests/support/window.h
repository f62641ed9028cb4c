#pragma once
// A main window wired to a virtual amplifier on a real pseudo-terminal and to
// the fake HID controller, with prompts answered by the test.

#include "support/controls.h"
#include "support/recording.h"
#include "support/test_clock.h"

#include "admin/bus_search.h"
#include "admin/device_admin.h"
#include "app/main_window.h"
#include "editing/channel_strip.h"
#include "editing/edit_history.h"
#include "editing/eq_page.h"
#include "offline/offline_document.h"
#include "overview/bus_overview.h"
#include "presets/group_transfer.h"
#include "presets/preset_panel.h"
#include "ui/transfer_progress.h"
#include "ui/warning_dialog.h"
#include "fake_device_monitor.h"
#include "fake_hid_controller.h"
#include "pty_server.h"
#include "virtual_amplifier.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <optional>

namespace talvex::testing {

class WindowTest : public ::testing::Test, public Controls {
protected:
    QWidget* controlRoot() const override { return window.get(); }

    // Builds the window; `serialPorts` are the --port paths (by default the
    // virtual amplifier's pseudo-terminal).
    void makeWindow(std::optional<QStringList> serialPorts = std::nullopt)
    {
        if (!serialPorts) {
            ASSERT_TRUE(pty.start()) << pty.errorString().toStdString();
            serialPorts = QStringList{pty.slavePath()};
        }
        Session::Platform platform;
        platform.trafficLog = trafficLog;
        platform.hid = &hid;
        platform.extraPorts = *serialPorts;
        platform.enumerator = [this] {
            ++portListings;
            return systemPorts;
        };
        platform.monitor = monitor;
        platform.hidLockDirectory = hidLocks.path();
        platform.clock = &timers;
        core = std::make_unique<EditorCore>(platform);
        window = std::make_unique<MainWindow>(*core, MainWindow::Platform{&prompts, &fileDialogs});
        core->session.start(); // the port list, as the shown window reads it
        // The start-up search probes the ports for a second; only tests of it keep it.
        if (!keepStartUpSearch)
            busSearch().cancelStartupSearch();
        clock.start();
        bus.onFrame = [this](std::span<const std::uint8_t> frame) {
            frames.emplace_back(frame.begin(), frame.end());
            frameTimes.push_back(clock.elapsed());
        };
    }

    // Builds the window on a bus of its own whose one device has these faults.
    void makeFaultyWindow(vamp::Faults faults)
    {
        faultyBus.add(1, faults);
        faultyPty = std::make_unique<vamp::PtyServer>(faultyBus);
        ASSERT_TRUE(faultyPty->start());
        makeWindow(QStringList{faultyPty->slavePath()});
    }

    // The parts of the editor core, and the window's features (found by type).
    ParameterModel& model() const { return core->model; }
    Session& session() const { return core->session; }
    LinkState link() const { return core->session.link(); }
    bool linked() const { return core->session.linkOpen(); }
    int portNumber() const { return core->session.portNumber(); }
    template <typename Feature>
    Feature& part() const
    {
        auto* found = window->findChild<Feature*>(QString(), Qt::FindDirectChildrenOnly);
        if (!found)
            qFatal("the window has no such part");
        return *found;
    }
    BusSearch& busSearch() const { return part<BusSearch>(); }
    QDialog* warningDialog() const { return &part<WarningDialog>(); }

    bool idleConnected() const { return linked() && timers.running("send pulse"); }
    // Clicks "Connect" and waits for the read-all chain to finish.
    void connectAndRead()
    {
        window->toggleConnection();
        ASSERT_TRUE(QTest::qWaitFor([this] { return idleConnected(); }, 5000));
    }

    // Disconnected: "Connect" on red, the link down at `port`, its timers stopped, the progress panel hidden.
    void expectDisconnected(int port = kPortNone) const
    {
        const Session& s = session();
        // An open port closes 50 ms after the link has ended.
        EXPECT_TRUE(QTest::qWaitFor([&s] { return s.state() == Session::State::Disconnected; }, 1000));
        EXPECT_EQ(text("btn_connect"), "Connect");
        EXPECT_EQ(face("btn_connect"), QColor(255, 0, 0));
        EXPECT_EQ(std::pair(linked(), portNumber()), std::pair(false, port));
        EXPECT_FALSE(timers.running("send pulse") || timers.running("watchdog") || timers.running("progress") ||
                     timers.running("USB retry"));
        EXPECT_FALSE(shown("rzgrpbx_data_tx_bar"));
    }
    // Connected at `port`, read and idle: "Disconnect" on green, the watchdog on, the progress panel hidden.
    void expectConnected(int port) const
    {
        EXPECT_EQ(text("btn_connect"), "Disconnect");
        EXPECT_EQ(face("btn_connect"), QColor(0, 128, 0));
        EXPECT_TRUE(idleConnected() && timers.running("watchdog"));
        EXPECT_EQ(portNumber(), port);
        EXPECT_FALSE(timers.running("progress") || shown("rzgrpbx_data_tx_bar"));
    }
    // A file in this test's own temp folder.
    QString path(const char* name) const { return folder.filePath(QString::fromLatin1(name)); }

    // Plugs the USB amplifier in and waits for the read-all chain to finish.
    void plugAndRead(const HidDeviceInfo& info, vamp::VirtualBus& on)
    {
        hid.plug(info, &on);
        ASSERT_TRUE(QTest::qWaitFor([this] { return idleConnected(); }, 5000));
    }

    // A window without serial ports whose USB amplifier is plugged in and read.
    void makeUsbWindow()
    {
        makeWindow(QStringList{});
        plugAndRead(vamp::FakeHidController::amplifierInfo(), bus);
    }
    // A window without serial ports whose USB amplifier never answers, once it has been asked who it is.
    void plugSilentUsbAmplifier()
    {
        faultyBus.add(1, vamp::Faults{.silent = true});
        makeWindow(QStringList{});
        hid.plug(vamp::FakeHidController::amplifierInfo(), &faultyBus);
        ASSERT_TRUE(QTest::qWaitFor([this] { return reportsWith(frame::kCmdIdentification) == 1; }, 2000));
    }
    // The lines of the window's traffic list.
    QStringList log() const { return items("HistoryListBox"); }
    // The serial port and Device ID selectors, both usable or both not.
    bool selectorsEnabled() const { return enabled("cbb_comport") && enabled("cbb_deviceid"); }
    bool selectorsDisabled() const { return !enabled("cbb_comport") && !enabled("cbb_deviceid"); }
    // The command of a USB output report (-1 for a short one), and how many reports carried `command`.
    static int reportCommandOf(const std::vector<std::uint8_t>& report) { return report.size() > 7 ? report[7] : -1; }
    long reportsWith(int command) const
    {
        return std::count_if(hid.written.begin(), hid.written.end(),
                             [&](const auto& r) { return reportCommandOf(r) == command; });
    }

    bool keepStartUpSearch = false;
    QTemporaryDir folder;
    vamp::VirtualBus bus;
    vamp::VirtualAmplifier& amp = bus.add(1);
    vamp::PtyServer pty{bus};
    vamp::VirtualBus faultyBus;
    std::unique_ptr<vamp::PtyServer> faultyPty;
    QTemporaryDir hidLocks; // the USB device locks of this test's editors
    vamp::FakeHidController hid;
    // Real timers, watched by name; before the core, whose timers it outlives.
    TestClock timers{TestClock::Mode::EventLoop};
    RecordingPrompts prompts;
    RecordingFileDialogs fileDialogs;
    std::unique_ptr<EditorCore> core; // outlives the window
    std::unique_ptr<MainWindow> window;
    std::vector<SerialPortItem> systemPorts; // the machine's serial ports, as the enumerator lists them
    int portListings = 0;                    // how many times they were listed
    DeviceMonitor* monitor = nullptr;         // set before makeWindow: devices are followed through it
    std::vector<std::vector<std::uint8_t>> frames; // every frame the amplifier received
    std::vector<qint64> frameTimes;                // when each arrived, in ms since makeWindow
    QElapsedTimer clock;
    TrafficLog* trafficLog = nullptr; // set before makeWindow to capture the traffic
};

} // namespace talvex::testing
