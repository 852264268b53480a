#include "TestMain.h"

#include "platform/RecordFolder.h"
#include "platform/SingleInstance.h"
#include "platform/TextFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

// Files of the machine: the single-instance lock, the record folder and the
// GBK text files.
class PlatformFilesTest : public QObject {
    Q_OBJECT
private slots:
    void secondCopyIsRefused()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath("dzq.lock");
        SingleInstance first(lock);
        QVERIFY(first.acquire());
        // The second copy is another process in real life; a second lock
        // object on the same file behaves the same for QLockFile.
        SingleInstance second(lock);
        QVERIFY(!second.acquire());
    }

    void staleLockOfAKilledCopyNeverBlocks()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath("dzq.lock");
        // A process that took the lock and was killed: its pid is gone.
        QProcess victim;
        victim.start("sleep", {"30"});
        QVERIFY(victim.waitForStarted());
        const qint64 pid = victim.processId();
        victim.kill();
        victim.waitForFinished();
        QFile f(lock);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::number(pid) + "\ndzq\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        f.close();
        SingleInstance next(lock);
        QVERIFY(next.acquire());
    }

    void recordFolderBesideTheProgram()
    {
        QTemporaryDir program, documents;
        const QString folder = RecordFolder::locate(program.path(), documents.path());
        QCOMPARE(folder, QDir(program.path()).filePath("演奏记录"));
        QVERIFY(QFileInfo(folder).isDir());
    }

    void recordFolderFallsBackToDocumentsWithTheShippedFiles()
    {
        if (getuid() == 0)
            QSKIP("root can write into a read-only folder");
        QTemporaryDir program, documents;
        const QString shipped = QDir(program.path()).filePath("演奏记录");
        QVERIFY(QDir().mkpath(shipped));
        QFile rhythm(QDir(shipped).filePath("1-24.bin"));
        QVERIFY(rhythm.open(QIODevice::WriteOnly));
        rhythm.write("x");
        rhythm.close();
        QFile::setPermissions(shipped, QFile::ReadOwner | QFile::ExeOwner);
        const QString folder = RecordFolder::locate(program.path(), documents.path());
        QFile::setPermissions(shipped, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(folder, QDir(documents.path()).filePath("演奏记录"));
        QVERIFY(QFileInfo::exists(QDir(folder).filePath("1-24.bin")));
    }

    void linesJoin()
    {
        QCOMPARE(TextFiles::joinLines("KC8KD8\r\nKE8\r\nTZ"), QString("KC8KD8KE8TZ"));
        QCOMPARE(TextFiles::joinLines("KC8\rKD8\r\n"), QString("KC8KD8"));
        QCOMPARE(TextFiles::joinLines("KC8\nKD8"), QString("KC8\nKD8"));  // a lone LF stays
        QCOMPARE(TextFiles::joinLines("A\r\r\nB"), QString("AB"));
    }

    void gbkRoundTrip()
    {
        bool ok = false;
        const QByteArray bytes = TextFiles::encodeGbk("节奏1-24", &ok);
        QVERIFY(ok);
        QCOMPARE(bytes.size(), 2 * 2 + 4);
        QCOMPARE(TextFiles::decodeGbk(bytes, &ok), QString("节奏1-24"));
        QVERIFY(ok);
        // Each byte that starts no GBK character is one U+FFFD; its
        // neighbours are read as they are.
        const QString bad(QChar(QChar::ReplacementCharacter));
        const struct {
            QByteArray bytes;
            QString text;
        } undecodable[] = {
            {QByteArray("\x81", 1), bad},
            {"KC8KD8TZ\x81", "KC8KD8TZ" + bad},
            {"KC8\x81\x20TZ", "KC8" + bad + " TZ"},
            {"\x81\x0A\x81\x20\xBD\xDA", bad + "\n" + bad + QString(" 节")},
            {"A\x81", "A" + bad},
        };
        for (const auto &c : undecodable) {
            ok = true;
            QCOMPARE(TextFiles::decodeGbk(c.bytes, &ok), c.text);
            QVERIFY(!ok);
        }
        TextFiles::encodeGbk(QString::fromUtf8("\xF0\x9F\x8E\xB9"), &ok);  // no GBK code
        QVERIFY(!ok);
    }

    void writesReplaceWholeOrNotAtAll()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.txt");
        QString error;
        QVERIFY(TextFiles::writeBytes(path, "KC8TZ\r\n", &error));
        QByteArray back;
        QVERIFY(TextFiles::readBytes(path, &back, &error));
        QCOMPARE(back, QByteArray("KC8TZ\r\n"));
        // A folder that cannot be written: the old file stays as it was.
        if (getuid() != 0) {
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
            QVERIFY(!TextFiles::writeBytes(path, "XX", &error));
            QVERIFY(!error.isEmpty());
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QVERIFY(TextFiles::readBytes(path, &back, &error));
            QCOMPARE(back, QByteArray("KC8TZ\r\n"));
        }
        QVERIFY(!TextFiles::readBytes(dir.filePath("missing.txt"), &back, &error));
        QVERIFY(error.contains("missing.txt"));
        QVERIFY(!TextFiles::readBytes(path, &back, &error, 3));
    }
};

DZQ_REGISTER_TEST(PlatformFilesTest)
#include "test_files.moc"
