#include "ScoreTestRig.h"
#include "TestMain.h"

#include "score/ScoreBox.h"
#include "score/ScoreTextEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QWidget>

// The score box on a window: its buttons reach the player and the file
// buttons, and showing the player's place never takes the keyboard focus.
class ScoreBoxTest : public QObject {
    Q_OBJECT
private slots:
    void buttonsDriveThePlayer()
    {
        ScoreRig r;
        QWidget form;
        ScoreBox box(r.t.window, &form);
        box.bind(r.player, r.files);
        QPushButton *play = form.findChild<QPushButton *>("Yuepu(0)");
        QVERIFY(play);

        box.Text3()->setPlainText("kc8kd8tz");
        QTest::mouseClick(play, Qt::LeftButton);
        QCOMPARE(play->text(), QString("停止"));
        QCOMPARE(box.Text3()->toPlainText(), QString("KC8KD8TZ"));
        QCOMPARE(r.melody(), QStringList{"60@0"});

        // A press alone (the mouse-down) already stops the clock.
        QTest::mousePress(play, Qt::LeftButton);
        QCOMPARE(play->text(), QString("试听"));
        QVERIFY(!r.player.Timer3().isEnabled());
        QTest::mouseRelease(play, Qt::LeftButton);
        QVERIFY(!r.player.ScorePlaying());

        r.player.setButtonEnabled(2, false);
        QVERIFY(!form.findChild<QPushButton *>("Yuepu(2)")->isEnabled());

        QTest::mouseClick(form.findChild<QPushButton *>("Yuepu(3)"), Qt::LeftButton);
        QVERIFY(box.Text3()->toPlainText().isEmpty());
        QCOMPARE(r.t.window.FJWZ(), QString("成功清空乐谱。。。"));
    }

    void showingThePlaceKeepsTheFocus()
    {
        ScoreRig r;
        QWidget form;
        ScoreBox box(r.t.window, &form);
        box.bind(r.player, r.files);
        auto *keyboard = new QPushButton("键盘", &form);
        form.show();
        QApplication::setActiveWindow(&form);
        keyboard->setFocus();
        if (!keyboard->hasFocus())
            QSKIP("the platform gives no focus");

        box.Text3()->setPlainText("KC8KD8TZ");
        QTest::mouseClick(form.findChild<QPushButton *>("Yuepu(0)"), Qt::LeftButton);
        r.advanceMs(8 * 83);
        // KD is marked at its second character, and the keys still go to the keyboard.
        QCOMPARE(box.Text3()->mark(), qMakePair(4, 1));
        QVERIFY(!box.Text3()->textCursor().hasSelection());
        QVERIFY(keyboard->hasFocus());
        // Tab reaches the buttons, a click does not take the focus.
        for (int i = 0; i < 5; ++i)
            QCOMPARE(form.findChild<QPushButton *>(QStringLiteral("Yuepu(%1)").arg(i))->focusPolicy(),
                     Qt::TabFocus);
    }
};

// The score text box lays a long score out in rows that are only for the eye.
class ScoreTextEditTest : public QObject {
    Q_OBJECT
private slots:
    void longScoreShowsInRowsAndGrowsAtTheEnd()
    {
        QWidget form;
        ScoreTextEdit edit(&form);
        edit.setGeometry(8, 8, 369, 127);
        form.show();
        QString score;
        while (score.size() < 1000)
            score += "KC4KD4";
        edit.setScore(score);
        const int rows = edit.document()->blockCount();
        QVERIFY(rows >= 1000 / edit.rowLength());
        QCOMPARE(edit.score(), score);
        edit.setScore(score + "99TZ");
        QCOMPARE(edit.score(), score + "99TZ");
        QCOMPARE(ScoreTextEdit::scoreOf(edit.toPlainText()), score + "99TZ");
        for (QTextBlock b = edit.document()->firstBlock(); b.isValid(); b = b.next()) {
            QVERIFY(ScoreTextEdit::scoreOf(b.text()).size() <= edit.rowLength());
            QCOMPARE(b.layout()->lineCount(), 1);  // no row wraps by itself
        }
        edit.setScore("XZ");  // not a continuation: shown afresh
        QCOMPARE(edit.toPlainText(), QString("XZ"));
    }

    void theBoxNeverChangesTheScore()
    {
        QWidget form;
        ScoreTextEdit edit(&form);
        edit.setGeometry(8, 8, 369, 127);
        form.show();
        QString edited;
        connect(&edit, &ScoreTextEdit::scoreEdited, [&](const QString &s) { edited = s; });
        QString score;
        while (score.size() < 500)
            score += "KC4KD4XZ2";
        edit.setScore(score);
        QCOMPARE(edited, QString());  // showing a score is no edit
        const int row = edit.rowLength();

        // Copied out whole or in part (across a row's end): exactly the score.
        edit.selectAll();
        edit.copy();
        QCOMPARE(QApplication::clipboard()->text(), score);
        edit.selectScore(row - 3, 7);
        edit.copy();
        QCOMPARE(QApplication::clipboard()->text(), score.mid(row - 3, 7));

        // Backspace at the start of a row deletes the character before it.
        QTextCursor c = edit.textCursor();
        c.setPosition(edit.document()->findBlockByNumber(1).position());
        edit.setTextCursor(c);
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(edited, score.left(row - 1) + score.mid(row));
        QTest::keyClicks(&edit, score.mid(row - 1, 1));
        QCOMPARE(edited, score);

        // A typed line break stays in the score, where it was typed.
        edit.selectScore(row + 2, 0);
        QTest::keyClick(&edit, Qt::Key_Return);
        QCOMPARE(edited, score.left(row + 2) + "\n" + score.mid(row + 2));
        edit.selectScore(row + 2, 1);
        QCOMPARE(ScoreTextEdit::scoreOf(edit.textCursor().selectedText()), QString("\n"));

        // A wider box lays the rows out anew; the score stays.
        const QString before = edit.score();
        edit.resize(600, 127);
        QVERIFY(edit.rowLength() > row);
        QCOMPARE(edit.score(), before);
        QCOMPARE(ScoreTextEdit::scoreOf(edit.toPlainText()), before);

        // Text set directly keeps its line breaks too.
        edit.setPlainText("KC8\nKD8\nTZ");
        QCOMPARE(edit.score(), QString("KC8\nKD8\nTZ"));
    }

    void selectionFindsTheCharacterAcrossRows()
    {
        QWidget form;
        ScoreTextEdit edit(&form);
        edit.setGeometry(8, 8, 369, 127);
        form.show();
        QString score;
        for (int i = 0; i < 200; ++i)
            score += QString("KC%1").arg(i % 10);
        edit.setScore(score);
        for (int start : {0, 1, edit.rowLength() - 1, edit.rowLength(), edit.rowLength() + 1, 598}) {
            edit.selectScore(start, 1);
            QCOMPARE(edit.textCursor().selectedText(), score.mid(start, 1));
        }
        edit.selectScore(5000, 1);  // past the end: nothing breaks
        QVERIFY(edit.textCursor().selectedText().isEmpty());
        QVERIFY(!edit.hasFocus());
    }

    // A walk with Tab, typing while a score plays and filling the box anew
    // never lose what the box held.
    void typingNeverLosesTheScore()
    {
        ScoreRig r;
        QWidget form;
        ScoreBox box(r.t.window, &form);
        box.bind(r.player, r.files);
        auto *after = new QPushButton("下一个", &form);
        form.show();
        QApplication::setActiveWindow(&form);
        ScoreTextEdit *text3 = box.Text3();

        // Tab walks on: nothing is typed, in an empty box or a full one.
        for (const QString &before : {QString(), QStringLiteral("KC8KD8TZ")}) {
            text3->setPlainText(before);
            text3->setFocus();
            if (!text3->hasFocus())
                QSKIP("the platform gives no focus");
            QTest::keyClick(text3, Qt::Key_Tab);
            QCOMPARE(text3->toPlainText(), before);
            QVERIFY(!text3->hasFocus());
        }
        Q_UNUSED(after);

        // While it plays, the place is marked; a key typed into the box goes
        // where the user's cursor is and the marked note stays.
        text3->setPlainText("KG16KF8KE8TZ");
        QTest::mouseClick(form.findChild<QPushButton *>("Yuepu(0)"), Qt::LeftButton);
        r.advanceMs(16 * 83 + 10);
        QCOMPARE(text3->mark(), qMakePair(5, 1));  // the F of KF
        text3->setFocus();
        text3->moveCursor(QTextCursor::End);
        QTest::keyClicks(text3, "X");
        QCOMPARE(text3->score(), QString("KG16KF8KE8TZX"));
        // Undo takes the typing back.
        QTest::keyClick(text3, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(text3->score(), QString("KG16KF8KE8TZ"));

        // The box filled anew by the program keeps the old text in undo.
        r.t.window.setText3("WC6TZ");
        QCOMPARE(text3->score(), QString("WC6TZ"));
        QTest::keyClick(text3, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(text3->score(), QString("KG16KF8KE8TZ"));
        QCOMPARE(r.t.window.Text3(), QString("KG16KF8KE8TZ"));
    }
};

DZQ_GUI_TEST_MAIN(ScoreBoxTest, ScoreTextEditTest)

#include "ScoreBoxTest.moc"
