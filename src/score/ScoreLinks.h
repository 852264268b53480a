#pragma once

#include <functional>

// What the score player needs from the rooms that own the tempo list, the
// instrument lists, the rhythm and the on-screen keys. The application fills
// these in when it composes the main window; a link left empty does nothing
// (check5 then reads false, applyRhythmFileEntry reports no entry).
//
// Every link is called from inside the player's step or clock tick, so what
// it sends to the MIDI port is stamped with the tick's time. None of them may
// show a modal box of its own except where noted, and none may call back
// into the player's step.
struct ScoreLinks {
    // VS n: choose entry `position` (0..11) of the tempo list SD exactly as a
    // selection of the user does (EighthBeatMs and the rhythm timer's
    // interval follow). The player sets EighthBeatMs itself as well.
    std::function<void(int position)> selectTempo;

    // YQ n: apply instrument combination `row` (1..12) as the key F-row does
    // it, steps 1 and 2 only: VoiceInstrument 0..2, the three ComSounds lists
    // selected with their handling, the extra program change. No message in
    // XSWB and no YXYZ.
    std::function<void(int row)> applyCombination;

    // JP 1..9: RhythmText = built-in rhythm n (string 600 + n), then OpenJZwj.
    // Does not start the rhythm: the player calls setBzQd(true) afterwards.
    // OpenJZwj may show its own refusal message; playing goes on after it.
    std::function<void(int n)> applyBuiltInRhythm;

    // JP 10..98: the rhythm file at `index` (n - 10) of the rhythm file list
    // File1. When the entry exists and its file still exists: read the whole
    // file into RhythmText, OpenJZwj, return true (the player then sets
    // BzQd). Otherwise change nothing and return false.
    std::function<bool(int index)> applyRhythmFileEntry;

    // The rhythm start control BzQd: setting it starts the rhythm (at step 0,
    // with Bzfs) unless it already runs; clearing it stops the rhythm.
    std::function<void(bool on)> setBzQd;

    // The auto-sync option Check5.
    std::function<bool()> check5;

    // Enables or disables the rhythm timer BZDS (nothing else).
    std::function<void(bool enabled)> setRhythmTimerEnabled;

    // Bzfs: rebuild the rhythm pattern for playing and play the step at
    // StepIndex at once.
    std::function<void()> Bzfs;

    // RhythmClockTick: called on every second clock tick while the clock
    // runs. Plays a rhythm step when BzQd or Check5 is set (disabling BZDS
    // first) and advances StepIndex; otherwise does nothing.
    std::function<void()> RhythmClockTick;

    // Draws key picture `offset` (0..64) released, in its own colour.
    std::function<void(int offset)> showKeyUp;

    // Hides the rhythm file list File1.
    std::function<void()> hideRhythmFileList;
};
