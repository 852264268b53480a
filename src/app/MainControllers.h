#pragma once

#include "app/Navigation.h"
#include "app/ScoreExporter.h"
#include "app/StatusClock.h"
#include "chords/ChordAccompaniment.h"
#include "chords/SoundEffects.h"
#include "performance/KeyboardEngine.h"
#include "performance/MelodyVoices.h"
#include "performance/OnScreenKeyboard.h"
#include "rhythm/RhythmFiles.h"
#include "rhythm/RhythmPattern.h"
#include "rhythm/RhythmSequencer.h"
#include "score/ScoreFiles.h"
#include "score/ScorePlayer.h"
#include "sound/MidiDeviceList.h"

#include <functional>

struct AppContext;

// The controllers behind the main window, created together on one context
// and wired to each other. The windows show them; tests and the score
// renderer drive them without windows.
class MainControllers {
public:
    explicit MainControllers(AppContext &ctx);

    // The start-up defaults (the logic of QDCSH, in its order): opens device
    // entry 1 and selects every list's default, so that each selection sends
    // its messages and sets its shared value.
    void initialise();

    AppContext &ctx;
    MidiDeviceList devices;
    Navigation navigation;
    StatusClock statusClock;
    MelodyVoices voices;
    OnScreenKeyboard keys;
    KeyboardEngine keyboard;
    ChordAccompaniment chords;
    SoundEffects effects;
    RhythmPattern pattern;
    RhythmSequencer sequencer;
    RhythmFiles rhythmFiles;
    ScorePlayer player;
    ScoreFiles scoreFiles;
    ScoreExporter exporter;

    // Sets the program's wave output volume (left in the low 16 bits).
    std::function<void(quint32)> setWaveVolume;

    // Stops every timer of the main window (nothing may sound after the
    // device is closed at shut-down).
    void stopTimers();

    static QString startHint();

private:
    void linkKeyboard();
    void linkScorePlayer();
};
