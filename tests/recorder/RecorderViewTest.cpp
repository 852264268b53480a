#include "ScriptedMedia.h"
#include "TestContext.h"
#include "TestMain.h"

#include "app/Form1.h"
#include "controllers/mainwindow/MainWindowControllers.h"
#include "controllers/PerformanceControllers.h"
#include "editor/YYBJ.h"
#include "recorder/WaveRecorder.h"
#include "resources/RecorderArtwork.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTest>

namespace {

// The main window on a scripted recorder device.
struct Window {
    TestContext t;
    ScriptedMedia media;
    Session session{t.state, t.port, media, t.dialogs, t.clock, t.folder.path()};
    PerformanceControllers p{session, t.window};
    MainWindowControllers c{session, t.window, p};
    Form1 form{c};

    Window()
    {
        form.show();
        form.activate();
        media.take();
    }
    QLabel *label(const char *name) const { return form.findChild<QLabel *>(name); }
    QPushButton *BcLY() const { return form.findChild<QPushButton *>("BcLY"); }
};

// The program's font, as main() sets it.
struct ProgramFont {
    QFont before = QApplication::font();
    ProgramFont()
    {
        QFont font(QStringLiteral("WenQuanYi Micro Hei"));
        font.setPointSize(9);
        QApplication::setFont(font);
    }
    ~ProgramFont() { QApplication::setFont(before); }
};

// The label shows its whole text: one line in the status line, wrapped
// lines within its box in the information display.
QString overflow(const QLabel *label)
{
    const QFontMetrics metrics(label->font());
    const QString text = label->text();
    if (!label->wordWrap()) {
        const int width = metrics.horizontalAdvance(text);
        return width <= label->width() ? QString() : QString("%1 px wide: %2").arg(width).arg(text);
    }
    const QRect used = metrics.boundingRect(QRect(0, 0, label->width(), 100000),
                                            int(label->alignment()) | Qt::TextWordWrap, text);
    if (used.width() <= label->width() && used.height() <= label->height())
        return QString();
    return QString("%1 x %2 px: %3").arg(used.width()).arg(used.height()).arg(text);
}

}  // namespace

// The recorder panel of the main window.
class RecorderViewTest : public QObject {
    Q_OBJECT
private slots:
    void artworkOfTheButtons()
    {
        QSet<QByteArray> seen;
        for (int id = 107; id <= 112; ++id) {
            const QImage image = RecorderArtwork::picture(id);
            QCOMPARE(image.size(), QSize(25, 25));
            QCOMPARE(image.format(), QImage::Format_RGB888);
            seen.insert(QByteArray(reinterpret_cast<const char *>(image.constBits()), int(image.sizeInBytes())));
        }
        QCOMPARE(seen.size(), 6);
        const QImage sharp = RecorderArtwork::picture(107, 2.0);
        QCOMPARE(sharp.size(), QSize(2 * RecorderArtwork::kSize, 2 * RecorderArtwork::kSize));
        QCOMPARE(sharp.deviceIndependentSize().toSize(), RecorderArtwork::picture(107).size());
        QVERIFY(RecorderArtwork::picture(106).isNull());
        QVERIFY(RecorderArtwork::picture(113).isNull());
    }

    void panelDrivesTheRecorder()
    {
        TestContext t;
        ScriptedMedia media;
        Session session{t.state, t.port, media, t.dialogs, t.clock, t.folder.path()};
        PerformanceControllers p(session, t.window);
        MainWindowControllers c(session, t.window, p);
        Form1 form(c);
        t.choices.watch(c.recorder);
        form.show();
        form.activate();
        media.take();

        auto image = [&](int i) { return form.findChild<QAbstractButton *>(QString("Image1(%1)").arg(i)); };
        auto *frame = form.findChild<QWidget *>("LyCf");
        auto *label = form.findChild<QLabel *>("Label12");
        auto *save = form.findChild<QPushButton *>("BcLY");
        QVERIFY(frame && label && save && image(0) && image(1) && image(2));
        QCOMPARE(image(2)->parentWidget(), frame);
        QCOMPARE(image(2)->size(), QSize(25, 25));
        QCOMPARE(image(0)->toolTip(), QString("打开并播放演奏的录音！"));
        QCOMPARE(image(1)->toolTip(), QString("停止当前的放音或录音！"));
        QCOMPARE(image(2)->toolTip(), QString("开始录制演奏或自动演奏的音乐为wav格式音频！"));
        QCOMPARE(save->toolTip(), QString("保存最后的录音文件为wav格式音频！"));
        QCOMPARE(label->text(), QString("00:00"));
        QVERIFY(!save->isEnabled());
        QCOMPARE(image(0)->property("bitmap").toInt(), 107);

        const int focusBefore = t.choices.count();
        QTest::mouseClick(image(2), Qt::LeftButton);
        QCOMPARE(media.take(), (QStringList{"CLOSE NN", "OPEN NEW TYPE WaveAudio ALIAS NN", "RECORD NN"}));
        QCOMPARE(image(2)->property("bitmap").toInt(), 112);
        QVERIFY(save->isEnabled());
        QCOMPARE(t.choices.count(), focusBefore + 1);  // the keyboard plays on at once
        t.clock.advanceMs(2000);
        QCOMPARE(label->text(), QString("0:1"));

        t.dialogs.saveAnswers << t.path("a.wav");
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(media.take().last(), QString("close NN"));
        QVERIFY(!save->isEnabled());
        QCOMPARE(label->text(), QString("00:00"));
        QCOMPARE(image(2)->property("bitmap").toInt(), 111);

        // Closing the window closes the device.
        form.close();
        QCOMPARE(media.take(), QStringList{"CLOSE NN"});
    }

    // "录音" in the editor, then "退出窗口": the recording stops, and the
    // main window, shown again, offers its "保存"; closing it keeps the take.
    void theEditorsTakeIsTheMainWindows()
    {
        Window w;
        QVERIFY(!w.BcLY()->isEnabled());
        QTest::mouseClick(w.form.findChild<QPushButton *>("BJCK"), Qt::LeftButton);
        YYBJ *editor = w.form.editorWindow();
        QVERIFY(editor);
        auto *record = editor->findChild<QRadioButton *>("LUYINJI(2)");
        QVERIFY(record);
        QTest::mouseClick(record, Qt::LeftButton);
        QCOMPARE(w.media.take(), (QStringList{"CLOSE NN", "OPEN NEW TYPE WaveAudio ALIAS NN", "RECORD NN"}));
        QTest::mouseClick(editor->findChild<QPushButton *>("TUICHU"), Qt::LeftButton);
        QCOMPARE(w.media.take(), QStringList{"STOP NN"});
        QVERIFY(w.form.isVisible());
        QVERIFY(w.BcLY()->isEnabled());
        w.t.clock.advanceMs(3000);
        QVERIFY(w.media.commands.isEmpty());  // no clock left running

        w.form.close();
        const QStringList sent = w.media.take();
        QCOMPARE(sent.size(), 3);
        QVERIFY(sent[1].startsWith("save NN \"" + w.t.folder.path() + "/录音-"));
        QVERIFY(w.t.dialogs.messages.isEmpty());
    }

    // Every message of the recorder fits the status line; what is longer
    // (reasons, file names) is whole in the information display.
    void messagesFitTheDisplay()
    {
        ProgramFont font;
        Window w;
        const QLabel *FJWZ = w.label("FJWZ");
        const QLabel *XSWB = w.label("XSWB");
        QVERIFY(FJWZ && XSWB);
        WaveRecorder &r = w.c.recorder;
        QStringList seen;
        auto check = [&] {
            seen << FJWZ->text();
            const QString status = overflow(FJWZ);
            const QString info = overflow(XSWB);
            QVERIFY2(status.isEmpty(), qPrintable(status));
            QVERIFY2(info.isEmpty(), qPrintable(info));
        };

        w.media.failing << "OPEN";
        w.media.error = "无法创建录音临时文件：No space left on device";
        r.record();
        check();
        w.media.error = "“我的 演奏 录音 第一版 二〇二四年十二月.wav”不是可以播放的声音文件";
        w.t.dialogs.openAnswers << w.t.path("我的 演奏 录音 第一版 二〇二四年十二月.wav");
        r.play();
        check();
        w.media.failing.clear();
        r.save();  // nothing to save
        check();

        r.record();
        check();
        w.media.failing << "save NN";
        w.media.error = "无法保存文件“演奏.wav”：Permission denied";
        w.t.dialogs.saveAnswers << w.t.path("演奏.wav");
        r.save();
        check();
        w.media.failing.clear();
        r.save();  // cancelled
        check();
        r.record();
        w.media.mode = "stopped";
        w.media.stoppedBecause = "录音写入磁盘失败（磁盘可能已满）：No space left on device";
        w.media.length = "1234000";
        w.t.clock.advanceMs(1000);
        check();
        w.t.dialogs.saveAnswers << w.t.path("b.wav");
        r.save();
        check();
        w.media.stoppedBecause.clear();
        w.t.dialogs.openAnswers << w.t.path("c.wav");
        r.play();
        check();
        w.t.clock.advanceMs(1000);
        check();
        r.noteRecovered({"录音-20241231-235959.wav"});
        r.announceKeptTake();
        check();
        QCOMPARE(seen, (QStringList{"无法录音。。。", "无法播放录音。。。", "没有可保存的录音。。。", "录音中,请安静。。",
                                    "保存录音失败。。。", "没有保存录音。。。", "录音写入失败。。。", "成功保存录音。。。",
                                    "正在播放录音。。。", "录音机已停止。。。", "上次的录音已保留。。。"}));
        // The kept file's name is told whole, in a box.
        QVERIFY(w.t.dialogs.messages.last().endsWith("\n录音-20241231-235959.wav"));
    }
};

DZQ_REGISTER_TEST(RecorderViewTest)
#include "RecorderViewTest.moc"
