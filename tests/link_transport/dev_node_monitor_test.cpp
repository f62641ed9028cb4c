#include "link/dev_node_monitor.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace talvex;

// The device directory's watch, on a directory of its own: nodes coming and
// going are reported by kind, other files not at all.
TEST(DevNodeMonitor, ReportsHidrawAndTtyNodesComingAndGoing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto monitor = DevNodeMonitor::create(dir.path());
    ASSERT_NE(monitor, nullptr);
    QSignalSpy hid(monitor.get(), &DeviceMonitor::hidDevicesChanged);
    QSignalSpy ports(monitor.get(), &DeviceMonitor::serialPortsChanged);
    auto touch = [&](const char* name) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    };

    touch("hidraw3");
    ASSERT_TRUE(QTest::qWaitFor([&] { return hid.size() == 1; }, 2000));
    touch("ttyUSB0");
    touch("rfcomm0");
    ASSERT_TRUE(QTest::qWaitFor([&] { return ports.size() >= 1; }, 2000));
    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("hidraw3"))));
    ASSERT_TRUE(QTest::qWaitFor([&] { return hid.size() == 2; }, 2000));

    // Writing into a node, or a node of another kind, is no change of devices.
    touch("input7");
    QFile node(dir.filePath(QStringLiteral("ttyUSB0")));
    ASSERT_TRUE(node.open(QIODevice::WriteOnly));
    node.write("x");
    node.close();
    const qsizetype portReports = ports.size();
    QTest::qWait(100);
    EXPECT_EQ(std::pair(hid.size(), ports.size()), std::pair(qsizetype(2), portReports));

    EXPECT_EQ(DevNodeMonitor::create(dir.filePath(QStringLiteral("missing"))), nullptr);
}
