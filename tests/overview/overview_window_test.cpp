// The bus overview against three virtual amplifiers on one pseudo-terminal
// bus: the rows with their temperatures, presets and alarm; a device that
// stops answering; the selected device's tick while the overview polls a
// two-wire bus, over a pseudo-terminal and over a network gateway; and the
// watchdog still catching a silent selected device.

#include "support/window.h"
#include "support/qstring_print.h"

#include "tcp_server.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTableWidget>

using namespace talvex;
using namespace talvex::testing;

namespace {

class OverviewWindowTest : public WindowTest {
protected:
    // Devices 1 (selected), 2 and 3 found by a search of IDs 1 to 3, connected to 1, overview open.
    void openOnThreeDevices(std::optional<QStringList> ports = std::nullopt)
    {
        makeWindow(ports);
        busSearch().setFullAddressCount(3);
        busSearch().startFullSearch();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !busSearch().running(); }, 5000));
        busSearch().closeSearchResult();
        // A two-wire bus takes its wire time for the read-all: 1.3 s, more on a loaded machine.
        window->toggleConnection();
        ASSERT_TRUE(QTest::qWaitFor([this] { return idleConnected(); }, 15000));
        part<BusOverview>().open();
        ASSERT_TRUE(QTest::qWaitFor([this] { return cell(2, 4) != "" && cell(1, 4) != ""; }, 8000));
    }
    QTableWidget* table() const { return part<BusOverview>().window()->findChild<QTableWidget*>("tbl_bus_overview"); }
    QString cell(int row, int column) const
    {
        return row < table()->rowCount() ? table()->item(row, column)->text() : QString();
    }
    QString note() const { return part<BusOverview>().window()->findChild<QLabel*>("lbl_bus_overview_note")->text(); }
    // The times at which the amplifiers received their frames.
    void timeFrames()
    {
        clock.start();
        bus.onFrame = [this](std::span<const std::uint8_t> f) { timed.push_back({clock.elapsed(), f[3], f[6]}); };
    }
    struct TimedFrame {
        qint64 at;
        int address, command;
    };
    void checkTickOnTwoWireBus(const vamp::ReplyPacer& line);
    QElapsedTimer clock;
    std::vector<TimedFrame> timed;
    vamp::VirtualAmplifier& second = bus.add(2);
    vamp::VirtualAmplifier& third = bus.add(3);
};

} // namespace

TEST_F(OverviewWindowTest, ThreeDevicesShowTheirRowsTemperaturesPresetsAndAlarm)
{
    // Device 3 is at or above its own threshold (10 degrees); the others' is 70.
    amp.systemRecord()[7] = 0;
    second.systemRecord()[7] = 0;
    third.systemRecord()[7] = 30;
    third.systemRecord()[0] = 2;
    third.presetNames()[1] = {'R', 'A', 'C', 'K'};
    bus.add(4); // not found by the search, so not listed
    openOnThreeDevices();

    ASSERT_EQ(table()->rowCount(), 3);
    const QString port = pty.slavePath();
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(cell(r, 0), QString::number(r + 1));
        EXPECT_EQ(cell(r, 1), port);
        EXPECT_EQ(cell(r, 5), "answering");
        EXPECT_TRUE(cell(r, 3).endsWith(" dB"));
    }
    EXPECT_EQ(cell(2, 4), "Usr1:RACK                ");
    EXPECT_EQ(cell(0, 4), text("cbb_load2dev")); // the selected device as the main window shows it
    ASSERT_TRUE(QTest::qWaitFor([this] { return cell(0, 2) == text("lbl_temperature"); }, 2000));
    EXPECT_EQ(table()->item(2, 0)->background().color(), QColor(255, 0, 0));
    EXPECT_NE(table()->item(1, 0)->background().color(), QColor(255, 0, 0));
    EXPECT_TRUE(part<BusOverview>().window()->windowTitle().contains("1 at or above"));
    EXPECT_TRUE(note().contains(port));

    // Double-clicking device 2 reads it as a Connect does.
    part<BusOverview>().chooseRow(1);
    ASSERT_TRUE(QTest::qWaitFor([this] { return idleConnected() && session().sessionDeviceAddress() == 1; }, 5000));
    EXPECT_EQ(combo("cbb_deviceid")->currentIndex(), 1);
    EXPECT_EQ(addressOf(frames.back()), 1);
    // Given a new Device ID, the selected device's row follows it.
    prompts.answers.push_back(true);
    type("edt22", "7");
    ASSERT_TRUE(QTest::qWaitFor([this] { return cell(3, 0) == "7" && cell(3, 2) != ""; }, 3000));
}

TEST_F(OverviewWindowTest, ADeviceThatStopsAnsweringFallsSilentAndAClosedPortSilencesAll)
{
    openOnThreeDevices();
    bus.devices().pop_back(); // device 3 is gone from the bus
    ASSERT_TRUE(QTest::qWaitFor([this] { return cell(2, 5).startsWith("silent since "); }, 6000));
    EXPECT_EQ(cell(1, 5), "answering");
    EXPECT_TRUE(linked());
    bus.add(3);
    ASSERT_TRUE(QTest::qWaitFor([this] { return cell(2, 5) == "answering"; }, 3000));

    window->toggleConnection();
    for (int r = 0; r < 3; ++r)
        EXPECT_TRUE(cell(r, 5).startsWith("silent since ")) << r;
    EXPECT_NE(cell(2, 2), ""); // what was seen stays
}

// The selected device's tick on a two-wire bus while the overview polls the others as fast as the bus
// allows: nothing collides; a long edit still hears the device at least once a second; then its meter
// reads are a median 350 ms apart, never more than 800; a closed overview sends nothing more.
void OverviewWindowTest::checkTickOnTwoWireBus(const vamp::ReplyPacer& line)
{
    timeFrames();
    for (int chunk = 18; chunk < 24; ++chunk) // two seconds of edits
        model().pending[std::size_t(chunk)] = true;
    const auto selectedMeterReads = [this] {
        std::vector<qint64> at;
        for (const TimedFrame& f : timed)
            if (f.address == 0 && f.command == frame::kCmdMeters)
                at.push_back(f.at);
        return at;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return selectedMeterReads().size() >= 22; }, 12000));
    EXPECT_EQ(line.collisions(), 0u);
    const std::vector<qint64> reads = selectedMeterReads();
    std::vector<qint64> gaps;
    for (std::size_t i = 1; i < reads.size(); ++i)
        gaps.push_back(reads[i] - reads[i - 1]);
    EXPECT_LE(*std::max_element(gaps.begin(), gaps.end()), 800);
    EXPECT_LE(gaps.front(), 1000) << "the first meter read while the edits go out";
    std::vector<qint64> idle(gaps.begin() + 4, gaps.end());
    std::nth_element(idle.begin(), idle.begin() + std::ptrdiff_t(idle.size() / 2), idle.end());
    EXPECT_NEAR(double(idle[idle.size() / 2]), 350.0, 50.0); // a loaded machine delays single ticks
    EXPECT_GT(std::count_if(timed.begin(), timed.end(), [](const TimedFrame& f) { return f.address != 0; }),
              std::ptrdiff_t(reads.size())) << "the others are polled between the ticks";

    part<BusOverview>().window()->close();
    QTest::qWait(100);
    timed.clear();
    ASSERT_TRUE(QTest::qWaitFor([this] { return timed.size() >= 5; }, 3000));
    EXPECT_TRUE(std::all_of(timed.begin(), timed.end(), [](const TimedFrame& f) { return f.address == 0; }));
}

TEST_F(OverviewWindowTest, TheSelectedDeviceKeepsItsTickOnATwoWireBusOverAPseudoTerminal)
{
    pty.setHalfDuplex(true);
    openOnThreeDevices();
    checkTickOnTwoWireBus(pty.line());
}

TEST_F(OverviewWindowTest, TheSelectedDeviceKeepsItsTickOnATwoWireBusOverAGateway)
{
    vamp::TcpServer gateway{bus};
    gateway.setHalfDuplex(true);
    ASSERT_TRUE(gateway.start());
    openOnThreeDevices(QStringList{gateway.location()});
    checkTickOnTwoWireBus(gateway.line());
}

TEST_F(OverviewWindowTest, SupervisionStillCatchesASilentSelectedDevice)
{
    openOnThreeDevices();
    amp.systemRecord()[3] = 9; // device 1 answers as 9 from now on: nothing from the selected device
    ASSERT_TRUE(QTest::qWaitFor([this] { return !linked(); }, 6000));
    EXPECT_TRUE(warningDialog()->isVisible());
}

TEST_F(OverviewWindowTest, OnUsbTheOneDeviceIsShownAndTheOverviewSaysItNeedsABusPort)
{
    makeUsbWindow();
    part<BusOverview>().open();
    ASSERT_TRUE(QTest::qWaitFor([this] { return table()->rowCount() == 1 && cell(0, 2) != ""; }, 3000));
    EXPECT_EQ(cell(0, 1), "USB");
    EXPECT_TRUE(note().contains("needs a serial or network port"));
}
