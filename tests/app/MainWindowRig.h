#pragma once

#include "TestContext.h"

#include "app/Form1.h"
#include "controllers/mainwindow/MainWindowControllers.h"
#include "controllers/PerformanceControllers.h"

#include <QStringList>
#include <QTest>

#include <map>

// The whole main window on the recording MIDI port, started as the program
// starts it (first activation runs the start-up initialisation).
struct MainWindowRig {
    TestContext t;
    PerformanceControllers c{t.ctx, t.window};
    MainWindowControllers main{t.ctx, t.window, c};
    Form1 form{main};

    MainWindowRig()
    {
        form.show();
        form.activate();
    }
    QWidget *keyboard() { return form.findChild<QWidget *>("SFYXYZ"); }
    template <typename T>
    T *find(const char *name) { return form.findChild<T *>(QString::fromLatin1(name)); }
    void key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(keyboard(), key, mods); }

    // Every note-on of channels 0..5 must be matched by a later note-off of
    // the same note on the same channel.
    QString hangingNotes() const
    {
        std::map<std::pair<int, int>, int> sounding;
        for (quint32 m : t.midi.messages()) {
            const MidiMessage msg = MidiMessage::unpack(m);
            if (msg.channel() > 5)
                continue;
            if (msg.isNoteOn())
                sounding[{msg.channel(), msg.data1}] = 1;
            else if (msg.isNoteOff())
                sounding.erase({msg.channel(), msg.data1});
        }
        QStringList hanging;
        for (const auto &entry : sounding)
            hanging << QStringLiteral("ch%1 note %2").arg(entry.first.first).arg(entry.first.second);
        return hanging.join(QStringLiteral(", "));
    }
};

