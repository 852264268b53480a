#include "ScriptedMedia.h"
#include "TestContext.h"
#include "TestMain.h"

#include "app/Form1.h"
#include "app/MainWindowControllers.h"
#include "app/PerformanceControllers.h"
#include "recorder/WaveRecorder.h"
#include "resources/RecorderArtwork.h"

#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTest>

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

        auto image = [&](int i) { return form.findChild<QLabel *>(QString("Image1(%1)").arg(i)); };
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
};

DZQ_REGISTER_TEST(RecorderViewTest)
#include "RecorderViewTest.moc"
