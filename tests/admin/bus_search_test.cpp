// The searches against virtual amplifiers on pseudo-terminals, on a bare window
// with the real serial link.

#include "admin/bus_search.h"
#include "ui/qt_event_pump.h"

#include "support/window.h"
#include "support/qstring_print.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QProgressBar>

using namespace talvex;
using namespace talvex::testing;

namespace {

// A serial-only transport, or one that pretends the USB link carries frames.
struct SerialTransport : FrameTransport {
    explicit SerialTransport(SerialLink& serial) : serial(serial) {}
    SerialLink& serial;
    bool usb = false;
    bool usbActive() const override { return usb; }
    void sendFrame(std::span<const std::uint8_t> frame) override
    {
        if (!usb)
            serial.write(frame);
    }
};

// One bus of virtual amplifiers on its own pseudo-terminal.
struct Bus {
    vamp::VirtualBus devices;
    vamp::PtyServer pty{devices};
};

struct Probe {
    int bus;
    int address;
};

class BusSearchTest : public ::testing::Test, public Controls {
protected:
    QWidget* controlRoot() const override { return const_cast<QMainWindow*>(&window); }

    // Buses in list order; the ports' names are the terminals' paths.
    Bus& addBus(std::initializer_list<int> ids)
    {
        buses.emplace_back(std::make_unique<Bus>());
        Bus& bus = *buses.back();
        for (int id : ids)
            bus.devices.add(id);
        const int index = int(buses.size()) - 1;
        bus.devices.onFrame = [this, index](std::span<const std::uint8_t> f) {
            if (f.size() > 6 && f[6] == frame::kCmdMeters)
                probes.push_back({index, f[3]});
        };
        EXPECT_TRUE(bus.pty.start());
        return bus;
    }

    void makeSearch(int fullAddresses)
    {
        buildMainWindowLayout(window);
        QStringList paths;
        for (auto& bus : buses)
            paths << bus->pty.slavePath();
        paths << morePorts;
        serial.setEnumerator([] { return std::vector<SerialPortItem>{}; });
        serial.setExtraPorts(paths);
        serial.initialPortList();
        sender.setTransport(&transport);
        receiver.setHandler(frame::kCmdMeters, [this](const frame::Reply& reply) {
            meterRepliesFrom.push_back(reply.address());
            search->meterReplied(reply);
        });
        search = std::make_unique<BusSearch>(
            window, BusSearch::Link{link, serial, sender, receiver, transport, pump, prompts});
        search->setFullAddressCount(fullAddresses);
    }

    QString resultText() { return control<QPlainTextEdit>("mmo_s_result")->toPlainText(); }
    QString line(const Bus& bus, const char* ids) { return bus.pty.slavePath() + "--Device ID:" + ids; }
    // The search left the program disconnected with the port closed.
    void expectClosed()
    {
        EXPECT_FALSE(link.connected);
        EXPECT_FALSE(serial.isOpen());
        EXPECT_EQ(link.currentPort, kPortNone);
    }

    std::deque<std::unique_ptr<Bus>> buses;
    QStringList morePorts; // listed after the buses' terminals
    std::vector<Probe> probes; // every meter read a bus received, in order
    std::vector<int> meterRepliesFrom;
    QMainWindow window;
    ParameterModel model;
    LinkState link;
    CommandSender sender{model, link};
    ReplyReceiver receiver{link};
    SerialLink serial{link, receiver};
    SerialTransport transport{serial};
    QtEventPump pump;
    RecordingPrompts prompts;
    std::unique_ptr<BusSearch> search;
};

} // namespace

TEST_F(BusSearchTest, FullSearchGoesFromTheLastPortBackAndListsThePortsInOrder)
{
    Bus& first = addBus({2, 5});
    Bus& second = addBus({1, 4});
    makeSearch(6);
    int popupsHidden = 0;
    QObject::connect(search.get(), &BusSearch::hidePopupsRequested, [&] { ++popupsHidden; });
    bool groupsOffDuringSearch = false;
    QTimer::singleShot(150, [&] { groupsOffDuringSearch = !enabled("grp1") && !enabled("grp2") && !enabled("rzgrpbx5") &&
                                                          shown("rzgrpbx_searchID"); });

    search->startFullSearch();

    EXPECT_TRUE(groupsOffDuringSearch);
    EXPECT_EQ(popupsHidden, 1);
    // The second port first, each at addresses 0..5 ascending.
    ASSERT_EQ(probes.size(), 12u);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(probes[i].bus, i < 6 ? 1 : 0) << i;
        EXPECT_EQ(probes[i].address, i % 6) << i;
    }
    EXPECT_EQ(resultText(), "\n" + line(first, "2 , 5 , ") + "\n" + line(second, "1 , 4 , "));
    EXPECT_TRUE(shown("rzgrpbx_sch_result"));
    EXPECT_EQ(control("rzgrpbx_sch_result")->pos(), QPoint(6, 411));
    EXPECT_FALSE(shown("rzgrpbx_searchID"));
    EXPECT_EQ(control<QProgressBar>("rzprgrsbr_searchid")->value(), 100);
    expectClosed();
    EXPECT_TRUE(prompts.messages.isEmpty());

    // The groups come back with the result panel's close button.
    EXPECT_FALSE(enabled("grp1") || enabled("grp2") || enabled("rzgrpbx5"));
    control<QPushButton>("btn5")->click();
    EXPECT_FALSE(shown("rzgrpbx_sch_result"));
    EXPECT_TRUE(enabled("grp1") && enabled("grp2") && enabled("rzgrpbx5"));
    control<QPushButton>("btn42")->click(); // "search result" shows it again
    EXPECT_TRUE(shown("rzgrpbx_sch_result"));
}

// The port list refresh runs whenever the port is closed, so between two ports
// of a search too: a port that appears then renumbers the list, and the search
// still opens and names the ports it set out with.
TEST_F(BusSearchTest, APortListedDuringTheSearchDoesNotMoveItsResult)
{
    Bus& first = addBus({1});
    Bus& second = addBus({2});
    makeSearch(3);
    bool plugged = false;
    serial.setEnumerator([&] {
        return plugged ? std::vector<SerialPortItem>{{"ttyACM0", "/nonexistent/ttyACM0", 0}}
                       : std::vector<SerialPortItem>{};
    });
    QTimer refresh; // every tick may fall between two ports
    refresh.setTimerType(Qt::PreciseTimer);
    QObject::connect(&refresh, &QTimer::timeout, [&] {
        plugged = plugged || !probes.empty();
        serial.refreshPortList();
    });
    refresh.start(10);

    search->startFullSearch();

    EXPECT_EQ(serial.portTable().size(), 3u); // the new port was listed under the search
    ASSERT_EQ(probes.size(), 6u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(probes[i].bus, i < 3 ? 1 : 0) << i;
    EXPECT_EQ(resultText(), "\n" + line(first, "1 , ") + "\n" + line(second, "2 , "));
    expectClosed();
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(BusSearchTest, CancelShowsWhatWasFoundAndClosesThePort)
{
    Bus& first = addBus({1});
    Bus& second = addBus({1, 3});
    makeSearch(BusSearch::kFullAddresses);
    QTimer::singleShot(550, [this] { control<QPushButton>("btn_searchid")->click(); });
    QElapsedTimer clock;
    clock.start();
    search->startFullSearch();
    EXPECT_LT(clock.elapsed(), 2000);
    ASSERT_GE(probes.size(), 4u);
    EXPECT_LT(probes.size(), 10u);
    for (const Probe& probe : probes)
        EXPECT_EQ(probe.bus, 1); // the first port of the list was never reached
    EXPECT_EQ(resultText(), "\n" + line(first, "") + "\n" + line(second, "1 , 3 , "));
    EXPECT_TRUE(shown("rzgrpbx_sch_result"));
    expectClosed();
}

TEST_F(BusSearchTest, ALateReplyIsCreditedToNoAddress)
{
    Bus& late = addBus({2});
    late.pty.setReplyDelay(120); // answers during the next probe
    makeSearch(5);
    search->startFullSearch();
    ASSERT_EQ(probes.size(), 5u);
    // The device did answer, one probe late each time...
    EXPECT_NE(std::find(meterRepliesFrom.begin(), meterRepliesFrom.end(), 1), meterRepliesFrom.end());
    // ...but neither its own address nor the next one counts.
    EXPECT_EQ(resultText(), "\n" + line(late, ""));
    expectClosed();
}

TEST_F(BusSearchTest, APortWithoutPermissionIsNamedAndSkipped)
{
    Bus& allowed = addBus({4});
    Bus& refused = addBus({1});
    makeSearch(5);
    const QString refusedPath = refused.pty.slavePath();
    serial.setAccessCheck([refusedPath](const QString& location) -> std::optional<QString> {
        if (location == refusedPath)
            return QStringLiteral("Permission denied");
        return std::nullopt;
    });
    search->startFullSearch();
    EXPECT_TRUE(prompts.messages.isEmpty());
    for (const Probe& probe : probes)
        EXPECT_EQ(probe.bus, 0);
    EXPECT_EQ(resultText(), "\n" + line(allowed, "4 , ") + "\n" + refusedPath + "--not searched: Permission denied");
    expectClosed();
}

TEST_F(BusSearchTest, APortThatIsGoneEndsTheSearchWithoutAResult)
{
    addBus({1});
    // Searched first; a path no test's terminal can take over.
    morePorts << QStringLiteral("/dev/talvex-test-port-that-is-gone");
    makeSearch(5);
    int progressHidden = 0;
    QObject::connect(search.get(), &BusSearch::hideTransferProgressRequested, [&] { ++progressHidden; });
    search->startFullSearch();
    EXPECT_EQ(prompts.messages, QStringList{"No port or in use."});
    EXPECT_TRUE(probes.empty()); // the other port is not searched
    EXPECT_EQ(progressHidden, 1);
    EXPECT_FALSE(shown("rzgrpbx_sch_result"));
    EXPECT_FALSE(shown("rzgrpbx_searchID"));
    EXPECT_EQ(link.currentPort, kPortFailed);
    EXPECT_FALSE(link.connected || serial.isOpen());
    EXPECT_FALSE(enabled("grp1") || enabled("grp2") || enabled("rzgrpbx5")); // until the result panel closes
}

TEST_F(BusSearchTest, RefusedWhileConnectedOrOnUsb)
{
    addBus({1});
    makeSearch(5);
    link.connected = true;
    search->startFullSearch();
    EXPECT_EQ(prompts.messages, QStringList{"please disconnect and try again."});
    link.connected = false;
    link.usbMode = true;
    link.matchedDevice = 0;
    search->startQuickSearch(); // quietly
    search->startFullSearch();
    EXPECT_EQ(prompts.messages.last(), "Current connection is USB, not a 485.");
    EXPECT_EQ(prompts.messages.size(), 2);
    EXPECT_TRUE(probes.empty());
    EXPECT_TRUE(enabled("grp1") && enabled("grp2") && enabled("rzgrpbx5"));
}

TEST_F(BusSearchTest, ClosingTheWindowEndsASearchWithThePortClosed)
{
    addBus({1});
    makeSearch(BusSearch::kFullAddresses);
    QTimer::singleShot(350, [this] { window.close(); });
    search->startFullSearch();
    EXPECT_LT(probes.size(), 10u);
    EXPECT_FALSE(search->running());
    expectClosed();
}

TEST_F(BusSearchTest, WithNoPortsTheFullSearchShowsAnEmptyResultAndTheQuickSearchNothing)
{
    makeSearch(5);
    search->startQuickSearch();
    EXPECT_FALSE(shown("rzgrpbx_sch_result"));
    EXPECT_TRUE(enabled("grp2"));
    search->startFullSearch();
    EXPECT_TRUE(shown("rzgrpbx_sch_result"));
    EXPECT_EQ(resultText(), "");
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(BusSearchTest, TheWholeAddressRangeOnce)
{
    // The one search at full length: 251 probes of 100 ms.
    Bus& bus = addBus({250, 1});
    makeSearch(BusSearch::kFullAddresses);
    search->startFullSearch();
    ASSERT_EQ(probes.size(), 251u);
    EXPECT_EQ(probes.back().address, 250);
    EXPECT_EQ(resultText(), "\n" + line(bus, "1 , 250 , "));
    EXPECT_EQ(control<QProgressBar>("rzprgrsbr_searchid")->value(), 100);
    expectClosed();
}

// The quick search probes addresses 0 to 10 only (Device IDs 1 to 11) and selects the first answer.
TEST_F(BusSearchTest, TheQuickSearchProbesDeviceIdsOneToEleven)
{
    Bus& bus = addBus({12, 11});
    makeSearch(BusSearch::kFullAddresses);
    search->startQuickSearch();
    ASSERT_EQ(probes.size(), 11u);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(probes[i].address, i);
    EXPECT_EQ(resultText(), "\n" + line(bus, "11 , "));
    EXPECT_EQ(control<QComboBox>("cbb_deviceid")->currentIndex(), 10);
}
