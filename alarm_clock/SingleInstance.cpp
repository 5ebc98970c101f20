#include "SingleInstance.h"

#include "KestrumLog.h"
#include "TextFile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace kestrum {

namespace {

// Whether `folder` is a folder of this user's that no one else may enter:
// not a link, owned by the user, mode 0700.
bool isPrivateFolder(const QString &folder)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(folder).constData(), &status) == 0 && S_ISDIR(status.st_mode)
           && status.st_uid == ::geteuid() && (status.st_mode & 07777) == 0700;
}

// Makes `folder` for this user alone, or finds it so; false when it is not
// (another user made it first, or it is a link, or open to others).
bool makePrivateFolder(const QString &folder)
{
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), 0700) == 0)
        ::chmod(name.constData(), 0700);  // in case the umask took bits away
    return isPrivateFolder(folder);
}

}  // namespace

SingleInstance::SingleInstance(const QString &lockPath)
    : path_(lockPath.isEmpty() ? defaultLockPath() : lockPath)
{
}

SingleInstance::~SingleInstance()
{
    if (lock_ && held_)
        lock_->unlock();
}

QString SingleInstance::defaultLockPath()
{
    // Without XDG_RUNTIME_DIR, Qt would warn and make a folder of its own
    // choosing; a private folder of this user's under the temporary one does.
    // Anyone may make that name first, so the folder is used only when it is
    // this user's alone; otherwise a folder under the user's cache folder,
    // which no one else can reach, holds the lock.
    QString folder;
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath() + QStringLiteral("/kestrum-%1").arg(::getuid());
        if (!makePrivateFolder(folder)) {
            const QString own =
                QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/kestrum");
            qCWarning(kestrumLog).noquote() << QStringLiteral("%1 is not a folder of this user's alone; the lock goes to %2")
                                                   .arg(QDir::toNativeSeparators(folder), QDir::toNativeSeparators(own));
            platform::makeFolders(own, 0700);
            folder = own;
        }
    }
    return folder + QStringLiteral("/Kestrum.lock");
}

SingleInstance::Result SingleInstance::acquire()
{
    if (held_)
        return Result::Acquired;
    // A lock file that is not this user's own proves nothing about a running
    // Kestrum of this user's: it goes, and where it cannot, the program runs
    // without noticing a second copy rather than not at all.
    struct stat status {};
    const QByteArray name = QFile::encodeName(path_);
    if (::lstat(name.constData(), &status) == 0 && (status.st_uid != ::geteuid() || !S_ISREG(status.st_mode))) {
        qCWarning(kestrumLog) << "the lock file" << path_ << "is not this user's; it is not taken as a running copy";
        if (::unlink(name.constData()) != 0 && errno != ENOENT)
            return Result::Unavailable;
    }
    if (!lock_) {
        lock_ = std::make_unique<QLockFile>(path_);
        // Never stale by age: a copy that has run for weeks still holds it.
        // A lock whose process is gone is stale and taken over all the same.
        lock_->setStaleLockTime(0);
    }
    held_ = lock_->tryLock(0);
    if (held_)
        return Result::Acquired;
    if (lock_->error() == QLockFile::LockFailedError)
        return Result::HeldElsewhere;
    qCWarning(kestrumLog) << "cannot make the lock file" << path_ << "- a second copy will not be noticed";
    return Result::Unavailable;
}

}  // namespace kestrum
