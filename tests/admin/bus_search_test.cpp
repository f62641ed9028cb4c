// The searches against virtual amplifiers on pseudo-terminals, on a bare window
// with the real serial link.

#include "admin/bus_search.h"
#include "fake_hid_controller.h"

#include "support/bare_window.h"
#include "support/qstring_print.h"
#include "support/window.h"

#include <QElapsedTimer>
#include <QProgressBar>

using namespace talvex;
using namespace talvex::testing;

namespace {

// One bus of virtual amplifiers on its own pseudo-terminal.
struct Bus {
    vamp::VirtualBus devices;
    vamp::PtyServer pty{devices};
};

struct Probe {
    int bus;
    int address;
};

// The search on a bare window, its frames going out through a session's real serial link.
class BusSearchTest : public BareWindowTest {
protected:
    // Buses in list order; the ports' names are the terminals' paths.
    Bus& addBus(std::initializer_list<int> ids)
    {
        Bus& bus = *buses.emplace_back(std::make_unique<Bus>());
        for (int id : ids)
            bus.devices.add(id);
        bus.devices.onFrame = [this, index = int(buses.size()) - 1](std::span<const std::uint8_t> f) {
            if (f.size() > 6 && f[6] == frame::kCmdMeters)
                probes.push_back({index, f[3]});
        };
        EXPECT_TRUE(bus.pty.start());
        return bus;
    }

    void makeSearch(int fullAddresses)
    {
        QStringList paths;
        for (auto& bus : buses)
            paths << bus->pty.slavePath();
        Session::Platform platform;
        platform.hid = &hid;
        platform.extraPorts = paths << morePorts;
        platform.enumerator = [this] { return systemPorts; };
        platform.accessCheck = [this](const QString& location) { return refusal(location); };
        platform.hidLockDirectory = hidLocks.path();
        platform.clock = &timers;
        session = std::make_unique<Session>(model, platform);
        session->start();
        QObject::connect(session.get(), &Session::meterReplied, [this](const frame::Reply& reply) {
            meterRepliesFrom.push_back(reply.address());
            search->meterReplied(reply);
        });
        search = std::make_unique<BusSearch>(window, views.search, selection, BusSearch::Link{*session, prompts, timers});
        QObject::connect(search.get(), &BusSearch::lockChanged, [this](BusSearch::Lock lock) {
            showSearchLock(views, lock != BusSearch::Lock::None, lock == BusSearch::Lock::EditingAndConnection);
        });
        search->setFullAddressCount(fullAddresses);
    }

    // Starts a search and waits for its end (a refused one never runs).
    void runSearch(void (BusSearch::*start)())
    {
        (search.get()->*start)();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !search->running(); }, 60000));
    }

    QString resultText() { return control<QPlainTextEdit>("mmo_s_result")->toPlainText(); }
    QString line(const Bus& bus, const char* ids) { return bus.pty.slavePath() + "--Device ID:" + ids; }
    bool groupsOn() const { return enabled("grp1") && enabled("grp2") && enabled("rzgrpbx5"); }
    bool groupsOff() const { return !enabled("grp1") && !enabled("grp2") && !enabled("rzgrpbx5"); }
    // The search left the program disconnected with the port closed, at `number`.
    void expectClosed(int number = kPortNone)
    {
        EXPECT_EQ(session->link(), LinkState::Closed);
        EXPECT_FALSE(session->portHeld());
        EXPECT_EQ(session->portNumber(), number);
    }
    void expectProbedBuses(std::size_t count, std::size_t onSecond)
    {
        ASSERT_EQ(probes.size(), count);
        for (std::size_t i = 0; i < count; ++i)
            EXPECT_EQ(probes[i].bus, i < onSecond ? 1 : 0) << i;
    }

    std::deque<std::unique_ptr<Bus>> buses;
    QStringList morePorts; // listed after the buses' terminals
    std::vector<Probe> probes; // every meter read a bus received, in order
    std::vector<int> meterRepliesFrom;
    std::vector<SerialPortItem> systemPorts; // listed before the --port paths
    PortList::AccessCheck refusal = [](const QString&) { return std::optional<QString>(); };
    QTemporaryDir hidLocks;
    vamp::FakeHidController hid;
    TestClock timers{TestClock::Mode::EventLoop};
    std::unique_ptr<Session> session;
    DeviceSelection selection{views.connection.portList, views.connection.deviceIdList};
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
    bool groupsOffDuringSearch = false; // seen at any moment of the search, however slow the machine
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        groupsOffDuringSearch =
            groupsOffDuringSearch || (search->running() && groupsOff() && shown("rzgrpbx_searchID"));
    });
    poll.start(5);

    runSearch(&BusSearch::startFullSearch);

    EXPECT_TRUE(groupsOffDuringSearch);
    EXPECT_EQ(popupsHidden, 1);
    // The second port first, each at addresses 0..5 ascending.
    expectProbedBuses(12, 6);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(probes[i].address, i % 6) << i;
    EXPECT_EQ(resultText(), "\n" + line(first, "2 , 5 , ") + "\n" + line(second, "1 , 4 , "));
    EXPECT_TRUE(shown("rzgrpbx_sch_result") && !shown("rzgrpbx_searchID"));
    EXPECT_EQ(control("rzgrpbx_sch_result")->pos(), QPoint(6, 411));
    EXPECT_EQ(control<QProgressBar>("rzprgrsbr_searchid")->value(), 100);
    expectClosed();
    EXPECT_TRUE(prompts.messages.isEmpty());
    // The groups come back with the result panel's close button.
    EXPECT_TRUE(groupsOff());
    click("btn5");
    EXPECT_FALSE(shown("rzgrpbx_sch_result"));
    EXPECT_TRUE(groupsOn());
    click("btn42"); // "search result" shows it again
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
    QTimer refresh; // every tick may fall between two ports
    refresh.setTimerType(Qt::PreciseTimer);
    QObject::connect(&refresh, &QTimer::timeout, [&] {
        if (!probes.empty())
            systemPorts = {{"ttyACM0", "/nonexistent/ttyACM0", 0}};
        timers.fire("port list");
    });
    refresh.start(10);

    runSearch(&BusSearch::startFullSearch);

    EXPECT_EQ(session->portTable().size(), 3u); // the new port was listed under the search
    expectProbedBuses(6, 3);
    EXPECT_EQ(resultText(), "\n" + line(first, "1 , ") + "\n" + line(second, "2 , "));
    expectClosed();
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(BusSearchTest, CancelShowsWhatWasFoundAndClosesThePort)
{
    Bus& first = addBus({1});
    Bus& second = addBus({1, 3});
    makeSearch(BusSearch::kFullAddresses);
    QTimer::singleShot(550, [this] { click("btn_searchid"); });
    QElapsedTimer clock;
    clock.start();
    runSearch(&BusSearch::startFullSearch);
    EXPECT_LT(clock.elapsed(), 2000);
    ASSERT_GE(probes.size(), 4u);
    EXPECT_LT(probes.size(), 10u);
    expectProbedBuses(probes.size(), probes.size()); // the first port of the list was never reached
    EXPECT_EQ(resultText(), "\n" + line(first, "") + "\n" + line(second, "1 , 3 , "));
    EXPECT_TRUE(shown("rzgrpbx_sch_result"));
    expectClosed();
}

TEST_F(BusSearchTest, ALateReplyIsCreditedToNoAddress)
{
    Bus& late = addBus({2});
    late.pty.setReplyDelay(120); // answers during the next probe
    makeSearch(5);
    int lateReplies = 0;
    QObject::connect(session.get(), &Session::lateReply, [&lateReplies] { ++lateReplies; });
    runSearch(&BusSearch::startFullSearch);
    ASSERT_EQ(probes.size(), 5u);
    // The device did answer, one probe late each time, but neither its own address nor the next one counts.
    EXPECT_GE(lateReplies, 1);
    EXPECT_EQ(std::find(meterRepliesFrom.begin(), meterRepliesFrom.end(), 1), meterRepliesFrom.end());
    EXPECT_EQ(resultText(), "\n" + line(late, ""));
    expectClosed();
}

TEST_F(BusSearchTest, APortWithoutPermissionIsNamedAndSkipped)
{
    Bus& allowed = addBus({4});
    const QString refused = addBus({1}).pty.slavePath();
    makeSearch(5);
    refusal = [refused](const QString& location) -> std::optional<QString> {
        return location == refused ? std::optional<QString>(QStringLiteral("Permission denied")) : std::nullopt;
    };
    runSearch(&BusSearch::startFullSearch);
    EXPECT_TRUE(prompts.messages.isEmpty());
    expectProbedBuses(probes.size(), 0);
    EXPECT_EQ(resultText(), "\n" + line(allowed, "4 , ") + "\n" + refused + "--not searched: Permission denied");
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
    runSearch(&BusSearch::startFullSearch);
    EXPECT_EQ(prompts.messages, QStringList{"No port or in use."});
    EXPECT_TRUE(probes.empty()); // the other port is not searched
    EXPECT_EQ(progressHidden, 1);
    EXPECT_FALSE(shown("rzgrpbx_sch_result") || shown("rzgrpbx_searchID"));
    expectClosed(kPortFailed);
    EXPECT_TRUE(groupsOff()); // until the result panel closes
}

TEST_F(BusSearchTest, RefusedWhileConnectedOrOnUsb)
{
    addBus({1});
    makeSearch(5);
    session->choosePort(0, buses[0]->pty.slavePath());
    session->connectLink();
    ASSERT_TRUE(session->linkOpen());
    runSearch(&BusSearch::startFullSearch);
    EXPECT_EQ(prompts.messages, QStringList{"please disconnect and try again."});
    session->disconnectLink();
    // An amplifier plugged in that waits for the user's Connect.
    session->holdAutomaticConnect(true);
    hid.plug(vamp::FakeHidController::amplifierInfo());
    ASSERT_TRUE(QTest::qWaitFor([this] { return session->usbMatched(); }, 2000));
    probes.clear();
    runSearch(&BusSearch::startQuickSearch); // quietly
    runSearch(&BusSearch::startFullSearch);
    EXPECT_EQ(prompts.messages.last(), "Current connection is USB, not a 485.");
    EXPECT_EQ(prompts.messages.size(), 2);
    EXPECT_TRUE(probes.empty());
    EXPECT_TRUE(groupsOn());
}

TEST_F(BusSearchTest, ClosingTheWindowEndsASearchWithThePortClosed)
{
    addBus({1});
    makeSearch(BusSearch::kFullAddresses);
    QTimer::singleShot(350, [this] { window.close(); });
    runSearch(&BusSearch::startFullSearch);
    EXPECT_LT(probes.size(), 10u);
    EXPECT_FALSE(search->running());
    expectClosed();
}

TEST_F(BusSearchTest, WithNoPortsTheFullSearchShowsAnEmptyResultAndTheQuickSearchNothing)
{
    makeSearch(5);
    runSearch(&BusSearch::startQuickSearch);
    EXPECT_TRUE(!shown("rzgrpbx_sch_result") && enabled("grp2"));
    runSearch(&BusSearch::startFullSearch);
    EXPECT_TRUE(shown("rzgrpbx_sch_result"));
    EXPECT_EQ(resultText(), "");
    EXPECT_TRUE(prompts.messages.isEmpty());
}

// The quick search probes addresses 0 to 10 only (Device IDs 1 to 11) and selects the first answer.
TEST_F(BusSearchTest, TheQuickSearchProbesDeviceIdsOneToEleven)
{
    Bus& bus = addBus({12, 11});
    makeSearch(BusSearch::kFullAddresses);
    runSearch(&BusSearch::startQuickSearch);
    ASSERT_EQ(probes.size(), 11u);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(probes[i].address, i);
    EXPECT_EQ(resultText(), "\n" + line(bus, "11 , "));
    EXPECT_EQ(control<QComboBox>("cbb_deviceid")->currentIndex(), 10);
}

TEST(SearchResult, LinesInListOrderWithinTheProbedAddresses)
{
    FoundTable found;
    for (int address : {0, 4, 11, 250, 256, -1}) // the last two are out of range
        found.mark("COM3", address);
    found.mark("/dev/pts/4", 1);
    const std::vector<SearchedPort> ports{{"ttyS0", "Permission denied"}, {"COM3", {}}, {"/dev/pts/4", {}}};
    EXPECT_EQ(searchResultText(ports, found, 251), "\nttyS0--not searched: Permission denied"
                                                   "\nCOM3--Device ID:1 , 5 , 12 , 251 , \n/dev/pts/4--Device ID:2 , ");
    EXPECT_EQ(searchResultText(ports, found, 11),
              "\nttyS0--not searched: Permission denied\nCOM3--Device ID:1 , 5 , \n/dev/pts/4--Device ID:2 , ");
    EXPECT_EQ(searchResultText({}, found, 251), "");
    // The quick search selects the first answer: ports in list order, then addresses.
    EXPECT_EQ(firstAnsweringId({ports[2], ports[1]}, found, 11), 2);
    EXPECT_EQ(firstAnsweringId(ports, found, 11), 1);
    found.clear();
    EXPECT_EQ(firstAnsweringId(ports, found, 251), std::nullopt);
}
