#include "RhythmTests.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QSignalSpy>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

const QString kOpenError = QStringLiteral("打开节奏文件出错，请检查！");

QByteArray savedBytes(int n)
{
    return savedText(n).toLatin1() + "\r\n";
}

QByteArray gbk(const QString &text)
{
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

}  // namespace

void RhythmFilesTest::saveWritesTheTextAndCrLf()
{
    RhythmRig rig;
    rig.applyBuiltIn(1);
    const QString path = rig.t.path("1-24.bin");
    rig.t.dialogs.saveAnswers << path;
    QVERIFY(rig.files.save());
    QCOMPARE(fileBytes(path), savedBytes(1));
    QCOMPARE(fileBytes(path).size(), 95);
    QCOMPARE(rig.t.window.LastFilePath, path);
    QCOMPARE(rig.t.dialogs.saveRequests.size(), 1);
    QCOMPARE(rig.t.dialogs.saveRequests[0].filter, QString("节奏bin|*.bin"));
    QCOMPARE(rig.t.dialogs.saveRequests[0].folder, rig.t.ctx.recordFolder);
    QVERIFY(rig.t.dialogs.saveRequests[0].confirmOverwrite);
    QVERIFY(rig.t.dialogs.messages.isEmpty());
    // The list is not refreshed by saving.
    QVERIFY(rig.files.File1().isEmpty());
}

void RhythmFilesTest::cancelledSaveDoesNothing()
{
    RhythmRig rig;
    rig.t.window.LastFilePath = "before.txt";
    QVERIFY(!rig.files.save());
    QCOMPARE(rig.t.window.LastFilePath, QString("before.txt"));
    QVERIFY(QDir(rig.t.ctx.recordFolder).isEmpty());
    QVERIFY(rig.t.dialogs.messages.isEmpty());
}

void RhythmFilesTest::savedFileRoundTripsByteForByte()
{
    RhythmRig rig;
    rig.applyBuiltIn(8);
    rig.pattern.SetRhythmVolume(2);
    rig.pattern.SetRhythmInstrument(3, 46);
    rig.pattern.SetRhythmCell(2, 16, true);
    rig.pattern.SetRhythmCell(0, 15, true);
    const QString path = rig.t.path("mine.bin");
    QVERIFY(rig.files.SaveJZwj(path));
    const QByteArray first = fileBytes(path);

    rig.applyBuiltIn(4);
    rig.files.showFile1();
    rig.files.openFromList(0);
    QVERIFY(rig.t.dialogs.messages.isEmpty());
    QCOMPARE(rig.pattern.Instrument(3), qint16(46));
    QVERIFY(rig.pattern.Cells(2, 16));
    QVERIFY(rig.files.SaveJZwj(path));
    QCOMPARE(fileBytes(path), first);

    // The title is the name it was saved under; renaming changes nothing.
    QVERIFY(QFile::rename(path, rig.t.path("renamed.bin")));
    rig.applyBuiltIn(4);
    rig.files.showFile1();
    rig.files.openFromList(0);
    QCOMPARE(rig.files.Label11(), QString("renamed.bin"));
    QCOMPARE(rig.pattern.composeRhythmText("mine.bin").toLatin1() + "\r\n", first);
}

void RhythmFilesTest::chineseTitles()
{
    RhythmRig rig;
    rig.applyBuiltIn(5);
    // Sixteen characters of title, each two bytes in GBK.
    const QString longName = QStringLiteral("我的节奏文件名称特别长的一个节奏.bin");
    const QString path = rig.t.path(longName);
    QVERIFY(rig.files.SaveJZwj(path));
    const QByteArray bytes = fileBytes(path);
    QCOMPARE(bytes.size(), 77 + 32 + 2);
    QCOMPARE(bytes.mid(77, 32), gbk(longName.left(16)));
    QCOMPARE(bytes.mid(77, 2), QByteArray("\xce\xd2"));  // 我
    QVERIFY(bytes.endsWith("\r\n"));

    const QString shortName = QStringLiteral("节奏.bin");
    QVERIFY(rig.files.SaveJZwj(rig.t.path(shortName)));
    QCOMPARE(fileBytes(rig.t.path(shortName)), savedText(5).left(77).toLatin1() + gbk(shortName) +
                                                   QByteArray(10, ' ') + "\r\n");

    // Both read back, from the list and whole.
    rig.applyBuiltIn(9);
    rig.files.showFile1();
    QCOMPARE(rig.files.File1().size(), 2);
    for (int i = 0; i < 2; ++i) {
        rig.applyBuiltIn(9);
        rig.files.openFromList(i);
        QCOMPARE(rig.pattern.TimeSignature(), qint16(1));
        QVERIFY(rig.t.state.RhythmText.endsWith(i == 0 ? QStringLiteral("我的节奏文件名称特别长的一个节奏")
                                                       : QStringLiteral("节奏.bin          ")));
    }
    rig.applyBuiltIn(9);
    rig.files.openAtStartUp();
    QCOMPARE(rig.pattern.TimeSignature(), qint16(1));
    QVERIFY(rig.t.dialogs.messages.isEmpty());
}

void RhythmFilesTest::commaInTheFileName()
{
    RhythmRig rig;
    rig.applyBuiltIn(1);
    QVERIFY(rig.files.SaveJZwj(rig.t.path("1,2.bin")));
    rig.applyBuiltIn(7);
    const QString before = patternSnapshot(rig.pattern, rig.t.state);

    // From the list the text ends at the comma: 78 characters, refused.
    rig.files.showFile1();
    QCOMPARE(rig.files.File1(), QStringList{"1,2.bin"});
    rig.files.openFromList(0);
    QCOMPARE(rig.t.state.RhythmText.size(), 78);
    QCOMPARE(rig.t.dialogs.messages, QStringList{kOpenError});
    QCOMPARE(patternSnapshot(rig.pattern, rig.t.state), before);
    QCOMPARE(rig.files.Label11(), QString("1,2.bin"));
    QVERIFY(!rig.files.isFile1Visible());

    // Read whole (start-up, JP) it applies.
    rig.files.openAtStartUp();
    QCOMPARE(rig.t.dialogs.messages.size(), 1);
    QCOMPARE(rig.t.state.RhythmText, savedText(1).left(77) + "1,2.bin" + QString(9, ' ') + "\r\n");
    QCOMPARE(rig.pattern.composeRhythmText("1-24.bin"), savedText(1));

    rig.applyBuiltIn(7);
    QString text;
    QVERIFY(rig.files.readJPEntry(10, &text));
    rig.t.state.RhythmText = text;
    QVERIFY(rig.pattern.OpenJZwj());
    QCOMPARE(rig.pattern.TimeSignature(), qint16(0));
}

void RhythmFilesTest::startUpOpensTheFirstFileByName()
{
    RhythmRig empty;
    const QString before = patternSnapshot(empty.pattern, empty.t.state);
    empty.files.openAtStartUp();
    QVERIFY(empty.files.Label11().isEmpty());
    QVERIFY(empty.t.dialogs.messages.isEmpty());
    QCOMPARE(patternSnapshot(empty.pattern, empty.t.state), before);

    RhythmRig rig;
    writeBytes(rig.t.path("b.bin"), savedBytes(7));
    writeBytes(rig.t.path("a.bin"), savedBytes(4));
    rig.files.openAtStartUp();
    QCOMPARE(rig.files.Label11(), QString("a.bin"));
    QCOMPARE(rig.t.state.RhythmText, savedText(4) + "\r\n");  // every byte
    QCOMPARE(rig.pattern.TimeSignature(), qint16(1));
    QVERIFY(!rig.files.isFile1Visible());
    QVERIFY(rig.t.dialogs.messages.isEmpty());
}

void RhythmFilesTest::listHoldsBinFilesOnly()
{
    RhythmRig rig;
    for (const char *name : {"a.txt", "b.bin", "C.BIN", "e.bin.txt", "bin"})
        writeBytes(rig.t.path(name), savedBytes(1));
    QVERIFY(QDir(rig.t.ctx.recordFolder).mkdir("d.bin"));
    QSignalSpy visible(&rig.files, &RhythmFiles::file1VisibleChanged);
    rig.files.showFile1();
    QCOMPARE(rig.files.File1(), QStringList({"b.bin", "C.BIN"}));
    QVERIFY(rig.files.isFile1Visible());
    QCOMPARE(visible.size(), 1);
    QCOMPARE(rig.files.File1Index(), -1);

    // The clicked entry stays selected when the list is read again.
    rig.files.openFromList(1);
    QVERIFY(!rig.files.isFile1Visible());
    writeBytes(rig.t.path("a.bin"), savedBytes(2));
    rig.files.showFile1();
    QCOMPARE(rig.files.File1(), QStringList({"a.bin", "b.bin", "C.BIN"}));
    QCOMPARE(rig.files.File1Index(), 2);
    rig.files.openFromList(7);  // no such entry
    rig.files.openFromList(-1);
    QVERIFY(rig.files.isFile1Visible());
    rig.files.hideFile1();
    QVERIFY(!rig.files.isFile1Visible());
}

void RhythmFilesTest::saveFailureKeepsTheOldFile()
{
    RhythmRig rig;
    rig.applyBuiltIn(3);
    // A folder that is not there.
    QVERIFY(!rig.files.SaveJZwj(rig.t.path("gone/x.bin")));
    QCOMPARE(rig.t.dialogs.messages.size(), 1);
    QVERIFY(rig.t.dialogs.messages[0].contains(QStringLiteral("保存失败")));

#ifdef Q_OS_UNIX
    // A write that fails half-way (here: the file size limit, like a full disk).
    const QString path = rig.t.path("keep.bin");
    writeBytes(path, "OLD CONTENT");
    rig.t.dialogs.saveAnswers << path;
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = 40;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const bool ok = rig.files.save();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(!ok);
    QCOMPARE(fileBytes(path), QByteArray("OLD CONTENT"));
    QCOMPARE(rig.t.dialogs.messages.size(), 2);
    QCOMPARE(rig.t.window.LastFilePath, path);
    QCOMPARE(QDir(rig.t.ctx.recordFolder).entryList(QDir::Files), QStringList{"keep.bin"});
#endif
}

void RhythmFilesTest::deleteSelectedFile()
{
    RhythmRig rig;
    writeBytes(rig.t.path("a.bin"), savedBytes(1));
    writeBytes(rig.t.path("b.bin"), savedBytes(2));
    rig.files.showFile1();
    rig.files.deleteSelected();  // nothing selected
    QCOMPARE(QDir(rig.t.ctx.recordFolder).entryList(QDir::Files).size(), 2);

    rig.files.openFromList(1);
    rig.sequencer.setBzQd(true);
    const QString before = patternSnapshot(rig.pattern, rig.t.state);
    rig.files.deleteSelected();
    QVERIFY(!QFile::exists(rig.t.path("b.bin")));
    QVERIFY(QFile::exists(rig.t.path("a.bin")));
    QCOMPARE(rig.files.File1(), QStringList{"a.bin"});
    QCOMPARE(rig.files.File1Index(), -1);
    QCOMPARE(rig.files.Label11(), QString("b.bin"));
    QCOMPARE(patternSnapshot(rig.pattern, rig.t.state), before);
    QVERIFY(rig.sequencer.BzQd());
    QVERIFY(rig.t.dialogs.messages.isEmpty());

    rig.files.deleteSelected();  // the selection went with the file
    QVERIFY(QFile::exists(rig.t.path("a.bin")));
}

void RhythmFilesTest::deleteMissingOrUndeletableFile()
{
    RhythmRig rig;
    writeBytes(rig.t.path("a.bin"), savedBytes(1));
    writeBytes(rig.t.path("b.bin"), savedBytes(2));
    rig.files.showFile1();
    rig.files.openFromList(0);
    QVERIFY(QFile::remove(rig.t.path("a.bin")));  // gone meanwhile
    rig.files.deleteSelected();
    QCOMPARE(rig.t.dialogs.messages.size(), 1);
    QVERIFY(QFile::exists(rig.t.path("b.bin")));
    QCOMPARE(rig.files.File1(), QStringList{"b.bin"});

    // Replaced by a folder: not deleted, said so.
    rig.files.openFromList(0);
    QVERIFY(QFile::remove(rig.t.path("b.bin")));
    QVERIFY(QDir(rig.t.ctx.recordFolder).mkpath("b.bin/inner"));
    rig.files.deleteSelected();
    QCOMPARE(rig.t.dialogs.messages.size(), 2);
    QVERIFY(QDir(rig.t.path("b.bin/inner")).exists());
}

void RhythmFilesTest::jpEntries()
{
    RhythmRig rig;
    writeBytes(rig.t.path("a.bin"), savedBytes(2));
    writeBytes(rig.t.path("b.bin"), savedBytes(5));
    rig.files.refreshFile1();
    QString text;
    QVERIFY(rig.files.readJPEntry(10, &text));
    QCOMPARE(text, savedText(2) + "\r\n");
    QVERIFY(rig.files.readJPEntry(11, &text));
    QCOMPARE(text, savedText(5) + "\r\n");
    for (int n : {12, 9, 99, 0, -5, 1000})
        QVERIFY(!rig.files.readJPEntry(n, &text));

    // Entries are those listed last; a listed file that is gone does nothing.
    writeBytes(rig.t.path("c.bin"), savedBytes(1));
    QVERIFY(!rig.files.readJPEntry(12, &text));
    QVERIFY(QFile::remove(rig.t.path("b.bin")));
    QVERIFY(!rig.files.readJPEntry(11, &text));
    rig.files.refreshFile1();
    QVERIFY(rig.files.readJPEntry(11, &text));
    QCOMPARE(text, savedText(1) + "\r\n");

    // With 90 files the last one is out of reach: JP98 is entry 88.
    RhythmRig many;
    for (int i = 0; i < 90; ++i)
        writeBytes(many.t.path(QStringLiteral("f%1.bin").arg(i, 2, 10, QLatin1Char('0'))), QByteArray::number(i));
    many.files.refreshFile1();
    QCOMPARE(many.files.File1().size(), 90);
    QVERIFY(many.files.readJPEntry(98, &text));
    QCOMPARE(text, QString("88"));
}

void RhythmFilesTest::oversizedAndUndecodableFiles()
{
    // The largest file a whole-file reader takes.
    RhythmRig big;
    QByteArray largest = savedText(6).toLatin1();
    largest += QByteArray(32765 - largest.size(), ' ') + "\r\n";
    QCOMPARE(largest.size(), 32767);
    writeBytes(big.t.path("a.bin"), largest);
    big.files.openAtStartUp();
    QVERIFY(big.t.dialogs.messages.isEmpty());
    QCOMPARE(big.pattern.TimeSignature(), qint16(1));

    struct Case {
        const char *what;
        QByteArray bytes;
    };
    // A byte that is no GBK text in the title, which is never read: the file opens.
    QByteArray badGbk = savedBytes(1);
    badGbk.replace(78, 2, "\x81\x20");
    RhythmRig titled;
    writeBytes(titled.t.path("x.bin"), badGbk);
    titled.files.openAtStartUp();
    QVERIFY(titled.t.dialogs.messages.isEmpty());
    RhythmRig builtIn;
    builtIn.applyBuiltIn(1);
    QCOMPARE(patternSnapshot(titled.pattern, titled.t.state), patternSnapshot(builtIn.pattern, builtIn.t.state));

    const Case cases[] = {{"one byte too long", largest + " "}};
    for (const Case &c : cases) {
        RhythmRig rig;
        rig.applyBuiltIn(9);
        const QString before = patternSnapshot(rig.pattern, rig.t.state);
        writeBytes(rig.t.path("x.bin"), c.bytes);
        rig.files.openAtStartUp();
        rig.files.openFromList(0);
        QCOMPARE(rig.t.dialogs.messages, QStringList({kOpenError, kOpenError}));
        QCOMPARE(patternSnapshot(rig.pattern, rig.t.state), before);
        QCOMPARE(rig.files.Label11(), QString("x.bin"));
        QString text = "stale";
        QVERIFY2(rig.files.readJPEntry(10, &text), c.what);
        QVERIFY(text.isEmpty());
    }
}
