#include "MainWindowRig.h"
#include "TestMain.h"

#include "performance/Form2.h"

#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using R = RecordingMidiBackend;

// The mini window opened from the real main window.
class MiniWindowTest : public QObject {
    Q_OBJECT
private slots:
    void opensPlaysAndReturns()
    {
        MainWindowRig r;
        auto *mini = r.find<QPushButton>("MiNi");
        QCOMPARE(mini->toolTip(), QString("占用最小的桌面面积以便打开各种格式的乐谱实现一边看乐谱一边演奏！"));
        // The main window chose other instruments and has a score.
        r.c.voices.selectInstrument(0, 1);
        r.key(Qt::Key_A);
        r.c.player.setButtonEnabled(0, false);
        r.t.clearSent();
        QTest::mouseClick(mini, Qt::LeftButton);
        Form2 *f = r.form.miniWindow();
        QVERIFY(f);
        QVERIFY(f->isVisible());
        QVERIFY(!r.form.isVisible());
        QVERIFY(r.t.state.ScoreText.isEmpty());
        // The main keyboard's tick stops: it would count into the mini score.
        QVERIFY(!r.c.keyboard.timer1().isEnabled());
        QCOMPARE(r.t.midi.messagesOfKind(0xC0), (QVector<quint32>{R::program(0, 14), R::program(1, 51),
                                                                  R::program(2, 78)}));
        QTest::keyClick(f->JPSB, Qt::Key_A);
        r.t.clock.advanceMs(10 * r.t.state.EighthBeatMs);
        QTest::keyClick(f->JPSB, Qt::Key_S);
        QTest::mouseClick(f->Command1, Qt::LeftButton);
        QCOMPARE(r.t.window.Text3(), QString("KC10KD"));
        QVERIFY(r.c.player.buttonEnabled(0));
        QVERIFY(r.form.isVisible());
        QVERIFY(!f->isVisible());
        // Its tick ends the last note after the hand-back, until the main
        // keyboard plays: then only the main keyboard's tick counts.
        QVERIFY(f->keyboard().timer1().isEnabled());
        r.key(Qt::Key_D);
        QVERIFY(!f->keyboard().timer1().isEnabled());
        r.t.clock.advanceMs(10 * 80 + 5);
        r.key(Qt::Key_F);
        QVERIFY(r.t.state.ScoreText.endsWith(QLatin1String("KE10KF")));
        // Opened again: the same window, a new performance.
        QTest::mouseClick(mini, Qt::LeftButton);
        QCOMPARE(r.form.miniWindow(), f);
        QVERIFY(r.t.state.ScoreText.isEmpty());
        // Closing it hands back and destroys it; the main window stays.
        QTest::keyClick(f->JPSB, Qt::Key_D);
        QPointer<Form2> alive(f);
        QVERIFY(f->close());
        QCOMPARE(r.t.window.Text3(), QString("KE"));
        QVERIFY(r.form.isVisible());
        QTRY_VERIFY(!alive);
        QVERIFY(!r.form.miniWindow());
    }
};

DZQ_REGISTER_TEST(MiniWindowTest)
#include "MiniWindowTest.moc"
