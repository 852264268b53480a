#include "ScoreTestRig.h"
#include "TestMain.h"

#include "platform/files/TextFiles.h"
#include "score/ScoreReader.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

constexpr int kTick = 83;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

// Opens a file through the open button, the dialog answering with its path.
void openFile(ScoreRig &r, const QString &path)
{
    r.dialogs.openAnswers << path;
    r.files.openClicked();
}

}  // namespace

class ScoreFilesTest : public QObject {
    Q_OBJECT
private slots:
    void linesJoinAndPlay();
    void onlyCrLfAndLoneCrEndLines();
    void openedTextIsNotUpperCased();
    void openWithAutoSyncRebuildsTheRhythm();
    void cancelledOpenEmptiesTheBox();
    void unreadableFilesAreReported();
    void saveWritesTheBoxWithCrLf();
    void savingAnEmptyBoxWritesNothing();
    void failedSaveKeepsTheOldFile();
    void clearGivesTheKeyboardBack();
    void deleteRemovesTheLastChosenFile();
    void deleteWithNothingToDelete();
    void shippedDemosPlayToTheirEnd();
    void scoreNoFileHoldsIsKept();
};

void ScoreFilesTest::linesJoinAndPlay()
{
    ScoreRig r;
    const QString path = r.t.path("三行.txt");
    writeFile(path, "KC8KD8\r\nKE8\r\nTZ\r\n");
    openFile(r, path);
    QCOMPARE(r.dialogs.openRequests.size(), 1);
    QCOMPARE(r.dialogs.openRequests[0].filter, QString("乐谱记录txt|*.txt"));
    QCOMPARE(r.dialogs.openRequests[0].folder, r.t.folder.path());
    QCOMPARE(r.t.window.LastFilePath, path);
    QCOMPARE(r.t.state.ScoreText, QString("KC8KD8KE8TZ"));
    QCOMPARE(r.t.window.Text3(), QString("KC8KD8KE8TZ"));
    QVERIFY(r.player.ScorePlaying());
    QCOMPARE(r.player.playCaption(), QString("停止"));
    QCOMPARE(r.t.window.XSWB(), ScorePlayer::playingHint());
    QCOMPARE(r.t.window.FJWZ(), QString("自动演奏中。。。"));
    QVERIFY(r.rooms.commands().contains("hideRhythmFileList"));
    r.advanceMs(5000);
    QCOMPARE(r.melody(), (QStringList{"60@0", "62@664", "64@1328"}));
    QVERIFY(!r.player.ScorePlaying());
    QVERIFY(r.dialogs.messages.isEmpty());
}

void ScoreFilesTest::onlyCrLfAndLoneCrEndLines()
{
    ScoreRig r;
    const QString path = r.t.path("换行.txt");
    // A lone LF is no line end: it stays and is an error when its turn comes.
    writeFile(path, "KC8\rKD8\nTZ\r\n");
    openFile(r, path);
    QCOMPARE(r.t.state.ScoreText, QString("KC8KD8\nTZ"));
    r.advanceMs(5000);
    QCOMPARE(r.melody(), (QStringList{"60@0", "62@664"}));
    QCOMPARE(r.dialogs.messages, QStringList{ScorePlayer::errorMessage()});
}

void ScoreFilesTest::openedTextIsNotUpperCased()
{
    ScoreRig r;
    const QString path = r.t.path("小写.txt");
    writeFile(path, "kc8TZ\r\n");
    openFile(r, path);
    QCOMPARE(r.dialogs.messages, QStringList{ScorePlayer::errorMessage()});
    QCOMPARE(r.t.window.Text3(), QString("kc8TZ"));
    QVERIFY(r.melody().isEmpty());
    QVERIFY(!r.player.ScorePlaying());
}

void ScoreFilesTest::openWithAutoSyncRebuildsTheRhythm()
{
    ScoreRig r;
    r.rooms.check5Set = true;
    const QString path = r.t.path("同步.txt");
    writeFile(path, "KC8TZ\r\n");
    openFile(r, path);
    // The rhythm goes on from its current step: Bzfs, no restart at step 0.
    QCOMPARE(r.rooms.commands(), (QStringList{"hideRhythmFileList", "Bzfs"}));
    r.advanceMs(kTick * 8);
    QCOMPARE(r.rooms.commands().mid(2),
             (QStringList{"setRhythmTimerEnabled(0)", "setBzQd(0)", "showKeyUp(24)"}));
}

void ScoreFilesTest::cancelledOpenEmptiesTheBox()
{
    ScoreRig r;
    r.t.window.LastFilePath = r.t.path("上次.txt");
    r.play("KC8KD8TZ");
    r.advanceMs(100);
    r.t.clearSent();
    r.files.openClicked();  // no answer: cancelled
    QVERIFY(r.t.window.Text3().isEmpty());
    QVERIFY(r.t.state.ScoreText.isEmpty());
    QCOMPARE(r.t.window.LastFilePath, r.t.path("上次.txt"));
    QVERIFY(!r.player.Timer3().isEnabled());
    QCOMPARE(r.sent().mid(0, 3), (QVector<quint32>{RecordingMidiBackend::noteOff(0, 60),
                                                   RecordingMidiBackend::noteOff(1, 60),
                                                   RecordingMidiBackend::noteOff(2, 60)}));
    QVERIFY(r.dialogs.messages.isEmpty());
    // The play button still reads 停止; its next press only completes the stop.
    QCOMPARE(r.player.playCaption(), QString("停止"));
    QVERIFY(r.player.ScorePlaying());
    r.press();
    QVERIFY(!r.player.ScorePlaying());
    QCOMPARE(r.player.playCaption(), QString("试听"));
    r.advanceMs(5000);
    QVERIFY(r.melody().isEmpty());
}

void ScoreFilesTest::unreadableFilesAreReported()
{
    {
        // A name that does not exist.
        ScoreRig r;
        openFile(r, r.t.path("没有.txt"));
        QCOMPARE(r.dialogs.messages.size(), 1);
        QVERIFY(r.dialogs.messages[0].contains(r.t.path("没有.txt")));
        QCOMPARE(r.t.window.LastFilePath, r.t.path("没有.txt"));
        QVERIFY(!r.player.ScorePlaying());
        QVERIFY(r.t.window.Text3().isEmpty());
    }
    {
        // A byte that is no GBK text is one replacement character: behind
        // the TZ it is never reached, before it it is the score's error.
        const QChar bad(QChar::ReplacementCharacter);
        ScoreRig r;
        const QString path = r.t.path("乱码.txt");
        writeFile(path, QByteArray("KC8KD8TZ\x81"));
        openFile(r, path);
        QVERIFY(r.dialogs.messages.isEmpty());
        QCOMPARE(r.t.window.Text3(), QString("KC8KD8TZ") + bad);
        r.advanceMs(16 * 83);
        QCOMPARE(r.melody(), (QStringList{"60@0", "62@664"}));
        QVERIFY(!r.player.ScorePlaying());
        QVERIFY(r.dialogs.messages.isEmpty());

        ScoreRig early;
        writeFile(path, QByteArray("KC8\x81\x20TZ\r\n"));
        openFile(early, path);
        QCOMPARE(early.t.window.Text3(), QString("KC8") + bad + QString(" TZ"));
        early.advanceMs(8 * 83);
        QCOMPARE(early.dialogs.messages, QStringList{ScorePlayer::errorMessage()});
    }
    {
        // Longer than a score may be, even with its line breaks removed.
        ScoreRig r;
        const QString path = r.t.path("太长.txt");
        QByteArray bytes;
        for (int i = 0; i < ScoreReader::kMaxScoreLength / 2 + 1; ++i)
            bytes += "XZ\r\n";
        writeFile(path, bytes);
        openFile(r, path);
        // Loaded all the same, so that it can be shortened; only playing refuses it.
        QCOMPARE(r.dialogs.messages, QStringList{ScoreReader::tooLongMessage()});
        QCOMPARE(r.t.state.ScoreText, QString(bytes).remove("\r\n"));
        QCOMPARE(r.t.window.Text3(), r.t.state.ScoreText);
        QVERIFY(!r.player.ScorePlaying());
        QCOMPARE(r.player.playCaption(), QString("试听"));
        QVERIFY(!r.player.Timer3().isEnabled());
        // Saved and opened again: nothing lost.
        r.dialogs.saveAnswers << r.t.path("存.txt");
        r.files.saveClicked();
        openFile(r, r.t.path("存.txt"));
        QCOMPARE(r.t.window.Text3(), QString(bytes).remove("\r\n"));
    }
    {
        // Exactly at the limit it plays.
        ScoreRig r;
        const QString path = r.t.path("刚好.txt");
        QByteArray bytes = "KC8TZ";
        bytes += QByteArray(ScoreReader::kMaxScoreLength - 5, 'X');
        writeFile(path, bytes + "\r\n");
        openFile(r, path);
        QVERIFY(r.dialogs.messages.isEmpty());
        QCOMPARE(r.melody(), QStringList{"60@0"});
    }
}

void ScoreFilesTest::saveWritesTheBoxWithCrLf()
{
    ScoreRig r;
    r.play("KC8KD8TZ");
    r.advanceMs(100);
    // The box was edited by hand meanwhile: the box's text is what is saved.
    r.t.window.setText3("KC8TZ");
    const QString path = r.t.path("保存.txt");
    r.dialogs.saveAnswers << path;
    r.files.saveClicked();
    QCOMPARE(readFile(path), QByteArray("KC8TZ\r\n"));
    QCOMPARE(r.dialogs.saveRequests.size(), 1);
    QCOMPARE(r.dialogs.saveRequests[0].filter, QString("乐谱记录txt|*.txt"));
    QCOMPARE(r.dialogs.saveRequests[0].folder, r.t.folder.path());
    QVERIFY(r.dialogs.saveRequests[0].confirmOverwrite);
    QCOMPARE(r.t.window.LastFilePath, path);
    QCOMPARE(r.t.state.ScoreText, QString("KC8TZ"));
    QCOMPARE(r.t.window.FJWZ(), QString("成功保存乐谱。。。"));
    QVERIFY(!r.player.ScorePlaying());
    QCOMPARE(r.player.playCaption(), QString("试听"));
    QVERIFY(!r.player.Timer3().isEnabled());
    r.advanceMs(5000);
    QCOMPARE(r.melody(), QStringList{"60@0"});

    // What was saved opens again as it was.
    ScoreRig s;
    openFile(s, path);
    QCOMPARE(s.t.window.Text3(), QString("KC8TZ"));
}

void ScoreFilesTest::savingAnEmptyBoxWritesNothing()
{
    ScoreRig r;
    const QString path = r.t.path("旧.txt");
    writeFile(path, "XZ8TZ\r\n");
    r.t.window.setFJWZ("前");
    r.dialogs.saveAnswers << path;
    r.files.saveClicked();
    QCOMPARE(readFile(path), QByteArray("XZ8TZ\r\n"));
    QCOMPARE(r.t.window.LastFilePath, path);
    QCOMPARE(r.t.window.FJWZ(), QString("前"));
    QVERIFY(r.dialogs.messages.isEmpty());

    // A delete then removes the file the dialog named.
    r.files.deleteClicked();
    QVERIFY(!QFile::exists(path));
    QCOMPARE(r.t.window.FJWZ(), QString("成功删除文件。。。"));

    // A cancelled save changes nothing but the score.
    r.t.window.setText3("KC8TZ");
    r.files.saveClicked();
    QCOMPARE(r.t.window.LastFilePath, path);
    QCOMPARE(r.t.state.ScoreText, QString("KC8TZ"));
    QVERIFY(!QFile::exists(path));
}

void ScoreFilesTest::failedSaveKeepsTheOldFile()
{
    {
        // The chosen name is a folder: nothing can be written there.
        ScoreRig r;
        const QString path = r.t.path("文件夹.txt");
        QVERIFY(QDir().mkpath(path));
        r.play("KC8TZ");
        r.dialogs.saveAnswers << path;
        r.files.saveClicked();
        QCOMPARE(r.dialogs.messages.size(), 1);
        QVERIFY(r.dialogs.messages[0].startsWith("保存乐谱失败"));
        QVERIFY(r.t.window.FJWZ() != "成功保存乐谱。。。");
        QVERIFY(QFileInfo(path).isDir());
        QCOMPARE(r.t.window.Text3(), QString("KC8TZ"));  // the score is still there
    }
    {
        // Characters that GBK cannot hold would be saved as '?': nothing is saved.
        ScoreRig r;
        const QString path = r.t.path("旧.txt");
        writeFile(path, "KC8TZ\r\n");
        r.t.window.setText3(QString::fromUtf8("KC8\xF0\x9F\x8E\xB9TZ"));
        r.dialogs.saveAnswers << path;
        r.files.saveClicked();
        QCOMPARE(r.dialogs.messages.size(), 1);
        QCOMPARE(readFile(path), QByteArray("KC8TZ\r\n"));
    }
    {
        // A folder that cannot be written: the old file stays as it was. (An
        // administrator can write anywhere; then there is nothing to try.)
        ScoreRig r;
        const QString dir = r.t.path("只读");
        QVERIFY(QDir().mkpath(dir));
        const QString path = dir + "/旧.txt";
        writeFile(path, "KC8TZ\r\n");
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QFile probe(dir + "/probe");
        const bool writable = probe.open(QIODevice::WriteOnly);
        probe.close();
        if (!writable) {
            r.t.window.setText3("KD8TZ");
            r.dialogs.saveAnswers << path;
            r.files.saveClicked();
            QCOMPARE(r.dialogs.messages.size(), 1);
            QCOMPARE(readFile(path), QByteArray("KC8TZ\r\n"));
        }
        QFile::remove(dir + "/probe");
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

void ScoreFilesTest::clearGivesTheKeyboardBack()
{
    ScoreRig r;
    r.play("KC8KD");
    r.files.clearClicked();
    QVERIFY(r.t.window.Text3().isEmpty());
    QVERIFY(r.t.state.ScoreText.isEmpty());
    QCOMPARE(r.t.choices.count(), 1);
    QCOMPARE(r.t.window.FJWZ(), QString("成功清空乐谱。。。"));
    // Clearing does not stop the score: its next step finds nothing and says so.
    QVERIFY(r.player.Timer3().isTicking());
    r.advanceMs(8 * kTick);
    QCOMPARE(r.dialogs.messages, QStringList{ScorePlayer::errorMessage()});
}

void ScoreFilesTest::deleteRemovesTheLastChosenFile()
{
    ScoreRig r;
    const QString recording = r.t.path("录音.wav");
    const QString other = r.t.path("乐谱.txt");
    writeFile(recording, "RIFF");
    writeFile(other, "KC8TZ\r\n");
    r.t.window.LastFilePath = recording;  // a recording saved last
    r.t.window.setText3("KC8TZ");
    r.files.deleteClicked();
    QVERIFY(!QFile::exists(recording));
    QVERIFY(QFile::exists(other));
    QVERIFY(r.t.window.Text3().isEmpty());
    QCOMPARE(r.t.window.FJWZ(), QString("成功删除文件。。。"));
    QCOMPARE(r.t.window.LastFilePath, recording);  // still names the deleted file
}

void ScoreFilesTest::deleteWithNothingToDelete()
{
    ScoreRig r;
    const QString other = r.t.path("乐谱.txt");
    writeFile(other, "KC8TZ\r\n");
    const QString folder = r.t.path("目录");
    QVERIFY(QDir().mkpath(folder));
    r.t.window.setFJWZ("前");

    // Nothing chosen yet, a file gone meanwhile, a folder.
    for (const QString &path : {QString(), r.t.path("没有.txt"), folder}) {
        r.dialogs.messages.clear();
        r.t.window.LastFilePath = path;
        r.t.window.setText3("KC8TZ");
        r.files.deleteClicked();
        QCOMPARE(r.dialogs.messages.size(), 1);
        QCOMPARE(r.t.window.Text3(), QString("KC8TZ"));  // the box is left alone
        QCOMPARE(r.t.window.FJWZ(), QString("前"));
    }
    QVERIFY(QFile::exists(other));
    QVERIFY(QFileInfo(folder).isDir());
}

void ScoreFilesTest::shippedDemosPlayToTheirEnd()
{
    const QDir demos(QStringLiteral(DZQ_SOURCE_DIR "/data/演奏记录"));
    const QStringList names = demos.entryList({"*.txt"}, QDir::Files);
    QVERIFY(names.size() >= 2);
    for (const QString &name : names) {
        const QByteArray bytes = readFile(demos.filePath(name));
        QVERIFY2(bytes.endsWith("TZ\r\n"), qPrintable(name));
        QVERIFY2(!bytes.contains("\n") || bytes.count("\n") == bytes.count("\r\n"), qPrintable(name));

        ScoreRig r;
        openFile(r, demos.filePath(name));
        QVERIFY2(r.player.ScorePlaying(), qPrintable(name));
        r.t.clock.runUntilIdle(r.t.clock.nowNs() + 600000 * ScoreRig::kMs);
        QVERIFY2(r.dialogs.messages.isEmpty(), qPrintable(name + ": " + r.dialogs.messages.join('|')));
        QVERIFY2(!r.player.ScorePlaying(), qPrintable(name));
        QCOMPARE(r.player.ScorePos(), 1);  // ended by TZ
        QVERIFY2(r.melody().size() >= 20, qPrintable(name));
    }
}

DZQ_REGISTER_TEST(ScoreFilesTest)

#include "ScoreFilesTest.moc"

// The box knows whether a file holds what it shows; what none holds is kept
// as "乐谱-yyyyMMdd-hhmmss.txt" when the program would drop it.
void ScoreFilesTest::scoreNoFileHoldsIsKept()
{
    ScoreRig r;
    QVERIFY(!r.t.window.text3Unsaved());
    r.t.window.setText3("KC8KD8");
    QVERIFY(r.t.window.text3Unsaved());
    const QString path = r.t.path("存.txt");
    r.dialogs.saveAnswers << path;
    r.files.saveClicked();
    QVERIFY(!r.t.window.text3Unsaved());
    r.t.window.setText3("KC8KD8KE");
    QVERIFY(r.t.window.text3Unsaved());
    openFile(r, path);
    QVERIFY(!r.t.window.text3Unsaved());
    r.t.window.setText3("  ");
    QVERIFY(!r.t.window.text3Unsaved());  // nothing worth keeping

    const QString told = r.files.keepUnsaved("KC4…KB8TZ");
    const QStringList kept = QDir(r.t.folder.path()).entryList({"乐谱-*.txt"}, QDir::Files);
    QCOMPARE(kept.size(), 1);
    QVERIFY(QRegularExpression("^乐谱-\\d{8}-\\d{6}\\.txt$").match(kept[0]).hasMatch());
    QCOMPARE(told, "未保存的乐谱已存入“演奏记录”：" + kept[0]);
    QString back, error;
    QVERIFY(ScoreFiles::readScore(r.t.path(kept[0]), &back, &error));
    QCOMPARE(back, QString("KC4…KB8TZ"));
    r.files.keepUnsaved("KC");  // the same second: a name of its own
    QCOMPARE(QDir(r.t.folder.path()).entryList({"乐谱-*.txt"}, QDir::Files).size(), 2);
}
