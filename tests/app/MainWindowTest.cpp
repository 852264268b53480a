#include "MainWindowRig.h"
#include "TestMain.h"

#include "score/ScoreTextEdit.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QAbstractItemView>
#include <QTest>


using R = RecordingMidiBackend;


// The rooms working together in the real main window.
class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startUpSendsTheDefaultsInOrder()
    {
        MainWindowRig r;
        const QVector<quint32> programs = r.t.midi.messagesOfKind(0xC0);
        const QVector<quint32> expected = {R::program(0, 14), R::program(1, 51), R::program(2, 78),
                                           R::program(3, 24), R::program(4, 24), R::program(5, 24)};
        QCOMPARE(programs.mid(0, 6), expected);  // the list selections
        QCOMPARE(programs.mid(6, 6), expected);  // and once more at the end
        QCOMPARE(programs.size(), 12);
        QCOMPARE(r.t.midi.lastOpenedId, 0);    // entry 1: the device after the default output
        QCOMPARE(r.t.state.KeyBase, qint16(36));
        QCOMPARE(r.t.state.EighthBeatMs, qint16(83));
        QCOMPARE(r.c.sequencer.BZDS().interval(), 166);
        QCOMPARE(r.t.window.XSWB(), PerformanceControllers::startHint());
        QVERIFY(r.t.dialogs.messages.isEmpty());
    }

    void keyAAfterStartUpSoundsMiddleCOnThreeVoices()
    {
        MainWindowRig r;
        r.t.clearSent();
        r.key(Qt::Key_A);
        QCOMPARE(r.t.midi.messagesOfKind(0x90),
                 (QVector<quint32>{R::noteOn(0, 60, 70), R::noteOn(1, 60, 70), R::noteOn(2, 60, 70)}));
        QCOMPARE(r.t.state.ScoreText, QString("KC"));
        QCOMPARE(r.find<ScoreTextEdit>("Text3")->score(), QString("KC"));
    }

    void helpTopicGivesTheKeyboardBack()
    {
        MainWindowRig r;
        QTest::mouseClick(r.find<QRadioButton>("Xxk(4)"), Qt::LeftButton);
        QCOMPARE(r.t.window.FJWZ(), QString("查看帮助。。。"));
        QTest::mouseClick(r.find<QRadioButton>("Option2(1)"), Qt::LeftButton);
        QCOMPARE(r.form.focusWidget(), r.keyboard());
        r.t.clearSent();
        r.key(Qt::Key_S);
        QCOMPARE(r.t.midi.messagesOfKind(0x90).size(), 3);
    }

    void keypadRhythmStopsWithSpace()
    {
        MainWindowRig r;
        r.key(Qt::Key_1, Qt::KeypadModifier);
        QVERIFY(r.c.sequencer.BzQd());
        QCOMPARE(r.t.window.XSWB(), QString("启动软件自带2/4节奏1"));
        QCOMPARE(r.find<QPushButton>("BzQd")->text(), QString("停止"));
        r.key(Qt::Key_Space);
        QVERIFY(!r.c.sequencer.BzQd());
        QCOMPARE(r.find<QPushButton>("BzQd")->text(), QString("启动"));
    }

    void chordAndEffectKeysSoundTheirChannels()
    {
        MainWindowRig r;
        r.t.clearSent();
        r.key(Qt::Key_I);
        QCOMPARE(r.t.midi.messagesOfKind(0x90),
                 (QVector<quint32>{R::noteOn(3, 60, 70), R::noteOn(4, 64, 70), R::noteOn(5, 67, 70)}));
        r.t.clearSent();
        r.key(Qt::Key_P);
        QCOMPARE(r.t.sent(), (QVector<quint32>{R::control(6, 0, 0), R::program(6, 47), R::noteOn(6, 48, 100)}));
    }

    void noNoteHangsWhenTheKeyChanges()
    {
        MainWindowRig r;
        r.key(Qt::Key_A);          // a melody note sounds
        r.key(Qt::Key_L);          // and a chord test
        auto *yd = r.find<QComboBox>("YD");
        QVERIFY(yd);
        yd->setCurrentIndex(2);    // key of D, chosen as the user chooses it
        emit yd->activated(2);
        QCOMPARE(r.t.state.KeyBase, qint16(38));
        r.t.clock.advanceMs(1000); // the chord test ends
        r.key(Qt::Key_Space);
        QCOMPARE(r.hangingNotes(), QString());
    }

    void typingIntoAListNeverChangesIt()
    {
        MainWindowRig r;
        const char *lists[] = {"ComSounds(0)", "Zxlyl(1)", "SD", "YD", "ComDevies", "Combo3(0)",
                               "HxYL", "LblInst(2)", "VsbVol"};
        for (const char *name : lists) {
            auto *list = r.find<QComboBox>(name);
            QVERIFY2(list, name);
            list->setFocus();
            const int before = list->currentIndex();
            const qint16 keyBase = r.t.state.KeyBase, eighth = r.t.state.EighthBeatMs;
            QSignalSpy activated(list, &QComboBox::activated);
            // The first character of another entry: Qt's search would pick it.
            QChar typed;
            for (int i = 0; i < list->count() && typed.isNull(); ++i) {
                const QChar c = list->itemText(i).at(0);
                if (i != before && c.unicode() < 128 && c.isLetterOrNumber() && !list->currentText().startsWith(c))
                    typed = c;
            }
            if (typed.isNull())
                typed = QLatin1Char('A');
            QTest::keyClicks(list, QString(typed));
            // The open popup does not search either; dismissing it chooses nothing.
            list->showPopup();
            QTest::keyClicks(list->view(), QString(typed));
            list->hidePopup();
            QVERIFY2(activated.isEmpty(), name);
            QCOMPARE(r.t.state.KeyBase, keyBase);
            QCOMPARE(r.t.state.EighthBeatMs, eighth);
            if (QByteArray(name) != "YD")
                QCOMPARE(list->currentIndex(), before);
        }
        // The key list: chosen "D", then typed into: the text reads "C" again
        // and the key stays D, so the next note is still in D.
        auto *yd = r.find<QComboBox>("YD");
        yd->setCurrentIndex(2);
        emit yd->activated(2);
        QCOMPARE(r.t.state.KeyBase, qint16(38));
        QTest::keyClick(yd, Qt::Key_A);
        QCOMPARE(yd->currentText(), QString("C"));
        QCOMPARE(r.t.state.KeyBase, qint16(38));
        r.t.clearSent();
        r.key(Qt::Key_A);
        QCOMPARE(r.t.midi.messagesOfKind(0x90).value(0), R::noteOn(0, 62, 70));
    }

    void scoreTypedInTheBoxPlaysAndAKeyStopsItsFlag()
    {
        MainWindowRig r;
        r.find<ScoreTextEdit>("Text3")->setPlainText("kc8kd8tz");
        auto *play = r.find<QPushButton>("Yuepu(0)");
        QTest::mouseClick(play, Qt::LeftButton);
        QCOMPARE(play->text(), QString("停止"));
        QVERIFY(r.c.player.ScorePlaying());
        r.t.clock.advanceMs(83 * 8);
        QCOMPARE(r.t.state.LastNoteOffset, qint16(26));  // KD plays now
        r.key(Qt::Key_G);
        QVERIFY(!r.c.player.ScorePlaying());
        r.t.clock.advanceMs(83 * 16);
        QCOMPARE(play->text(), QString("试听"));
        QVERIFY(r.t.dialogs.messages.isEmpty());
    }

    void closingStopsEveryTimerBeforeTheDeviceCloses()
    {
        MainWindowRig r;
        r.key(Qt::Key_5, Qt::KeypadModifier);  // the rhythm runs
        r.key(Qt::Key_A);                      // the duration tick runs
        r.form.close();
        r.t.clock.advanceMs(5000);
        QVERIFY(r.t.dialogs.messages.isEmpty());  // no send into the closed device
        QVERIFY(!r.c.sequencer.BZDS().isEnabled());
        QVERIFY(!r.c.keyboard.timer1().isEnabled());
    }
};

DZQ_REGISTER_TEST(MainWindowTest)
#include "MainWindowTest.moc"
