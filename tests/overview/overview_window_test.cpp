// The bus overview against three virtual amplifiers on one pseudo-terminal
// bus: the rows with their temperatures, presets and alarm; a device that
// stops answering; the selected device's tick while the overview polls; and
// the watchdog still catching a silent selected device.

#include "support/window.h"
#include "support/qstring_print.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTableWidget>

using namespace talvex;
using namespace talvex::testing;

namespace {

class OverviewWindowTest : public WindowTest {
protected:
    // Devices 1 (selected), 2 and 3 found by a search of IDs 1 to 3, connected to 1, overview open.
    void openOnThreeDevices()
    {
        makeWindow();
        busSearch().setFullAddressCount(3);
        busSearch().startFullSearch();
        busSearch().closeSearchResult();
        connectAndRead();
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
    EXPECT_TRUE(link().connected);
    bus.add(3);
    ASSERT_TRUE(QTest::qWaitFor([this] { return cell(2, 5) == "answering"; }, 3000));

    window->toggleConnection();
    for (int r = 0; r < 3; ++r)
        EXPECT_TRUE(cell(r, 5).startsWith("silent since ")) << r;
    EXPECT_NE(cell(2, 2), ""); // what was seen stays
}

TEST_F(OverviewWindowTest, TheSelectedDeviceKeepsItsTickWhileTheOverviewPolls)
{
    openOnThreeDevices();
    timeFrames();
    // Three edits waiting: they go out one per tick, then the meter reads.
    for (int chunk : {18, 19, 20})
        model().pending[std::size_t(chunk)] = true;
    ASSERT_TRUE(QTest::qWaitFor([this] { return timed.size() >= 24; }, 8000));

    std::vector<qint64> selected, others;
    std::vector<int> selectedCommands;
    for (const TimedFrame& f : timed) {
        (f.address == 0 ? selected : others).push_back(f.at);
        if (f.address == 0)
            selectedCommands.push_back(f.command);
    }
    ASSERT_GE(selected.size(), 10u);
    ASSERT_GE(others.size(), 10u);
    EXPECT_EQ(std::vector<int>(selectedCommands.begin(), selectedCommands.begin() + 4),
              (std::vector<int>{1, 1, 1, frame::kCmdMeters}));
    // One frame per 350 ms tick, writes and meter reads alike (timer jitter allowed).
    EXPECT_NEAR(double(selected.back() - selected.front()) / double(selected.size() - 1), 350.0, 20.0);
    for (std::size_t i = 1; i < selected.size(); ++i)
        EXPECT_NEAR(selected[i] - selected[i - 1], 350, 150) << i;
    // Each poll half a tick after the selected device's frame before it.
    for (qint64 poll : others) {
        const auto after = std::upper_bound(selected.begin(), selected.end(), poll);
        if (after != selected.begin()) {
            EXPECT_NEAR(poll - *(after - 1), 175, 100);
        }
    }
    // Closed, the overview sends nothing.
    part<BusOverview>().window()->close();
    timed.clear();
    ASSERT_TRUE(QTest::qWaitFor([this] { return timed.size() >= 5; }, 3000));
    EXPECT_TRUE(std::all_of(timed.begin(), timed.end(), [](const TimedFrame& f) { return f.address == 0; }));
}

TEST_F(OverviewWindowTest, SupervisionStillCatchesASilentSelectedDevice)
{
    openOnThreeDevices();
    amp.systemRecord()[3] = 9; // device 1 answers as 9 from now on: nothing from the selected device
    ASSERT_TRUE(QTest::qWaitFor([this] { return !link().connected; }, 6000));
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
