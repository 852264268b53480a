#pragma once

#include "core/AppContext.h"
#include "core/PlaybackTimer.h"
#include "score/ScoreLinks.h"

#include <QObject>
#include <QString>
#include <QtGlobal>

#include <array>

class ChordAccompaniment;
class SoundEffects;

// The score player of the main window: reads the score token by token,
// sounds the notes on the three melody voices, applies the commands and
// times it all with the playback clock Timer3, one tick per eighth of a beat.
// The same clock drives the rhythm on every second tick while a score plays.
//
// Also holds what the play button Yuepu(0) shows and the enabled state of
// the five score buttons Yuepu(0..4).
class ScorePlayer : public QObject {
    Q_OBJECT
public:
    static constexpr int kButtonCount = 5;  // Yuepu(0..4)

    ScorePlayer(AppContext &ctx, ChordAccompaniment &chords, SoundEffects &effects,
                QObject *parent = nullptr);

    // The links to the tempo, instrument, rhythm and key rooms.
    ScoreLinks &links() { return links_; }
    void setLinks(const ScoreLinks &links) { links_ = links; }

    // ScorePos: 1-based position of the next token in ScoreText.
    int ScorePos() const { return scorePos_; }
    // CurrentDuration: eighths of a beat; 0 at start, carried over between playbacks.
    qint16 CurrentDuration() const { return currentDuration_; }
    // TickCount: clock ticks since the last token that takes time.
    int TickCount() const { return tickCount_; }
    // ScorePlaying: a score plays and the play button reads "停止".
    bool ScorePlaying() const { return scorePlaying_; }
    // ChordRequest: set by HX, the next note also sounds the chord.
    bool ChordRequest() const { return chordRequest_; }
    // ClockParity: 0 or 1, alternating every tick; the rhythm steps on 0.
    qint16 ClockParity() const { return clockParity_; }

    // Timer3: the playback clock (interval EighthBeatMs while a score plays).
    PlaybackTimer &Timer3() { return timer3_; }

    // Caption of the play button: "试听", or "停止" while a score plays.
    QString playCaption() const { return playCaption_; }
    bool buttonEnabled(int index) const;
    void setButtonEnabled(int index, bool enabled);

    // Yuepu(0) mouse-down (comes before the click): stops the clock, the
    // player's notes and the rhythm timer.
    void playMouseDown();
    // Yuepu(0) click: stops a playing score, or plays the score box.
    void playClicked();
    // Plays ScoreText as loaded from a file (no upper-casing). The caller has
    // already put the text into ScoreText and the score box.
    void startFromFile();

    // YSCX: execute score tokens up to the next one that takes time.
    void YSCX();
    // The tick of Timer3.
    void onClockTick();

    // Note-offs for the player's melody note (channels 0..2) and chord notes
    // (channels 3..5). Also used by the score buttons and the keyboard's
    // automatic close.
    void SilenceScoreNotes();
    // Clock interval 0 and disabled.
    void stopClock();

    // For the keyboard engine: a note or the Space key takes over from the
    // player (the clock keeps running) ...
    void clearScorePlaying();
    // ... and a stop also gives the play button its caption "试听" back.
    void showIdleCaption();

    // Milliseconds per eighth of a beat at a tempo: 7500 / bpm, halves to even.
    static qint16 eighthBeatMsForTempo(int bpm);
    static QString playingHint();
    static QString errorMessage();
    static QString playingStatus();
    // The status line once playing has ended, however it ended.
    static QString endedStatus();

signals:
    void playCaptionChanged(const QString &caption);
    void buttonEnabledChanged(int index, bool enabled);
    void playingChanged(bool playing);

private:
    enum class StepEnd { Continue, Wait };
    StepEnd executeToken();
    void playNote(int offset, int textLength);
    void endOfText();
    void endCommand();
    void scoreError();
    void rhythmCommand(int n);

    void setPlaying(bool playing);
    void setPlayCaption(const QString &caption);
    void setClockInterval(int ms);
    void enableClock();
    bool check5() const;
    void setBzQd(bool on);
    void setRhythmTimerEnabled(bool enabled);

    AppContext &ctx_;
    ChordAccompaniment &chords_;
    SoundEffects &effects_;
    ScoreLinks links_;
    PlaybackTimer timer3_;  // Timer3: playback clock

    int scorePos_ = 1;
    qint16 currentDuration_ = 0;
    int tickCount_ = 0;
    bool scorePlaying_ = false;
    bool chordRequest_ = false;
    qint16 clockParity_ = 0;
    bool inTick_ = false;

    QString playCaption_;
    std::array<bool, kButtonCount> buttonsEnabled_{{true, true, true, true, true}};
};
