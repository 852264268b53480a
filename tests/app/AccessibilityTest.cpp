#include "MainWindowRig.h"
#include "TestMain.h"

#include "app/DZQQD.h"
#include "app/Form3.h"
#include "editor/YYBJ.h"
#include "jianpu/NotationWindow.h"
#include "performance/Form2.h"
#include "performance/KeyTable.h"
#include "resources/StringTable.h"
#include "widgets/AccessibleInterfaces.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <QToolButton>

namespace {

// What a screen reader says for the widget: the labels it is labelled by
// (on Linux a drop-down list tells its current entry as its name), then
// its name.
QString spokenName(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    if (!a)
        return QString();
    QStringList said;
    for (const auto &relation : a->relations(QAccessible::Label))
        said << relation.first->text(QAccessible::Name);
    said << a->text(QAccessible::Name);
    return said.join(QLatin1Char(' ')).trimmed();
}

bool isChinese(const QString &text)
{
    static const QRegularExpression han(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));
    return text.contains(han);
}

// A control the user works: what the keyboard can reach, and every button,
// list, text box and scroll bar of our own (the scroll bars inside text
// boxes and lists belong to those).
bool isControl(QWidget *w)
{
    if (w->focusPolicy() & Qt::TabFocus)
        return true;
    if (qobject_cast<QScrollBar *>(w))
        return false;
    return qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w) || qobject_cast<QLineEdit *>(w)
           || qobject_cast<QAbstractItemView *>(w) || qobject_cast<QPlainTextEdit *>(w)
           || qobject_cast<QAbstractSpinBox *>(w);
}

// "objectName (class): spoken name" of every control without a Chinese name.
QStringList unnamedControls(QWidget *window)
{
    QStringList missing;
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    for (QWidget *w : widgets) {
        if (!isControl(w))
            continue;
        // The item views of drop-down lists live in popups of their own;
        // their list is checked with the drop-down list.
        if (w->window() != window && !qobject_cast<QAbstractItemView *>(w))
            continue;
        const QString name = spokenName(w);
        if (!isChinese(name))
            missing << QStringLiteral("%1 (%2): \"%3\"").arg(w->objectName(), w->metaObject()->className(), name);
    }
    return missing;
}

QWidget *focused() { return QApplication::focusWidget(); }

QAccessibleActionInterface *actions(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    return a ? a->actionInterface() : nullptr;
}

bool giveFocus(QWidget *window, QWidget *to)
{
    QApplication::setActiveWindow(window);
    to->setFocus();
    return to->hasFocus();
}

}  // namespace

// Every control is named for screen readers and reachable from the keyboard.
class AccessibilityTest : public QObject {
    Q_OBJECT
private slots:
    // As the program starts: our buttons and windows answer for themselves.
    void initTestCase() { installAccessibleInterfaces(); }

    // A screen reader's "toggle" on any option, check box or toggle button
    // of the windows is a click: what the click does happens, once.
    void toggleIsAClickEverywhere()
    {
        MainWindowRig r;
        QTest::mouseClick(r.find<QPushButton>("BJCK"), Qt::LeftButton);
        QPointer<YYBJ> editor = r.form.editorWindow();
        QVERIFY(editor);
        // Held weakly: a click may rebuild a window's boxes.
        QList<QPointer<QAbstractButton>> buttons;
        for (QWidget *window : {static_cast<QWidget *>(&r.form), static_cast<QWidget *>(editor)})
            for (QAbstractButton *b : window->findChildren<QAbstractButton *>())
                buttons << b;
        int checked = 0;
        for (const QPointer<QAbstractButton> &b : std::as_const(buttons)) {
            if (!b || !b->isCheckable() || !b->isEnabled() || qobject_cast<QToolButton *>(b))
                continue;
            QAccessibleActionInterface *a = actions(b);
            QVERIFY2(a, qPrintable(b->objectName()));
            QVERIFY2(a->actionNames().contains(QAccessibleActionInterface::toggleAction()), qPrintable(b->objectName()));
            int clicks = 0;
            const auto counted = connect(b, &QAbstractButton::clicked, this, [&clicks] { ++clicks; });
            a->doAction(QAccessibleActionInterface::toggleAction());
            QTRY_COMPARE_WITH_TIMEOUT(clicks, 1, 2000);
            disconnect(counted);
            ++checked;
        }
        QVERIFY2(checked > 40, qPrintable(QString::number(checked)));
        editor->close();
    }

    // What the issue was about: the tabs show their panels, the rhythm's
    // start button starts it, a press still presses.
    void toggleDoesWhatTheKeysDo()
    {
        MainWindowRig r;
        auto *chords = r.find<QRadioButton>("Xxk(1)");
        actions(chords)->doAction(QAccessibleActionInterface::toggleAction());
        QTRY_VERIFY(r.find<QWidget>("Jiezhou(1)")->isVisible());
        QVERIFY(!r.find<QWidget>("Jiezhou(0)")->isVisible());
        QVERIFY(chords->isChecked());
        QCOMPARE(r.t.window.FJWZ(), QStringLiteral("和弦调整。。。"));
        // Again on the chosen tab, as Space on it: the message again, no change.
        r.t.window.setFJWZ(QString());
        actions(chords)->doAction(QAccessibleActionInterface::toggleAction());
        QTRY_COMPARE(r.t.window.FJWZ(), QStringLiteral("和弦调整。。。"));
        QVERIFY(chords->isChecked());

        auto *rhythm = r.find<QRadioButton>("Xxk(2)");
        actions(rhythm)->doAction(QAccessibleActionInterface::toggleAction());
        QTRY_VERIFY(r.find<QWidget>("Jiezhou(2)")->isVisible());
        auto *start = r.find<QPushButton>("BzQd");
        QCOMPARE(QAccessible::queryAccessibleInterface(start)->role(), QAccessible::CheckBox);
        actions(start)->doAction(QAccessibleActionInterface::toggleAction());
        QTRY_COMPARE(spokenName(start), QStringLiteral("停止节奏"));
        QVERIFY(QAccessible::queryAccessibleInterface(start)->state().checked);
        actions(start)->doAction(QAccessibleActionInterface::toggleAction());
        QTRY_COMPARE(spokenName(start), QStringLiteral("启动节奏"));

        auto *editorButton = r.find<QPushButton>("BJCK");
        QAccessibleInterface *plain = QAccessible::queryAccessibleInterface(editorButton);
        QCOMPARE(plain->role(), QAccessible::Button);
        QCOMPARE(plain->actionInterface()->actionNames().first(), QAccessibleActionInterface::pressAction());
        plain->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_VERIFY(r.form.editorWindow() && r.form.editorWindow()->isVisible());
        r.form.editorWindow()->close();
    }

    // The windows say what they are: frames, the welcome one a dialog.
    void windowsAreFramesAndDialogs()
    {
        MainWindowRig r;
        QTest::mouseClick(r.find<QPushButton>("JianPu"), Qt::LeftButton);
        QTest::mouseClick(r.find<QPushButton>("MiNi"), Qt::LeftButton);
        DZQQD welcome(r.t.clock);
        Form3 farewell(r.t.clock);
        const QList<std::pair<QWidget *, QAccessible::Role>> windows = {
            {&r.form, QAccessible::Window},
            {r.form.notationWindow(), QAccessible::Window},
            {r.form.miniWindow(), QAccessible::Window},
            {&welcome, QAccessible::Dialog},
            {&farewell, QAccessible::Window},
        };
        for (const auto &[window, role] : windows) {
            QVERIFY(window);
            QCOMPARE(QAccessible::queryAccessibleInterface(window)->role(), role);
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(&r.form)->text(QAccessible::Name), Form1::caption());
        // Panels inside a window stay plain; Qt's own dialogs keep their roles.
        QCOMPARE(QAccessible::queryAccessibleInterface(r.find<QWidget>("Jiezhou(0)"))->role(), QAccessible::Client);
        QFileDialog files;
        QCOMPARE(QAccessible::queryAccessibleInterface(&files)->role(), QAccessible::Dialog);
        QMessageBox box;
        QCOMPARE(QAccessible::queryAccessibleInterface(&box)->role(), QAccessible::AlertMessage);
        QTest::mouseClick(r.form.miniWindow()->findChild<QPushButton *>("Command1"), Qt::LeftButton);

        QTest::mouseClick(r.find<QPushButton>("BJCK"), Qt::LeftButton);
        QVERIFY(r.form.editorWindow());
        QCOMPARE(QAccessible::queryAccessibleInterface(r.form.editorWindow())->role(), QAccessible::Window);
        r.form.editorWindow()->close();
    }

    void everyControlOfEveryWindowHasAChineseName()
    {
        MainWindowRig r;
        QCOMPARE(unnamedControls(&r.form), QStringList());

        QTest::mouseClick(r.find<QPushButton>("JianPu"), Qt::LeftButton);
        QVERIFY(r.form.notationWindow());
        QCOMPARE(unnamedControls(r.form.notationWindow()), QStringList());

        QTest::mouseClick(r.find<QPushButton>("MiNi"), Qt::LeftButton);
        QPointer<Form2> mini = r.form.miniWindow();
        QVERIFY(mini);
        QCOMPARE(unnamedControls(mini), QStringList());
        QTest::mouseClick(mini->findChild<QPushButton *>("Command1"), Qt::LeftButton);

        QTest::mouseClick(r.find<QPushButton>("BJCK"), Qt::LeftButton);
        QPointer<YYBJ> editor = r.form.editorWindow();
        QVERIFY(editor);
        QCOMPARE(unnamedControls(editor), QStringList());
        // The percussion boxes made for a longer measure are named too.
        auto *option = editor->findChild<QAbstractButton *>("JPFL(2)");
        QTest::mouseClick(option, Qt::LeftButton);
        QVERIFY(editor->findChild<QWidget *>("DJY1(15)"));
        QCOMPARE(unnamedControls(editor), QStringList());
        editor->close();

        DZQQD welcome(r.t.clock);
        QCOMPARE(unnamedControls(&welcome), QStringList());
        Form3 farewell(r.t.clock);
        QVERIFY(isChinese(spokenName(&farewell)));
    }

    // The rhythm cells made at start-up and the keys of both pianos carry
    // their place in their name.
    void namesSayWhichOneItIs()
    {
        MainWindowRig r;
        QCOMPARE(spokenName(r.find<QWidget>("BZA(0)")), QStringLiteral("第一行第1格"));
        QCOMPARE(spokenName(r.find<QWidget>("BZD(15)")), QStringLiteral("第四行第16格"));
        QCOMPARE(spokenName(r.find<QWidget>("Picture1(0)")), QStringLiteral("琴键 C1"));
        QCOMPARE(spokenName(r.find<QWidget>("Picture1(13)")), QStringLiteral("琴键 升C2"));
        QCOMPARE(spokenName(r.find<QWidget>("Picture1(64)")), QStringLiteral("琴键 E6"));
        QCOMPARE(KeyTable::keyName(65), QString());
        QCOMPARE(KeyTable::keyName(-1), QString());
        QCOMPARE(spokenName(r.find<QWidget>("Option5(0)")), QStringLiteral("和弦 1,3,5"));
        QCOMPARE(spokenName(r.find<QWidget>("Option5(6)")), QStringLiteral("无和弦 1"));
        // A name that follows the caption.
        auto *start = r.find<QPushButton>("BzQd");
        QCOMPARE(spokenName(start), QStringLiteral("启动节奏"));
        QTest::mouseClick(start, Qt::LeftButton);
        QCOMPARE(spokenName(start), QStringLiteral("停止节奏"));
        QTest::mouseClick(start, Qt::LeftButton);
    }

    // Each label the window shows beside a list is read with it.
    void labelsAreTheBuddiesOfTheirLists()
    {
        MainWindowRig r;
        const char *const pairs[][2] = {
            {"Label10", "ComDevies"},
            {"Label4(1)", "ComSounds(0)"},
            {"Label4(3)", "ComSounds(2)"},
            {"Label4(4)", "Zxlyl(0)"},
            {"Label6", "SD"},
            {"Label7", "YD"},
            {"Label5", "Combo3(0)"},
            {"Label13", "HxYL"},
            {"Label2", "VsbVol"},
        };
        for (const auto &pair : pairs) {
            auto *label = r.find<QLabel>(pair[0]);
            QVERIFY2(label, pair[0]);
            QCOMPARE(label->buddy(), r.find<QWidget>(pair[1]));
        }
        // Each of the three volume lists beside "音量" is read as its instrument's.
        QCOMPARE(spokenName(r.find<QWidget>("Zxlyl(1)")), QStringLiteral("乐器二音量 70"));
        QCOMPARE(r.find<QLabel>("Label4(4)")->text(), QStringLiteral("音量"));
        QVERIFY(spokenName(r.find<QWidget>("Zxlyl(0)")).startsWith(QStringLiteral("乐器一音量 ")));
        QVERIFY(spokenName(r.find<QWidget>("HxYL")).startsWith(QStringLiteral("和弦音量 ")));
        QVERIFY(spokenName(r.find<QWidget>("VsbVol")).startsWith(QStringLiteral("节奏音量 ")));
        QCOMPARE(r.find<QWidget>("Zxlyl(1)")->accessibleName(), QStringLiteral("乐器二音量"));
        // A list with no label shown beside it is read with a label of its own.
        QCOMPARE(spokenName(r.find<QWidget>("Combo3(1)")), QStringLiteral("和弦乐器二 25.尼龙弦吉它"));

        QTest::mouseClick(r.find<QPushButton>("BJCK"), Qt::LeftButton);
        YYBJ *editor = r.form.editorWindow();
        QVERIFY(editor);
        QCOMPARE(editor->findChild<QLabel *>("Label1(6)")->buddy(), editor->findChild<QWidget *>("SYYQ(6)"));
        QCOMPARE(editor->findChild<QLabel *>("SUDU")->buddy(), editor->findChild<QWidget *>("DQSUDU"));
        QCOMPARE(editor->findChild<QLabel *>("XJXS")->buddy(), editor->findChild<QWidget *>("XJZS"));
        editor->close();
    }

    // Ctrl+Tab leaves the keyboard; Tab then reaches every control shown,
    // and comes round to the keyboard again; Esc returns from anywhere.
    void theKeyboardIsLeftAndFoundAgain()
    {
        MainWindowRig r;
        QWidget *keyboard = r.keyboard();
        if (!giveFocus(&r.form, keyboard))
            QSKIP("the platform gives no focus");
        r.t.clearSent();
        r.key(Qt::Key_Tab);  // the player's own key: the focus stays
        QCOMPARE(focused(), keyboard);
        r.key(Qt::Key_A);
        QVERIFY(r.t.sent().contains(0x463C90u));

        r.key(Qt::Key_Tab, Qt::ControlModifier);
        QWidget *first = focused();
        QVERIFY(first && first != keyboard && r.form.isAncestorOf(first));

        // Every visible control that Tab may reach is reached once.
        // Of a group of options Tab reaches the selected one; the arrow keys
        // move within the group.
        QSet<QWidget *> expected;
        for (QWidget *w : r.form.findChildren<QWidget *>()) {
            if (!w->isVisible() || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus) || w->window() != &r.form)
                continue;
            auto *option = qobject_cast<QRadioButton *>(w);
            if (option && option->group() && option->group()->checkedButton() && !option->isChecked())
                continue;
            expected.insert(w);
        }
        QSet<QWidget *> reached{first};
        QStringList names{spokenName(first)};
        // Bounded: a control that swallows Tab would keep the focus for ever.
        auto *score = r.find<QPlainTextEdit>("Text3");
        const QString scoreBefore = score->toPlainText();
        for (qsizetype n = 0; focused() != keyboard && n <= expected.size(); ++n) {
            QTest::keyClick(focused(), Qt::Key_Tab);
            reached.insert(focused());
            names << spokenName(focused());
        }
        QVERIFY2(focused() == keyboard, qPrintable(names.join(QStringLiteral(" | "))));
        QCOMPARE(score->toPlainText(), scoreBefore);
        QStringList notReached, unexpected;
        for (QWidget *w : std::as_const(expected))
            if (!reached.contains(w))
                notReached << w->objectName();
        for (QWidget *w : std::as_const(reached))
            if (!expected.contains(w))
                unexpected << w->objectName();
        QVERIFY2(notReached.isEmpty(), qPrintable(notReached.join(QLatin1Char(' '))));
        QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(QLatin1Char(' '))));
        for (const QString &name : std::as_const(names))
            QVERIFY2(isChinese(name), qPrintable(name));

        // Keys on another control play nothing; Esc brings the keyboard back.
        r.key(Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
        QWidget *last = focused();
        QVERIFY(last != keyboard && last != first);
        r.t.clearSent();
        QTest::keyClick(last, Qt::Key_S);
        QVERIFY(r.t.sent().isEmpty());
        QTest::keyClick(last, Qt::Key_Escape);
        QCOMPARE(focused(), keyboard);
        QCOMPARE(r.t.window.FJWZ(), QStringLiteral("现在允许演奏。。。"));
        r.key(Qt::Key_S);
        QVERIFY(r.t.sent().contains(0x463E90u));

        // From the score box too.
        score->setFocus();
        QTest::keyClick(score, Qt::Key_Escape);
        QCOMPARE(focused(), keyboard);

        // An arrow key on the tab strip shows the next panel and stays on
        // the strip, for the next arrow; Esc goes back to the keyboard.
        auto *melody = r.find<QRadioButton>("Xxk(0)");
        melody->setFocus();
        QTest::keyClick(melody, Qt::Key_Right);
        auto *chords = r.find<QRadioButton>("Xxk(1)");
        QVERIFY(chords->isChecked());
        QVERIFY(r.find<QWidget>("Jiezhou(1)")->isVisible());
        QCOMPARE(r.t.window.FJWZ(), QStringLiteral("和弦调整。。。"));
        QCOMPARE(focused(), chords);
        QTest::keyClick(chords, Qt::Key_Escape);
        QCOMPARE(focused(), keyboard);
    }

    // The help and the keyboard's description tell the keys that work.
    void theKeysAreDocumented()
    {
        MainWindowRig r;
        const QString help = StringTable::text(StringTable::kFirstHelpTopic + 1);
        const QString described = QAccessible::queryAccessibleInterface(r.keyboard())->text(QAccessible::Description);
        for (const QString &text : {help, described}) {
            QVERIFY2(text.contains(QStringLiteral("Ctrl+Tab")), qPrintable(text));
            QVERIFY2(text.contains(QStringLiteral("Esc")), qPrintable(text));
        }
    }

    // The recorder's pictures are buttons: Tab reaches them, Space presses
    // them, a click leaves the keyboard where it was, the picture stays.
    void recorderPicturesAreButtons()
    {
        MainWindowRig r;
        auto *record = r.find<QAbstractButton>("Image1(2)");
        QVERIFY(record);
        QCOMPARE(spokenName(record), QStringLiteral("录音"));
        QCOMPARE(record->focusPolicy(), Qt::TabFocus);
        QCOMPARE(record->property("bitmap").toInt(), 111);
        QImage shown(record->size(), QImage::Format_RGB32);
        record->render(&shown);
        QVERIFY(shown.pixel(12, 12) != shown.pixel(0, 0));  // the disc in its circle

        if (!giveFocus(&r.form, record))
            QSKIP("the platform gives no focus");
        r.t.media.commands.clear();
        QTest::keyClick(record, Qt::Key_Space);
        QCOMPARE(r.t.media.commands, (QStringList{"CLOSE NN", "OPEN NEW TYPE WaveAudio ALIAS NN", "RECORD NN"}));
        QCOMPARE(record->property("bitmap").toInt(), 112);
        // Recording gives the keyboard back at once.
        QCOMPARE(focused(), r.keyboard());
        QTest::mouseClick(r.find<QAbstractButton>("Image1(1)"), Qt::LeftButton);
        QCOMPARE(focused(), r.keyboard());
        QCOMPARE(r.t.media.commands.last(), QStringLiteral("STOP NN"));
    }

    // The rhythm file list opens from the keyboard and opens a file.
    void rhythmFileListWorksFromTheKeyboard()
    {
        MainWindowRig r;
        for (const char *name : {"a.bin", "b.bin"}) {
            QFile f(r.t.path(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("0,1,2,3,0,70,1,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
        }
        r.form.findChild<QAbstractButton *>("Xxk(2)")->click();
        auto *label = r.find<QLabel>("Label11");
        auto *list = r.find<QListWidget>("File1");
        if (!giveFocus(&r.form, label))
            QSKIP("the platform gives no focus");
        QVERIFY(!list->isVisible());
        QTest::keyClick(label, Qt::Key_Return);
        QVERIFY(list->isVisible());
        QCOMPARE(focused(), list);
        QCOMPARE(spokenName(list), QStringLiteral("节奏文件列表"));
        list->setCurrentRow(0);
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(label->text(), QStringLiteral("b.bin"));
        QCOMPARE(spokenName(label), QStringLiteral("节奏文件 b.bin"));
        QVERIFY(!list->isVisible());
        QVERIFY(focused() != list);

        // Leaving the opened list closes it.
        QTest::keyClick(label, Qt::Key_Down);
        QVERIFY(list->isVisible());
        QTest::keyClick(list, Qt::Key_Escape);
        QCOMPARE(focused(), r.keyboard());
        QVERIFY(!list->isVisible());
    }

    // The mini window: Ctrl+Tab leaves its key button, Esc returns to it.
    void miniWindowKeyboardIsLeftAndFoundAgain()
    {
        MainWindowRig r;
        QTest::mouseClick(r.find<QPushButton>("MiNi"), Qt::LeftButton);
        Form2 *mini = r.form.miniWindow();
        QVERIFY(mini);
        auto *keys = mini->findChild<QWidget *>("JPSB");
        if (!giveFocus(mini, keys))
            QSKIP("the platform gives no focus");
        QTest::keyClick(keys, Qt::Key_Tab, Qt::ControlModifier);
        QVERIFY(focused() != keys && mini->isAncestorOf(focused()));
        QVERIFY(isChinese(spokenName(focused())));
        QTest::keyClick(focused(), Qt::Key_Escape);
        QCOMPARE(focused(), keys);
        r.t.clearSent();
        QTest::keyClick(keys, Qt::Key_D);
        QVERIFY(r.t.sent().contains(0x464090u));
    }
};

DZQ_REGISTER_TEST(AccessibilityTest)
#include "AccessibilityTest.moc"
