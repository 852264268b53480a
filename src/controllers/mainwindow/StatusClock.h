#pragma once

#include "core/PlaybackTimer.h"

#include <QDateTime>
#include <QObject>
#include <QString>

class Clock;

// Timer2 of the main window: the date-and-time label SjXs and the scrolling
// credit line Label8, one step a second.
class StatusClock : public QObject {
    Q_OBJECT
public:
    explicit StatusClock(Clock &clock, QObject *parent = nullptr);

    // Timer2: one tick a second
    PlaybackTimer &Timer2() { return timer_; }
    // The window is active: the clock line runs. Stopped at shut-down.
    void start() { timer_.setEnabled(true); }
    void stop() { timer_.setEnabled(false); }
    // SjXs: the date-and-time label's text
    QString SjXs() const { return sjxs_; }
    // Label8: the credit line's text
    QString Label8() const { return label8_; }

    // One tick: the clock shows `now` and the credit line turns by one character.
    void onTick(const QDateTime &now);

    static QString creditText();
    static QString formatTime(const QDateTime &time);  // "yyyy-mm-dd hh-mm-ss"

signals:
    void changed();

private:
    PlaybackTimer timer_;
    QString sjxs_;
    QString label8_;
};
