#pragma once

#include <QString>

// Tells whether another copy of the program is running for this user. The
// lock is a lock held on a file for the whole run, so the system lets it go
// when the copy ends, however it ends (a crash, kill -9). The file lies in a
// folder only the user can write, and a file there that is a link or that
// another user owns is never trusted: nobody else can stop the program
// from starting.
class SingleInstance {
public:
    // lockPath: the lock file; empty when no private folder could be had,
    // and then every copy starts.
    explicit SingleInstance(const QString &lockPath = defaultLockPath());
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // True unless another copy holds the lock (the lock is now ours, or
    // there is no trustworthy lock to take).
    bool acquire();
    bool holdsLock() const { return fd_ >= 0; }
    QString path() const { return path_; }

    // In the runtime folder of the session (XDG_RUNTIME_DIR), else in the
    // user's cache folder.
    static QString defaultLockPath();
    // runtimeDir when it is a private folder of this user, else the folder
    // "quorvane-dzq" in cacheDir (made private); empty when neither is.
    static QString lockFolder(const QString &runtimeDir, const QString &cacheDir);
    // A real folder (not a link), owned by this user, that nobody else may
    // write into.
    static bool isPrivateFolder(const QString &path);

private:
    QString path_;
    int fd_ = -1;
};
