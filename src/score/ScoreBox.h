#pragma once

#include <QObject>
#include <QString>
#include <QVector>

class QEvent;
class ScoreTextEdit;
class QPushButton;
class QWidget;
class ScoreFiles;
class ScorePlayer;
class WindowDisplay;

// The score box of the main window: the picture box Picture4 holding the
// score text box Text3, and the row of score buttons Yuepu(0..4), created on
// the main window at their design positions. Text3 shows the window state's
// score box text; the user's own edits go back into it. The player's place is
// shown as a mark without taking the keyboard focus, and a click on a
// button leaves the focus where it is (Tab still reaches them), so keys
// pressed while a score plays reach the keyboard.
class ScoreBox : public QObject {
    Q_OBJECT
public:
    ScoreBox(WindowDisplay &window, QWidget *form);

    // Connects the buttons to the score player and the score file buttons'
    // logic, and follows the play button's caption and the enabled states.
    void bind(ScorePlayer &player, ScoreFiles &files);

    // Text3: the score box, the score being played or written as it is played
    ScoreTextEdit *Text3() const { return text3_; }
    // Yuepu(0..4): the score buttons "试听", "删除", "打开", "清空", "保存"
    QPushButton *Yuepu(int index) const { return buttons_.value(index); }

    static QString caption(int index);
    static QString toolTip(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:

    WindowDisplay &window_;
    QWidget *picture4_ = nullptr;
    ScoreTextEdit *text3_ = nullptr;
    QVector<QPushButton *> buttons_;
    ScorePlayer *player_ = nullptr;
};
