#pragma once

#include "platform/MediaDevice.h"

#include <QStringList>

// A media device for tests: keeps every command text, answers "status NN
// mode" from a script (then `mode`), and fails the commands that start with
// one of `failing`.
class ScriptedMedia : public MediaDevice {
public:
    QStringList commands;
    QStringList modes;
    QString mode = QStringLiteral("recording");
    QStringList failing;
    QString error = QStringLiteral("磁盘已满");

    int command(const QString &text, QString *reply) override
    {
        commands << text;
        if (reply)
            *reply = text == QLatin1String("status NN mode") ? (modes.isEmpty() ? mode : modes.takeFirst()) : QString();
        for (const QString &prefix : failing) {
            if (text.startsWith(prefix))
                return 5;
        }
        return 0;
    }
    QString errorText() const override { return error; }
    QStringList take()
    {
        const QStringList sent = commands;
        commands.clear();
        return sent;
    }
};
