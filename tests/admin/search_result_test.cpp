#include "admin/bus_search.h"
#include "admin/device_admin.h"

#include <gtest/gtest.h>

using namespace talvex;

TEST(SearchResult, OneLinePerPortInListOrderAfterAnEmptyFirstLine)
{
    FoundTable found;
    found.mark("COM3", 0);
    found.mark("COM3", 4);
    found.mark("COM5", 249);
    found.mark("COM5", 250);
    const std::vector<SearchedPort> ports{{"COM3", {}}, {"COM5", {}}, {"COM7", {}}};
    EXPECT_EQ(searchResultText(ports, found, 251),
              "\nCOM3--Device ID:1 , 5 , \nCOM5--Device ID:250 , 251 , \nCOM7--Device ID:");
    // The quick search lists only what it probed.
    EXPECT_EQ(searchResultText(ports, found, 11), "\nCOM3--Device ID:1 , 5 , \nCOM5--Device ID:\nCOM7--Device ID:");
    EXPECT_EQ(searchResultText({}, found, 251), "");
}

TEST(SearchResult, PortsAreKeptByTheirListedNames)
{
    FoundTable found;
    found.mark("/dev/pts/4", 2);
    found.mark("ttyUSB0", 0);
    found.mark("ttyUSB0", -1);  // out of range: ignored
    found.mark("ttyUSB0", 256); // out of range: ignored
    EXPECT_FALSE(found.answered("ttyUSB1", 0));
    EXPECT_FALSE(found.answered("ttyUSB0", 256));
    const std::vector<SearchedPort> ports{{"ttyS0", "Permission denied"}, {"ttyUSB0", {}}, {"/dev/pts/4", {}}};
    EXPECT_EQ(searchResultText(ports, found, 251),
              "\nttyS0--not searched: Permission denied\nttyUSB0--Device ID:1 , \n/dev/pts/4--Device ID:3 , ");
    found.clear();
    EXPECT_FALSE(found.answered("ttyUSB0", 0));
}

TEST(SearchResult, FirstAnsweringIdFollowsListOrderThenAddresses)
{
    FoundTable found;
    const std::vector<SearchedPort> ports{{"COM3", {}}, {"COM5", {}}};
    EXPECT_EQ(firstAnsweringId(ports, found, 11), std::nullopt);
    found.mark("COM5", 1);
    found.mark("COM3", 11); // beyond the quick search's addresses
    EXPECT_EQ(firstAnsweringId(ports, found, 11), 2);
    found.mark("COM3", 7);
    found.mark("COM3", 5);
    EXPECT_EQ(firstAnsweringId(ports, found, 11), 6);
}

TEST(DeviceIdEntry, OnlyWholeNumbersFrom1To250)
{
    for (const char* bad : {"0", "251", "", "-1", "+5", " 5", "5 ", "12a", "1.0", "0x10", "99999999999999999999"})
        EXPECT_EQ(parseDeviceId(bad), std::nullopt) << '"' << bad << '"';
    EXPECT_EQ(parseDeviceId("1"), 1);
    EXPECT_EQ(parseDeviceId("250"), 250);
    EXPECT_EQ(parseDeviceId("007"), 7);
}
