#include "controllers/mainwindow/StatusClock.h"

StatusClock::StatusClock(Clock &clock, QObject *parent)
    : QObject(parent), timer_(clock, QStringLiteral("Timer2"), 1000, this),
      sjxs_(formatTime(QDateTime::currentDateTime())), label8_(creditText())
{
    timer_.onTick = [this] { onTick(QDateTime::currentDateTime()); };
}

QString StatusClock::creditText()
{
    return QStringLiteral("Quorvane电子琴2012 —— 用电脑键盘和鼠标演奏音乐，欢迎使用！    ");
}

QString StatusClock::formatTime(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
}

void StatusClock::onTick(const QDateTime &now)
{
    sjxs_ = formatTime(now);
    if (!label8_.isEmpty())
        label8_ = label8_.mid(1) + label8_.left(1);
    emit changed();
}
