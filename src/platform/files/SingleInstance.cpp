#include "platform/files/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kLockName[] = "quorvane-dzq.lock";
const char kCacheFolderName[] = "quorvane-dzq";

bool ownedByMe(const struct stat &st)
{
    return st.st_uid == geteuid();
}

// Opens the lock file of our own, never through a link. -1 when the path
// holds something not to be trusted (a link, a folder, another user's
// file) or cannot be opened at all; `untrusted` tells the first case.
int openOwnFile(const QByteArray &path, bool *untrusted)
{
    *untrusted = false;
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        *untrusted = errno == ELOOP || errno == EISDIR || errno == EACCES || errno == EPERM || errno == ENXIO;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !ownedByMe(st)) {
        ::close(fd);
        *untrusted = true;
        return -1;
    }
    return fd;
}

}  // namespace

SingleInstance::SingleInstance(const QString &lockPath) : path_(lockPath) {}

SingleInstance::~SingleInstance()
{
    if (fd_ >= 0)
        ::close(fd_);  // lets the lock go; the file stays for the next run
}

bool SingleInstance::acquire()
{
    if (fd_ >= 0 || path_.isEmpty())
        return true;
    const QByteArray path = QFile::encodeName(path_);
    int fd = -1;
    // What is not ours is put out of the way once; if it cannot be, the
    // program starts without the check rather than not at all.
    for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
        bool untrusted = false;
        fd = openOwnFile(path, &untrusted);
        if (fd < 0 && (!untrusted || ::unlink(path.constData()) != 0))
            return true;
    }
    if (fd < 0)
        return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        // A file system without locks cannot tell; it must not stop the start.
        return !held;
    }
    // The holder's process id, only a note for whoever looks at the file.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0) {
        const ssize_t written = ::write(fd, pid.constData(), size_t(pid.size()));
        Q_UNUSED(written);
    }
    fd_ = fd;
    return true;
}

bool SingleInstance::isPrivateFolder(const QString &path)
{
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return false;
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && ownedByMe(st) && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

QString SingleInstance::lockFolder(const QString &runtimeDir, const QString &cacheDir)
{
    if (isPrivateFolder(runtimeDir))
        return runtimeDir;
    if (cacheDir.isEmpty() || !QDir::isAbsolutePath(cacheDir))
        return QString();
    QDir().mkpath(cacheDir);
    const QString folder = QDir(cacheDir).filePath(QString::fromLatin1(kCacheFolderName));
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return QString();
    // A folder of ours that others may write into is made private again.
    struct stat st {};
    if (::lstat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode) && ownedByMe(st)
        && (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        ::chmod(name.constData(), 0700);
    return isPrivateFolder(folder) ? folder : QString();
}

QString SingleInstance::defaultLockPath()
{
    const QString folder = lockFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"),
                                      QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation));
    return folder.isEmpty() ? QString() : QDir(folder).filePath(QString::fromLatin1(kLockName));
}
