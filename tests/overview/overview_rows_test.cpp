// The overview's rows: which device each poll goes to, when a device counts
// as silent and as answering again, and the alarm at the threshold.

#include "link/frame.h"
#include "overview/overview_rows.h"

#include <gtest/gtest.h>

using namespace talvex;
using namespace talvex::overview;

namespace {

// Devices 1, 3 and 4 on COM3 (3 selected), 2 on COM5.
BusRows busRows()
{
    BusRows rows;
    rows.addFound({{"COM3", {3, 0, 2}}, {"COM5", {1}}});
    rows.linkOpened("COM3", 2, 100);
    return rows;
}

} // namespace

TEST(OverviewRows, PollsTheOtherDevicesOfTheOpenPortInTurnAndReadsEachOnce)
{
    BusRows rows = busRows();
    std::vector<std::pair<int, int>> polls;
    for (int t = 0; t < 6; ++t) {
        const auto poll = rows.nextPoll(100 + t);
        ASSERT_TRUE(poll);
        polls.emplace_back(poll->address, poll->command);
        // Address 0 answers everything; address 3 answers nothing.
        if (poll->address == 0) {
            if (poll->command == frame::kCmdMeters)
                rows.metersArrived(0, 10, 2);
            else if (poll->command == frame::kCmdReadSystemRecord)
                rows.systemRecordArrived(0, 2, 12);
            else
                rows.presetNamesArrived(0, {});
        }
    }
    const std::vector<std::pair<int, int>> expected = {
        {0, frame::kCmdMeters},         {3, frame::kCmdMeters}, {0, frame::kCmdReadSystemRecord},
        {3, frame::kCmdMeters},         {0, frame::kCmdReadPresetNames}, {3, frame::kCmdMeters},
    };
    EXPECT_EQ(polls, expected);
    EXPECT_EQ(rows.rows().size(), 4u);
    EXPECT_EQ(rows.rows()[0].port + std::to_string(rows.rows()[0].address), "COM30"); // grouped, ascending
    EXPECT_EQ(presetText(rows.rows()[0]), "Usr1:                    ");
    EXPECT_EQ(attenuationText(rows.rows()[0]), "2 dB");
}

TEST(OverviewRows, ThreeMissedPollsInARowMakeADeviceSilentAndOneReplyAnsweringAgain)
{
    BusRows rows;
    rows.addFound({{"COM3", {0, 1}}});
    rows.linkOpened("COM3", 0, 0);
    const auto row = [&] { return rows.rows()[1]; };
    // Polls at 10, 11, 12: the third miss is counted when the fourth poll is due.
    for (int t = 10; t <= 12; ++t) {
        rows.nextPoll(t);
        EXPECT_EQ(stateText(row()), "answering");
    }
    rows.nextPoll(3600 + 61);
    EXPECT_EQ(stateText(row()), "silent since 00:00:10");
    rows.metersArrived(1, 5, 0);
    EXPECT_EQ(stateText(row()), "answering");
    // A reply between misses breaks the run.
    rows.nextPoll(20), rows.nextPoll(21), rows.metersArrived(1, 5, 0), rows.nextPoll(22), rows.nextPoll(23);
    EXPECT_FALSE(row().silent);
    // The port closing makes every row of it silent at once; nothing else changes.
    rows.linkClosed(3600 * 13 + 5);
    EXPECT_EQ(stateText(rows.rows()[0]), "silent since 13:00:05");
    EXPECT_EQ(temperatureText(row()), "60");
    EXPECT_FALSE(rows.nextPoll(30));
}

TEST(OverviewRows, AlarmAtOrAboveTheDevicesOwnThreshold)
{
    struct Case {
        int temperatureStep, thresholdStep;
        bool alarm;
    } cases[] = {{10, 10, true}, {9, 10, true}, {11, 10, false}, {0, 0, true}, {30, 29, false}};
    for (const Case& c : cases) {
        BusRows rows;
        rows.addFound({{"COM3", {0}}});
        rows.linkOpened("COM3", 0, 0);
        rows.metersArrived(0, c.temperatureStep, 0);
        EXPECT_EQ(rows.alarmCount(), 0) << "no threshold read yet";
        rows.systemRecordArrived(0, 1, c.thresholdStep);
        EXPECT_EQ(rows.alarmCount(), c.alarm ? 1 : 0) << c.temperatureStep << " vs " << c.thresholdStep;
    }
}
