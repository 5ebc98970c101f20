#include "SingleInstance.h"

#include "KestrumLog.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <unistd.h>

namespace kestrum {

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
    QString folder;
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath() + QStringLiteral("/kestrum-%1").arg(::getuid());
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    return folder + QStringLiteral("/Kestrum.lock");
}

SingleInstance::Result SingleInstance::acquire()
{
    if (held_)
        return Result::Acquired;
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
