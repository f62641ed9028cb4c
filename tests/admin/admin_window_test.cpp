// The window with its device administration against a virtual amplifier: the
// start-up search on its timers, a connect during it, the
// USB amplifier plugged in during a search, and a Device ID change on a live bus.

#include "support/window.h"

#include <QSignalSpy>
#include "support/qstring_print.h"

#include <QDialog>
#include <QDrag>
#include <QPointer>
#include <QElapsedTimer>

using namespace talvex;
using namespace talvex::testing;

namespace {

class AdminWindowTest : public WindowTest {
protected:
    QString resultText() { return control<QPlainTextEdit>("mmo_s_result")->toPlainText(); }
    bool groupsEnabled() { return enabled("grp1") && enabled("grp2") && enabled("rzgrpbx5"); }
    std::size_t meterReads() const
    {
        return std::size_t(std::count_if(frames.begin(), frames.end(),
                                         [](const auto& f) { return commandOf(f) == frame::kCmdMeters; }));
    }
};

} // namespace

TEST_F(AdminWindowTest, StartUpSearchFindsTheFirstDeviceSelectsItAndClosesItsResult)
{
    amp.systemRecord()[3] = 3;
    bus.add(12);
    keepStartUpSearch = true;
    makeWindow();
    auto& search = busSearch();
    EXPECT_TRUE(timers.running("search start"));

    ASSERT_TRUE(QTest::qWaitFor([this] { return shown("rzgrpbx_sch_result"); }, 3000));
    EXPECT_FALSE(timers.running("search start"));
    EXPECT_EQ(meterReads(), 11u); // Device IDs 1 to 11 only
    EXPECT_EQ(resultText(), "\n" + pty.slavePath() + "--Device ID:3 , ");
    EXPECT_EQ(combo("cbb_deviceid")->currentIndex(), 2);
    ASSERT_TRUE(QTest::qWaitFor([&search] { return !search.running(); }, 1000)); // the port closes 50 ms later
    EXPECT_FALSE(linked() || session().portHeld() || enabled("grp2"));
    EXPECT_TRUE(prompts.messages.isEmpty());
    // Three seconds later the result panel closes itself.
    EXPECT_TRUE(timers.running("search result close"));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !shown("rzgrpbx_sch_result"); }, 4000));
    EXPECT_GT(clock.elapsed(), 2500);
    EXPECT_TRUE(groupsEnabled() && !timers.running("search result close"));
    // Connect reaches the device that was found.
    connectAndRead();
    EXPECT_EQ(addressOf(frames.back()), 2);
}

TEST_F(AdminWindowTest, ConnectDuringTheStartUpSearchKeepsTheLink)
{
    keepStartUpSearch = true;
    makeWindow();
    bool searching = false;
    QTimer::singleShot(450, [this, &searching] {
        searching = busSearch().running();
        window->toggleConnection();
    });
    ASSERT_TRUE(QTest::qWaitFor([this] { return idleConnected(); }, 5000));
    EXPECT_TRUE(searching && !busSearch().running());
    QTest::qWait(600);
    expectConnected(1);
    EXPECT_TRUE(session().portHeld());
    EXPECT_FALSE(shown("rzgrpbx_searchID") || shown("rzgrpbx_sch_result"));
    EXPECT_TRUE(groupsEnabled());
    EXPECT_LT(meterReads(), 11u + 5u);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

// The amplifier plugged in to USB while a search holds the serial port ends the
// search: the port closes, the groups come back, and the amplifier connects by
// itself as it does when plugged in while idle. The bus result is not shown and
// selects nothing, so the USB frames keep the Device ID the user had.
TEST_F(AdminWindowTest, AnAmplifierPluggedInDuringASearchEndsItAndConnects)
{
    vamp::VirtualBus usbBus;
    usbBus.add(1);
    for (const bool startUp : {true, false}) {
        SCOPED_TRACE(startUp ? "start-up search" : "search device id");
        amp.systemRecord()[3] = 3; // the bus device would be selected by a finished quick search
        keepStartUpSearch = startUp;
        makeWindow(startUp ? std::nullopt : std::optional(QStringList{pty.slavePath()})); // the terminal starts once
        auto& search = busSearch();
        search.setFullAddressCount(40);
        bool searching = false, portOpen = false;
        QTimer::singleShot(startUp ? 450 : 1000, [&] {
            searching = search.running();
            portOpen = session().portHeld();
            hid.plug(vamp::FakeHidController::amplifierInfo(), &usbBus);
        });
        if (!startUp)
            click("btn41"); // returns when the search has ended
        ASSERT_TRUE(QTest::qWaitFor([&] { return searching && !search.running(); }, 5000));
        EXPECT_TRUE(portOpen);
        const std::size_t busFrames = frames.size();
        ASSERT_TRUE(QTest::qWaitFor([this] { return idleConnected(); }, 5000));
        EXPECT_EQ(portNumber(), kPortUsb);
        EXPECT_FALSE(session().portHeld());
        EXPECT_TRUE(groupsEnabled());
        EXPECT_FALSE(shown("rzgrpbx_searchID") || shown("rzgrpbx_sch_result"));
        EXPECT_EQ(combo("cbb_deviceid")->currentIndex(), 0);
        EXPECT_LE(frames.size(), busFrames + 1); // the bus hears no more probes
        EXPECT_FALSE(hid.written.empty());
        EXPECT_EQ(hid.written.front()[7], frame::kCmdIdentification);
        EXPECT_EQ(hid.written.front()[4], 0); // Device ID 1, as selected before the search
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();

        window.reset();
        hid.unplug(vamp::FakeHidController::amplifierInfo().path);
        hid.written.clear();
        frames.clear();
    }
}

TEST_F(AdminWindowTest, NewDeviceIdOnALiveBus)
{
    makeWindow();
    connectAndRead();
    auto* box = control<QLineEdit>("edt22");
    box->setText("7");
    prompts.answers = {true};
    const std::size_t before = frames.size();
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([this] { return amp.deviceId() == 7; }, 2000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return frames.size() >= before + 4; }, 3000));
    const auto write = std::find_if(frames.begin() + std::ptrdiff_t(before), frames.end(),
                                    [](const Bytes& f) { return commandOf(f) == frame::kCmdWriteSystemRecord; });
    ASSERT_NE(write, frames.end());
    EXPECT_EQ(addressOf(*write), 0);
    for (auto later = write + 1; later != frames.end(); ++later)
        EXPECT_EQ(addressOf(*later), 6) << later - frames.begin();
    // The device answers at its new address and the link stays up.
    QSignalSpy meters(&session(), &Session::metersArrived);
    QTest::qWait(1000);
    EXPECT_TRUE(linked());
    EXPECT_GE(meters.count(), 1);
    EXPECT_FALSE(warningDialog()->isVisible());
}

TEST_F(AdminWindowTest, ChoosingAnotherDeviceIdWhileConnectedReadsThatDevice)
{
    vamp::VirtualAmplifier& second = bus.add(2);
    second.image()[outputBlockStart(0) + kOutMute] = 1; // device 2's High is muted, device 1's is not
    makeWindow();
    connectAndRead();
    ASSERT_EQ(model().image[outputBlockStart(0) + kOutMute], 0);

    // An edit waits for its tick when the user picks Device ID 2: it still goes to device 1.
    button("btn_op2_mute")->click();
    session().stopSendPulse();
    choose("cbb_deviceid", 1);
    ASSERT_TRUE(QTest::qWaitFor([this] { return amp.image()[outputBlockStart(2) + kOutMute] == 1; }, 2000));
    EXPECT_EQ(second.image()[outputBlockStart(2) + kOutMute], 0);
    ASSERT_TRUE(QTest::qWaitFor([this] { return idleConnected(); }, 3000));
    EXPECT_EQ(face("btn_op0_mute"), QColor(255, 0, 0)); // device 2 on screen
    const std::size_t before = frames.size();
    button("btn_op2_pol")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.image()[outputBlockStart(2) + kOutPolarity] == 1; }, 2000));
    EXPECT_EQ(amp.image()[outputBlockStart(2) + kOutPolarity], 0);
    for (std::size_t i = before; i < frames.size(); ++i)
        EXPECT_EQ(addressOf(frames[i]), 1) << i;

    // While a transfer runs the choice is put back and the user is told why.
    fileDialogs.answers = {folder.filePath("all.datgrp")};
    button("btn_save_20grp2pc")->click();
    ASSERT_TRUE(timers.running("progress") || shown("rzgrpbx_data_tx_bar"));
    choose("cbb_deviceid", 0);
    EXPECT_EQ(combo("cbb_deviceid")->currentIndex(), 1);
    EXPECT_EQ(prompts.messages.back(), kTransferRunningMessage);
}

// Connect clicked at any moment of the start-up search over two ports (the
// search holds the first, moves to the second, probes it) connects to the
// selected port and says nothing.
TEST_F(AdminWindowTest, ConnectAtAnyMomentOfTheStartUpSearchConnects)
{
    faultyPty = std::make_unique<vamp::PtyServer>(faultyBus);
    faultyBus.add(1);
    ASSERT_TRUE(pty.start() && faultyPty->start());
    for (const int probe : {0, 1, 11, 12, 13, 22}) { // 0: before the search has begun
        SCOPED_TRACE(probe);
        keepStartUpSearch = true;
        makeWindow(QStringList{faultyPty->slavePath(), pty.slavePath()});
        int probes = 0;
        const auto count = [&](std::span<const std::uint8_t> f) {
            if (f[6] == frame::kCmdMeters && ++probes == probe)
                QTimer::singleShot(0, window.get(), [this] { window->toggleConnection(); });
        };
        bus.onFrame = [&, count](std::span<const std::uint8_t> f) {
            frames.emplace_back(f.begin(), f.end());
            count(f);
        };
        faultyBus.onFrame = count;
        if (probe == 0)
            window->toggleConnection();
        ASSERT_TRUE(QTest::qWaitFor([this] { return idleConnected(); }, 5000));
        EXPECT_EQ(prompts.messages, QStringList());
        EXPECT_EQ(session().portHeld(), true);
        window.reset();
        prompts.messages.clear();
        faultyBus.onFrame = nullptr;
    }
}

// The search result's text is selected and copied but never dragged out: a
// drag from it left a 1 x 1 drag window following the pointer after the drop.
TEST_F(AdminWindowTest, TheSearchResultTextIsNotDraggedOut)
{
    struct ChildWatch : QObject {
        std::vector<QPointer<QObject>> added;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::ChildAdded)
                added.emplace_back(static_cast<QChildEvent*>(event)->child());
            return false;
        }
    } watch;
    makeWindow();
    ASSERT_TRUE(showActive());
    click("btn42"); // "search result"
    auto* result = control<QPlainTextEdit>("mmo_s_result");
    result->setPlainText("/dev/ttyS0--Device ID:1 , 2 ,");
    result->selectAll();
    QWidget* view = result->viewport();
    result->installEventFilter(&watch);
    view->installEventFilter(&watch);
    QTest::mousePress(view, Qt::LeftButton, {}, {12, 12});
    mouse(view, QEvent::MouseMove, {80, 12}, Qt::LeftButton); // a drag would start (and end) here
    const bool dragged = std::any_of(watch.added.begin(), watch.added.end(),
                                     [](const QPointer<QObject>& child) { return qobject_cast<QDrag*>(child); });
    QTest::mouseRelease(view, Qt::LeftButton, {}, {80, 12});
    EXPECT_FALSE(dragged);
}
