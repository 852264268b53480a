#include "FakeMidiInputPorts.h"
#include "TestContext.h"
#include "TestMain.h"

#include "app/Form1.h"
#include "controllers/mainwindow/MainWindowControllers.h"
#include "app/MidiInputButton.h"
#include "controllers/PerformanceControllers.h"
#include "editor/YYBJ.h"
#include "performance/Form2.h"
#include "performance/HardwareKeyboard.h"
#include "platform/midi/MidiInputs.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <memory>

using R = RecordingMidiBackend;
using Msgs = QVector<quint32>;

namespace {

const QString kKeys = QStringLiteral("Keystation 49:Keystation 49 MIDI 1 24:0");

Msgs ons(int note, int velocity)
{
    return {R::noteOn(0, note, velocity), R::noteOn(1, note, velocity), R::noteOn(2, note, velocity)};
}

// The program's font, as main() sets it: what the status line must hold.
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

QStringList menuTexts(QMenu *menu)
{
    emit menu->aboutToShow();
    QStringList texts;
    for (QAction *a : menu->actions())
        texts << (a->isSeparator() ? QString("-") : a->text() + (a->isChecked() ? "*" : ""));
    return texts;
}

// The main window with a MIDI keyboard plugged in, as the program composes
// them: the inputs attached before the window is built.
struct KeyboardRig {
    TestContext t;
    PerformanceControllers c{t.ctx, t.window};
    MainWindowControllers main{t.ctx, t.window, c};
    FakeMidiInputPorts ports;
    MidiInputs inputs{ports};
    std::unique_ptr<Form1> form;

    explicit KeyboardRig(bool startUp = true)
    {
        ports.add(kKeys, true, QStringLiteral("Keystation 49"));
        main.attachInputs(inputs);
        form = std::make_unique<Form1>(main);
        form->show();
        if (startUp)
            form->activate();
        inputs.poll();
        t.clearSent();
    }
    // Bytes from the keyboard, handed over at once.
    void play(const QByteArray &hex)
    {
        const QByteArray raw = QByteArray::fromHex(hex);
        QVERIFY(ports.deliver(kKeys, std::vector<unsigned char>(raw.begin(), raw.end())));
        inputs.deliverPending();
    }
    template <typename T>
    T *find(const char *name)
    {
        return form->findChild<T *>(QString::fromLatin1(name));
    }
};

}  // namespace

class MidiKeyboardTest : public QObject {
    Q_OBJECT
private slots:
    // Plugged in at start: named in the status line, a chord sounds on the
    // three voices with its velocities, its first note is in the score box.
    void playsInTheMainWindow()
    {
        KeyboardRig r;
        QCOMPARE(r.t.window.FJWZ(), QStringLiteral("已连接MIDI键盘：Keystation 49。。。"));
        r.play("903c7f"
               "4064"
               "4320");
        QCOMPARE(r.t.sent(), ons(60, 70) + ons(64, 55) + ons(67, 17));
        QCOMPARE(r.t.window.Text3(), QString("KC"));
        r.play("803c00"
               "804000"
               "804300");
        QCOMPARE(r.t.midi.messagesOfKind(0x80).size(), 9);
    }

    // Before the main window's start-up the device is not set up: nothing plays.
    void silentBeforeStartUp()
    {
        KeyboardRig r(false);
        r.play("903c7f");
        QVERIFY(r.t.midi.messagesOfKind(0x90).isEmpty());
        QVERIFY(r.t.state.ScoreText.isEmpty());
    }

    // The mini window and the editor take the keyboard with the main
    // window's place; what sounds ends at each change.
    void handedOverBetweenWindows()
    {
        KeyboardRig r;
        r.play("903c7f");
        r.t.clearSent();
        QTest::mouseClick(r.find<QPushButton>("MiNi"), Qt::LeftButton);
        Form2 *mini = r.form->miniWindow();
        QVERIFY(mini && mini->isVisible());
        QCOMPARE(r.t.midi.messagesOfKind(0x80), (Msgs{R::noteOff(0, 60), R::noteOff(1, 60), R::noteOff(2, 60)}));
        QTest::keyClick(mini->JPSB, Qt::Key_F1);  // voice 1 only, in the mini window
        r.t.clearSent();
        r.play("903e7f");
        QCOMPARE(r.t.sent(), Msgs{R::noteOn(0, 62, 70)});
        QCOMPARE(r.t.state.ScoreText, QString("KD"));
        QCOMPARE(r.t.window.Text3(), QString("KC"));
        QTest::mouseClick(mini->Command1, Qt::LeftButton);  // "返回"
        QCOMPARE(r.t.window.Text3(), QString("KD"));
        QCOMPARE(r.t.midi.messagesOfKind(0x80), Msgs{R::noteOff(0, 62)});
        // The main window's rules again; its note stops the mini window's tick.
        QVERIFY(mini->keyboard().timer1().isEnabled());
        r.t.clearSent();
        r.play("904040");
        QCOMPARE(r.t.midi.messagesOfKind(0x90).size(), 3);
        QVERIFY(!mini->keyboard().timer1().isEnabled());
        QVERIFY(r.t.state.ScoreText.endsWith(QLatin1String("KE")));

        QTest::mouseClick(r.find<QPushButton>("BJCK"), Qt::LeftButton);
        YYBJ *editor = r.form->editorWindow();
        QVERIFY(editor && editor->isVisible());
        const QString score = r.t.state.ScoreText;
        r.t.clearSent();
        r.play("90437f");
        // The editor's first row: channel 0 at its volume "70".
        QCOMPARE(r.t.sent(), Msgs{R::noteOn(0, 67, 70)});
        QCOMPARE(r.t.state.ScoreText, score);
        QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("TUICHU")), Qt::LeftButton);
        QVERIFY(r.t.midi.messagesOfKind(0x80).contains(R::noteOff(0, 67)));
        r.t.clearSent();
        r.play("80430090437f");
        QCOMPARE(r.t.midi.messagesOfKind(0x90), ons(67, 70));
    }

    // Space on the keyboard button silences the MIDI keyboard's notes too.
    void spaceSilences()
    {
        KeyboardRig r;
        r.play("903c7f"
               "4040");
        QTest::keyClick(r.find<QWidget>("SFYXYZ"), Qt::Key_Space);
        Msgs offs = r.t.midi.messagesOfKind(0x80);
        QVERIFY(offs.contains(R::noteOff(2, 60)) && offs.contains(R::noteOff(2, 64)));
    }

    // Unplugged: its notes end, without a word.
    void unplugged()
    {
        KeyboardRig r;
        r.play("903c7f");
        const QString status = r.t.window.FJWZ();
        r.ports.remove(kKeys);
        r.inputs.poll();
        QCOMPARE(r.t.midi.messagesOfKind(0x80), (Msgs{R::noteOff(0, 60), R::noteOff(1, 60), R::noteOff(2, 60)}));
        QCOMPARE(r.t.window.FJWZ(), status);
        QVERIFY(r.t.dialogs.messages.isEmpty());
    }

    // The menu "MIDI键盘" in the tab strip's gap: every input, none, or one
    // port; the connected ones marked. A choice gives the keyboard back.
    void choiceInTheMenu()
    {
        KeyboardRig r;
        auto *button = r.find<MidiInputButton>("MidiIn");
        QVERIFY(button);
        QCOMPARE(button->text(), QString("MIDI键盘"));
        // Tab reaches it, a click does not take the keys from the keyboard;
        // a screen reader says what it chooses.
        QCOMPARE(button->focusPolicy(), Qt::TabFocus);
        QCOMPARE(button->accessibleName(), QString("选择MIDI键盘"));
        QVERIFY(button->toolTip().contains(kKeys));
        for (QRadioButton *tab : r.form->findChildren<QRadioButton *>()) {
            if (tab->objectName().startsWith("Xxk("))
                QVERIFY2(!tab->geometry().intersects(button->geometry()), qPrintable(tab->objectName()));
        }
        QVERIFY(!button->geometry().intersects(r.find<QWidget>("Jiezhou(0)")->geometry()));
        QMenu *menu = button->menu();
        QCOMPARE(menuTexts(menu), (QStringList{"连接所有MIDI键盘*", "不用MIDI键盘", "-", kKeys + "（已连接）"}));

        r.play("903c7f");
        r.form->findChild<QWidget *>("Yuepu(3)")->setFocus();
        menu->actions()[1]->trigger();  // none
        QVERIFY(r.inputs.connectedNames().isEmpty());
        QVERIFY(r.t.midi.messagesOfKind(0x80).contains(R::noteOff(0, 60)));
        QVERIFY(button->toolTip().contains("现在没有连接MIDI键盘"));
        QTRY_VERIFY(r.find<QWidget>("SFYXYZ")->hasFocus() || !r.form->isActiveWindow());
        emit menu->aboutToShow();
        QCOMPARE(menu->actions().last()->text(), kKeys);
        menu->actions().last()->trigger();  // this keyboard by name
        QCOMPARE(r.inputs.choice(), MidiInputChoice::named("Keystation 49:Keystation 49 MIDI 1"));
        QCOMPARE(r.inputs.connectedNames(), QStringList{kKeys});
    }

    // The one port chosen, unplugged: still the choice, not connected; back
    // again it is connected. A name given on the command line that matches
    // no port is shown the same way.
    void unpluggedChoiceStaysMarked()
    {
        KeyboardRig r;
        const QString chosen = MidiInputs::choiceName(kKeys);
        r.inputs.setChoice(MidiInputChoice::named(chosen));
        QMenu *menu = r.find<MidiInputButton>("MidiIn")->menu();
        r.ports.remove(kKeys);
        r.inputs.poll();
        QCOMPARE(menuTexts(menu),
                 (QStringList{"连接所有MIDI键盘", "不用MIDI键盘", "-", chosen + "（未连接）*", "没有找到MIDI输入"}));
        r.ports.add("Keystation 49:Keystation 49 MIDI 1 28:0", true, "Keystation 49");
        r.inputs.poll();
        QCOMPARE(menuTexts(menu), (QStringList{"连接所有MIDI键盘", "不用MIDI键盘", "-",
                                               "Keystation 49:Keystation 49 MIDI 1 28:0（已连接）*"}));
        r.ports.refused << "Keystation 49:Keystation 49 MIDI 1 28:0";  // busy: listed, not opened
        r.inputs.setChoice(MidiInputChoice::none());
        r.inputs.setChoice(MidiInputChoice::named(chosen));
        QCOMPARE(menuTexts(menu).last(), QString("Keystation 49:Keystation 49 MIDI 1 28:0（未连接）*"));
        r.inputs.setChoice(MidiInputChoice::named("VMPK"));
        QCOMPARE(menuTexts(menu).mid(3, 1), QStringList{"VMPK（未连接）*"});
    }

    // A screen reader's actions open the menu as Space does.
    void menuOpensFromAScreenReader()
    {
        KeyboardRig r;
        auto *button = r.find<MidiInputButton>("MidiIn");
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(button);
        QVERIFY(iface && iface->actionInterface());
        QCOMPARE(iface->text(QAccessible::Name), QString("选择MIDI键盘"));
        QVERIFY(iface->state().hasPopup);
        const QStringList actions = iface->actionInterface()->actionNames();
        QCOMPARE(actions.mid(0, 2), (QStringList{QAccessibleActionInterface::showMenuAction(),
                                                 QAccessibleActionInterface::pressAction()}));
        for (const QString &action : actions.mid(0, 2)) {
            bool opened = false;
            QTimer::singleShot(100, button->menu(), [&opened, menu = button->menu()] {
                opened = menu->isVisible();
                menu->close();
            });
            iface->actionInterface()->doAction(action);
            QTRY_VERIFY2(opened, qPrintable(action));
        }
    }

    // A name too long for the status line is cut there between characters,
    // with "…"; the information display shows it whole.
    void longNamesInTheStatusLine()
    {
        ProgramFont font;
        KeyboardRig r;
        const QString name = QStringLiteral("jack-keyboard-with-a-long-name");
        r.main.hardware.inputConnected(name);
        auto *status = r.find<QLabel>("FJWZ");
        const QString whole = HardwareKeyboard::connectedMessage(name);
        QCOMPARE(r.t.window.FJWZ(), whole);
        QVERIFY2(status->text().endsWith(QStringLiteral("…")), qPrintable(status->text()));
        QVERIFY(whole.startsWith(status->text().chopped(1)));
        QVERIFY(status->fontMetrics().horizontalAdvance(status->text()) <= status->width());
        QCOMPARE(status->toolTip(), whole);
        QVERIFY(r.find<QLabel>("XSWB")->text().endsWith(name));
        // A short message is shown as it is.
        r.t.window.setFJWZ(HardwareKeyboard::connectedMessage("VMPK"));
        QCOMPARE(status->text(), HardwareKeyboard::connectedMessage("VMPK"));
    }

    // Typing in the score box is kept: the keyboard's notes sound but are
    // not written while the box has the focus (the status line says so,
    // and the message fits it); once the focus leaves, they write again.
    void typingInTheScoreBoxIsKept()
    {
        ProgramFont font;
        KeyboardRig r;
        r.play("903c7f803c00");
        auto *box = r.find<QWidget>("Text3");
        box->setFocus();
        QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(box, "VS5");
        QCOMPARE(r.t.window.Text3(), QString("KCVS5"));
        r.t.clearSent();
        r.play("903e7f803e00");
        QCOMPARE(r.t.midi.messagesOfKind(0x90), ons(62, 70));
        QCOMPARE(r.t.window.Text3(), QString("KCVS5"));
        QCOMPARE(r.t.state.ScoreText, QString("KC"));
        QCOMPARE(r.t.window.FJWZ(), HardwareKeyboard::heldMessage());
        auto *status = r.find<QLabel>("FJWZ");
        QCOMPARE(status->text(), HardwareKeyboard::heldMessage());
        QVERIFY(status->fontMetrics().horizontalAdvance(status->text()) <= status->width());
        QTest::mouseClick(r.find<QPushButton>("SFYXYZ"), Qt::LeftButton);
        r.t.clock.advanceMs(400);
        r.play("90407f");
        QCOMPARE(r.t.window.Text3(), QString("KC5KE"));  // the typing goes, as at a computer key
    }
};

DZQ_REGISTER_TEST(MidiKeyboardTest)
#include "MidiKeyboardTest.moc"
