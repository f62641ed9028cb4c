#pragma once
// Gives a HID device to one editor at a time. hidraw is not exclusive: two
// editors on one amplifier would each receive the other's replies. Before an
// editor opens a device it takes a lock file named after the device path in a
// directory every editor of the machine uses; another editor finds it taken.
// The lock is held only while the owning editor runs: one left behind by an
// editor that crashed is taken over, however old it is.

#include <QString>

#include <memory>

class QLockFile;

namespace talvex {

class HidDeviceLock {
public:
    explicit HidDeviceLock(QString directory = defaultDirectory());
    ~HidDeviceLock();
    HidDeviceLock(const HidDeviceLock&) = delete;
    HidDeviceLock& operator=(const HidDeviceLock&) = delete;

    // One directory for every user of the machine, so that two users of a shared
    // PC are kept off the same amplifier too: %ProgramData%\Talvex-96K on
    // Windows (the user's own %TEMP% where that cannot be made), /tmp elsewhere.
    static QString defaultDirectory();
    // Releases the lock held and uses `directory` from now on.
    void setDirectory(const QString& directory);

    // Takes the device at `devicePath` (releasing any other one held); false when
    // another editor holds it. Where no lock file can be written at all, the
    // device is taken without one.
    bool acquire(const QString& devicePath);
    void release();
    // The path of the device held; empty when none.
    const QString& heldPath() const { return heldPath_; }
    // The lock file of a device path.
    QString fileFor(const QString& devicePath) const;

private:
    QString directory_;
    QString heldPath_;
    std::unique_ptr<QLockFile> file_;
};

} // namespace talvex
