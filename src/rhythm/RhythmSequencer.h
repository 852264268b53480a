#pragma once

#include "core/PlaybackTimer.h"

#include <QObject>
#include <QString>

struct Session;
class WindowDisplay;
class RhythmPattern;

// Plays the rhythm pattern in time, one step every quarter beat, looping over
// steps 0..LastStep. Driven by its own timer BZDS while it plays alone, or by
// the score's playback clock through RhythmClockTick.
class RhythmSequencer : public QObject {
    Q_OBJECT
public:
    RhythmSequencer(Session &ctx, WindowDisplay &display, RhythmPattern &pattern, QObject *parent = nullptr);

    // BzQd: the start control, set while the rhythm plays.
    bool BzQd() const { return bzQd_; }
    QString BzQdCaption() const;
    // Check5: auto-sync, the rhythm follows the automatic playing of a score.
    bool Check5() const { return check5_; }
    QString Check5Caption() const;

    // A click on BzQd, or the same from code. Setting starts at step 0 (the
    // step sounds at once); clearing stops the timer. Setting it while it is
    // already set, or clearing it while clear, changes nothing.
    void setBzQd(bool set);
    // A click on Check5: set makes the rhythm timer run at half speed.
    void setCheck5(bool set);

    // Bzfs: rebuilds the step table for playing and plays the current step.
    void Bzfs();

    // BZDS: the rhythm timer (2 x EighthBeatMs while the rhythm plays alone).
    PlaybackTimer &BZDS() { return bzds_; }
    // The rhythm timer's tick: plays the step at StepIndex and moves on.
    void onBzdsTick();
    // Called by the score's playback clock on every second tick: takes the
    // rhythm over from its own timer while BzQd or Check5 is set.
    void RhythmClockTick();

    // ZDJP: built-in rhythm keys (keypad 0 stops, keypad 1..9 start a built-in)
    // by the shared LastKeyCode.
    void ZDJP();
    // RhythmText = built-in rhythm n (1..9), then OpenJZwj.
    bool applyBuiltInRhythm(int n);

public slots:
    // The tempo changed: the rhythm timer follows from its next tick.
    void setEighthBeatMs(int eighthBeatMs);

signals:
    // A choice was made in one of its controls: the window gives the
    // keyboard back in its own way.
    void choiceMade();
    void bzQdChanged(bool set);
    void check5Changed(bool set);

private:
    // Plays the step at StepIndex, then advances it; any index at or past
    // LastStep (also one a shorter pattern or the editor left) becomes 0.
    void playAndAdvance();

    Session &ctx_;
    WindowDisplay &display_;
    RhythmPattern &pattern_;
    PlaybackTimer bzds_;
    bool bzQd_ = false;
    bool check5_ = false;
    bool inStep_ = false;
};
