#pragma once

#include "editor/EditorControls.h"
#include "editor/EditorFiles.h"
#include "editor/EditorPlayback.h"
#include "midiport/MidiDeviceList.h"

#include <functional>

struct Session;
class EditorModel;

// The controllers behind the music editor, created together on one context
// and one editor model (which outlives them: the edit stays for the whole
// run). The editor window shows them; tests and the command line drive them
// without a window.
class EditorControllers {
public:
    EditorControllers(Session &ctx, EditorModel &model);

    // Opening the editor (load and activation): the main rhythm stops; the
    // first time, the device list opens its entry 1 and BJQD sets the
    // defaults; the wave output volume is set; every opening starts with an
    // empty edit.
    void open();
    // Leaving the editor (TUICHU or closing): the step timer stops, every
    // melody note ends, the main window's rhythm gets the step table back
    // (and its status line says what the opening stopped), and the next
    // opening initialises anew.
    void leave();

    Session &ctx;
    EditorModel &model;
    MidiDeviceList devices;  // ComDevies
    EditorControls controls;
    EditorPlayback playback;
    EditorFiles files;

    // Links to the main window, set by whoever creates the editor: its rhythm
    // stops when the editor opens and before it plays (both use StepIndex and
    // the step table), and writes its pattern back into the step table when
    // the editor is left.
    std::function<void()> stopMainRhythm;
    std::function<void()> restoreMainRhythm;
    // Tells a line in the main window's information display (an edit kept
    // when the editor is left).
    std::function<void(const QString &)> tellMainWindow;
    // Sets the program's wave output volume (left channel in the low 16 bits).
    std::function<void(quint32)> setWaveVolume;

    static constexpr quint32 kWaveVolume = 0x70007000;

private:
    bool loaded_ = false;
};
