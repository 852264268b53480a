#include "TestMain.h"

#include "platform/files/DurableSave.h"
#include "songs/midifile/MidiFileWriter.h"
#include "platform/files/RecordFolder.h"
#include "platform/files/TextFiles.h"
#include "platform/media/WavWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <cstring>
#include <functional>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <unistd.h>

// Files of the machine: the record folder and the GBK text files.
class PlatformFilesTest : public QObject {
    Q_OBJECT
private slots:
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

    // An installation: PREFIX/bin/dzq with PREFIX/share/dzq/演奏记录, even in
    // a writable prefix, leaves bin/ alone and fills the documents folder once.
    void installedProgramUsesTheDocumentsFolder()
    {
        QTemporaryDir prefix, documents;
        const QString bin = QDir(prefix.path()).filePath("bin");
        const QString shipped = RecordFolder::installedDirFor(bin);
        QCOMPARE(shipped, QDir(prefix.path()).filePath("share/dzq/演奏记录"));
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(shipped));
        QFile demo(QDir(shipped).filePath("小星星.txt"));
        QVERIFY(demo.open(QIODevice::WriteOnly));
        demo.write("KC8");
        demo.close();
        const QString folder = RecordFolder::locate(bin, documents.path(), shipped);
        QCOMPARE(folder, QDir(documents.path()).filePath("演奏记录"));
        QVERIFY(!QFileInfo::exists(QDir(bin).filePath("演奏记录")));
        QVERIFY(QFileInfo::exists(QDir(folder).filePath("小星星.txt")));
        // The user's own changes stay: nothing is copied a second time.
        QVERIFY(QFile::remove(QDir(folder).filePath("小星星.txt")));
        RecordFolder::locate(bin, documents.path(), shipped);
        QVERIFY(!QFileInfo::exists(QDir(folder).filePath("小星星.txt")));
        // A record folder the user made beside the program still wins.
        QVERIFY(QDir().mkpath(QDir(bin).filePath("演奏记录")));
        QCOMPARE(RecordFolder::locate(bin, documents.path(), shipped), QDir(bin).filePath("演奏记录"));
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

    void failedWritesNameTheSystemsReason()
    {
#ifdef Q_OS_UNIX
        // A file size limit makes every writer meet a "full disk" at 2 KB.
        QTemporaryDir dir;
        struct rlimit saved;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 2048;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);

        QString textError, midiError, wavError;
        const bool textOk = TextFiles::writeBytes(dir.filePath("a.txt"), QByteArray(8192, 'X'), &textError);
        QVector<TimedMidiMessage> messages;
        for (int i = 0; i < 2000; ++i)
            messages.append({qint64(i) * 1000000, MidiMessage::make(Midi::NoteOn, 0, 60, 64)});
        const bool midiOk = MidiFileWriter::write(dir.filePath("a.mid"), messages, 0, &midiError);
        WavWriter wav;
        std::vector<float> silence(2 * 48000, 0.0f);
        const bool wavOk = wav.open(dir.filePath("a.wav"), 48000) && wav.write(silence.data(), 48000) && wav.close();
        wavError = wav.errorString();

        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        const QString reason = QString::fromLocal8Bit(std::strerror(EFBIG));
        QVERIFY(!textOk && !midiOk && !wavOk);
        for (const QString &e : {textError, midiError, wavError}) {
            QVERIFY2(e.contains(reason), qPrintable(e));
            QVERIFY2(!e.contains("Unknown error"), qPrintable(e));
        }
        QVERIFY(textError.startsWith(QStringLiteral("无法保存文件")));
        // Nothing is left behind, not even a temporary copy.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
#endif
    }

    // Every failure names what we tried in Chinese first, then the system's
    // own reason; devices and pipes are never replaced by a file (renaming
    // over /dev/full would do that when run as root).
    void ourSentenceComesBeforeTheSystemsReason()
    {
#ifdef Q_OS_UNIX
        QTemporaryDir dir;
        const QString plain = dir.filePath("plain.txt");
        QString error;
        QVERIFY(TextFiles::writeBytes(plain, "KC8TZ\r\n", &error));
        const QString fifo = dir.filePath("pipe.txt");
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString link = dir.filePath("link.mid");
        const bool haveFull = QFileInfo::exists("/dev/full");
        if (haveFull)
            QVERIFY(QFile::link("/dev/full", link));
        const QString notDir = QString::fromLocal8Bit(std::strerror(ENOTDIR));
        const QString missing = QString::fromLocal8Bit(std::strerror(ENOENT));
        const QString device = QStringLiteral("这不是普通文件（而是设备或管道），不能替换");

        auto text = [](const QString &path) {
            QString e;
            return TextFiles::writeBytes(path, "KC8TZ\r\n", &e) ? QString() : e;
        };
        auto midi = [](const QString &path) {
            QString e;
            return MidiFileWriter::write(path, {{0, MidiMessage::make(Midi::NoteOn, 0, 60, 64)}}, 0, &e) ? QString() : e;
        };
        auto wav = [](const QString &path) {
            WavWriter w;
            return w.open(path, 48000) ? QString() : w.errorString();
        };
        auto read = [](const QString &path) {
            QByteArray bytes;
            QString e;
            return TextFiles::readBytes(path, &bytes, &e) ? QString() : e;
        };
        const struct {
            const char *name;
            bool needsFull;
            std::function<QString()> provoke;
            QString sentence;
            QString reason;
        } cases[] = {
            {"text, folder is a file", false, [&] { return text(plain + "/a.txt"); },
             QStringLiteral("无法保存文件“%1/a.txt”：").arg(plain), notDir},
            {"text, no such folder", false, [&] { return text(dir.filePath("no/a.txt")); },
             QStringLiteral("无法保存文件“%1”：").arg(dir.filePath("no/a.txt")), missing},
            {"text onto a folder", false, [&] { return text(dir.path()); },
             QStringLiteral("无法保存文件“%1”：").arg(dir.path()), QStringLiteral("这是一个文件夹")},
            {"text over a pipe", false, [&] { return text(fifo); }, QStringLiteral("无法保存文件“%1”：").arg(fifo),
             device},
            {"text to /dev/full", true, [&] { return text("/dev/full"); },
             QStringLiteral("无法保存文件“/dev/full”："), device},
            {"MIDI, folder is a file", false, [&] { return midi(plain + "/a.mid"); },
             QStringLiteral("无法写入文件“%1”：").arg(QDir::toNativeSeparators(plain + "/a.mid")), notDir},
            {"MIDI through a link to /dev/full", true, [&] { return midi(link); },
             QStringLiteral("无法写入文件“%1”：").arg(QDir::toNativeSeparators(link)), device},
            {"WAV, no such folder", false, [&] { return wav(dir.filePath("no/a.wav")); },
             QStringLiteral("无法创建文件 a.wav："), missing},
            {"WAV to /dev/full", true, [&] { return wav("/dev/full"); }, QStringLiteral("无法创建文件 full："), device},
            {"read, no such file", false, [&] { return read(dir.filePath("none.txt")); },
             QStringLiteral("找不到文件“%1”。").arg(dir.filePath("none.txt")), QString()},
            {"read, a pipe", false, [&] { return read(fifo); }, QStringLiteral("找不到文件“%1”。").arg(fifo),
             QString()},
        };
        for (const auto &c : cases) {
            if (c.needsFull && !haveFull)
                continue;
            const QString e = c.provoke();
            QVERIFY2(e.startsWith(c.sentence), qPrintable(QStringLiteral("%1: %2").arg(c.name, e)));
            QVERIFY2(e.indexOf(c.reason, c.sentence.size()) == c.sentence.size(),
                     qPrintable(QStringLiteral("%1: %2").arg(c.name, e)));
        }
        // Nothing was replaced, nothing left behind.
        QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
        if (haveFull) {
            QVERIFY(!QFileInfo("/dev/full").isFile());
            QVERIFY(QDir("/dev").entryList({"full.*"}, QDir::Files | QDir::System | QDir::Hidden).isEmpty());
        }
        QStringList kept{"plain.txt"};
        if (haveFull) {
            QCOMPARE(QFileInfo(link).symLinkTarget(), QString("/dev/full"));
            kept.prepend("link.mid");
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), kept);
#endif
    }

    void leftoversOfInterruptedSavesAreRemoved()
    {
        QTemporaryDir dir;
        const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
        const struct {
            const char *name;
            bool old;
            bool removed;
        } files[] = {
            {"a.txt", true, false},           {"a.txt.AbC123", true, true},  {"录音.wav.xYz789", true, true},
            {"b.lnk.000000", true, true},     {"c.txt.Q1w2E3", false, false},  // still being written
            {"notes.txt.bak12", true, false}, {"x.doc.abcdef", true, false}, {"d.mid.ab-123", true, false},
        };
        for (const auto &f : files) {
            QFile file(dir.filePath(QString::fromUtf8(f.name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("KC8TZ\r\n");
            file.flush();
            if (f.old)
                QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        }
        QCOMPARE(DurableSave::removeLeftovers(dir.path()), 3);
        for (const auto &f : files)
            QVERIFY2(QFile::exists(dir.filePath(QString::fromUtf8(f.name))) != f.removed, f.name);
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
#include "PlatformFilesTest.moc"
