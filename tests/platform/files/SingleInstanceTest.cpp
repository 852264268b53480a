#include "TestMain.h"

#include "platform/files/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A user id that is not ours, for files "planted by another user"; only
// root can give a file away.
constexpr uid_t kOtherUser = 4242;
bool canChangeOwners()
{
    return geteuid() == 0;
}

void makeFile(const QString &path, const QByteArray &content = "1\n")
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

// Another process that holds `path` locked as a running copy does: a shell
// that takes the lock, then becomes `sleep` with the lock still held.
struct LockHolder {
    mutable QProcess process;
    explicit LockHolder(const QString &path)
    {
        process.start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                             QStringLiteral("exec 9>>\"$1\" && flock 9 && exec sleep 60"),
                                             QStringLiteral("sh"), path});
    }
    bool holding(const QString &path) const
    {
        // It has the lock once a try of our own fails.
        for (int i = 0; i < 200; ++i) {
            if (process.state() == QProcess::NotRunning) {
                qWarning() << "lock holder ended:" << process.readAllStandardError();
                return false;
            }
            QProcess check;
            check.start(QStringLiteral("flock"), {QStringLiteral("-n"), path, QStringLiteral("true")});
            check.waitForFinished();
            if (check.exitCode() != 0)
                return true;
            QTest::qWait(10);
        }
        return false;
    }
    ~LockHolder()
    {
        process.kill();
        process.waitForFinished();
    }
};

}  // namespace

// The single-instance lock: one copy per user, and nobody else can stop it.
class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    void secondCopyIsRefused()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath("dzq.lock");
        SingleInstance first(lock);
        QVERIFY(first.acquire());
        QVERIFY(first.holdsLock());
        // A second lock object on the same file is refused as another process is.
        SingleInstance second(lock);
        QVERIFY(!second.acquire());
    }

    void anotherProcessHoldsTheLockUntilItIsKilled()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath("dzq.lock");
        {
            LockHolder other(lock);
            QVERIFY(other.holding(lock));
            SingleInstance next(lock);
            QVERIFY(!next.acquire());
            // kill -9: the system lets the lock go with the process.
        }
        SingleInstance next(lock);
        QVERIFY(next.acquire());
    }

    void fileLeftByAnEndedCopyNeverBlocks()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath("dzq.lock");
        makeFile(lock, "99999\ndzq\n");
        SingleInstance next(lock);
        QVERIFY(next.acquire());
        QVERIFY(next.holdsLock());
    }

    void plantedLocksAreNeverTrusted_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("symlink to a file") << "link";
        QTest::newRow("symlink to a held lock") << "link-held";
        QTest::newRow("dangling symlink") << "dangling";
        QTest::newRow("another user's file") << "other";
        QTest::newRow("another user's held lock") << "other-held";
        QTest::newRow("a folder") << "folder";
        QTest::newRow("a fifo") << "fifo";
    }

    void plantedLocksAreNeverTrusted()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir, elsewhere;
        const QString lock = dir.filePath("dzq.lock");
        const QString target = elsewhere.filePath("target");
        makeFile(target, "keep");
        std::unique_ptr<LockHolder> holder;
        if (kind.startsWith("link") || kind == "dangling") {
            if (kind == "link-held") {
                holder = std::make_unique<LockHolder>(target);
                QVERIFY(holder->holding(target));
            }
            QVERIFY(QFile::link(kind == "dangling" ? elsewhere.filePath("none") : target, lock));
        } else if (kind.startsWith("other")) {
            if (!canChangeOwners())
                QSKIP("only root can plant a file of another user");
            makeFile(lock);
            QCOMPARE(::chown(QFile::encodeName(lock).constData(), kOtherUser, kOtherUser), 0);
            ::chmod(QFile::encodeName(lock).constData(), 0644);
            if (kind == "other-held") {
                holder = std::make_unique<LockHolder>(lock);
                QVERIFY(holder->holding(lock));
            }
        } else if (kind == "folder") {
            QVERIFY(QDir(dir.path()).mkdir("dzq.lock"));
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(lock).constData(), 0600), 0);
        }

        SingleInstance copy(lock);
        QVERIFY2(copy.acquire(), "a planted lock stopped the program from starting");
        // What was planted is out of the way and the lock is ours, or (a
        // folder that cannot be removed) the program starts without one.
        if (kind != "folder") {
            QVERIFY(copy.holdsLock());
            QFileInfo info(lock);
            QVERIFY(!info.isSymLink());
            QVERIFY(info.isFile());
            QCOMPARE(info.ownerId(), uint(geteuid()));
            SingleInstance second(lock);
            QVERIFY(!second.acquire());
        }
        // Whatever a link pointed at is untouched, and nothing was made there.
        QVERIFY(!QFileInfo::exists(elsewhere.filePath("none")));
        QFile t(target);
        QVERIFY(t.open(QIODevice::ReadOnly));
        QCOMPARE(t.readAll(), QByteArray("keep"));
    }

    void lockFolderIsPrivate()
    {
        QTemporaryDir runtime, cache, other;
        const QByteArray runtimeName = QFile::encodeName(runtime.path());
        const QString cacheFolder = QDir(cache.path()).filePath("quorvane-dzq");
        QCOMPARE(::chmod(runtimeName.constData(), 0700), 0);
        QCOMPARE(SingleInstance::lockFolder(runtime.path(), cache.path()), runtime.path());
        QVERIFY(!QFileInfo::exists(cacheFolder));

        // A runtime folder others may write into, a relative one, a link,
        // none: the cache folder, made private.
        QCOMPARE(::chmod(runtimeName.constData(), 0777), 0);
        const QString link = QDir(other.path()).filePath("runtime-link");
        QVERIFY(QFile::link(runtime.path(), link));
        QCOMPARE(::chmod(runtimeName.constData(), 0700), 0);
        for (const QString &candidate : {QStringLiteral("relative/run"), link, QString()})
            QCOMPARE(SingleInstance::lockFolder(candidate, cache.path()), cacheFolder);
        QCOMPARE(::chmod(runtimeName.constData(), 0777), 0);
        QCOMPARE(SingleInstance::lockFolder(runtime.path(), cache.path()), cacheFolder);
        QVERIFY(!(QFileInfo(cacheFolder).permissions() & (QFile::WriteGroup | QFile::WriteOther)));

        // Our cache folder opened up to others is made private again.
        QCOMPARE(::chmod(QFile::encodeName(cacheFolder).constData(), 0777), 0);
        QCOMPARE(SingleInstance::lockFolder(QString(), cache.path()), cacheFolder);
        QVERIFY(SingleInstance::isPrivateFolder(cacheFolder));

        // A cache folder planted as a link is not used: no lock, and the
        // program starts.
        QTemporaryDir cache2;
        QVERIFY(QFile::link(other.path(), QDir(cache2.path()).filePath("quorvane-dzq")));
        QCOMPARE(SingleInstance::lockFolder(QString(), cache2.path()), QString());
        SingleInstance noLock{QString()};
        QVERIFY(noLock.acquire());
        QVERIFY(!noLock.holdsLock());

        if (canChangeOwners()) {
            // Folders of another user are never ours, however open.
            QCOMPARE(::chmod(runtimeName.constData(), 0700), 0);
            QCOMPARE(::chown(runtimeName.constData(), kOtherUser, kOtherUser), 0);
            QCOMPARE(SingleInstance::lockFolder(runtime.path(), cache.path()), cacheFolder);
            QTemporaryDir cache3;
            const QByteArray planted = QFile::encodeName(QDir(cache3.path()).filePath("quorvane-dzq"));
            QCOMPARE(::mkdir(planted.constData(), 0700), 0);
            QCOMPARE(::chown(planted.constData(), kOtherUser, kOtherUser), 0);
            QCOMPARE(SingleInstance::lockFolder(QString(), cache3.path()), QString());
            QCOMPARE(::chown(runtimeName.constData(), geteuid(), getegid()), 0);
        }
    }

    void defaultLockFollowsTheEnvironment()
    {
        QTemporaryDir runtime;
        ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QCOMPARE(QFileInfo(SingleInstance::defaultLockPath()).path(), runtime.path());
        if (saved.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", saved);
    }
};

DZQ_REGISTER_TEST(SingleInstanceTest)
#include "SingleInstanceTest.moc"
