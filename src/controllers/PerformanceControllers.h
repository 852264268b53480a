#pragma once

#include "chords/ChordAccompaniment.h"
#include "chords/SoundEffects.h"
#include "performance/KeyboardEngine.h"
#include "performance/KeyboardPartners.h"
#include "performance/MelodyVoices.h"
#include "performance/OnScreenKeyboard.h"
#include "rhythm/RhythmFiles.h"
#include "rhythm/RhythmPattern.h"
#include "rhythm/RhythmSequencer.h"
#include "score/ScoreFiles.h"
#include "score/ScorePartners.h"
#include "score/ScorePlayer.h"

#include <QObject>

class WindowDisplay;
struct Session;

// The controllers of a performance: melody voices, keyboard engine, chords,
// effects, rhythm, score player and score files, on one session and writing
// to one window's display. The main window shows them; the score export
// drives them without a window.
class PerformanceControllers : public QObject,
                               private KeyboardPartners,
                               private ScoreMelody,
                               private ScoreRhythm {
    Q_OBJECT
public:
    PerformanceControllers(Session &session, WindowDisplay &display);

    // The start-up defaults (the logic of QDCSH, in its order): opens device
    // entry 1 and selects every list's default, so that each selection sends
    // its messages and sets its shared value.
    void initialise();
    // Stops every timer of the group: nothing may sound after the device
    // is closed at shut-down.
    void stopTimers();
    // The mini window has handed its score to the score box: the play button
    // can play it.
    void scoreHandedBack();
    // The music editor has used the melody and chord channels and KeyBase:
    // the instruments and the key the lists show sound again.
    void restoreSound();

    static QString startHint();

    Session &session;
    WindowDisplay &display;
    MelodyVoices voices;
    ChordAccompaniment chords;
    OnScreenKeyboard keys;
    SoundEffects effects;
    RhythmPattern pattern;
    RhythmSequencer sequencer;
    RhythmFiles rhythmFiles;
    KeyboardEngine keyboard;
    ScorePlayer player;
    ScoreFiles scoreFiles;

signals:
    // A choice was made in one of the group's controls.
    void choiceMade();

private:
    // KeyboardPartners
    void HXQD() override { chords.HXQD(); }
    void TSYX() override { effects.TSYX(); }
    void ZDJP() override { sequencer.ZDJP(); }
    void stopRhythm() override { sequencer.setBzQd(false); }
    void clearScorePlaying() override { player.clearScorePlaying(); }
    void resetPlayCaption() override { player.showIdleCaption(); }
    void SilenceScoreNotes() override { chords.SilenceScoreNotes(); }
    // ScoreMelody
    void selectTempo(int position) override { voices.selectTempo(position); }
    void applyCombination(int row) override { voices.applyCombination(row); }
    void showKeyUp(int offset) override { keys.showUp(qint16(offset)); }
    // ScoreRhythm
    void applyBuiltInRhythm(int n) override { sequencer.applyBuiltInRhythm(n); }
    bool applyRhythmFile(int jp) override { return rhythmFiles.applyJP(jp); }
    void setBzQd(bool on) override { sequencer.setBzQd(on); }
    bool check5() const override { return sequencer.Check5(); }
    void setRhythmTimerEnabled(bool enabled) override { sequencer.BZDS().setEnabled(enabled); }
    void Bzfs() override { sequencer.Bzfs(); }
    void RhythmClockTick() override { sequencer.RhythmClockTick(); }
    void hideRhythmFileList() override { rhythmFiles.hideFile1(); }
};
