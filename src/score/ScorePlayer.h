#pragma once

#include "core/Session.h"
#include "core/PlaybackTimer.h"
#include "score/ScorePartners.h"

#include <QObject>
#include <QString>
#include <QtGlobal>

#include <array>

class ChordAccompaniment;
class WindowDisplay;
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

    ScorePlayer(Session &ctx, WindowDisplay &display, ChordAccompaniment &chords, SoundEffects &effects,
                ScoreMelody &melody, ScoreRhythm &rhythm, QObject *parent = nullptr);

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

    // How the last playing came to an end (Playing while it goes on).
    enum class Ending {
        Playing,    // still playing (or never played)
        Finished,   // "TZ"
        EndOfText,  // the text ran out
        Error,      // an unrecognised token at errorPosition()
        Stopped,    // the play button stopped it
        Halted,     // "VS" with a number outside 1..12: no tick comes any more
    };
    Ending ending() const { return ending_; }
    // Error: 1-based position of the faulty token.
    int errorPosition() const { return errorPosition_; }

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

    static QString playingHint();
    static QString errorMessage();
    static QString playingStatus();
    // The status line once playing has ended, however it ended.
    static QString endedStatus();

signals:
    void playCaptionChanged(const QString &caption);
    void buttonEnabledChanged(int index, bool enabled);

private:
    enum class StepEnd { Continue, Wait };
    StepEnd executeToken();
    void playNote(int offset, int textLength);
    void endOfText();
    void endCommand();
    void scoreError();
    void rhythmCommand(int n);

    void setPlaying(bool playing);
    void setEnding(Ending ending);
    void setPlayCaption(const QString &caption);
    void setClockInterval(int ms);
    void enableClock();
    bool check5() const;
    void setBzQd(bool on);
    void setRhythmTimerEnabled(bool enabled);

    Session &ctx_;
    WindowDisplay &display_;
    ChordAccompaniment &chords_;
    SoundEffects &effects_;
    ScoreMelody &melody_;
    ScoreRhythm &rhythm_;
    PlaybackTimer timer3_;  // Timer3: playback clock

    int scorePos_ = 1;
    int tokenStart_ = 1;
    Ending ending_ = Ending::Playing;
    int errorPosition_ = 0;
    qint16 currentDuration_ = 0;
    int tickCount_ = 0;
    bool scorePlaying_ = false;
    bool chordRequest_ = false;
    qint16 clockParity_ = 0;
    bool inTick_ = false;

    QString playCaption_;
    std::array<bool, kButtonCount> buttonsEnabled_{{true, true, true, true, true}};
};
