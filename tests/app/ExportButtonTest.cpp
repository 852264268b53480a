#include "ExportTestSupport.h"
#include "MainWindowRig.h"
#include "TestMain.h"

#include "platform/media/OfflineRenderer.h"
#include "platform/dialogs/QtUserDialogs.h"

#include <sndfile.h>

#include <atomic>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

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
    enum How { Button, Escape, CloseButton };
private slots:
    void buttonFitsBesideTheScoreButtons()
    {
        LiveWindow w;
        QPushButton *b = w.DcMidi();
        QVERIFY(b);
        QCOMPARE(b->text(), QString("导出"));
        QCOMPARE(b->toolTip(), QString("把乐谱编辑窗口中的乐谱导出为MIDI文件或WAV声音文件，以便在其他音乐软件中播放或编辑！"));
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
        QCOMPARE(w.t.dialogs.saveRequests[0].filter, QString("MIDI文件|*.mid|WAV声音文件|*.wav|MusicXML乐谱（打谱软件）|*.musicxml"));
        QCOMPARE(w.t.dialogs.saveRequests[0].folder, w.t.ctx.recordFolder);
        QVERIFY(w.t.dialogs.saveRequests[0].confirmOverwrite);
        QVERIFY2(w.t.dialogs.messages.isEmpty(), qPrintable(w.t.dialogs.messages.join('\n')));
        QCOMPARE(w.t.window.FJWZ(), QString("成功导出MIDI文件。。。"));

        // Played from the start-up defaults, upper-cased as the play button does.
        const MidiFileContents f = readMidiFile(path);
        QVERIFY(f.loaded);
        QVERIFY(f.messagesAt(0).contains(RecordingMidiBackend::noteOn(0, 60, 70)));
        QVERIFY(f.messagesAt(664).contains(RecordingMidiBackend::noteOn(0, 62, 70)));
        QCOMPARE(f.lengthMs, 1328);

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
        QCOMPARE(readMidiFile(path).lengthMs, 664);
        QCOMPARE(w.t.window.FJWZ(), status);

        // A file that cannot be written.
        w.t.dialogs.saveAnswers << w.t.path(QStringLiteral("no/such/folder/x.mid"));
        w.t.window.setText3(QStringLiteral("KC8TZ"));
        QTest::mouseClick(w.DcMidi(), Qt::LeftButton);
        QCOMPARE(w.t.dialogs.messages.size(), 3);
        QVERIFY(w.t.dialogs.messages[2].startsWith(QStringLiteral("导出MIDI文件失败")));
        QCOMPARE(w.t.window.FJWZ(), status);
    }

    // A WAV export renders behind a progress box and says so when done.
    void wavExportShowsProgress()
    {
        if (!OfflineRenderer().isValid())
            QSKIP("no sound font");
        LiveWindow w;
        w.t.window.setText3(QStringLiteral("kc8kd8tz"));
        const QString path = w.t.path(QStringLiteral("声音.wav"));
        w.t.dialogs.saveAnswers << path;
        const int sent = w.t.midi.sent.size();
        QTest::mouseClick(w.DcMidi(), Qt::LeftButton);

        QVERIFY2(w.t.dialogs.messages.isEmpty(), qPrintable(w.t.dialogs.messages.join('\n')));
        QCOMPARE(w.t.dialogs.progressRuns.size(), 1);
        const auto &run = w.t.dialogs.progressRuns[0];
        QCOMPARE(run.label, QString("正在导出“声音.wav”……"));
        QVERIFY(run.percents.size() > 2);
        QVERIFY(std::is_sorted(run.percents.begin(), run.percents.end()));
        QCOMPARE(run.percents.last(), 100);
        QCOMPARE(w.t.window.FJWZ(), QString("成功导出WAV文件。。。"));
        SF_INFO info = {};
        SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
        QVERIFY(f);
        sf_close(f);
        QCOMPARE(qint64(info.frames), qint64(1328 + 2000) * info.samplerate / 1000);
        QCOMPARE(w.t.midi.sent.size(), sent);  // nothing sounded live
    }

    // Cancelled in the progress box: no file, an earlier file of that name
    // untouched, no temporary copy left, and a box says so.
    void cancelledWavExportLeavesNoFile()
    {
        if (!OfflineRenderer().isValid())
            QSKIP("no sound font");
        struct Case {
            const char *name;
            int cancelAt;
            bool existing;
        };
        const Case cases[] = {{"at once", 0, false}, {"halfway", 50, false}, {"over an earlier file", 30, true},
                              {"at the very end", 100, true}};
        for (const Case &c : cases) {
            LiveWindow w;
            w.t.window.setText3(QStringLiteral("KC8KD8KE8KF8TZ"));
            const QString path = w.t.path(QStringLiteral("取消.wav"));
            if (c.existing) {
                QFile old(path);
                QVERIFY(old.open(QIODevice::WriteOnly));
                old.write("keep");
            }
            const QStringList before = QDir(w.t.ctx.recordFolder).entryList(QDir::Files | QDir::Hidden);
            const QString status = w.t.window.FJWZ();
            w.t.dialogs.saveAnswers << path;
            w.t.dialogs.cancelAtPercent = c.cancelAt;
            QTest::mouseClick(w.DcMidi(), Qt::LeftButton);

            QCOMPARE(w.t.dialogs.messages, QStringList{QString("导出已取消，没有写出文件。")});
            QCOMPARE(w.t.dialogs.progressRuns.size(), 1);
            QVERIFY2(w.t.dialogs.progressRuns[0].cancelled, c.name);
            QVERIFY2(w.t.dialogs.progressRuns[0].percents.last() >= c.cancelAt, c.name);
            QCOMPARE(w.t.window.FJWZ(), status);
            QCOMPARE(QDir(w.t.ctx.recordFolder).entryList(QDir::Files | QDir::Hidden), before);
            if (c.existing) {
                QFile old(path);
                QVERIFY(old.open(QIODevice::ReadOnly));
                QCOMPARE(old.readAll(), QByteArray("keep"));
            } else {
                QVERIFY2(!QFileInfo::exists(path), c.name);
            }
        }
    }

    // The program's progress box: the task runs on its own thread while the
    // windows keep working; 取消, Esc and the close button only ask the task
    // to stop, and the box stays until it has.
    void progressBoxKeepsTheProgramResponsiveAndCancels_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("取消") << int(Button);
        QTest::newRow("Esc") << int(Escape);
        QTest::newRow("close button") << int(CloseButton);
    }

    void progressBoxKeepsTheProgramResponsiveAndCancels()
    {
        QFETCH(int, how);
        {
            QtUserDialogs dialogs;
            std::atomic<bool> stopSeen{false};
            std::atomic<int> reported{0};
            int ticks = 0;
            QTimer ticker;
            QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
            ticker.start(5);
            QString label, button, labelAfter;
            bool stillShownAfterCancel = false;
            int barValue = -1;
            Qt::HANDLE uiThread = QThread::currentThreadId();
            Qt::HANDLE taskThread = nullptr;
            QTimer::singleShot(300, [&] {
                auto *box = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
                if (!box)
                    return;
                label = box->labelText();
                if (auto *b = box->findChild<QPushButton *>())
                    button = b->text();
                if (auto *bar = box->findChild<QProgressBar *>())
                    barValue = bar->value();
                if (how == Button)
                    QTest::mouseClick(box->findChild<QPushButton *>(), Qt::LeftButton);
                else if (how == Escape)
                    box->reject();  // what QDialog does on Esc
                else
                    box->close();
                stillShownAfterCancel = box->isVisible();
                labelAfter = box->labelText();
            });
            dialogs.runWithProgress(QStringLiteral("正在导出“长.wav”……"), [&](const ProgressReport &report) {
                taskThread = QThread::currentThreadId();
                // Never reaches the end by itself: runs until cancelled (at most 10 s).
                for (int i = 0; i < 2000; ++i) {
                    reported = qMin(99, i);
                    if (!report(reported)) {
                        stopSeen = true;
                        QThread::msleep(50);  // stopping takes a moment
                        return;
                    }
                    QThread::msleep(5);
                }
            });
            QVERIFY(stopSeen);
            QVERIFY(taskThread != uiThread);
            QCOMPARE(label, QString("正在导出“长.wav”……"));
            QCOMPARE(button, QString("取消"));
            QVERIFY(barValue > 0);
            QVERIFY(stillShownAfterCancel);
            QCOMPARE(labelAfter, QString("正在取消……"));
            // The event loop ran all along (a blocked loop would count 0 or 1; a busy
            // machine may skip many 5 ms ticks).
            QVERIFY2(ticks > 5, qPrintable(QString::number(ticks)));
            QVERIFY(!QApplication::activeModalWidget());
        }

        // A task that ends by itself closes the box.
        QtUserDialogs dialogs;
        bool ran = false;
        dialogs.runWithProgress(QStringLiteral("x"), [&](const ProgressReport &report) {
            ran = report(100);
        });
        QVERIFY(ran);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void saveDialogAddsTheChosenTypesExtension()
    {
        QCOMPARE(QtUserDialogs::filterSuffix(QtUserDialogs::qtFilter(ScoreExporter::filter())), QString("mid"));
        QCOMPARE(QtUserDialogs::filterSuffix(QStringLiteral("WAV声音文件 (*.wav)")), QString("wav"));
        QCOMPARE(QtUserDialogs::filterSuffix(QStringLiteral("乐谱记录txt (*.txt *.TXT)")), QString("txt"));
        QCOMPARE(QtUserDialogs::filterSuffix(QStringLiteral("所有文件 (*)")), QString());
    }
};

DZQ_REGISTER_TEST(ExportButtonTest)
#include "ExportButtonTest.moc"
