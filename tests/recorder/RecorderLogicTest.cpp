#include "ScriptedMedia.h"
#include "TestContext.h"
#include "TestMain.h"

#include "recorder/RecorderDisplay.h"
#include "recorder/WaveRecorder.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

namespace {

using W = WaveRecorder;

const QStringList kRecord = {"CLOSE NN", "OPEN NEW TYPE WaveAudio ALIAS NN", "RECORD NN"};

// One front end on the scripted device, the window's display and dialogs.
struct Rig {
    TestContext t;
    ScriptedMedia media;
    WindowRecorderDisplay display{t.window};
    WaveRecorder r;

    explicit Rig(W::FrontEnd front = W::FrontEnd::MainWindow)
        : r(front, media, display, t.dialogs, t.clock, t.folder.path())
    {
    }
    QList<int> images() const { return {r.Image1(0), r.Image1(1), r.Image1(2)}; }
    void seconds(int n) { t.clock.advanceMs(1000 * n); }
};

// The editor's front end writes nothing of its own anywhere.
struct SilentDisplay : RecorderDisplay {
    QStringList written;
    void setXSWB(const QString &text) override { written << text; }
    void setFJWZ(const QString &text) override { written << text; }
    void setLastFilePath(const QString &path) override { written << path; }
    void tell(const QString &, const QString &whole) override { written << whole; }
};

}  // namespace

class RecorderLogicTest : public QObject {
    Q_OBJECT
private slots:
    void recordStopSave()
    {
        Rig g;
        QSignalSpy choices(&g.r, &W::choiceMade);
        QCOMPARE(g.r.elapsedText(), QString("00:00"));
        QVERIFY(!g.r.BcLYEnabled());
        QVERIFY(!g.r.Lyjsj().isEnabled());
        QCOMPARE(g.r.Lyjsj().interval(), 1000);

        g.r.Image1Clicked(2);
        QCOMPARE(g.media.take(), kRecord);
        QCOMPARE(g.images(), (QList<int>{W::kPlayUp, W::kStopUp, W::kRecordDown}));
        QVERIFY(g.r.RecorderRecording());
        QVERIFY(g.r.BcLYEnabled());
        QVERIFY(g.r.Lyjsj().isEnabled());
        QCOMPARE(g.t.window.FJWZ(), QString("录音中,请安静。。"));
        QCOMPARE(g.t.window.XSWB(), QString("当录音重放出现沙哑杂音失真等情况时请适当调整系统音量中的各音源音量大小！"));

        g.seconds(3);
        QCOMPARE(g.media.take(), QStringList(3, "status NN mode"));
        QCOMPARE(g.r.elapsedText(), QString("0:2"));
        QCOMPARE(g.r.RecorderSeconds(), qint16(3));

        g.r.Image1Clicked(1);
        QCOMPARE(g.media.take(), QStringList{"STOP NN"});
        QCOMPARE(g.images(), (QList<int>{W::kPlayUp, W::kStopDown, W::kRecordUp}));
        QCOMPARE(g.r.elapsedText(), QString("00:00"));
        QCOMPARE(g.r.RecorderSeconds(), qint16(0));
        QCOMPARE(g.t.window.FJWZ(), QString("录音机已停止。。。"));
        QVERIFY(!g.r.Lyjsj().isEnabled());
        QVERIFY(g.r.BcLYEnabled());  // the stopped take can still be saved

        const QString path = g.t.path("我的 录音.wav");
        g.t.dialogs.saveAnswers << path;
        g.r.BcLYClicked();
        QCOMPARE(g.media.take(), (QStringList{"stop NN", "save NN \"" + path + "\"", "close NN"}));
        QCOMPARE(g.t.dialogs.saveRequests.size(), 1);
        QCOMPARE(g.t.dialogs.saveRequests[0].filter, QString("演奏录音(wav)|*.wav"));
        QCOMPARE(g.t.dialogs.saveRequests[0].folder, g.t.folder.path());
        QVERIFY(g.t.dialogs.saveRequests[0].confirmOverwrite);
        QCOMPARE(g.t.window.FJWZ(), QString("成功保存录音。。。"));
        QCOMPARE(g.t.window.LastFilePath, path);
        QVERIFY(!g.r.BcLYEnabled());
        QVERIFY(!g.r.hasUnsavedTake());
        QCOMPARE(choices.count(), 3);
    }

    void saveWhileRecordingStopsSavesAndCloses()
    {
        Rig g;
        g.r.record();
        g.seconds(2);
        g.media.take();
        g.t.dialogs.saveAnswers << g.t.path("a.wav");
        g.r.save();
        QCOMPARE(g.media.take(), (QStringList{"stop NN", "save NN \"" + g.t.path("a.wav") + "\"", "close NN"}));
        QVERIFY(!g.r.RecorderRecording());
        QVERIFY(!g.r.Lyjsj().isEnabled());
        QCOMPARE(g.r.elapsedText(), QString("00:00"));
        QCOMPARE(g.images(), (QList<int>{W::kPlayUp, W::kStopUp, W::kRecordUp}));
        g.seconds(3);
        QVERIFY(g.media.commands.isEmpty());  // the clock has stopped
    }

    void recordTwiceDiscardsTheFirstTakeAndKeepsCounting()
    {
        Rig g;
        g.r.record();
        g.seconds(5);
        g.media.take();
        g.r.record();
        QCOMPARE(g.media.take(), kRecord);
        QCOMPARE(g.r.RecorderSeconds(), qint16(5));
        g.seconds(1);
        QCOMPARE(g.r.elapsedText(), QString("0:5"));
    }

    void clockRollsOverToMinutes()
    {
        Rig g;
        g.r.record();
        g.seconds(61);
        QCOMPARE(g.r.elapsedText(), QString("1:0"));
        QCOMPARE(g.r.RecorderMinutes(), qint16(1));
        QCOMPARE(g.r.RecorderSeconds(), qint16(1));
    }

    void playingAFourSecondFile()
    {
        Rig g;
        const QString path = g.t.path("四秒.wav");
        g.t.dialogs.openAnswers << path;
        g.media.modes = QStringList{"playing", "playing", "playing", "playing", "stopped"};
        g.r.Image1Clicked(0);
        QCOMPARE(g.media.take(), (QStringList{"CLOSE NN", "OPEN \"" + path + "\" TYPE WaveAudio ALIAS NN",
                                              "seek NN to start", "PLAY NN FROM 0", "CLOSE ANIMATION"}));
        QCOMPARE(g.t.dialogs.openRequests.size(), 1);
        QCOMPARE(g.t.dialogs.openRequests[0].filter, QString("演奏录音(wav)|*.wav"));
        QCOMPARE(g.t.window.LastFilePath, path);
        QCOMPARE(g.t.window.FJWZ(), QString("正在播放录音。。。"));
        QCOMPARE(g.t.window.XSWB(), QString("当录音重放无声时请按帮助文档中的方法设置系统音量属性！"));
        QCOMPARE(g.images(), (QList<int>{W::kPlayDown, W::kStopUp, W::kRecordUp}));
        QVERIFY(g.r.RecorderPlaying());

        QStringList labels;
        for (int i = 0; i < 4; ++i) {
            g.seconds(1);
            labels << g.r.elapsedText();
        }
        QCOMPARE(labels, (QStringList{"0:0", "0:1", "0:2", "0:3"}));
        g.media.take();
        g.seconds(1);
        QCOMPARE(g.media.take(), (QStringList{"status NN mode", "STOP NN", "Close NN"}));
        QCOMPARE(g.r.elapsedText(), QString("00:00"));
        QCOMPARE(g.images(), (QList<int>{W::kPlayUp, W::kStopDown, W::kRecordUp}));
        QCOMPARE(g.t.window.FJWZ(), QString("录音机已停止。。。"));
        QVERIFY(!g.r.RecorderPlaying());
        QVERIFY(!g.r.Lyjsj().isEnabled());
    }

    // Whatever ends the alias behind the clock's back, the clock stops at
    // its next tick instead of counting for ever.
    void clockStopsWhenTheAliasIsGone()
    {
        Rig g;
        g.t.dialogs.openAnswers << g.t.path("x.wav");
        g.r.play();
        g.media.failing << "status";
        g.media.take();
        g.seconds(1);
        QCOMPARE(g.media.take(), (QStringList{"status NN mode", "STOP NN", "Close NN"}));
        QVERIFY(!g.r.Lyjsj().isEnabled());
        QVERIFY(!g.r.RecorderPlaying());

        // A cancelled play leaves the file playing on.
        g.media.failing.clear();
        g.t.dialogs.openAnswers << g.t.path("x.wav");
        g.r.play();
        g.media.take();
        g.r.play();  // cancelled
        QVERIFY(g.media.take().isEmpty());
        QVERIFY(g.r.Lyjsj().isEnabled());
        QVERIFY(g.r.RecorderPlaying());
        QCOMPARE(g.r.Image1(0), int(W::kPlayDown));
    }

    void cancelledPlayKeepsAStoppedTake()
    {
        Rig g;
        g.r.record();
        g.r.stop();
        g.media.take();
        g.r.play();  // cancelled
        QVERIFY(g.media.take().isEmpty());
        QCOMPARE(g.r.Image1(0), int(W::kPlayUp));
        QVERIFY(g.r.hasUnsavedTake());
        QVERIFY(g.r.BcLYEnabled());  // still there to save
        QVERIFY(g.t.window.LastFilePath.isEmpty());
    }

    void guardsOfTheMainWindow()
    {
        Rig g;
        g.t.dialogs.openAnswers << g.t.path("x.wav");
        g.r.play();
        g.media.take();
        g.r.record();  // refused while playing: only the image is redrawn
        QVERIFY(g.media.commands.isEmpty());
        QCOMPARE(g.r.Image1(2), int(W::kRecordUp));
        QVERIFY(g.r.RecorderPlaying());

        g.r.stop();
        g.r.record();
        g.media.take();
        g.r.play();  // refused while recording: no dialog, no command
        QVERIFY(g.media.commands.isEmpty());
        QCOMPARE(g.t.dialogs.openRequests.size(), 1);
        QCOMPARE(g.r.Image1(0), int(W::kPlayUp));
        QVERIFY(g.r.RecorderRecording());
    }

    void cancelledSaveKeepsRecording()
    {
        Rig g;
        g.r.record();
        g.media.take();
        g.r.save();
        QVERIFY(g.media.commands.isEmpty());
        QCOMPARE(g.t.window.FJWZ(), QString("没有保存录音。。。"));
        QVERIFY(g.r.RecorderRecording());
        QVERIFY(g.r.Lyjsj().isEnabled());
    }

    // The device cannot write the file: the failure is told with its reason
    // and the take stays, to be saved elsewhere.
    void failedSaveKeepsTheTake()
    {
        Rig g;
        g.t.window.LastFilePath = g.t.path("乐谱.txt");
        g.r.record();
        g.media.failing << "save NN";
        g.t.dialogs.saveAnswers << "/只读/a.wav";
        g.media.take();
        g.r.save();
        QCOMPARE(g.media.take(), (QStringList{"stop NN", "save NN \"/只读/a.wav\""}));
        QCOMPARE(g.t.window.FJWZ(), QString("保存录音失败。。。"));
        QCOMPARE(g.t.window.XSWB(), QString("保存录音失败：磁盘已满。录音仍然保留，可以另存到别处。"));
        QCOMPARE(g.t.window.LastFilePath, g.t.path("乐谱.txt"));
        QVERIFY(g.r.BcLYEnabled());
        QVERIFY(g.r.hasUnsavedTake());
        QVERIFY(!g.r.Lyjsj().isEnabled());

        g.media.failing.clear();
        g.t.dialogs.saveAnswers << g.t.path("b.wav");
        g.r.save();
        QCOMPARE(g.media.take().last(), QString("close NN"));
        QCOMPARE(g.t.window.FJWZ(), QString("成功保存录音。。。"));
    }

    // A file the device cannot open or play: a short message and the
    // stopped state, not a clock that counts for ever.
    void unplayableFileStops_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QStringList>("tail");
        QTest::newRow("open") << "OPEN" << QStringList{"OPEN \"%F\" TYPE WaveAudio ALIAS NN"};
        QTest::newRow("play") << "PLAY"
                              << QStringList{"OPEN \"%F\" TYPE WaveAudio ALIAS NN", "seek NN to start", "PLAY NN FROM 0",
                                             "close NN"};
    }
    void unplayableFileStops()
    {
        QFETCH(QString, failing);
        QFETCH(QStringList, tail);
        Rig g;
        const QString path = g.t.path("坏.wav");
        g.media.failing << failing;
        g.media.error = "不是可以播放的声音文件";
        g.t.dialogs.openAnswers << path;
        g.r.play();
        QCOMPARE(g.media.take(), QStringList{"CLOSE NN"} + tail.replaceInStrings("%F", path));
        QCOMPARE(g.t.window.FJWZ(), QString("无法播放录音。。。"));
        QCOMPARE(g.t.window.XSWB(), QString("无法播放“坏.wav”：不是可以播放的声音文件。"));
        QVERIFY(!g.r.RecorderPlaying());
        QVERIFY(!g.r.Lyjsj().isEnabled());
        QCOMPARE(g.images(), (QList<int>{W::kPlayUp, W::kStopDown, W::kRecordUp}));
    }

    void failedRecordingIsTold_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("open") << "OPEN" << kRecord.mid(0, 2);
        QTest::newRow("record") << "RECORD" << kRecord + QStringList{"CLOSE NN"};
    }
    void failedRecordingIsTold()
    {
        QFETCH(QString, failing);
        QFETCH(QStringList, sent);
        Rig g;
        g.media.failing << failing;
        g.r.record();
        QCOMPARE(g.media.take(), sent);
        QCOMPARE(g.t.window.FJWZ(), QString("无法录音。。。"));
        QCOMPARE(g.t.window.XSWB(), QString("无法录音：磁盘已满。"));
        QVERIFY(!g.r.RecorderRecording());
        QVERIFY(!g.r.BcLYEnabled());
        QVERIFY(!g.r.hasUnsavedTake());
        QVERIFY(!g.r.Lyjsj().isEnabled());
    }

    void editorFrontEnd()
    {
        TestContext t;
        ScriptedMedia media;
        SilentDisplay display;
        W r(W::FrontEnd::Editor, media, display, t.dialogs, t.clock, t.folder.path());
        QCOMPARE(r.elapsedText(), QString("当前:"));

        // Any option interrupts the other activity.
        t.dialogs.openAnswers << t.path("曲.wav");
        r.LUYINJIClicked(0);
        QCOMPARE(media.take(), (QStringList{"CLOSE NN", "OPEN \"" + t.path("曲.wav") + "\" TYPE WaveAudio ALIAS NN",
                                            "seek NN to start", "PLAY NN FROM 0", "CLOSE ANIMATION"}));
        media.mode = "playing";
        t.clock.advanceMs(1000);
        QCOMPARE(r.elapsedText(), QString("当前: 0:0"));
        r.LUYINJIClicked(2);
        QCOMPARE(media.take(), QStringList{"status NN mode"} + kRecord);
        QCOMPARE(r.selectedOption(), 2);
        r.LUYINJIClicked(1);
        QCOMPARE(media.take(), QStringList{"STOP NN"});
        QCOMPARE(r.elapsedText(), QString("当前: 00:00"));

        r.LUYINJIClicked(3);  // cancelled: the options are deselected
        QVERIFY(media.commands.isEmpty());
        QCOMPARE(r.selectedOption(), -1);
        t.dialogs.saveAnswers << t.path("编辑.wav");
        r.LUYINJIClicked(3);
        QCOMPARE(media.take(), (QStringList{"stop NN", "save NN \"" + t.path("编辑.wav") + "\"", "close NN"}));
        QCOMPARE(r.selectedOption(), -1);

        // The end of playing deselects the play option.
        t.dialogs.openAnswers << t.path("曲.wav");
        r.LUYINJIClicked(0);
        media.mode = "stopped";
        t.clock.advanceMs(1000);
        QCOMPARE(media.take().mid(5), (QStringList{"status NN mode", "STOP NN", "Close NN"}));
        QCOMPARE(r.selectedOption(), -1);
        QCOMPARE(r.elapsedText(), QString("当前: 00:00"));
        QVERIFY(display.written.isEmpty());
        QCOMPARE(t.window.FJWZ(), QString());
    }

    // Two front ends address the one alias: what one starts, the other's
    // commands end.
    void twoFrontEndsShareTheAlias()
    {
        TestContext t;
        ScriptedMedia media;
        WindowRecorderDisplay mainDisplay(t.window);
        SilentDisplay editorDisplay;
        W main(W::FrontEnd::MainWindow, media, mainDisplay, t.dialogs, t.clock, t.folder.path());
        W editor(W::FrontEnd::Editor, media, editorDisplay, t.dialogs, t.clock, t.folder.path());
        main.record();
        editor.LUYINJIClicked(1);
        QCOMPARE(media.take(), kRecord + QStringList{"STOP NN"});
    }

    void shutDownKeepsAnUnsavedTake()
    {
        Rig g;
        g.r.shutDown();
        QCOMPARE(g.media.take(), QStringList{"CLOSE NN"});

        g.r.record();
        g.media.take();
        g.r.shutDown();
        const QStringList sent = g.media.take();
        QCOMPARE(sent.size(), 3);
        QCOMPARE(sent[0], QString("stop NN"));
        QVERIFY2(QRegularExpression("^save NN \"" + QRegularExpression::escape(g.t.folder.path())
                                    + "/录音-\\d{8}-\\d{6}\\.wav\"$")
                     .match(sent[1])
                     .hasMatch(),
                 qPrintable(sent[1]));
        QCOMPARE(sent[2], QString("CLOSE NN"));
        QVERIFY(!g.r.Lyjsj().isEnabled());

        // The next start says where it went, once, with the takes the start
        // found left by a run that was killed.
        Rig next;
        WaveRecorder again(W::FrontEnd::MainWindow, next.media, next.display, next.t.dialogs, next.t.clock,
                           g.t.folder.path());
        again.noteRecovered({"录音-20240102-030405.wav"});
        again.announceKeptTake();
        const QString name = sent[1].section('/', -1).chopped(1);
        QCOMPARE(next.t.window.FJWZ(), QString("上次的录音已保留。。。"));
        QCOMPARE(next.t.dialogs.messages, QStringList{QString("上次退出时未保存的录音已存入“演奏记录”：\n%1\n\n"
                                                              "上次程序没有正常结束，录音已找回，存入“演奏记录”：\n"
                                                              "录音-20240102-030405.wav")
                                                          .arg(name)});
        next.t.window.setFJWZ(QString());
        again.announceKeptTake();
        QCOMPARE(next.t.window.FJWZ(), QString());
        QCOMPARE(next.t.dialogs.messages.size(), 1);
    }

    void savedOrDiscardedTakesAreNotKept()
    {
        Rig g;
        g.r.record();
        g.t.dialogs.saveAnswers << g.t.path("a.wav");
        g.r.save();
        g.media.take();
        g.r.shutDown();
        QCOMPARE(g.media.take(), QStringList{"CLOSE NN"});
        QVERIFY(!QFile::exists(g.t.path(".kept-take")));
    }
};

DZQ_REGISTER_TEST(RecorderLogicTest)
#include "RecorderLogicTest.moc"
