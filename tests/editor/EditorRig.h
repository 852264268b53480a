#pragma once

#include "TestContext.h"

#include "editor/EditorControllers.h"
#include "editor/model/EditorModel.h"

#include <QFile>
#include <QTest>

// A freshly opened editor on the test context, its opening messages cleared.
struct EditorRig {
    TestContext t;
    EditorModel model;
    EditorControllers c{t.ctx, model};

    EditorRig()
    {
        c.open();
        t.clearSent();
    }

    EditorControls &controls() { return c.controls; }
    EditorPlayback &playback() { return c.playback; }

    // Types a melody row of the shown measure and leaves the box.
    void enterMelody(int row, const QString &text)
    {
        c.controls.setMelodyText(row, text);
        c.controls.melodyFocusLost(row);
    }
    // Shows measure m (scroll bar).
    void show(int m) { c.controls.scrollTo(m); }

    QString write(const QString &name, const QByteArray &bytes) const
    {
        const QString path = t.path(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return path;
    }
    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Note messages (0x80 / 0x90) of the melody channels 0..4, "on 0 84 @0".
    QStringList melodyNotes() const
    {
        QStringList out;
        for (const auto &s : t.midi.sent) {
            const quint32 kind = s.message & 0xF0;
            const quint32 channel = s.message & 0x0F;
            if ((kind == 0x80 || kind == 0x90) && channel <= 4)
                out << QStringLiteral("%1 %2 %3 @%4")
                           .arg(kind == 0x90 ? QStringLiteral("on") : QStringLiteral("off"))
                           .arg(channel)
                           .arg((s.message >> 8) & 0xFF)
                           .arg(s.dueNs / 1000000);
        }
        return out;
    }
    // Times (ms) of the percussion note-ons.
    QVector<qint64> drumTimes() const
    {
        QVector<qint64> out;
        for (const auto &s : t.midi.sent) {
            if ((s.message & 0xFF) == 0x99)
                out << s.dueNs / 1000000;
        }
        return out;
    }
};
