#include "link/hid_device_lock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>

namespace talvex {

HidDeviceLock::HidDeviceLock(QString directory) : directory_(std::move(directory)) {}

HidDeviceLock::~HidDeviceLock() = default;

QString HidDeviceLock::defaultDirectory()
{
#ifdef Q_OS_WIN
    // %ProgramData% is one folder for every user of the PC (their %TEMP% is each
    // their own); every user may create files in a folder made there.
    const QString shared = qEnvironmentVariable("ProgramData");
    if (!shared.isEmpty()) {
        const QString folder = QDir(shared).filePath(QStringLiteral("Talvex-96K"));
        if (QDir().mkpath(folder))
            return folder;
    }
    return QDir::tempPath();
#else
    // /tmp, not $TMPDIR: one directory for every user of the machine, sticky,
    // so no user removes another's lock.
    return QStringLiteral("/tmp");
#endif
}

void HidDeviceLock::setDirectory(const QString& directory)
{
    release();
    directory_ = directory;
}

QString HidDeviceLock::fileFor(const QString& devicePath) const
{
    // Device paths hold slashes and colons; the file is named by a digest of the path.
    const QByteArray digest = QCryptographicHash::hash(devicePath.toUtf8(), QCryptographicHash::Sha1).toHex();
    return QDir(directory_).filePath(QStringLiteral("talvex-96k-hid-%1.lock").arg(QString::fromLatin1(digest.left(16))));
}

bool HidDeviceLock::acquire(const QString& devicePath)
{
    if (!heldPath_.isEmpty() && heldPath_ == devicePath)
        return true;
    release();
    auto file = std::make_unique<QLockFile>(fileFor(devicePath));
    // Only a dead owner makes a lock stale; an editor holds its device for hours.
    file->setStaleLockTime(0);
    if (!file->tryLock(0)) {
        if (file->error() == QLockFile::LockFailedError)
            return false; // another editor has it
        // No lock file can be written here: the amplifier is not kept from the
        // user for that; it is used without the guard.
        file.reset();
    }
    file_ = std::move(file);
    heldPath_ = devicePath;
    return true;
}

void HidDeviceLock::release()
{
    file_.reset(); // unlocks
    heldPath_.clear();
}

} // namespace talvex
