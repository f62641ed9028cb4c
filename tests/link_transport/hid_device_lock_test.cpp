#include "link/hid_device_lock.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace talvex;

const QString kPath = QStringLiteral("/dev/hidraw3");

TEST(HidDeviceLock, OneHolderPerDevicePathUnlessNoLockCanBeWritten)
{
    QTemporaryDir dir;
    HidDeviceLock first(dir.path());
    HidDeviceLock second(dir.path());
    ASSERT_TRUE(first.acquire(kPath));
    EXPECT_TRUE(first.acquire(kPath)); // taking it again is harmless
    EXPECT_FALSE(second.acquire(kPath));
    EXPECT_TRUE(second.heldPath().isEmpty());
    EXPECT_TRUE(second.acquire(QStringLiteral("/dev/hidraw4")));

    // Taking another device lets go of the first.
    ASSERT_TRUE(first.acquire(QStringLiteral("/dev/hidraw5")));
    EXPECT_FALSE(QFile::exists(first.fileFor(kPath)));
    EXPECT_TRUE(second.acquire(kPath));
    EXPECT_FALSE(first.acquire(kPath));
    second.release();
    EXPECT_TRUE(first.acquire(kPath));

    // No writable directory does not keep the device from the user.
    HidDeviceLock unwritable(dir.filePath(QStringLiteral("missing/deeper")));
    EXPECT_TRUE(unwritable.acquire(kPath));
    EXPECT_EQ(unwritable.heldPath(), kPath);
}

#ifdef Q_OS_UNIX
TEST(HidDeviceLock, ALockLeftByAnEditorThatDiedIsTakenOver)
{
    QTemporaryDir dir;
    const pid_t child = fork();
    if (child == 0) {
        auto* lock = new HidDeviceLock(dir.path()); // never released: the process just ends
        _exit(lock->acquire(kPath) ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    HidDeviceLock lock(dir.path());
    ASSERT_TRUE(QFile::exists(lock.fileFor(kPath)));
    EXPECT_TRUE(lock.acquire(kPath));
}
#endif
