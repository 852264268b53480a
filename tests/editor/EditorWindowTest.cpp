#include "EditorRig.h"
#include "TestMain.h"

#include "editor/BeatBox.h"
#include "editor/YYBJ.h"
#include "resources/StringTable.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>

namespace {

// The editor window opened on a fresh editor, as BJCK opens it.
struct WindowRig {
    TestContext t;
    EditorModel model;
    EditorControllers c{t.ctx, model};
    QPointer<YYBJ> window = new YYBJ(c);
    quint32 waveVolume = 0;

    WindowRig()
    {
        c.setWaveVolume = [this](quint32 v) { waveVolume = v; };
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        QApplication::setActiveWindow(window);
        window->activate();
    }
    ~WindowRig() { delete window; }

    template <typename T>
    T *find(const QString &name) const
    {
        T *w = window->findChild<T *>(name);
        if (!w)
            qWarning("no control %s", qPrintable(name));
        return w;
    }
    QCheckBox *box(int row, int step) const
    {
        return window->findChild<QCheckBox *>(QStringLiteral("DJY%1(%2)").arg(row - 4).arg(step));
    }
    int boxesInRow(int row) const
    {
        int n = 0;
        while (box(row, n))
            ++n;
        return n;
    }
    void click(const QString &name) { QTest::mouseClick(find<QWidget>(name), Qt::LeftButton); }
    // Types into a melody box, then another control takes the focus.
    void type(int row, const QString &text)
    {
        auto *edit = find<QLineEdit>(QStringLiteral("YF1(%1)").arg(row));
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        find<QWidget>(QStringLiteral("XJZS"))->setFocus();
    }
    QString melodyOn(int channel) const
    {
        QStringList notes;
        for (quint32 m : t.sent()) {
            if ((m & 0xFF) == 0x90 + quint32(channel) && (m >> 16) > 0)
                notes << QString::number((m >> 8) & 0xFF);
        }
        return notes.join(QLatin1Char(' '));
    }
};

}  // namespace

class EditorWindowTest : public QObject {
    Q_OBJECT
private slots:
    void openingShowsMeasureZeroIn2_4()
    {
        WindowRig rig;
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("音乐编辑器"));
        QCOMPARE(rig.window->width(), 11300 / 15);
        QVERIFY(rig.find<QRadioButton>("JPFL(0)")->isChecked());
        for (int row = 5; row < 10; ++row)
            QCOMPARE(rig.boxesInRow(row), 16);
        QCOMPARE(rig.find<QComboBox>("SYYQ(0)")->currentText(), QStringLiteral("15.编钟"));
        QCOMPARE(rig.find<QComboBox>("SYYQ(0)")->count(), 129);
        QCOMPARE(rig.find<QComboBox>("SYYQ(5)")->count(), 47);
        QCOMPARE(rig.find<QComboBox>("SYYQ(9)")->currentText(), StringTable::drumNames().at(17));
        for (int r = 0; r < 10; ++r)
            QCOMPARE(rig.find<QComboBox>(QStringLiteral("YQYL(%1)").arg(r))->currentText(), QStringLiteral("70"));
        QCOMPARE(rig.find<QComboBox>("DQYD")->currentText(), QStringLiteral("C"));
        QCOMPARE(rig.find<QComboBox>("DQSUDU")->currentText(), QStringLiteral("80"));
        QCOMPARE(rig.find<QLineEdit>("XJZS")->text(), QStringLiteral("0"));
        QCOMPARE(rig.find<QLabel>("XJXSS")->text(), QStringLiteral("实际小节数是(1-2)小节"));
        QCOMPARE(rig.find<QLabel>("LYSJ")->text(), QStringLiteral("当前:"));
        QCOMPARE(rig.find<QLineEdit>("YF1(0)")->maxLength(), 32);
        QCOMPARE(rig.find<QLineEdit>("YF1(0)")->width(), 325);
        QCOMPARE(rig.waveVolume, 0x70007000u);
        QCOMPARE(int(rig.t.state.KeyBase), 36);
        QCOMPARE(int(rig.model.StepInterval), 187);
    }

    void captionsAndTips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("tip");
        auto row = [](const char *name, const char *caption, const char *tip) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(caption) << QString::fromUtf8(tip);
        };
        row("ZDXJZS", "设置", "设置音乐所需小节总数，修改后自动演奏时将演奏到设定值！");
        row("CHARU", "插入", "在当前小节后插入新的小节！");
        row("BCBXJ", "保存", "对于修改了乐器，音量等项目的小节请点击保存该小节的设置！");
        row("QinKong", "清空", "清空并重新编辑当前小节！");
        row("ST1", "试听本节效果", "只要有修改的小节都应试听以便软件记住你的修改！");
        row("ST2", "从开始处启动", "试听编辑的音乐效果，可以随时停止进行编辑！");
        row("DkBianji", "打开编辑文件", "打开以前保存的编辑文件再次进行编辑或录音！");
        row("DRYP", "导入记录乐谱", "导入用电子琴演奏或编辑的乐谱进行全新编辑！");
        row("BCBJ", "保存编辑", "保存正在编辑的音乐编辑，以备再次修改编辑！");
        row("BZWJ", "帮  助", "");
        row("TUICHU", "退出窗口", "");
        row("JPFL(1)", "3/4", "选择音乐节奏类型为3/4拍！");
        row("LUYINJI(0)", "播放", "播放电子琴演奏或本编辑软件录制的wav格式音频文件！");
        row("LUYINJI(3)", "保存录音", "保存最新的音频记录为wav格式音频文件！");
        row("JZLX", "节奏类型", "");
        row("Label5", "拍/分钟", "");
        row("XJXS", "正在编辑软件第", "");
        row("Label2", "录音机", "");
        row("Label1(9)", "乐器10", "");
    }
    void captionsAndTips()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, tip);
        WindowRig rig;
        QWidget *w = rig.find<QWidget>(name);
        QVERIFY(w);
        const QString text = w->property("text").toString();
        QCOMPARE(text, caption);
        QCOMPARE(w->toolTip(), tip);
    }

    void measureSizesLayTheWindowOut()
    {
        WindowRig rig;
        rig.click(QStringLiteral("JPFL(2)"));
        QCOMPARE(rig.window->width() * 15, 14100);
        QVERIFY(rig.find<QRadioButton>("JPFL(2)")->isChecked());
        QVERIFY(!rig.find<QRadioButton>("JPFL(0)")->isChecked());
        for (int row = 5; row < 10; ++row)
            QCOMPARE(rig.boxesInRow(row), 32);
        const QRgb bands[] = {qRgb(255, 0, 255), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)};
        for (int i = 0; i < 32; ++i) {
            QCheckBox *b = rig.box(7, i);
            // The box is filled with its band's colour, as drawn on screen.
            const QImage drawn = b->grab().toImage();
            const QRect square = static_cast<BeatBox *>(b)->square();
            QCOMPARE(drawn.pixel(square.center()), bands[(i / 4) % 4]);
            QCOMPARE(drawn.pixel(square.topLeft() + QPoint(2, 2)), bands[(i / 4) % 4]);
            QCOMPARE(b->x() - rig.box(7, 0)->x(), 20 * i + i / 4);
        }
        QCOMPARE(rig.find<QLineEdit>("YF1(4)")->width(), 648);
        QCOMPARE(rig.find<QLineEdit>("YF1(4)")->maxLength(), 64);
        QCOMPARE(rig.find<QWidget>("Picture1")->width(), 652);
        QCOMPARE(rig.find<QWidget>("Picture3")->x(), 652 + 175);

        rig.click(QStringLiteral("JPFL(1)"));
        QCOMPARE(rig.window->width(), 11670 / 15);
        QCOMPARE(rig.boxesInRow(9), 24);
        QCOMPARE(rig.find<QLineEdit>("YF1(0)")->width(), 486);
        QCOMPARE(int(rig.model.MeasureLastStep), 23);
    }

    // Real clicks and keys in a seeded random order: after each, every
    // control shows CurrentMeasure of the model.
    void randomClicksShowTheCurrentMeasure()
    {
        WindowRig rig;
        QRandomGenerator rng(2022);
        auto *bar = rig.find<QScrollBar>("HScroll1");
        const QStringList buttons{QStringLiteral("CHARU"), QStringLiteral("QinKong"), QStringLiteral("BCBXJ"),
                                  QStringLiteral("ST1"),   QStringLiteral("ST2"),     QStringLiteral("DkBianji"),
                                  QStringLiteral("DRYP"),  QStringLiteral("JPFL(0)"), QStringLiteral("JPFL(1)"),
                                  QStringLiteral("JPFL(2)")};
        QString last;
        for (int i = 0; i < 150; ++i) {
            switch (rng.bounded(6)) {
            case 0:
                rig.type(int(rng.bounded(5)), QStringLiteral("kcxzMG").left(2 * int(rng.bounded(4))));
                last = QStringLiteral("type");
                break;
            case 1: {
                const int row = 5 + int(rng.bounded(5));
                rig.box(row, int(rng.bounded(rig.boxesInRow(row))))->click();
                last = QStringLiteral("box");
                break;
            }
            case 2:
                bar->setValue(int(rng.bounded(bar->maximum() + 1)));
                last = QStringLiteral("scroll");
                break;
            case 3:
                rig.t.clock.advanceMs(int(rng.bounded(3000)));
                last = QStringLiteral("time");
                break;
            default:
                last = buttons[int(rng.bounded(buttons.size()))];
                rig.click(last);  // the file dialogs are cancelled
                break;
            }
            const int cur = rig.model.CurrentMeasure;
            const QString where = QStringLiteral("step %1 (%2), measure %3").arg(i).arg(last).arg(cur);
            QVERIFY2(bar->value() == cur, qPrintable(where));
            QVERIFY2(rig.find<QLineEdit>("XJZS")->text() == QString::number(cur), qPrintable(where));
            QVERIFY2(rig.find<QLabel>("XJXSS")->text() == EditorControls::realBarsText(cur), qPrintable(where));
            for (int r = 0; r < 5; ++r) {
                QVERIFY2(rig.find<QLineEdit>(QStringLiteral("YF1(%1)").arg(r))->text() == rig.model.RowTexts(cur, r),
                         qPrintable(where));
            }
            for (int row = 5; row < 10; ++row) {
                QVERIFY2(rig.boxesInRow(row) == rig.model.StepCount(), qPrintable(where));
                for (int j = 0; j < rig.model.StepCount(); ++j) {
                    const bool hit = rig.model.StepCells(rig.model.firstStep(cur) + j, row) == QLatin1String("O");
                    QVERIFY2(rig.box(row, j)->isChecked() == hit, qPrintable(where));
                }
            }
        }
    }

    void aTickedBoxShowsAMarkOnEveryBand()
    {
        WindowRig rig;
        for (int i = 0; i < 16; i += 4) {
            auto *b = static_cast<BeatBox *>(rig.box(8, i));
            const QRect square = b->square();
            auto markPixels = [&] {
                const QImage drawn = b->grab().toImage();
                int n = 0;
                for (int y = square.top(); y <= square.bottom(); ++y) {
                    for (int x = square.left(); x <= square.right(); ++x) {
                        if (qGray(drawn.pixel(x, y)) / 128 != qGray(b->fill().rgb()) / 128)
                            ++n;
                    }
                }
                return n;
            };
            const int unticked = markPixels();  // the outline only
            QTest::mouseClick(b, Qt::LeftButton, {}, square.center());
            QVERIFY(b->isChecked());
            QVERIFY2(markPixels() > unticked + 10, qPrintable(QStringLiteral("band %1").arg(i / 4)));
            QCOMPARE(rig.model.StepCells(i, 8), QStringLiteral("O"));
        }
    }

    void scrollingShowsAMeasure()
    {
        WindowRig rig;
        rig.t.dialogs.inputAnswers << QStringLiteral("7");
        rig.click(QStringLiteral("ZDXJZS"));
        QCOMPARE(int(rig.model.MeasureTotal), 7);
        QVERIFY(rig.t.dialogs.messages.isEmpty());
        auto *bar = rig.find<QScrollBar>("HScroll1");
        QVERIFY(bar->maximum() >= 7);

        // Measure 5 holds a melody and a drum.
        bar->setValue(5);
        rig.type(0, QStringLiteral("kcke"));
        rig.box(6, 2)->click();
        bar->setValue(0);
        QCOMPARE(rig.find<QLineEdit>("YF1(0)")->text(), QString());
        QVERIFY(!rig.box(6, 2)->isChecked());

        bar->setValue(5);
        QCOMPARE(rig.find<QLabel>("XJXSS")->text(), QStringLiteral("实际小节数是(11-12)小节"));
        QCOMPARE(rig.find<QLineEdit>("XJZS")->text(), QStringLiteral("5"));
        QCOMPARE(rig.find<QLineEdit>("YF1(0)")->text().left(4), QStringLiteral("KCKE"));
        QVERIFY(rig.box(6, 2)->isChecked());
    }

    void measureTotalAnswersThatChangeNothing()
    {
        WindowRig rig;
        rig.model.MeasureTotal = 4;
        for (const char *answer : {"", "abc", "0", "-3", "100000"}) {
            rig.t.dialogs.inputAnswers << QString::fromLatin1(answer);
            rig.click(QStringLiteral("ZDXJZS"));
            QCOMPARE(int(rig.model.MeasureTotal), 4);
        }
        QVERIFY(rig.window->isVisible());
    }

    void insertAfterMeasureThree()
    {
        WindowRig rig;
        auto *bar = rig.find<QScrollBar>("HScroll1");
        bar->setValue(4);
        rig.box(6, 7)->click();  // measure 4 already holds a beat
        bar->setValue(3);
        rig.type(1, QStringLiteral("KC"));
        rig.box(5, 0)->click();
        rig.model.MeasureTotal = 3;
        rig.click(QStringLiteral("CHARU"));
        QCOMPARE(rig.find<QLineEdit>("XJZS")->text(), QStringLiteral("4"));
        QCOMPARE(int(rig.model.CurrentMeasure), 4);
        QCOMPARE(int(rig.model.MeasureTotal), 5);
        QCOMPARE(rig.find<QLineEdit>("YF1(1)")->text(), QString());
        QVERIFY(!rig.box(5, 0)->isChecked());
        // The window shows the measure it edits: the beat it still plays,
        // the scroll bar and the real bars.
        QVERIFY(rig.box(6, 7)->isChecked());
        QCOMPARE(bar->value(), 4);
        QVERIFY(bar->maximum() >= 5);
        QCOMPARE(rig.find<QLabel>("XJXSS")->text(), QStringLiteral("实际小节数是(9-10)小节"));
    }

    void typedMelodyIsAuditioned()
    {
        WindowRig rig;
        rig.type(0, QStringLiteral("kckd"));
        QCOMPARE(rig.find<QLineEdit>("YF1(0)")->text().left(4), QStringLiteral("KCKD"));
        rig.t.clearSent();
        rig.click(QStringLiteral("ST1"));
        QVERIFY(rig.find<QRadioButton>("ST1")->isChecked());
        rig.t.clock.advanceMs(16 * 187);
        QVERIFY(!rig.find<QRadioButton>("ST1")->isChecked());
        QCOMPARE(rig.melodyOn(0), QStringLiteral("60 62"));
    }

    void clearThenAuditionKeepsTheOldMelodyCells()
    {
        WindowRig rig;
        rig.type(0, QStringLiteral("KE"));
        rig.box(5, 0)->click();
        rig.click(QStringLiteral("QinKong"));
        QCOMPARE(rig.find<QLineEdit>("YF1(0)")->text(), QString());
        QVERIFY(!rig.box(5, 0)->isChecked());
        rig.t.clearSent();
        rig.c.playback.audition();
        rig.t.clock.advanceMs(16 * 187);
        QCOMPARE(rig.melodyOn(0), QStringLiteral("64"));
        for (quint32 m : rig.t.sent())
            QVERIFY((m & 0xFF) != 0x99);
    }

    void rejectedNumbersChangeNothing()
    {
        WindowRig rig;
        auto *volume = rig.find<QComboBox>("YQYL(2)");
        volume->setFocus();
        volume->lineEdit()->selectAll();
        QTest::keyClicks(volume->lineEdit(), QStringLiteral("abc"));
        QCOMPARE(int(rig.model.RowVolumes[2]), 70);
        emit volume->lineEdit()->editingFinished();
        QCOMPARE(volume->currentText(), QStringLiteral("70"));
        volume->lineEdit()->selectAll();
        QTest::keyClicks(volume->lineEdit(), QStringLiteral("95"));
        QCOMPARE(int(rig.model.RowVolumes[2]), 95);

        auto *tempo = rig.find<QComboBox>("DQSUDU");
        tempo->lineEdit()->selectAll();
        QTest::keyClicks(tempo->lineEdit(), QStringLiteral("0"));
        QCOMPARE(int(rig.model.StepInterval), 187);
        tempo->lineEdit()->selectAll();
        QTest::keyClicks(tempo->lineEdit(), QStringLiteral("100"));
        QCOMPARE(int(rig.model.StepInterval), 150);
        QCOMPARE(rig.c.playback.YYDS().interval(), 150);
    }

    void leavingWhilePlayingSilencesAndCloses()
    {
        WindowRig rig;
        rig.type(0, QStringLiteral("KCKC"));
        rig.click(QStringLiteral("ST2"));
        QVERIFY(rig.find<QCheckBox>("ST2")->isChecked());
        QCOMPARE(rig.find<QCheckBox>("ST2")->text(), QStringLiteral("停止当前演奏"));
        QVERIFY(!rig.find<QPushButton>("BZWJ")->isEnabled());
        rig.t.clock.advanceMs(187);
        QSignalSpy left(rig.window.data(), &YYBJ::left);
        rig.t.clearSent();
        rig.click(QStringLiteral("TUICHU"));
        QCOMPARE(left.count(), 1);
        QVERIFY(!rig.c.playback.SongPlaying());
        QVERIFY(!rig.c.playback.YYDS().isEnabled());
        QSet<int> silenced;
        for (quint32 m : rig.t.sent()) {
            if ((m & 0xF0) == 0x80 || ((m & 0xF0) == 0x90 && (m >> 16) == 0))
                silenced << int(m & 0x0F);
        }
        for (int ch = 0; ch < 5; ++ch)
            QVERIFY2(silenced.contains(ch), qPrintable(QStringLiteral("channel %1").arg(ch)));
        QTest::qWait(0);
        QVERIFY(rig.window.isNull());  // unloaded
    }

    void helpBoxShowsTheEditorHelp()
    {
        WindowRig rig;
        rig.click(QStringLiteral("BZWJ"));
        QCOMPARE(rig.t.dialogs.messages.value(0), StringTable::text(StringTable::kEditorHelp));
        QVERIFY(rig.t.dialogs.messages.value(0).startsWith(QStringLiteral("   本音乐编辑窗口")));
    }

    void saveAndOpenRoundTrip()
    {
        WindowRig rig;
        rig.type(2, QStringLiteral("HC"));
        rig.box(8, 5)->click();
        const QString path = rig.t.path(QStringLiteral("song.lnk"));
        rig.t.dialogs.saveAnswers << path;
        rig.click(QStringLiteral("BCBJ"));
        QVERIFY(QFile::exists(path));

        rig.click(QStringLiteral("QinKong"));
        rig.t.dialogs.openAnswers << path;
        rig.click(QStringLiteral("DkBianji"));
        QCOMPARE(rig.find<QLineEdit>("YF1(2)")->text().left(2), QStringLiteral("HC"));
        QVERIFY(rig.box(8, 5)->isChecked());
        QVERIFY(!rig.box(8, 4)->isChecked());
    }

    void recorderGroupDrivesTheSharedDevice()
    {
        WindowRig rig;
        rig.click(QStringLiteral("LUYINJI(2)"));
        QCOMPARE(rig.t.media.commands,
                 QStringList({QStringLiteral("CLOSE NN"), QStringLiteral("OPEN NEW TYPE WaveAudio ALIAS NN"),
                              QStringLiteral("RECORD NN")}));
        QVERIFY(rig.find<QRadioButton>("LUYINJI(2)")->isChecked());
        rig.t.clock.advanceMs(3000);
        QVERIFY(rig.find<QLabel>("LYSJ")->text().startsWith(QStringLiteral("当前: 0:")));
        // A cancelled save deselects the options and keeps recording.
        rig.click(QStringLiteral("LUYINJI(3)"));
        for (int i = 0; i < 4; ++i)
            QVERIFY(!rig.find<QRadioButton>(QStringLiteral("LUYINJI(%1)").arg(i))->isChecked());
        rig.click(QStringLiteral("LUYINJI(1)"));
        QVERIFY(rig.t.media.commands.contains(QStringLiteral("STOP NN")));
        QCOMPARE(rig.find<QLabel>("LYSJ")->text(), QStringLiteral("当前: 00:00"));
    }

    void reopeningStartsAFreshEdit()
    {
        TestContext t;
        EditorModel model;
        EditorControllers c{t.ctx, model};
        for (int opening = 0; opening < 2; ++opening) {
            YYBJ window(c);
            window.show();
            window.activate();
            window.activate();  // a second activation (a dialog closed) keeps the edit
            QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("SYYQ(0)"))->currentText(),
                     QStringLiteral("15.编钟"));
            QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("YF1(0)"))->text(), QString());
            auto *edit = window.findChild<QLineEdit *>(QStringLiteral("YF1(0)"));
            c.controls.setMelodyText(0, QStringLiteral("KC4"));
            c.controls.melodyFocusLost(0);
            c.controls.selectInstrument(0, 40);
            window.activate();
            QCOMPARE(edit->text().left(3), QStringLiteral("KC4"));
            window.findChild<QRadioButton *>(QStringLiteral("JPFL(2)"))->click();
            window.close();
        }
    }
};

DZQ_REGISTER_TEST(EditorWindowTest)
#include "EditorWindowTest.moc"
