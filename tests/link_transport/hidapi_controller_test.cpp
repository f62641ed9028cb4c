#include "link/hidapi_controller.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>

using namespace talvex;

// Runs against whatever HID devices the machine has (usually none in CI): the
// worker thread's start, enumeration hand-over and shutdown must be clean.
TEST(HidapiController, EnumeratesOnItsThreadAndShutsDownCleanly)
{
    for (int round = 0; round < 2; ++round) {
        HidapiController controller;
        QSignalSpy changes(&controller, &HidController::deviceChange);
        QSignalSpy arrivals(&controller, &HidController::arrival);
        QTest::qWait(3 * HidapiController::kPollMs);
        // Present devices are reported as arrivals followed by one change.
        EXPECT_EQ(arrivals.size(), controller.devices().size());
        EXPECT_EQ(changes.size(), controller.devices().isEmpty() ? 0 : 1);

        EXPECT_FALSE(controller.open(-1));
        EXPECT_FALSE(controller.open(int(controller.devices().size())));
        EXPECT_FALSE(controller.isOpen());
        std::uint8_t report[65] = {};
        const HidWriteResult result = controller.write(report);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.errorText.isEmpty());
    }
}

// What can be checked without a device: a device that cannot be opened says why.
TEST(HidapiController, AnOpenThatFailsSaysWhy)
{
    HidapiController controller;
    const HidOpenResult missing = controller.openPath(QStringLiteral("/nonexistent/hidraw99"));
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.errorCode, ENOENT);
    EXPECT_TRUE(missing.errorText.contains(QStringLiteral("No such file or directory")))
        << missing.errorText.toStdString();
    EXPECT_FALSE(controller.isOpen());
    const HidWriteResult write = controller.write(std::array<std::uint8_t, 65>{});
    EXPECT_FALSE(write.ok);
    EXPECT_EQ(write.errorText, QStringLiteral("no device open"));
}

// Behind a device monitor the worker lists the devices only when asked.
TEST(HidapiController, ListsDevicesOnRequestWhenNotPolling)
{
    HidapiController controller;
    controller.setPolling(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller.enumerations() >= 1; }, 2000)); // the first listing
    QTest::qWait(2 * HidapiController::kPollMs + 100);
    const int settled = controller.enumerations();
    EXPECT_LE(settled, 2); // at most one poll slipped in before polling was switched off
    QTest::qWait(2 * HidapiController::kPollMs);
    EXPECT_EQ(controller.enumerations(), settled);

    controller.devicesMayHaveChanged();
    EXPECT_TRUE(QTest::qWaitFor([&] { return controller.enumerations() == settled + 1; }, 1000));
}
