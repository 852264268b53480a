#pragma once

#include <QString>

#include <memory>

class QLockFile;

// Tells whether another copy of the program is running. The lock is held for
// the whole run; a lock left behind by a copy that crashed or was killed is
// recognised as stale (its process is gone) and never blocks the next start.
class SingleInstance {
public:
    // lockPath: the lock file, by default one per user in the temp folder.
    explicit SingleInstance(const QString &lockPath = defaultLockPath());
    ~SingleInstance();

    // True when this is the only copy (the lock is now ours).
    bool acquire();

    static QString defaultLockPath();

private:
    std::unique_ptr<QLockFile> lock_;
};
