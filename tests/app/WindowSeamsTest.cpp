#include "MainWindowRig.h"
#include "TestMain.h"

#include "editor/YYBJ.h"
#include "jianpu/NotationWindow.h"
#include "performance/Form2.h"
#include "widgets/WindowPlacement.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using R = RecordingMidiBackend;
using Msgs = QVector<quint32>;

namespace {

QRect availableFor(const QWidget &w)
{
    return WindowPlacement::availableAt(w.frameGeometry().center(), &w);
}

// Inside the area on each axis where the frame fits; at the area's start
// where it does not.
bool inside(const QRect &frame, const QRect &area)
{
    auto axis = [](int start, int length, int areaStart, int areaLength) {
        return length >= areaLength ? start == areaStart
                                    : start >= areaStart && start + length <= areaStart + areaLength;
    };
    return axis(frame.left(), frame.width(), area.left(), area.width())
           && axis(frame.top(), frame.height(), area.top(), area.height());
}

// Opens the mini window or the editor from the main window, and leaves it.
struct OtherWindow {
    MainWindowRig &r;
    QString which;
    void open() { QTest::mouseClick(r.find<QPushButton>(which == "迷你" ? "MiNi" : "BJCK"), Qt::LeftButton); }
    QWidget *window() const
    {
        return which == "迷你" ? static_cast<QWidget *>(r.form.miniWindow()) : r.form.editorWindow();
    }
    void leave()
    {
        if (which == "迷你")
            QTest::mouseClick(r.form.miniWindow()->Command1, Qt::LeftButton);
        else
            QTest::mouseClick(r.form.editorWindow()->findChild<QPushButton *>(QStringLiteral("TUICHU")), Qt::LeftButton);
        QTest::qWait(0);
    }
};

}  // namespace

// The main window and the windows that take its place or belong to it.
class WindowSeamsTest : public QObject {
    Q_OBJECT
private slots:
    void otherWindows_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("mini window") << QStringLiteral("迷你");
        QTest::newRow("editor") << QStringLiteral("编辑");
    }

    void companionsGoAndComeBackWithTheMainWindow_data() { otherWindows_data(); }
    void companionsGoAndComeBackWithTheMainWindow()
    {
        QFETCH(QString, which);
        MainWindowRig r;
        OtherWindow other{r, which};
        const QRect available = availableFor(r.form);
        r.form.move(WindowPlacement::fitInside(QRect(available.topLeft() + QPoint(40, 30), r.form.frameGeometry().size()),
                                               available));
        QTest::mouseClick(r.find<QPushButton>("JianPu"), Qt::LeftButton);
        NotationWindow *notation = r.form.notationWindow();
        QVERIFY(notation && notation->isVisible());
        notation->move(WindowPlacement::fitInside(
            QRect(available.topLeft() + QPoint(12, available.height() - notation->frameGeometry().height() - 5),
                  notation->frameGeometry().size()),
            available));
        const QPoint mainAt = r.form.pos(), notationAt = notation->pos();

        other.open();
        QVERIFY(other.window()->isVisible());
        QVERIFY(!r.form.isVisible());
        QVERIFY(!notation->isVisible());
        if (which == "迷你")
            QTest::keyClick(r.form.miniWindow()->JPSB, Qt::Key_A);
        r.t.clearSent();
        const QString score = r.t.state.ScoreText;
        // Keys typed into the hidden windows reach no keyboard: nothing sounds,
        // nothing is written, no second duration tick counts.
        QTest::keyClick(notation, Qt::Key_S);
        QTest::keyClick(r.keyboard(), Qt::Key_D);
        QVERIFY(r.t.midi.messagesOfKind(0x90).isEmpty());
        QCOMPARE(r.t.state.ScoreText, score);
        QVERIFY(!r.c.keyboard.timer1().isEnabled());
        if (which == "迷你") {
            r.t.clock.advanceMs(10 * r.t.state.EighthBeatMs);
            QTest::keyClick(r.form.miniWindow()->JPSB, Qt::Key_F);
        }

        other.leave();
        QVERIFY(r.form.isVisible());
        QVERIFY(notation->isVisible());
        QCOMPARE(r.form.pos(), mainAt);
        QCOMPARE(notation->pos(), notationAt);
        if (which == "迷你")
            QCOMPARE(r.t.window.Text3(), QStringLiteral("KC10KF"));
        // Back in front, the main keyboard plays again, also from the 简谱 window.
        r.t.clearSent();
        QTest::keyClick(notation, Qt::Key_G);
        QVERIFY(r.t.midi.messagesOfKind(0x90).contains(R::noteOn(0, 36 + 31, 70)));
        QVERIFY(r.t.state.ScoreText.endsWith(QLatin1String("KG")));
    }

    void editorEndsTheSoundingNoteWhereItSounds()
    {
        // Key D, key A (note 62), "编辑" within 8 s, 8 s there, back.
        MainWindowRig r;
        r.c.voices.selectKey(2);
        r.key(Qt::Key_A);
        QVERIFY(r.t.midi.messagesOfKind(0x90).contains(R::noteOn(0, 62, 70)));
        r.t.clock.advanceMs(37 * 80 + 5);
        r.t.clearSent();
        OtherWindow editor{r, QStringLiteral("编辑")};
        editor.open();
        QCOMPARE(r.t.midi.messagesOfKind(0x80).mid(0, 3), (Msgs{R::noteOff(0, 62), R::noteOff(1, 62), R::noteOff(2, 62)}));
        r.t.clock.advanceMs(8000);
        editor.leave();
        for (quint32 m : r.t.sent()) {
            const MidiMessage msg = MidiMessage::unpack(m);
            QVERIFY2(!(msg.isNoteOff() && msg.channel() <= 2 && msg.data1 == 60), "a note-off went to the editor's key");
        }
        QCOMPARE(r.hangingNotes(), QString());
        // The note ended when the editor opened: its duration is the time it sounded.
        QCOMPARE(r.t.state.ScoreText, QStringLiteral("KC"));
        r.key(Qt::Key_S);
        QCOMPARE(r.t.state.ScoreText, QStringLiteral("KC37KD"));
        QVERIFY(r.t.midi.messagesOfKind(0x90).contains(R::noteOn(0, 64, 70)));
    }

    void windowsOpenInsideTheScreen_data() { otherWindows_data(); }
    void windowsOpenInsideTheScreen()
    {
        QFETCH(QString, which);
        MainWindowRig r;
        OtherWindow other{r, which};
        const QRect available = availableFor(r.form);
        r.form.placeAtStart(available, nullptr);
        QVERIFY(inside(r.form.frameGeometry(), available));
        // At the bottom of the screen: the editor is taller, the 简谱 window
        // would open below it.
        r.form.move(available.left(), available.bottom() + 1 - r.form.frameGeometry().height());
        QTest::mouseClick(r.find<QPushButton>("JianPu"), Qt::LeftButton);
        QVERIFY(inside(r.form.notationWindow()->frameGeometry(), available));
        other.open();
        QVERIFY2(inside(other.window()->frameGeometry(), available),
                 qPrintable(QStringLiteral("%1 opened at %2,%3 %4x%5")
                                .arg(which)
                                .arg(other.window()->frameGeometry().x())
                                .arg(other.window()->frameGeometry().y())
                                .arg(other.window()->frameGeometry().width())
                                .arg(other.window()->frameGeometry().height())));
        if (which == "编辑") {
            // A wider measure moves the window to the design's left edge, still inside.
            QTest::mouseClick(r.form.editorWindow()->findChild<QWidget *>(QStringLiteral("JPFL(2)")), Qt::LeftButton);
            QCOMPARE(r.form.editorWindow()->width(), YYBJ::windowWidth(2));
            QVERIFY(inside(r.form.editorWindow()->frameGeometry(), available));
        }
        other.leave();
        QVERIFY(inside(r.form.frameGeometry(), available));
    }

    void placementKeepsFramesInside_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QPoint>("placed");
        // Area 0,0 1280x800.
        QTest::newRow("inside stays") << QRect(100, 200, 400, 300) << QPoint(100, 200);
        QTest::newRow("below the bottom") << QRect(100, 700, 400, 392) << QPoint(100, 408);
        QTest::newRow("past the right edge") << QRect(1000, 10, 400, 300) << QPoint(880, 10);
        QTest::newRow("above and left") << QRect(-50, -20, 400, 300) << QPoint(0, 0);
        QTest::newRow("exactly fits") << QRect(0, 0, 1280, 800) << QPoint(0, 0);
        QTest::newRow("wider than the screen") << QRect(300, 100, 1500, 300) << QPoint(0, 100);
        QTest::newRow("taller than the screen") << QRect(300, 500, 400, 900) << QPoint(300, 0);
    }
    // The score box a hand-back replaces and the work left at exit are
    // kept in the record folder; undo brings the replaced box back.
    void workNoFileHoldsSurvivesHandBackAndExit()
    {
        MainWindowRig r;
        const auto kept = [&](const char *pattern) {
            return QDir(r.t.folder.path()).entryList({QString::fromUtf8(pattern)}, QDir::Files);
        };
        r.key(Qt::Key_A);
        r.key(Qt::Key_S);
        r.key(Qt::Key_Space);
        const QString played = r.t.window.Text3();
        QVERIFY(played.endsWith("TZ"));

        OtherWindow mini{r, "迷你"};
        mini.open();
        QTest::keyClick(r.form.miniWindow()->findChild<QWidget *>("JPSB"), Qt::Key_D);
        mini.leave();
        QCOMPARE(r.t.window.Text3(), QString("KE"));
        QCOMPARE(kept("乐谱-*.txt").size(), 1);
        QCOMPARE(r.t.window.XSWB(), "未保存的乐谱已存入“演奏记录”：" + kept("乐谱-*.txt")[0]);
        auto *text3 = r.find<QPlainTextEdit>("Text3");
        QTest::keyClick(text3, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(r.t.window.Text3(), played);

        // At exit: the score box and the editor's edit, neither saved.
        r.main.editModel.setStepCell(0, 0, "KC");
        r.main.shutDown();
        QCOMPARE(kept("乐谱-*.txt").size(), 2);
        QCOMPARE(kept("编辑-*.lnk").size(), 1);
    }

    void placementKeepsFramesInside()
    {
        QFETCH(QRect, frame);
        QFETCH(QPoint, placed);
        QCOMPARE(WindowPlacement::fitInside(frame, QRect(0, 0, 1280, 800)), placed);
        // A second screen to the right: the same, shifted.
        QCOMPARE(WindowPlacement::fitInside(frame.translated(1280, 30), QRect(1280, 30, 1280, 800)),
                 placed + QPoint(1280, 30));
    }
};

DZQ_REGISTER_TEST(WindowSeamsTest)
#include "WindowSeamsTest.moc"
