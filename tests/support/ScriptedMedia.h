#pragma once

#include "platform/media/MediaDevice.h"

#include <QStringList>

// A media device for tests: keeps every command text, answers "status NN
// mode" from a script (then `mode`) and "status NN length" with `length`,
// and fails the commands that start with one of `failing`, with `error`.
// A "stopped" answer comes with `stoppedBecause` as the device's reason.
class ScriptedMedia : public MediaDevice {
public:
    QStringList commands;
    QStringList modes;
    QString mode = QStringLiteral("recording");
    QString length = QStringLiteral("3000");
    QStringList failing;
    QString error = QStringLiteral("磁盘已满");
    QString stoppedBecause;
    QStringList unplayable;  // files canOpen() refuses

    QString errorText() const override { return lastError_; }
    bool canOpen(const QString &path, QString *why) const override
    {
        if (!unplayable.contains(path))
            return true;
        *why = QStringLiteral("“%1”不是可以播放的声音文件").arg(path);
        return false;
    }
    QStringList take()
    {
        const QStringList sent = commands;
        commands.clear();
        return sent;
    }

protected:
    int execute(const QString &text, QString *reply) override
    {
        commands << text;
        lastError_.clear();
        if (reply) {
            reply->clear();
            if (text == QLatin1String("status NN mode"))
                *reply = modes.isEmpty() ? mode : modes.takeFirst();
            else if (text == QLatin1String("status NN length"))
                *reply = length;
            if (reply->startsWith(QLatin1String("stopped")))
                lastError_ = stoppedBecause;
        }
        for (const QString &prefix : failing) {
            if (text.startsWith(prefix)) {
                lastError_ = error;
                return 5;
            }
        }
        return 0;
    }

private:
    QString lastError_;
};
