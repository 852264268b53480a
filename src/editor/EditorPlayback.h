#pragma once

#include "core/Session.h"
#include "core/PlaybackTimer.h"

#include <QObject>
#include <QString>

#include <functional>

class EditorControls;
class EditorModel;

// Playing in the music editor: the audition of the shown measure (ST1) and
// the music from measure 0 (ST2), one step of all ten rows per tick of the
// step timer YYDS. Melody rows sound on channels 0..4, percussion rows
// through the shared step table on channel 10. Ticks lie on a drift-free
// grid and their messages carry the tick's time.
class EditorPlayback : public QObject {
    Q_OBJECT
public:
    EditorPlayback(Session &ctx, EditorModel &model, EditorControls &controls, QObject *parent = nullptr);

    // Called before playing starts: the main window's rhythm, which shares
    // StepIndex and the step table, stops.
    std::function<void()> stopMainRhythm;

    bool MeasureAuditioning() const { return auditioning_; }
    bool SongPlaying() const { return playing_; }
    qint32 SongEnd() const { return songEnd_; }
    qint16 LastPlayedMeasure() const { return lastPlayedMeasure_; }

    // ST1 "试听本节效果": selected while the measure is auditioned.
    bool ST1() const { return auditioning_; }
    // ST2: ticked while the music plays; its caption follows.
    bool ST2() const { return playing_; }
    QString ST2Caption() const;
    // BZWJ (help) is disabled while the music plays.
    bool helpEnabled() const { return !playing_; }

    // YYDS: the step timer, one tick a step (StepInterval ms)
    PlaybackTimer &YYDS() { return yyds_; }

    // ST1 selected: auditions the measure named in XJZS.
    void audition();
    // STBXJYY: prepares the current measure and sounds its first step.
    void STBXJYY();
    // ST2 ticked / unticked.
    void setST2(bool ticked);
    void playFromStart();
    void stop();
    // XJFS: sounds the step at StepIndex and moves on.
    void XJFS();
    // The tick of YYDS.
    void onStepTick();
    // Note-offs for the notes the melody rows sound.
    void allNotesOff();
    // Leaving the window: the timer stops, every note ends.
    void leave();

    static QString playCaption();  // "从开始处启动"
    static QString stopCaption();  // "停止当前演奏"

signals:
    void st1Changed(bool selected);
    void st2Changed(bool ticked, const QString &caption);
    void helpEnabledChanged(bool enabled);

private:
    void noteOff(int row);
    void endAudition();
    void setPlaying(bool playing);
    void computeNoteCodes(int measure);

    Session &ctx_;
    EditorModel &model_;
    EditorControls &controls_;
    PlaybackTimer yyds_;
    bool auditioning_ = false;
    bool playing_ = false;
    qint32 songEnd_ = 0;
    qint16 lastPlayedMeasure_ = 0;
};
