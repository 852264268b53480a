#include "PerformanceViewTests.h"
#include "PerformanceRig.h"

#include "performance/Form2.h"
#include "performance/KeyTable.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using R = RecordingMidiBackend;

namespace {
quint32 colourOf(const Form2 &f, int offset)
{
    return f.picture1(offset)->property("colour").toUInt();
}

// The mini window shown and active on a fresh session.
struct Mini {
    TestContext t;
    Form2 form{t.ctx, t.window};
    Mini()
    {
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTRY_VERIFY(form.JPSB->hasFocus());
        t.clearSent();
    }
};
}  // namespace

void Form2Test::controlsAndBoxes()
{
    TestContext t;
    Form2 f(t.ctx, t.window);
    QCOMPARE(f.windowTitle(), QString("Quorvane电子琴2012"));
    QVERIFY(f.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(f.JPSB->text(), QString("键盘演奏"));
    QCOMPARE(f.JPSB->toolTip(), QString("当迷你窗口失去焦点时将不能演奏，点击我即可使窗口重新获得焦点！"));
    QCOMPARE(f.Command1->text(), QString("返回"));
    QCOMPARE(f.Command1->toolTip(), QString("点击后将回到主窗口并把刚才的演奏乐谱装入主窗口左上方的乐谱编辑区中！"));
    QCOMPARE(f.Command2->text(), QString("清空"));
    QCOMPARE(f.Command2->toolTip(), QString("开始新的演奏以便满意后返回主窗口即可自动重复或编辑刚才的演奏！"));
    QCOMPARE(f.Picture2->text(), QString("点击空格键或鼠标移动到这里即可终止发音"));
    // White box w at x = 10 w; black boxes lie across the border of two whites.
    int white = 0;
    for (int o = 0; o < 65; ++o) {
        const QRect r = f.picture1(o)->geometry();
        if (KeyTable::isBlackKey(o)) {
            QCOMPARE(r.size(), QSize(6, 45));
            QVERIFY(r.left() < white * 10 && r.right() >= white * 10);
            QCOMPARE(colourOf(f, o), MiniKeyboard::kBlackUp);
        } else {
            QCOMPARE(r, QRect(white * 10, 0, 10, 73));
            QCOMPARE(colourOf(f, o), MiniKeyboard::kWhiteUp);
            ++white;
        }
    }
    QCOMPARE(white, 38);
    QVERIFY(!f.picture1(65));
}

void Form2Test::activationAndHeldKey()
{
    Mini m;
    QCOMPARE(m.t.state.VoiceInstrument[0], qint16(15));
    // A held key: one press, its auto-repeats ignored.
    QTest::keyPress(m.form.JPSB, Qt::Key_A);
    for (int i = 0; i < 3; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"), true);
        QApplication::sendEvent(m.form.JPSB, &repeat);
    }
    QTest::keyRelease(m.form.JPSB, Qt::Key_A);
    QCOMPARE(m.t.state.ScoreText, QString("KC"));
    QCOMPARE(m.t.midi.messagesOfKind(0x90).size(), 3);
    QCOMPARE(colourOf(m.form, 24), MiniKeyboard::kWhitePressed);
    // Back from another program: the performance goes on.
    QEvent away(QEvent::WindowDeactivate), back(QEvent::WindowActivate);
    QApplication::sendEvent(&m.form, &away);
    QApplication::sendEvent(&m.form, &back);
    QCOMPARE(m.t.state.ScoreText, QString("KC"));
    // Space and Enter never click, focus stays.
    QSignalSpy clicks(m.form.JPSB, &QPushButton::clicked);
    QTest::keyClick(m.form.JPSB, Qt::Key_Return);
    QTest::keyClick(m.form.JPSB, Qt::Key_Space);
    QCOMPARE(clicks.count(), 0);
    QVERIFY(m.form.JPSB->hasFocus());
    QCOMPARE(m.t.state.ScoreText, QString("KC0TZ"));
    // "清空" empties the score and gives the keys back to JPSB.
    QTest::mouseClick(m.form.Command2, Qt::LeftButton);
    QVERIFY(m.t.state.ScoreText.isEmpty());
    QTRY_VERIFY(m.form.JPSB->hasFocus());
}

void Form2Test::mouseAndMutePad()
{
    Mini m;
    QWidget *keys = m.form.picture1(0)->parentWidget();
    // Onto black box 1, then a drag onto white box 2.
    const QPoint black = m.form.picture1(1)->geometry().center();
    const QPoint white = m.form.picture1(2)->geometry().center() + QPoint(0, 20);
    QTest::mousePress(keys, Qt::LeftButton, {}, black);
    QCOMPARE(colourOf(m.form, 1), MiniKeyboard::kBlackPressed);
    QMouseEvent move(QEvent::MouseMove, white, keys->mapToGlobal(white), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(keys, &move);
    QTest::mouseRelease(keys, Qt::LeftButton, {}, white);
    QCOMPARE(colourOf(m.form, 1), MiniKeyboard::kBlackUp);
    QCOMPARE(colourOf(m.form, 2), MiniKeyboard::kWhitePressed);
    QCOMPARE(m.t.midi.messagesOfKind(0x90).size(), 6);
    QVERIFY(m.t.state.ScoreText.isEmpty());
    // Hovering over the mute pad silences; the box stays grey.
    m.t.clearSent();
    const QPoint pad(50, 5);
    QMouseEvent hover(QEvent::MouseMove, pad, m.form.Picture2->mapToGlobal(pad), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(m.form.Picture2, &hover);
    QCOMPARE(m.t.sent(), (QVector<quint32>{R::noteOff(0, 38), R::noteOff(1, 38), R::noteOff(2, 38)}));
    QCOMPARE(colourOf(m.form, 2), MiniKeyboard::kWhitePressed);
}

void Form2Test::returnAndClose()
{
    Mini m;
    QSignalSpy returning(&m.form, &Form2::returning);
    QTest::keyClick(m.form.JPSB, Qt::Key_A);
    QTest::keyClick(m.form.JPSB, Qt::Key_S);
    QTest::mouseClick(m.form.Command1, Qt::LeftButton);
    QCOMPARE(m.t.window.Text3(), QString("KC0KD"));
    QCOMPARE(returning.count(), 1);
    QVERIFY(!m.form.isVisible());
    // Shown again: a new performance with the start-up instruments.
    m.form.show();
    m.form.activateWindow();
    QTRY_VERIFY(m.t.state.ScoreText.isEmpty());
    QTest::keyClick(m.form.JPSB, Qt::Key_D);
    // Closing hands back as well, and destroys the window.
    auto *closing = new Form2(m.t.ctx, m.t.window);
    closing->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<Form2> alive(closing);
    QSignalSpy closed(closing, &Form2::returning);
    closing->show();
    QVERIFY(closing->close());
    QCOMPARE(closed.count(), 1);
    QCOMPARE(m.t.window.Text3(), m.t.state.ScoreText);
    QTRY_VERIFY(!alive);
}
