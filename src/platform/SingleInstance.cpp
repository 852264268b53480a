#include "platform/SingleInstance.h"

#include <QDir>
#include <QLockFile>

#include <unistd.h>

SingleInstance::SingleInstance(const QString &lockPath) : lock_(std::make_unique<QLockFile>(lockPath))
{
    // Staleness is decided by whether the owning process still lives, never by age:
    // a copy that has run for days still holds its lock.
    lock_->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire()
{
    if (lock_->isLocked())
        return true;
    // tryLock takes over a lock whose process is gone (killed, crashed).
    return lock_->tryLock(0);
}

QString SingleInstance::defaultLockPath()
{
    return QDir(QDir::tempPath()).filePath(QStringLiteral("quorvane-dzq-%1.lock").arg(getuid()));
}
