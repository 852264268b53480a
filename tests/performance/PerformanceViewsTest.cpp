#include "PerformanceViewTests.h"
#include "PerformanceRig.h"

#include "performance/KeyboardButton.h"
#include "performance/LayoutPicture.h"
#include "performance/MelodyPanel.h"
#include "performance/PianoKeys.h"
#include "resources/KeyArtwork.h"
#include "midiport/MidiDeviceList.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "TestMain.h"

using R = RecordingMidiBackend;
using Msgs = QVector<quint32>;

namespace {
// A mouse move with no button held, straight to the widget.
void hover(QWidget *widget, const QPoint &pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}
}  // namespace

// The performance views in a main-window-sized host, with the start-up
// selections made and the keyboard button focused.
struct PerformanceViewsTest::Window {
    TestContext t;
    MidiDeviceList devices{t.port};
    MelodyVoices voices{t.ctx};
    ChordAccompaniment chords{t.ctx, t.window};
    OnScreenKeyboard keys{t.ctx, voices, chords};
    HookPartners partners{chords};
    KeyboardEngine engine{t.ctx, t.window, voices, keys, partners};
    QWidget host;
    MelodyPanel *panel = nullptr;
    KeyboardButton *button = nullptr;
    PianoKeys *piano = nullptr;
    LayoutPicture *layout = nullptr;

    Window()
    {
        host.resize(988, 337);
        panel = new MelodyPanel(voices, devices, &host);
        panel->move(590, 32);
        button = new KeyboardButton(engine, &host);
        button->setGeometry(798, 178, 45, 25);
        // The window's focus return, as the main window maps it.
        QObject::connect(panel, &MelodyPanel::choiceMade, button, &KeyboardButton::takeFocus);
        QObject::connect(&voices, &MelodyVoices::choiceMade, button, &KeyboardButton::takeFocus);
        piano = new PianoKeys(keys, &host);
        layout = new LayoutPicture(keys, &host);
        host.show();
        host.activateWindow();
        devices.refresh();
        devices.select(1);
        selectStartUpDefaults(voices, keys);
        t.clearSent();
    }
    template <typename T = QWidget>
    T *find(const QString &name) const { return host.findChild<T *>(name); }
    QVector<quint32> noteOns() const { return t.midi.messagesOfKind(0x90); }
};

void PerformanceViewsTest::init()
{
    w_ = new Window;
    QVERIFY(QTest::qWaitForWindowActive(&w_->host));
    QTRY_VERIFY(w_->button->hasFocus());
}

void PerformanceViewsTest::cleanup()
{
    delete w_;
    w_ = nullptr;
}

void PerformanceViewsTest::keysReachTheEngine()
{
    QCOMPARE(w_->button->objectName(), QString("SFYXYZ"));
    QCOMPARE(w_->button->text(), QString("键盘"));
    QCOMPARE(w_->button->toolTip(), QString("当键盘演奏无声时用此键恢复键盘演奏功能！"));
    QVERIFY(!w_->button->testAttribute(Qt::WA_InputMethodEnabled));
    QTest::keyClick(w_->button, Qt::Key_A);
    QCOMPARE(w_->t.state.ScoreText, QString("KC"));
    QCOMPARE(w_->noteOns(), (Msgs{R::noteOn(0, 60, 70), R::noteOn(1, 60, 70), R::noteOn(2, 60, 70)}));
    QTest::keyClick(w_->button, Qt::Key_Backslash);
    QTest::keyClick(w_->button, Qt::Key_F5);
    QCOMPARE(w_->t.state.ScoreText, QString("KC0MA"));
    QCOMPARE(w_->find<QComboBox>("ComSounds(1)")->currentIndex(), 86);
    // The score box text follows every key.
    QCOMPARE(w_->t.window.Text3(), QString("KC0MA"));
}

void PerformanceViewsTest::keysNeverClickOrMoveFocus()
{
    QSignalSpy clicks(w_->button, &QPushButton::clicked);
    for (Qt::Key k : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Tab, Qt::Key_Backtab,
                      Qt::Key_Select})
        QTest::keyClick(w_->button, k);
    QCOMPARE(clicks.count(), 0);
    QVERIFY(w_->button->hasFocus());
    QVERIFY(w_->t.window.FJWZ().isEmpty());
    QCOMPARE(w_->t.state.LastKeyCode, qint16(9));  // Tab came as a key, not as navigation
    QTest::keyClick(w_->button, Qt::Key_Backspace);
    QCOMPARE(w_->t.state.ScoreText, QString("XZ"));
    // A click on the button itself says the keyboard plays again.
    QTest::mouseClick(w_->button, Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(w_->t.window.FJWZ(), QString("现在允许演奏。。。"));
    QVERIFY(w_->button->hasFocus());
}

void PerformanceViewsTest::keypadAndAutoRepeat()
{
    QList<int> rhythms;
    w_->partners.onZDJP = [&] { rhythms << w_->t.state.LastKeyCode; };
    QTest::keyClick(w_->button, Qt::Key_3, Qt::KeypadModifier);
    QTest::keyClick(w_->button, Qt::Key_Insert, Qt::KeypadModifier);  // keypad 0, Num Lock off
    QCOMPARE(rhythms, (QList<int>{0x63, 0x60}));
    QTest::keyClick(w_->button, Qt::Key_A, Qt::ControlModifier);  // a shortcut, not a note
    QVERIFY(w_->t.state.ScoreText.isEmpty());
    QTest::keyPress(w_->button, Qt::Key_A);
    for (int i = 0; i < 2; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"), true);
        QApplication::sendEvent(w_->button, &repeat);
    }
    QTest::keyRelease(w_->button, Qt::Key_A);
    // A held key is one press: its auto-repeats write no zero durations.
    QCOMPARE(w_->t.state.ScoreText, QString("KC"));
    QCOMPARE(w_->noteOns().size(), 3);
}

void PerformanceViewsTest::focusSwitchesKeysAndMutePad()
{
    QLabel *pad = w_->piano->Label1;
    QVERIFY(w_->keys.keysEnabled());
    QVERIFY(pad->isVisible());
    // Clicking into another control takes the keys away.
    QComboBox *list = w_->find<QComboBox>("ComSounds(0)");
    list->setFocus();
    QTRY_VERIFY(list->hasFocus());
    QVERIFY(!w_->keys.keysEnabled());
    QVERIFY(!pad->isVisible());
    QTest::mousePress(w_->piano, Qt::LeftButton, {}, QPoint(5, 100));
    QTest::mouseMove(w_->piano, QPoint(40, 100));
    QTest::mouseRelease(w_->piano, Qt::LeftButton, {}, QPoint(40, 100));
    QVERIFY(w_->t.sent().isEmpty());
    QCOMPARE(w_->find<QLabel>("Picture1(0)")->property("picture").toInt(), 102);
    // YXYZ gives it back.
    w_->button->takeFocus();
    QTRY_VERIFY(w_->button->hasFocus());
    QVERIFY(w_->keys.keysEnabled());
    QVERIFY(pad->isVisible());
    // So does a choice in a list of the panel.
    list->setFocus();
    QTRY_VERIFY(!w_->keys.keysEnabled());
    list->setCurrentIndex(3);
    emit list->activated(3);
    QTRY_VERIFY(w_->button->hasFocus());
    QVERIFY(w_->keys.keysEnabled());
}

void PerformanceViewsTest::dragOverKeys()
{
    auto picture = [this](int o) {
        return w_->find<QLabel>(QStringLiteral("Picture1(%1)").arg(o))->property("picture").toInt();
    };
    QCOMPARE(w_->find<QLabel>("Picture1(1)")->geometry(), QRect(14, 12, 18, 69));
    QCOMPARE(w_->piano->geometry(), QRect(0, 204, 988, 133));
    QCOMPARE(w_->piano->Label1->geometry(), QRect(0, 0, 988, 13));
    const QPoint key0(5, 100), key1(23, 40), key2(40, 100);
    QTest::mousePress(w_->piano, Qt::LeftButton, {}, key0);
    QCOMPARE(picture(0), 103);
    QTest::mouseMove(w_->piano, key1);
    QCOMPARE(picture(1), 105);
    QCOMPARE(picture(0), 102);
    QTest::mouseMove(w_->piano, key2);
    QCOMPARE(picture(1), 104);
    QCOMPARE(picture(2), 103);
    QTest::mouseRelease(w_->piano, Qt::LeftButton, {}, key2);
    // After the release, moving no longer plays.
    const int sentBefore = w_->t.sent().size();
    hover(w_->piano, key0);
    QCOMPARE(w_->t.sent().size(), sentBefore);

    // Notes 36, 37, 38 in that order, each on the three voices.
    QList<int> order;
    for (quint32 m : w_->noteOns()) {
        const int channel = int(m & 0x0F), note = int((m >> 8) & 0x7F);
        QVERIFY(channel <= 2);
        if (channel == 0 && (order.isEmpty() || order.last() != note))
            order << note;
    }
    QCOMPARE(order, (QList<int>{36, 37, 38}));
    QCOMPARE(w_->noteOns().last(), R::noteOn(2, 38, 70));
    QCOMPARE(int(w_->t.state.LastNoteOffset), 2);
    QVERIFY(w_->t.state.ScoreText.isEmpty());
    // Every note but the last one was stopped.
    QCOMPARE(hangingMelodyNotes(w_->t.sent()), QString("0:38 1:38 2:38"));
}

void PerformanceViewsTest::mutePadSilences()
{
    QLabel *pad = w_->find<QLabel>("Label1");
    QVERIFY(pad);
    QVERIFY(pad->text().startsWith(QStringLiteral("消    音    板")));
    // Nothing sounds yet: the note-offs go out anyway.
    hover(pad, QPoint(400, 6));
    QCOMPARE(w_->t.sent(), (Msgs{R::noteOff(0, 36), R::noteOff(1, 36), R::noteOff(2, 36)}));
    QTest::keyClick(w_->button, Qt::Key_H);
    w_->t.clearSent();
    hover(pad, QPoint(500, 6));
    QCOMPARE(w_->t.sent(), (Msgs{R::noteOff(0, 69), R::noteOff(1, 69), R::noteOff(2, 69)}));
    QCOMPARE(w_->find<QLabel>("Picture1(33)")->property("picture").toInt(), 103);
}

void PerformanceViewsTest::layoutPictureTogglesBack()
{
    QWidget *picture2 = w_->find("Picture2");
    QLabel *image3 = w_->find<QLabel>("Image3");
    QLabel *label3 = w_->find<QLabel>("Label3");
    QVERIFY(picture2 && image3 && label3);
    QCOMPARE(picture2->geometry(), QRect(408, 152, 175, 51));
    QCOMPARE(image3->size(), QSize(175, 51));
    QCOMPARE(label3->text(), QString("点击图片查看键盘分布"));
    QCOMPARE(label3->pos(), QPoint(435, 204));
    QTest::mouseClick(image3, Qt::LeftButton);
    QCOMPARE(picture2->geometry(), QRect(0, 0, 988, 204));
    QCOMPARE(image3->size(), QSize(988, 204));
    QCOMPARE(image3->pixmap().size(), QSize(988, 204));
    // Drawn for that size, not stretched from a picture of other proportions.
    QCOMPARE(image3->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
             LayoutPicture::artwork(QSize(988, 204)).convertToFormat(QImage::Format_RGB32));
    QCOMPARE(label3->text(), QString("点击图片收回键盘分布"));
    QTest::mouseClick(image3, Qt::LeftButton);
    QCOMPARE(picture2->geometry(), QRect(408, 152, 175, 51));
    QCOMPARE(image3->size(), QSize(175, 51));
    QCOMPARE(label3->text(), QString("点击图片查看键盘分布"));
    // Clicking the picture leaves the keyboard playing.
    QVERIFY(w_->button->hasFocus());
}

void PerformanceViewsTest::layoutPictureShowsEveryKey()
{
    // The large picture, and the proportions a thumbnail is drawn at.
    for (const QSizeF size : {QSizeF(988, 204), QSizeF(686, 200)}) {
        const QVector<LayoutPicture::DrawnKey> drawn = LayoutPicture::drawnKeys(size);
        QHash<int, int> times;
        QRectF covered;
        for (const LayoutPicture::DrawnKey &k : drawn) {
            if (k.keyCode)
                ++times[k.keyCode];
            QVERIFY(QRectF(QPointF(0, 0), size).contains(k.rect));
            covered |= k.rect;
        }
        // The keys fill the picture up to a narrow margin.
        QVERIFY2(covered.left() <= 10 && covered.right() >= size.width() - 14, qPrintable(QString::number(covered.right())));
        QVERIFY2(covered.top() <= 10 && covered.bottom() >= size.height() - 14, qPrintable(QString::number(covered.bottom())));
        // Every key with a role is on the picture exactly once, with its code.
        for (int code = 1; code < 256; ++code) {
            const KeyRole role = KeyTable::roleOf(code);
            if (role == KeyRole::None)
                continue;
            QVERIFY2(times.value(code) == 1, qPrintable(QString::number(code, 16)));
        }
        int notes = 0;
        for (const LayoutPicture::DrawnKey &k : drawn) {
            if (k.role == KeyRole::Note) {
                ++notes;
                QCOMPARE(k.legend, QString::fromLatin1(KeyTable::lookup(k.keyCode)->code));
            }
            if (k.keyCode == 0x74)
                QCOMPARE(k.legend, QString("组合五"));
            if (k.keyCode == 8)
                QVERIFY(k.legend.contains("XZ"));
            if (k.keyCode == 32)
                QVERIFY(k.legend.contains("TZ"));
        }
        QCOMPARE(notes, 34);
        // No two keys overlap.
        for (int i = 0; i < drawn.size(); ++i)
            for (int j = i + 1; j < drawn.size(); ++j)
                QVERIFY(!drawn[i].rect.intersects(drawn[j].rect));
    }
    // Drawn at the size asked for, the thumbnail too.
    QCOMPARE(LayoutPicture::artwork(QSize(988, 204)).size(), QSize(988, 204));
    QCOMPARE(LayoutPicture::artwork(QSize(175, 51)).size(), QSize(175, 51));
}

void PerformanceViewsTest::melodyPanel()
{
    MelodyPanel *panel = w_->panel;
    QCOMPARE(panel->objectName(), QString("Jiezhou(0)"));
    QCOMPARE(panel->size(), QSize(391, 146));
    const QList<QPair<QString, QString>> labels{
        {"Label10", "设  备"}, {"Label4(1)", "乐器一"}, {"Label4(2)", "乐器二"},
        {"Label4(3)", "乐器三"}, {"Label4(4)", "音量"},   {"Label4(5)", "音量"},
        {"Label4(6)", "音量"},   {"Label6", "速 度"},    {"Label7", "音  调"}};
    for (const auto &l : labels) {
        QLabel *label = w_->find<QLabel>(l.first);
        QVERIFY2(label, qPrintable(l.first));
        QCOMPARE(label->text(), l.second);
        QVERIFY(panel->rect().contains(label->geometry()));
    }
    // Start-up choices show in the lists.
    QCOMPARE(w_->find<QComboBox>("ComSounds(2)")->currentText(), QString("79.口哨"));
    QCOMPARE(w_->find<QComboBox>("Zxlyl(1)")->currentText(), QString("70"));
    QCOMPARE(w_->find<QComboBox>("SD")->currentText(), QString("90 拍/分钟"));
    QCOMPARE(w_->find<QComboBox>("ComDevies")->count(), 2);
    QCOMPARE(w_->find<QComboBox>("ComDevies")->currentIndex(), 1);
    for (const char *name : {"ComDevies", "ComSounds(0)", "ComSounds(1)", "ComSounds(2)", "Zxlyl(0)",
                             "Zxlyl(1)", "Zxlyl(2)", "SD", "YD"}) {
        QComboBox *list = w_->find<QComboBox>(QString::fromLatin1(name));
        QVERIFY2(list, name);
        QVERIFY2(!list->isEditable() && !list->lineEdit(), name);  // choose-only
        QVERIFY(panel->rect().contains(list->geometry()));
    }
    QCOMPARE(w_->find<QComboBox>("ComSounds(0)")->count(), 129);
    QCOMPARE(w_->find<QComboBox>("Zxlyl(0)")->count(), 7);
    QCOMPARE(w_->find<QComboBox>("SD")->count(), 13);
    // The key list has no text to type into.
    QComboBox *yd = w_->find<QComboBox>("YD");
    QCOMPARE(yd->count(), 12);
    yd->setEditText(QStringLiteral("D"));
    QCOMPARE(yd->currentText(), QString("C"));
    QCOMPARE(int(w_->t.state.KeyBase), 36);

    // A user's choice reaches the controller ...
    QComboBox *sounds1 = w_->find<QComboBox>("ComSounds(1)");
    sounds1->setCurrentIndex(1);
    emit sounds1->activated(1);
    QCOMPARE(w_->t.sent(), (Msgs{R::control(1, 0, 0), R::program(1, 0)}));
    QComboBox *zx = w_->find<QComboBox>("Zxlyl(2)");
    emit zx->activated(6);
    QCOMPARE(int(w_->t.state.VoiceVelocity[2]), 120);
    QComboBox *sd = w_->find<QComboBox>("SD");
    emit sd->activated(12);
    QCOMPARE(int(w_->t.state.EighthBeatMs), 62);
    // ... and a choice made in code shows in the lists.
    w_->voices.applyCombination(8);
    QCOMPARE(w_->find<QComboBox>("ComSounds(0)")->currentText(), QString("62.铜管乐"));
    QCOMPARE(w_->find<QComboBox>("ComSounds(2)")->currentText(), QString("117.太空音"));
    w_->voices.selectKey(11);
    QCOMPARE(yd->currentText(), QString("B"));

    // The device list opens the chosen device and gives the keyboard back.
    QComboBox *devices = w_->find<QComboBox>("ComDevies");
    devices->setFocus();
    QTRY_VERIFY(devices->hasFocus());
    const int opens = w_->t.midi.openCount;
    emit devices->activated(0);
    QCOMPARE(w_->t.midi.openCount, opens + 1);
    QCOMPARE(w_->t.midi.lastOpenedId, -1);
    QTRY_VERIFY(w_->button->hasFocus());

    QPushButton *web = w_->find<QPushButton>("Command2");
    QCOMPARE(web->text(), QString("效果欣赏"));
    QCOMPARE(web->toolTip(), QString("点击我即可欣赏Quorvane用本电子琴编辑的音乐！"));
    QSignalSpy spy(panel, &MelodyPanel::webPageRequested);
    QTest::mouseClick(web, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
}

void PerformanceViewsTest::keyChangeLeavesNothingHanging()
{
    QComboBox *yd = w_->find<QComboBox>("YD");
    auto chooseKey = [&](int position) {
        yd->setCurrentIndex(position);
        emit yd->activated(position);
    };
    QTest::keyClick(w_->button, Qt::Key_A);
    chooseKey(2);
    QTest::keyClick(w_->button, Qt::Key_S);
    chooseKey(7);
    QTest::mousePress(w_->piano, Qt::LeftButton, {}, QPoint(23, 40));
    QTest::mouseRelease(w_->piano, Qt::LeftButton, {}, QPoint(23, 40));
    chooseKey(7);  // the same key again
    chooseKey(0);
    QTest::keyClick(w_->button, Qt::Key_Backspace);
    QTest::keyClick(w_->button, Qt::Key_D);
    chooseKey(11);
    QTest::keyClick(w_->button, Qt::Key_Space);
    QVERIFY(w_->noteOns().size() >= 12);
    QCOMPARE(hangingMelodyNotes(w_->t.sent()), QString());
}

void PerformanceViewsTest::artwork()
{
    for (int id = 102; id <= 105; ++id) {
        const QImage img = KeyArtwork::picture(id);
        QCOMPARE(img.size(), KeyArtwork::pictureSize(id));
        QCOMPARE(img.depth(), 24);
    }
    QCOMPARE(KeyArtwork::pictureSize(102), QSize(26, 121));
    QCOMPARE(KeyArtwork::pictureSize(105), QSize(18, 69));
    QVERIFY(KeyArtwork::picture(102) != KeyArtwork::picture(103));
    QVERIFY(KeyArtwork::picture(104) != KeyArtwork::picture(105));
    QVERIFY(KeyArtwork::picture(106).isNull());
    QVERIFY(KeyArtwork::pictureSize(501).isEmpty());
    // At 2x scaling: twice the pixels for the same logical size, the same
    // picture (the edges' colours where the plain one has them).
    for (int id = 102; id <= 105; ++id) {
        const QImage plain = KeyArtwork::picture(id);
        const QImage sharp = KeyArtwork::picture(id, 2.0);
        QCOMPARE(sharp.size(), plain.size() * 2);
        QCOMPARE(sharp.deviceIndependentSize().toSize(), plain.size());
        QCOMPARE(sharp.pixelColor(0, 40), plain.pixelColor(0, 20));
        QCOMPARE(sharp.pixelColor(sharp.width() - 1, 40), plain.pixelColor(plain.width() - 1, 20));
    }
    for (const QSize size : {QSize(988, 204), QSize(175, 51)}) {
        const QImage sharp = LayoutPicture::artwork(size, 2.0);
        QCOMPARE(sharp.size(), size * 2);
        QCOMPARE(sharp.deviceIndependentSize().toSize(), size);
    }
    const QCursor cursor = KeyArtwork::keyCursor();
    QCOMPARE(cursor.shape(), Qt::BitmapCursor);
    QVERIFY(!cursor.pixmap().isNull());
    QCOMPARE(w_->piano->cursor().shape(), Qt::BitmapCursor);
    // The key widgets show pictures of their own size.
    QCOMPARE(w_->find<QLabel>("Picture1(64)")->pixmap().size(), QSize(26, 121));
    QCOMPARE(w_->find<QLabel>("Picture1(61)")->pixmap().size(), QSize(18, 69));
}
