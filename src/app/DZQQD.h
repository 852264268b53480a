#pragma once

#include "core/PlaybackTimer.h"

#include <QWidget>

class Clock;
class QLabel;
class QPushButton;

// DZQQD: the welcome dialog (电子琴启动), the program's first window. It
// hands over to the main window after "知道了" or 25 seconds, whichever
// comes first, exactly once.
class DZQQD : public QWidget {
    Q_OBJECT
public:
    explicit DZQQD(Clock &clock, QWidget *parent = nullptr);

    // Timer1: hands over to the main window after 25 seconds
    PlaybackTimer &Timer1() { return timer_; }
    // Disables Timer1, announces the hand-over and closes the dialog.
    void handOver();

    static QString welcomeText();

signals:
    void handedOver();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    PlaybackTimer timer_;
    QImage picture_;
    // Label1: the welcome text
    QLabel *Label1 = nullptr;
    // Command1: "知道了", hands over at once
    QPushButton *Command1 = nullptr;
    bool handedOver_ = false;
};
