#pragma once

#include "core/PlaybackTimer.h"

#include <QRegion>
#include <QWidget>

class Clock;

// Form3: the farewell window. Only the grey inside of the large letters
// "再 见" is there; clicks between the letters fall through to what lies
// beneath. Ends the program after 4 seconds or on a click on a letter.
class Form3 : public QWidget {
    Q_OBJECT
public:
    explicit Form3(Clock &clock, QWidget *parent = nullptr);

    // Timer1: ends the program 4 seconds after the window is made
    PlaybackTimer &Timer1() { return timer_; }
    // The window's shape: the outline of the text, in window coordinates.
    QRegion shape() const { return shape_; }

    static QFont farewellFont();
    static QString farewellText() { return QStringLiteral("再 见"); }

signals:
    // The program should end now.
    void finished();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void end();

    PlaybackTimer timer_;
    QRegion shape_;
    bool ended_ = false;
};
