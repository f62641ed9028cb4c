#include "admin/bus_search.h"
#include "admin/device_admin.h"

#include <gtest/gtest.h>

using namespace talvex;

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

TEST(DeviceIdEntry, OnlyWholeNumbersFrom1To250)
{
    for (const char* bad : {"0", "251", "", "-1", "+5", " 5", "12a", "1.0", "99999999999999999999"})
        EXPECT_EQ(parseDeviceId(bad), std::nullopt) << '"' << bad << '"';
    EXPECT_EQ(parseDeviceId("1"), 1);
    EXPECT_EQ(parseDeviceId("250"), 250);
    EXPECT_EQ(parseDeviceId("007"), 7);
}
