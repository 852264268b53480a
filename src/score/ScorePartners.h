#pragma once

// What the score player drives in the rooms that own the tempo list, the
// instrument lists and the key pictures. Every call comes from inside the
// player's step or clock tick, so what it sends is stamped with the tick's
// time; none may call back into the player's step.
class ScoreMelody {
public:
    virtual ~ScoreMelody() = default;
    // VS n: entry `position` (0..11) of the tempo list, as the user selects
    // it (EighthBeatMs and the rhythm timer follow).
    virtual void selectTempo(int position) = 0;
    // YQ n: instrument combination `row` (1..12) as the F-row applies it,
    // without a message in XSWB and without giving the keyboard back.
    virtual void applyCombination(int row) = 0;
    // Draws key picture `offset` (0..64) released.
    virtual void showKeyUp(int offset) = 0;
};

// What the score player drives in the rhythm room.
class ScoreRhythm {
public:
    virtual ~ScoreRhythm() = default;
    // JP 1..9: the built-in rhythm n into RhythmText, then OpenJZwj (which
    // may refuse it with a box of its own). Does not start the rhythm.
    virtual void applyBuiltInRhythm(int n) = 0;
    // JP 10..98, the number as written: the rhythm file of that list entry,
    // applied. False, with nothing changed, when there is none.
    virtual bool applyRhythmFile(int jp) = 0;
    // The start control BzQd: setting starts the rhythm at step 0 unless it
    // runs already; clearing stops it.
    virtual void setBzQd(bool on) = 0;
    // The auto-sync option Check5.
    virtual bool check5() const = 0;
    // Enables or disables the rhythm timer BZDS (nothing else).
    virtual void setRhythmTimerEnabled(bool enabled) = 0;
    // Bzfs: rebuilds the pattern for playing and plays the current step.
    virtual void Bzfs() = 0;
    // Every second tick of the playback clock.
    virtual void RhythmClockTick() = 0;
    // Hides the rhythm file list File1.
    virtual void hideRhythmFileList() = 0;
};
