#include "ScriptedMedia.h"
#include "TestContext.h"
#include "TestMain.h"

#include "recorder/RecorderDisplay.h"
#include "recorder/WaveRecorder.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

using W = WaveRecorder;

// Both front ends on one scripted device, as in the program: the main
// window's with its display, the editor's telling in message boxes.
struct Pair {
    TestContext t;
    ScriptedMedia media;
    WindowRecorderDisplay mainDisplay{t.window};
    NoticeRecorderDisplay editorDisplay{t.dialogs};
    W main{W::FrontEnd::MainWindow, media, mainDisplay, t.dialogs, t.clock, t.folder.path()};
    W editor{W::FrontEnd::Editor, media, editorDisplay, t.dialogs, t.clock, t.folder.path()};

    void seconds(int n) { t.clock.advanceMs(1000 * n); }
    bool closedTheAlias() const
    {
        for (const QString &c : media.commands) {
            if (c.compare("close NN", Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }
};

}  // namespace

// The take belongs to the program: dropped only by recording again or
// playing a file, whichever front end does it.
class SessionTakeTest : public QObject {
    Q_OBJECT
private slots:
    // What the alias holds follows the commands that succeeded, whoever sent them.
    void theDeviceKnowsWhatItHolds()
    {
        ScriptedMedia media;
        const struct {
            const char *command;
            bool fails;
            const char *held;  // "take", "unsaved", "file" or "" (nothing)
        } steps[] = {
            {"OPEN NEW TYPE WaveAudio ALIAS NN", false, "take"},
            {"RECORD NN", true, "take"},
            {"RECORD NN", false, "unsaved"},
            {"STOP NN", false, "unsaved"},
            {"CLOSE ANIMATION", false, "unsaved"},
            {"save NN \"/a.wav\"", true, "unsaved"},
            {"save NN \"/a.wav\"", false, "take"},
            {"record nn", false, "unsaved"},
            {"close NN", true, "unsaved"},
            {"Close nn", false, ""},
            {"RECORD NN", false, ""},
            {"OPEN \"/b.wav\" TYPE WaveAudio ALIAS NN", false, "file"},
            {"PLAY NN FROM 0", false, "file"},
            {"CLOSE NN", false, ""},
        };
        for (const auto &step : steps) {
            media.failing = step.fails ? QStringList{step.command} : QStringList();
            media.command(step.command);
            const QString held = media.holdsUnsavedTake() ? "unsaved"
                                 : media.holdsTake()      ? "take"
                                 : media.holdsFile()      ? "file"
                                                          : "";
            QVERIFY2(held == step.held, step.command);
        }
    }

    // Record in the main window, stop in the editor: the main window's clock
    // runs on hidden and finds "stopped"; it must not close the take, which
    // either front end can still save.
    void aHiddenClockNeverDropsTheTake_data()
    {
        QTest::addColumn<bool>("mainWasPlaying");
        QTest::newRow("main recorded") << false;
        QTest::newRow("main played, editor recorded") << true;
    }
    void aHiddenClockNeverDropsTheTake()
    {
        QFETCH(bool, mainWasPlaying);
        Pair p;
        if (mainWasPlaying) {
            p.t.dialogs.openAnswers << p.t.path("曲.wav");
            p.main.play();
            p.media.mode = "playing";
            p.editor.LUYINJIClicked(2);
            p.media.mode = "recording";
        } else {
            p.main.record();
        }
        p.seconds(2);
        p.editor.LUYINJIClicked(1);
        p.media.mode = "stopped";
        p.media.take();
        p.seconds(1);
        QCOMPARE(p.media.take(), QStringList{"status NN mode"});
        QVERIFY(!p.main.Lyjsj().isEnabled());
        QVERIFY(p.main.hasUnsavedTake() && p.editor.hasUnsavedTake());
        QVERIFY(p.main.BcLYEnabled());
        QCOMPARE(p.main.Image1(1), int(W::kStopDown));
        QCOMPARE(p.t.window.FJWZ(), QString("录音机已停止。。。"));
        p.seconds(3);
        QVERIFY(p.media.commands.isEmpty());

        p.t.dialogs.saveAnswers << p.t.path("编辑.wav");
        p.editor.LUYINJIClicked(3);
        QCOMPARE(p.media.take(), (QStringList{"stop NN", "save NN \"" + p.t.path("编辑.wav") + "\"", "close NN"}));
        QVERIFY(!p.main.BcLYEnabled());
        QVERIFY(p.t.dialogs.messages.isEmpty());
    }

    // "保存录音" (or a save called with nothing recorded) says so plainly and
    // asks for no file; the options are deselected.
    void savingNothingSaysSo()
    {
        Pair p;
        p.editor.LUYINJIClicked(3);
        QVERIFY(p.media.commands.isEmpty());
        QVERIFY(p.t.dialogs.saveRequests.isEmpty());
        QCOMPARE(p.t.dialogs.messages, QStringList{"没有可保存的录音：请先录音，再保存。"});
        QCOMPARE(p.editor.selectedOption(), -1);

        // After a save the take is gone: nothing to save again.
        p.main.record();
        p.t.dialogs.saveAnswers << p.t.path("a.wav");
        p.main.save();
        p.media.take();
        p.main.save();
        QVERIFY(p.media.commands.isEmpty());
        QCOMPARE(p.t.window.FJWZ(), QString("没有可保存的录音。。。"));
        QCOMPARE(p.t.dialogs.saveRequests.size(), 1);
    }

    // "退出窗口" while the editor records: the recording stops, the take is
    // the program's, saved by the main window's "保存" or kept at exit.
    void leavingTheEditorStopsItsRecording()
    {
        Pair p;
        p.editor.LUYINJIClicked(2);
        p.seconds(2);
        p.media.take();
        p.editor.leave();
        QCOMPARE(p.media.take(), QStringList{"STOP NN"});
        QVERIFY(!p.editor.Lyjsj().isEnabled());
        QVERIFY(!p.editor.RecorderRecording());
        QVERIFY(p.main.BcLYEnabled());
        p.seconds(2);
        QVERIFY(p.media.commands.isEmpty());

        const QString told = p.main.shutDown();
        QVERIFY(told.isEmpty());
        const QStringList sent = p.media.take();
        QCOMPARE(sent.size(), 3);
        QVERIFY(sent[1].startsWith("save NN \"" + p.t.folder.path() + "/录音-"));
        QCOMPARE(sent[2], QString("CLOSE NN"));

        // A front end that did not record leaves the take running.
        Pair q;
        q.main.record();
        q.media.take();
        q.editor.leave();
        QVERIFY(q.media.commands.isEmpty());
    }

    // What drops a take: recording again in the same front end, or a file
    // chosen that opens. A cancelled or failed choice keeps everything, and
    // the other front end's unsaved take is kept in the record folder first.
    void onlyAFileThatOpensOrOwnRecordingDropsTheTake()
    {
        Pair p;
        p.main.record();
        p.main.stop();
        p.media.take();
        p.main.play();  // cancelled
        QVERIFY(p.main.hasUnsavedTake());
        QVERIFY(!p.closedTheAlias());
        QCOMPARE(p.main.Image1(0), int(W::kPlayUp));
        QVERIFY(p.main.BcLYEnabled());

        const QString bad = p.t.path("坏.wav");
        p.media.unplayable << bad;
        p.t.dialogs.openAnswers << bad;
        p.main.play();
        QVERIFY(p.main.hasUnsavedTake());
        QVERIFY(!p.closedTheAlias());
        QCOMPARE(p.t.window.FJWZ(), QString("无法播放录音。。。"));

        // The editor's 播放 while the main window records, cancelled: it records on.
        Pair q;
        q.main.record();
        q.media.take();
        q.editor.LUYINJIClicked(0);
        QVERIFY(q.media.commands.isEmpty());
        QVERIFY(q.main.RecorderRecording());
        QCOMPARE(q.editor.selectedOption(), -1);

        // A file that opens replaces the take.
        p.t.dialogs.openAnswers << p.t.path("曲.wav");
        p.main.play();
        QVERIFY(!p.main.hasUnsavedTake());
        QCOMPARE(p.media.take().first(), QString("CLOSE NN"));

        // Recording again in the window that recorded drops the take before.
        p.main.stop();
        p.main.record();
        p.media.take();
        p.main.record();
        QCOMPARE(p.media.take().first(), QString("CLOSE NN"));
    }

    void theOtherWindowsTakeIsKeptAndShown()
    {
        Pair p;
        QCOMPARE(p.editor.takeNote(), QString());
        p.main.record();
        QCOMPARE(p.editor.takeNote(), QString("另一窗口录音中"));
        p.main.stop();
        p.media.mode = "stopped";
        QCOMPARE(p.editor.takeNote(), QString("有未保存录音"));
        QCOMPARE(p.main.takeNote(), QString());  // its own take shows as always
        p.media.take();
        p.editor.LUYINJIClicked(2);
        const QStringList sent = p.media.take();
        QVERIFY(sent.size() >= 3);
        QCOMPARE(sent[0], QString("stop NN"));
        QVERIFY2(sent[1].startsWith("save NN \"" + p.t.folder.path() + "/录音-"), qPrintable(sent[1]));
        QCOMPARE(sent[2], QString("CLOSE NN"));
        QCOMPARE(p.t.dialogs.messages.size(), 1);
        QVERIFY(p.t.dialogs.messages[0].startsWith("上一段未保存的录音已存入“演奏记录”：录音-"));
        // Now the editor's own take: the main window keeps it in turn.
        p.editor.LUYINJIClicked(1);
        p.media.take();
        p.main.record();
        QVERIFY(p.media.take()[1].startsWith("save NN "));
        QCOMPARE(p.t.window.FJWZ(), QString("录音中,请安静。。"));
        QVERIFY(p.t.window.XSWB().startsWith("上一段未保存的录音已存入“演奏记录”：录音-"));
    }

    // The device stops a take whose write failed; the clock tells why and
    // what is left, never that a take exists when nothing reached the disk.
    void aFailedWriteIsTold_data()
    {
        QTest::addColumn<bool>("main");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("told");
        QTest::addColumn<bool>("kept");
        QTest::newRow("main, 20 s written") << true << "20480" << "录音已停止：磁盘已满。已录下的20秒仍可保存到别的磁盘。" << true;
        QTest::newRow("main, nothing written") << true << "0" << "录音已停止：磁盘已满。没有录下声音。" << false;
        QTest::newRow("editor, 3 s written") << false << "3000" << "录音已停止：磁盘已满。已录下的3秒仍可保存到别的磁盘。" << true;
        QTest::newRow("main, 0.4 s written") << true << "400" << "录音已停止：磁盘已满。已录下的不到1秒仍可保存到别的磁盘。" << true;
    }
    void aFailedWriteIsTold()
    {
        QFETCH(bool, main);
        QFETCH(QString, length);
        QFETCH(QString, told);
        QFETCH(bool, kept);
        Pair p;
        W &r = main ? p.main : p.editor;
        if (main)
            r.record();
        else
            r.LUYINJIClicked(2);
        p.seconds(1);
        p.media.take();
        p.media.mode = "stopped";
        p.media.stoppedBecause = "磁盘已满";
        p.media.length = length;
        p.seconds(1);
        QStringList expected{"status NN mode", "status NN length"};
        if (!kept)
            expected << "close NN";
        QCOMPARE(p.media.take(), expected);
        QVERIFY(!r.Lyjsj().isEnabled());
        QVERIFY(!r.RecorderRecording());
        QCOMPARE(r.hasUnsavedTake(), kept);
        if (main) {
            QCOMPARE(p.t.window.FJWZ(), QString("录音写入失败。。。"));
            QCOMPARE(p.t.window.XSWB(), told);
            QCOMPARE(p.main.BcLYEnabled(), kept);
        } else {
            QCOMPARE(p.t.dialogs.messages, QStringList{told});
        }
    }

    // At exit the take goes to the record folder, else to the first other
    // folder that takes it, and the user is told where; if none takes it,
    // the device is not closed, so the take is left for the next start.
    void keptElsewhereWhenTheRecordFolderRefuses()
    {
        Pair p;
        QTemporaryDir documents;
        const QString elsewhere = documents.filePath("演奏记录");
        p.main.record();
        p.media.take();
        p.media.failing << "save NN \"" + p.t.folder.path();
        const QString told = p.main.shutDown({elsewhere, documents.filePath("数据")});
        const QStringList sent = p.media.take();
        QCOMPARE(sent.size(), 4);
        QVERIFY(sent[2].startsWith("save NN \"" + elsewhere + "/录音-"));
        QCOMPARE(sent[3], QString("CLOSE NN"));
        const QString path = sent[2].mid(9).chopped(1);
        QCOMPARE(told, "未保存的录音无法存入“演奏记录”文件夹（磁盘已满），已存为：\n" + path);
        QVERIFY(QDir(elsewhere).exists());
        QVERIFY(!QFile::exists(p.t.path(".kept-take")));

        Pair q;
        q.main.record();
        q.media.take();
        q.media.failing << "save NN";
        const QString none = q.main.shutDown({documents.filePath("x")});
        QCOMPARE(none, QString("未保存的录音无法存盘：磁盘已满。下次启动时会再次保存。"));
        QVERIFY(!q.closedTheAlias());
        QVERIFY(q.main.hasUnsavedTake());
    }
};

DZQ_REGISTER_TEST(SessionTakeTest)
#include "SessionTakeTest.moc"
