#pragma once

#include "performance/MiniKeyboard.h"

#include <QWidget>

#include <array>

class QLabel;
class QPushButton;
class WindowDisplay;
struct Session;

// Form2: the mini window, always in front of every other window (also of
// other programs), for playing along with a score shown elsewhere. Keys are
// taken by JPSB; the small keyboard Picture1(0..64) takes the mouse.
class Form2 : public QWidget {
    Q_OBJECT
public:
    // mainDisplay: the main window's display, whose score box gets the score.
    Form2(Session &session, WindowDisplay &mainDisplay, QWidget *parent = nullptr);

    static QString caption() { return QStringLiteral("Quorvane电子琴2012"); }
    MiniKeyboard &keyboard() { return mini_; }

    QPushButton *JPSB = nullptr;      // "键盘演奏": receives the keys
    QLabel *Picture2 = nullptr;       // the mute pad
    QPushButton *Command1 = nullptr;  // "返回"
    QPushButton *Command2 = nullptr;  // "清空"
    QWidget *picture1(int offset) const;

signals:
    // The score is in the main window's score box: the main window shows
    // again (this one hides afterwards, or closes).
    void returning();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void handedBack();

    MiniKeyboard mini_;
    QWidget *keys_ = nullptr;
    bool closing_ = false;
};
