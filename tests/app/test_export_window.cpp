#include "ExportTestSupport.h"
#include "MainWindowRig.h"
#include "TestMain.h"

#include "platform/QtUserDialogs.h"


#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

// The main window after start-up, with live state that differs from the
// start-up defaults and a rhythm that runs.
struct LiveWindow : MainWindowRig {
    LiveWindow()
    {
        c.voices.selectKey(2);
        c.voices.selectTempo(0);
        c.sequencer.setBzQd(true);
        t.clock.advanceMs(500);
    }
    QPushButton *DcMidi() { return form.findChild<QPushButton *>(QStringLiteral("DcMidi")); }
};

}  // namespace

// The export button beside the score buttons.
class ExportButtonTest : public QObject {
    Q_OBJECT
private slots:
    void buttonFitsBesideTheScoreButtons()
    {
        LiveWindow w;
        QPushButton *b = w.DcMidi();
        QVERIFY(b);
        QCOMPARE(b->text(), QString("导出"));
        QCOMPARE(b->toolTip(), QString("把乐谱编辑窗口中的乐谱导出为MIDI文件，以便在其他音乐软件中播放或编辑！"));
        QVERIFY(b->isVisible());
        // No button, label or the score box frame under it.
        for (QWidget *other : w.form.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            const bool control = qobject_cast<QPushButton *>(other) || qobject_cast<QLabel *>(other)
                                 || other->objectName() == QLatin1String("Picture4");
            if (other == b || !control || !other->isVisible())
                continue;
            QVERIFY2(!other->geometry().intersects(b->geometry()), qPrintable(other->objectName()));
        }
        auto *clock = w.form.findChild<QLabel *>(QStringLiteral("SjXs"));
        // The narrowed clock still holds its text in the program's font.
        QFont font(QStringLiteral("WenQuanYi Micro Hei"));
        font.setPointSize(9);
        QVERIFY(QFontMetrics(font).horizontalAdvance(QStringLiteral("2026-12-30 23-59-59")) <= clock->width());
        QVERIFY(QFontMetrics(font).horizontalAdvance(b->text()) + 8 <= b->width());
    }

    void nameWithoutExtensionGetsMid()
    {
        LiveWindow w;
        w.t.window.setText3(QStringLiteral("KC8TZ"));
        w.t.dialogs.saveAnswers << w.t.path(QStringLiteral("无扩展名"));
        QTest::mouseClick(w.DcMidi(), Qt::LeftButton);
        QVERIFY(readMidiFile(w.t.path(QStringLiteral("无扩展名.mid"))).loaded);
        QVERIFY(!QFileInfo::exists(w.t.path(QStringLiteral("无扩展名"))));

        // The dialog asked about the name as typed: an existing .mid stays.
        QFile old(w.t.path(QStringLiteral("旧.mid")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("keep");
        old.close();
        w.t.dialogs.saveAnswers << w.t.path(QStringLiteral("旧"));
        QTest::mouseClick(w.DcMidi(), Qt::LeftButton);
        QCOMPARE(w.t.dialogs.messages.size(), 1);
        QVERIFY(w.t.dialogs.messages[0].contains(QStringLiteral("已经存在")));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("keep"));
    }

    void boxesBelongToTheLastActiveWindow()
    {
        QtUserDialogs dialogs;
        QWidget window;
        auto *edit = new QLineEdit(&window);
        window.show();
        QApplication::setActiveWindow(&window);
        edit->setFocus();
        if (!edit->hasFocus())
            QSKIP("the platform gives no focus");
        QCOMPARE(dialogs.owner(), &window);
        // A file dialog has just closed and nothing is active yet.
        QApplication::setActiveWindow(nullptr);
        QCOMPARE(dialogs.owner(), &window);
        window.hide();
        QCOMPARE(dialogs.owner(), nullptr);
    }

    void exportWritesTheFileWithoutTouchingTheLiveProgram()
    {
        LiveWindow w;
        w.t.window.setText3(QStringLiteral("kc8kd8tz"));
        const QString path = w.t.path(QStringLiteral("导出.mid"));
        w.t.dialogs.saveAnswers << path;
        const qint16 keyBase = w.t.state.KeyBase;
        const qint16 eighth = w.t.state.EighthBeatMs;
        const qint16 step = w.t.state.StepIndex;
        const int sent = w.t.midi.sent.size();
        const qint64 now = w.t.clock.nowNs();

        QTest::mouseClick(w.DcMidi(), Qt::LeftButton);

        QCOMPARE(w.t.dialogs.saveRequests.size(), 1);
        QCOMPARE(w.t.dialogs.saveRequests[0].filter, QString("MIDI文件|*.mid"));
        QCOMPARE(w.t.dialogs.saveRequests[0].folder, w.t.ctx.recordFolder);
        QVERIFY(w.t.dialogs.saveRequests[0].confirmOverwrite);
        QVERIFY2(w.t.dialogs.messages.isEmpty(), qPrintable(w.t.dialogs.messages.join('\n')));
        QCOMPARE(w.t.window.FJWZ(), QString("成功导出MIDI文件。。。"));

        // Played from the start-up defaults, upper-cased as the play button does.
        const MidiFileContents f = readMidiFile(path);
        QVERIFY(f.loaded);
        QVERIFY(f.messagesAt(0).contains(RecordingMidiBackend::noteOn(0, 60, 70)));
        QVERIFY(f.messagesAt(664).contains(RecordingMidiBackend::noteOn(0, 62, 70)));
        QCOMPARE(f.lengthPulses, 1328);

        QCOMPARE(w.t.state.KeyBase, keyBase);
        QCOMPARE(w.t.state.EighthBeatMs, eighth);
        QCOMPARE(w.t.state.StepIndex, step);
        QCOMPARE(w.t.midi.sent.size(), sent);
        QCOMPARE(w.t.clock.nowNs(), now);
        QCOMPARE(w.t.window.Text3(), QString("kc8kd8tz"));
        QVERIFY(!w.c.player.ScorePlaying());
        QVERIFY(w.c.sequencer.BzQd());
        QVERIFY(w.c.sequencer.BZDS().isTicking());
        QCOMPARE(w.t.window.LastFilePath, QString());
    }

    void cancelWritesNothing()
    {
        LiveWindow w;
        w.t.window.setText3(QStringLiteral("KC8TZ"));
        const QString status = w.t.window.FJWZ();
        QTest::mouseClick(w.DcMidi(), Qt::LeftButton);
        QCOMPARE(w.t.dialogs.saveRequests.size(), 1);
        QVERIFY(QDir(w.t.ctx.recordFolder).entryList({"*.mid"}).isEmpty());
        QCOMPARE(w.t.window.FJWZ(), status);
        QVERIFY(w.t.dialogs.messages.isEmpty());
    }

    void failuresAreShownInABox()
    {
        LiveWindow w;
        // An empty box: nothing to ask for.
        w.t.window.setText3(QString());
        QTest::mouseClick(w.DcMidi(), Qt::LeftButton);
        QCOMPARE(w.t.dialogs.saveRequests.size(), 0);
        QCOMPARE(w.t.dialogs.messages.size(), 1);

        // A score error: the part before it is written, the place is named.
        w.t.window.setText3(QStringLiteral("KC8XX"));
        const QString path = w.t.path(QStringLiteral("err.mid"));
        w.t.dialogs.saveAnswers << path;
        const QString status = w.t.window.FJWZ();
        QTest::mouseClick(w.DcMidi(), Qt::LeftButton);
        QCOMPARE(w.t.dialogs.messages.size(), 2);
        QVERIFY(w.t.dialogs.messages[1].startsWith(QStringLiteral("乐谱中出现错误，请修改！")));
        QVERIFY(w.t.dialogs.messages[1].contains(QStringLiteral("第4个字符“XX”")));
        QCOMPARE(readMidiFile(path).lengthPulses, 664);
        QCOMPARE(w.t.window.FJWZ(), status);

        // A file that cannot be written.
        w.t.dialogs.saveAnswers << w.t.path(QStringLiteral("no/such/folder/x.mid"));
        w.t.window.setText3(QStringLiteral("KC8TZ"));
        QTest::mouseClick(w.DcMidi(), Qt::LeftButton);
        QCOMPARE(w.t.dialogs.messages.size(), 3);
        QVERIFY(w.t.dialogs.messages[2].startsWith(QStringLiteral("导出MIDI文件失败")));
        QCOMPARE(w.t.window.FJWZ(), status);
    }
};

DZQ_REGISTER_TEST(ExportButtonTest)
#include "test_export_window.moc"
