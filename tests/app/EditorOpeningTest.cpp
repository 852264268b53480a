#include "MainWindowRig.h"
#include "TestMain.h"

#include "editor/EditorControls.h"
#include "editor/YYBJ.h"
#include "rhythm/RhythmSequencer.h"

#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>

// The music editor opened from the real main window with "编辑".
class EditorOpeningTest : public QObject {
    Q_OBJECT
private slots:
    void opensHidesTheMainWindowAndReturns()
    {
        MainWindowRig r;
        quint32 waveVolume = 0;
        r.main.editor.setWaveVolume = [&waveVolume](quint32 v) { waveVolume = v; };
        r.t.state.ScoreText = QStringLiteral("KC4KD4");
        auto *bjck = r.find<QPushButton>("BJCK");
        QCOMPARE(bjck->text(), QStringLiteral("编辑"));
        QCOMPARE(bjck->toolTip(), QStringLiteral("使用音乐编辑窗口进行音乐编辑！"));
        QTest::mouseClick(bjck, Qt::LeftButton);
        QPointer<YYBJ> editor = r.form.editorWindow();
        QVERIFY(editor);
        QVERIFY(editor->isVisible());
        QVERIFY(!r.form.isVisible());
        QCOMPARE(waveVolume, 0x70007000u);
        QCOMPARE(editor->findChild<QComboBox *>(QStringLiteral("SYYQ(0)"))->currentText(),
                 QStringLiteral("15.编钟"));

        // Both device lists show and switch the one open device.
        auto *mainList = r.find<QComboBox>("ComDevies");
        auto *editorList = editor->findChild<QComboBox *>(QStringLiteral("ComDevies"));
        QCOMPARE(editorList->count(), mainList->count());
        QCOMPARE(editorList->currentIndex(), mainList->currentIndex());

        QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("TUICHU")), Qt::LeftButton);
        QTest::qWait(0);
        QVERIFY(editor.isNull());
        QVERIFY(r.form.isVisible());
        QCOMPARE(r.t.state.ScoreText, QStringLiteral("KC4KD4"));

        // A second opening builds the window anew.
        QTest::mouseClick(bjck, Qt::LeftButton);
        QVERIFY(r.form.editorWindow());
        QVERIFY(r.form.editorWindow()->activated());
        r.form.editorWindow()->close();
        QTest::qWait(0);
        QVERIFY(r.form.isVisible());
    }

    void leavingGivesTheMainWindowItsSoundBack()
    {
        MainWindowRig r;
        r.c.voices.selectKey(2);  // D: KeyBase 38
        r.c.voices.selectInstrument(1, 41);
        QTest::mouseClick(r.find<QPushButton>("BJCK"), Qt::LeftButton);
        QCOMPARE(int(r.t.state.KeyBase), 36);
        r.main.editor.controls.selectInstrument(1, 100);
        r.t.clearSent();
        r.form.editorWindow()->close();
        QTest::qWait(0);
        QCOMPARE(int(r.t.state.KeyBase), 38);
        const auto programs = r.t.midi.messagesOfKind(0xC0);
        QVERIFY(programs.contains(RecordingMidiBackend::program(1, 40)));
        QVERIFY(programs.contains(RecordingMidiBackend::program(0, 14)));
        r.key(Qt::Key_A);
        QVERIFY(r.t.sent().contains(0x460000u | quint32(38 + 24) << 8 | 0x90));
    }

    // While the editor is open the main window sounds nothing on channel 10
    // from the shared step table, even with the editor's own beats in it;
    // leaving gives the pattern back and says what was stopped.
    void openingStopsTheMainRhythmAndReturningSaysSo_data()
    {
        QTest::addColumn<bool>("rhythm");
        QTest::addColumn<bool>("score");
        QTest::addColumn<QString>("status");
        QTest::newRow("rhythm") << true << false << QStringLiteral("节奏已停止。。。");
        QTest::newRow("score with auto-sync") << false << true << QStringLiteral("自动演奏和节奏已停止。。。");
        QTest::newRow("nothing playing") << false << false << QStringLiteral("(unchanged)");
    }
    void openingStopsTheMainRhythmAndReturningSaysSo()
    {
        QFETCH(bool, rhythm);
        QFETCH(bool, score);
        QFETCH(QString, status);
        MainWindowRig r;
        r.c.sequencer.applyBuiltInRhythm(1);
        if (rhythm)
            r.c.sequencer.setBzQd(true);
        if (score) {
            r.c.sequencer.setCheck5(true);
            r.t.window.setText3(QStringLiteral("KC8KD8KE8KF8KG8KA8KB8HC8").repeated(8));
            r.c.player.playClicked();
            QVERIFY(r.c.player.ScorePlaying());
        }
        r.t.clock.advanceMs(1000);
        r.t.window.setFJWZ(QStringLiteral("(unchanged)"));

        QTest::mouseClick(r.find<QPushButton>("BJCK"), Qt::LeftButton);
        QVERIFY(!r.c.sequencer.BzQd());
        QVERIFY(!r.c.sequencer.BZDS().isEnabled());
        QVERIFY(!r.c.player.ScorePlaying());
        QVERIFY(!r.c.player.Timer3().isEnabled());
        EditorControls &editor = r.main.editor.controls;
        editor.clickBox(9, 1, true);
        r.t.clearSent();
        r.t.clock.advanceMs(3000);
        QCOMPARE(r.t.sent().size(), 0);  // the editor is idle: nothing sounds

        r.form.editorWindow()->close();
        QTest::qWait(0);
        QCOMPARE(r.t.window.FJWZ(), status);
        QVERIFY(!r.c.sequencer.BzQd());  // nothing restarts by itself
        for (int step = 0; step <= 16; ++step) {
            for (int row = 0; row < 4; ++row) {
                const StepCell &cell = r.t.state.Steps.cell(step, row);
                QCOMPARE(cell.Sounding == -1, r.c.pattern.Cells(row, step));
                QCOMPARE(int(cell.Note), r.c.pattern.Instrument(row) + 35);
                QCOMPARE(int(cell.Velocity), int(r.c.pattern.volumeNumber()));
            }
            QCOMPARE(int(r.t.state.Steps.cell(step, 4).Sounding), 0);
        }
    }

    void editorPlayingStopsTheMainRhythm()
    {
        MainWindowRig r;
        QTest::mouseClick(r.find<QPushButton>("BJCK"), Qt::LeftButton);
        // Started again while the editor is open (from code: the window is hidden).
        r.c.sequencer.setBzQd(true);
        r.main.editor.playback.setST2(true);
        QVERIFY(!r.c.sequencer.BzQd());
        QVERIFY(!r.c.sequencer.BZDS().isEnabled());
        r.form.editorWindow()->close();
        QTest::qWait(0);
        QCOMPARE(r.t.window.FJWZ(), QStringLiteral("节奏已停止。。。"));
    }
};

DZQ_REGISTER_TEST(EditorOpeningTest)
#include "EditorOpeningTest.moc"
