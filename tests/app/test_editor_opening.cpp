#include "MainWindowRig.h"
#include "TestMain.h"

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

    void editorPlayingStopsTheMainRhythm()
    {
        MainWindowRig r;
        r.c.sequencer.setBzQd(true);
        r.c.sequencer.BZDS().setEnabled(true);
        QTest::mouseClick(r.find<QPushButton>("BJCK"), Qt::LeftButton);
        r.main.editor.playback.setST2(true);
        QVERIFY(!r.c.sequencer.BZDS().isEnabled());
        r.form.editorWindow()->close();
        QTest::qWait(0);
    }
};

DZQ_REGISTER_TEST(EditorOpeningTest)
#include "test_editor_opening.moc"
