#pragma once

#include "RecordingMidiBackend.h"
#include "ScriptedDialogs.h"

#include "core/AppContext.h"
#include "core/Clock.h"
#include "core/SharedState.h"
#include "core/WindowState.h"
#include "sound/MidiPort.h"

#include <QTemporaryDir>

// Everything a controller needs, with fakes: a recording MIDI output (device 0
// already open), scripted dialogs, a virtual clock and an empty record folder
// of its own.
struct TestContext {
    SharedState state;
    WindowState window;
    RecordingMidiBackend midi;
    ScriptedDialogs dialogs;
    VirtualClock clock;
    MidiPort port{midi, dialogs, clock};
    QTemporaryDir folder;
    AppContext ctx{state, window, port, dialogs, clock, folder.path()};

    TestContext() { port.OpenMidiDevice(0); }

    QVector<quint32> sent() const { return midi.messages(); }
    void clearSent() { midi.clear(); }
    QString path(const QString &name) const { return folder.filePath(name); }
};
