#include "ChordPanelTest.h"

#include "TestContext.h"

#include "chords/ChordAccompaniment.h"
#include "chords/ChordPanel.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using R = RecordingMidiBackend;
using Msgs = QVector<quint32>;

namespace {

template <typename W>
W *find(QWidget &root, const QString &name)
{
    W *w = root.findChild<W *>(name);
    if (!w)
        qWarning("no control %s", qPrintable(name));
    return w;
}

}  // namespace

void ChordPanelTest::controlsAndCaptions()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    ChordPanel panel(chords);
    QCOMPARE(panel.objectName(), QStringLiteral("Jiezhou(1)"));
    QCOMPARE(panel.size(), QSize(391, 146));

    const QStringList captions{"1,3,5", "2,4,6", "3,5,7", "4,6,1", "5,7,2", "6,1,3",
                               "1,3,5", "1,3,5", "1,3,5", "1,3,5", "1,3,5"};
    QWidget *box = find<QWidget>(panel, "Picture3");
    QVERIFY(box);
    for (int i = 0; i < 11; ++i) {
        auto *option = find<QRadioButton>(panel, QStringLiteral("Option5(%1)").arg(i));
        QVERIFY(option);
        QCOMPARE(option->text(), captions[i]);
        QCOMPARE(option->parentWidget(), box);
        QCOMPARE(option->isChecked(), i == 10);
    }
    // Three columns, four rows, the start button in the last cell.
    auto *o0 = find<QRadioButton>(panel, "Option5(0)");
    auto *o4 = find<QRadioButton>(panel, "Option5(4)");
    auto *o9 = find<QRadioButton>(panel, "Option5(9)");
    auto *check6 = find<QPushButton>(panel, "Check6");
    QVERIFY(check6);
    QCOMPARE(check6->text(), QStringLiteral("启动"));
    QVERIFY(o4->x() > o0->x() && o4->y() > o0->y());
    QCOMPARE(check6->parentWidget(), box);
    QVERIFY(check6->y() > o9->y() - 4 && check6->x() > o9->x());
    QVERIFY(box->geometry().contains(check6->geometry().translated(box->pos()).center()));

    QCOMPARE(find<QLabel>(panel, "Label5")->text(), QStringLiteral("乐器"));
    QCOMPARE(find<QLabel>(panel, "Label13")->text(), QStringLiteral("音量"));
    for (int k = 0; k < 3; ++k) {
        auto *list = find<QComboBox>(panel, QStringLiteral("Combo3(%1)").arg(k));
        QVERIFY(list);
        QVERIFY(!list->isEditable());
        QCOMPARE(list->count(), 129);
        QCOMPARE(list->itemText(128), QStringLiteral("128.枪声"));
    }
    auto *volume = find<QComboBox>(panel, "HxYL");
    QCOMPARE(volume->count(), 7);
    QCOMPARE(volume->itemText(3), QStringLiteral("70"));
    // Every control lies inside the panel.
    for (QWidget *w : panel.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        QVERIFY2(panel.rect().contains(w->geometry()), qPrintable(w->objectName()));
}

void ChordPanelTest::optionClickReachesController()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    ChordPanel panel(chords);
    panel.show();
    auto *option = find<QRadioButton>(panel, "Option5(1)");
    QTest::mouseClick(option, Qt::LeftButton);
    QCOMPARE(chords.chosenOption(), 1);
    QCOMPARE(chords.ChordNotes(), (ChordTriad{26, 29, 33}));
    QVERIFY(option->isChecked());
    QVERIFY(!find<QRadioButton>(panel, "Option5(10)")->isChecked());
    QCOMPARE(t.sent(), (Msgs{R::noteOff(3, 36), R::noteOff(4, 36), R::noteOff(5, 36)}));
}

void ChordPanelTest::startButtonDisabledDuringTest()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    ChordPanel panel(chords);
    panel.show();
    auto *check6 = find<QPushButton>(panel, "Check6");
    QTest::mouseClick(check6, Qt::LeftButton);
    QCOMPARE(t.midi.messagesOfKind(0x90).size(), 3);
    QVERIFY(!check6->isEnabled());
    QTest::mouseClick(check6, Qt::LeftButton);  // refused while the chord sounds
    QCOMPARE(t.midi.messagesOfKind(0x90).size(), 3);
    t.clock.advanceMs(1000);
    QVERIFY(check6->isEnabled());
    QCOMPARE(t.midi.messagesOfKind(0x80).size(), 3);
}

void ChordPanelTest::controlsFollowTheController()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    ChordPanel panel(chords);
    t.state.LastKeyCode = 190;  // full stop
    chords.HXQD();
    QVERIFY(find<QRadioButton>(panel, "Option5(5)")->isChecked());
    QVERIFY(!find<QPushButton>(panel, "Check6")->isEnabled());
    chords.chooseChordType(3);
    QVERIFY(find<QRadioButton>(panel, "Option5(2)")->isChecked());
    chords.selectInstrument(2, 25);
    chords.selectVolume(3);
    QCOMPARE(find<QComboBox>(panel, "Combo3(2)")->currentIndex(), 25);
    QCOMPARE(find<QComboBox>(panel, "Combo3(0)")->currentIndex(), -1);
    QCOMPARE(find<QComboBox>(panel, "HxYL")->currentText(), QStringLiteral("70"));

    // A panel built later shows the state as it is.
    ChordPanel late(chords);
    QVERIFY(find<QRadioButton>(late, "Option5(2)")->isChecked());
    QCOMPARE(find<QComboBox>(late, "Combo3(2)")->currentIndex(), 25);
    QVERIFY(!find<QPushButton>(late, "Check6")->isEnabled());
}

void ChordPanelTest::instrumentChosenWithTheKeyboard()
{
    TestContext t;
    ChordAccompaniment chords(t.ctx, t.window);
    ChordPanel panel(chords);
    panel.show();
    chords.selectInstrument(0, 25);
    t.clearSent();
    auto *list = find<QComboBox>(panel, "Combo3(0)");
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(chords.instrumentPosition(0), 26);
    QCOMPARE(t.sent(), (Msgs{R::control(3, 0, 0), R::program(3, 25)}));

    auto *volume = find<QComboBox>(panel, "HxYL");
    chords.selectVolume(3);
    QTest::keyClick(volume, Qt::Key_Up);
    QCOMPARE(t.state.VoiceVelocity[3], qint16(55));
}
