#include <QApplication>

#include "MainWindowRig.h"
#include "PracticeRig.h"
#include "TestMain.h"

#include "jianpu/NotationWindow.h"
#include "practice/AccuracyPlot.h"
#include "practice/PracticePiano.h"
#include "practice/PracticeSession.h"
#include "practice/PracticeWindow.h"
#include "widgets/ChoiceList.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

namespace {

// The main window with the score box holding a score, and its practice
// window opened through "简谱" and "跟弹练习".
struct PracticeWindowRig : MainWindowRig {
    PracticeWindow *window = nullptr;

    explicit PracticeWindowRig(const QString &score = QStringLiteral("KC8KD8KE8TZ"))
    {
        t.window.setText3(score);
        QTest::mouseClick(find<QPushButton>("JianPu"), Qt::LeftButton);
        auto *practise = form.notationWindow()->findChild<QPushButton *>(QStringLiteral("GtLx"));
        QTest::mouseClick(practise, Qt::LeftButton);
        window = form.practiceWindow();
        // Offscreen, no window manager makes it active.
        QApplication::setActiveWindow(window);
    }
    PracticeSession &session() { return window->session(); }
    // A key typed where the focus is, as the user types it.
    void type(Qt::Key key)
    {
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
        QTest::keyClick(target, key);
    }
};

}  // namespace

class PracticeWindowTest : public QObject {
    Q_OBJECT
private slots:
    void opensInTheMainWindowsPlaceAndGoesBack();
    void keysPlayWhereverTheFocusIs();
    void pianoClicksPlay();
    void enterStartsTheCountIn();
    void everyControlIsNamedAndReachable();
};

void PracticeWindowTest::opensInTheMainWindowsPlaceAndGoesBack()
{
    PracticeWindowRig rig;
    QVERIFY(rig.window && rig.window->isVisible());
    QVERIFY(!rig.form.isVisible());
    QVERIFY(!rig.form.notationWindow()->isVisible());
    QCOMPARE(rig.main.hardware.target(), &rig.session().midiTarget());
    QCOMPARE(rig.session().passageCount(), 3);
    QVERIFY(rig.window->hintText().contains(QStringLiteral("A 键")));

    QTest::keyClick(rig.window, Qt::Key_Escape);
    QTRY_VERIFY(!rig.form.practiceWindow());
    QVERIFY(rig.form.isVisible());
    QVERIFY(rig.form.notationWindow()->isVisible());
    QCOMPARE(rig.main.hardware.target(), &rig.main.mainNotes);
    QCOMPARE(rig.hangingNotes(), QString());
    // Nothing was played: nothing recorded, and the score box is as it was.
    QVERIFY(practicetest::recordLines(rig.t.folder.path()).isEmpty());
    QCOMPARE(rig.t.window.Text3(), QStringLiteral("KC8KD8KE8TZ"));
}

void PracticeWindowTest::keysPlayWhereverTheFocusIs()
{
    PracticeWindowRig rig;
    auto *mode = rig.window->findChild<ChoiceList *>(QStringLiteral("practiceMode"));
    mode->setFocus();
    QCOMPARE(QApplication::focusWidget(), mode);
    rig.type(Qt::Key_A);
    QCOMPARE(rig.session().outcome(0), Practice::Outcome::Right);
    QCOMPARE(mode->currentIndex(), 0);  // the list took nothing
    rig.type(Qt::Key_F);                // wrong: flashes red
    QVERIFY(rig.window->piano()->flashAt(29, rig.t.clock.nowNs()).isValid());
    rig.type(Qt::Key_S);
    rig.type(Qt::Key_D);
    QCOMPARE(rig.session().state(), PracticeSession::State::Finished);
    QVERIFY2(rig.window->resultText().contains(QStringLiteral("准确率75.0%")), qPrintable(rig.window->resultText()));
    const QStringList lines = practicetest::recordLines(rig.t.folder.path());
    QCOMPARE(lines.size(), 1);
    QCOMPARE(practicetest::recordFigures(lines.first()), QStringLiteral("等待,100,3,3,1,0,75.0,,"));
    QCOMPARE(rig.window->findChild<AccuracyPlot *>()->shown(), QVector<double>{75.0});
    // The main window's score box was never written to.
    QCOMPARE(rig.t.window.Text3(), QStringLiteral("KC8KD8KE8TZ"));
}

void PracticeWindowTest::pianoClicksPlay()
{
    PracticeWindowRig rig;
    PracticePiano *piano = rig.window->piano();
    QCOMPARE(piano->target(), 24);
    QTest::mouseClick(piano, Qt::LeftButton, Qt::NoModifier, PracticePiano::keyRect(24).center());
    QCOMPARE(rig.session().outcome(0), Practice::Outcome::Right);
    QCOMPARE(piano->target(), 26);
    // The black key over the white ones is the one under the pointer.
    QTest::mouseClick(piano, Qt::LeftButton, Qt::NoModifier, PracticePiano::keyRect(25).center());
    QCOMPARE(rig.session().currentNote(), 1);
    QCOMPARE(rig.hangingNotes(), QString());
}

void PracticeWindowTest::enterStartsTheCountIn()
{
    PracticeWindowRig rig;
    rig.window->setMode(Practice::Mode::Tempo);
    rig.window->findChild<ChoiceList *>(QStringLiteral("practiceSpeed"))->setFocus();
    rig.type(Qt::Key_Return);
    QCOMPARE(rig.session().state(), PracticeSession::State::CountIn);
    QVERIFY(rig.window->hintText().startsWith(QStringLiteral("预备")));
    // On a button, Enter is the button's: "示范" plays the passage.
    auto *demo = rig.window->findChild<QPushButton *>(QStringLiteral("practiceDemo"));
    demo->setFocus();
    rig.type(Qt::Key_Return);
    QCOMPARE(rig.session().state(), PracticeSession::State::Demo);
    QCOMPARE(demo->text(), QStringLiteral("停止"));
    rig.type(Qt::Key_Enter);
    QCOMPARE(rig.session().state(), PracticeSession::State::Ready);
}

void PracticeWindowTest::everyControlIsNamedAndReachable()
{
    PracticeWindowRig rig;
    QList<QWidget *> controls;
    for (QWidget *w : rig.window->findChildren<QWidget *>()) {
        if (qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractButton *>(w))
            controls << w;
    }
    QCOMPARE(controls.size(), 8);
    for (QWidget *w : std::as_const(controls)) {
        QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        QVERIFY2(w->focusPolicy() & Qt::TabFocus, qPrintable(w->objectName()));
    }
    // Tab walks them all, in order, and comes round.
    QWidget *first = rig.window->findChild<QWidget *>(QStringLiteral("practiceMode"));
    first->setFocus();
    QStringList walked;
    for (int i = 0; i < 8; ++i) {
        QVERIFY(QApplication::focusWidget());
        walked << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(walked, (QStringList{"practiceMode", "practiceSpeed", "practiceFrom", "practiceTo", "practiceLoop",
                                  "practiceStart", "practiceRestart", "practiceDemo"}));
    QCOMPARE(QApplication::focusWidget(), first);
    for (const char *name : {"practiceSheet", "practicePiano", "practicePlot", "practiceResult"})
        QVERIFY2(!rig.window->findChild<QWidget *>(QString::fromLatin1(name))->accessibleName().isEmpty(), name);
}

DZQ_REGISTER_TEST(PracticeWindowTest)
DZQ_GUI_TEST_MAIN()
#include "PracticeWindowTest.moc"
