#pragma once

#include "core/MidiMessage.h"
#include "core/PlaybackTimer.h"
#include "jianpu/NotationSheet.h"
#include "performance/HardwareNoteTarget.h"
#include "practice/PracticeGrading.h"
#include "practice/PracticeScore.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QVector>

#include <array>
#include <optional>

class MelodyVoices;
class PracticeSession;
struct Session;

// The MIDI keyboard while the practice window is in front: its notes sound
// on the voices the keyboard plays, and every key struck is judged on the
// note that sounds.
class PracticeNotes : public HardwareNoteTarget {
    Q_OBJECT
public:
    explicit PracticeNotes(PracticeSession &session);

    int channels() const override { return 3; }
    qint16 fullVelocity(int channel) const override;
    void showKey(int offset, bool down) override;

private:
    PracticeSession &session_;
};

// Practice over one score: which notes are expected in the passage chosen,
// the runs through it in the mode and at the speed chosen, what sounds
// meanwhile (the learner's notes, the score's own accompaniment, the
// count-in, the demonstration) and the record of every finished run.
//
// Every note of every input comes here as the note that sounds (KeyBase +
// offset) and is judged by one Practice::Grader per run. All timing is on
// the session's clock.
class PracticeSession : public QObject {
    Q_OBJECT
public:
    enum class State {
        Empty,     // no score that can be practised
        Ready,     // waiting for "开始" (or, 等待 and 逐音, the first note)
        CountIn,   // 跟节奏: the bar of clicks before the passage
        Running,   // a run goes on
        Finished,  // a run ended; its result stands
        Demo,      // "示范": the program plays the passage
    };

    PracticeSession(Session &ctx, const MelodyVoices &voices, QObject *parent = nullptr);
    ~PracticeSession() override;

    // The score to practise, its name in the record, the tempo and key the
    // player would start from (-1: start-up's) and the bars' length. The
    // whole score becomes the passage. False when it holds nothing to
    // practise (problem() says why).
    bool setScore(const QString &score, const QString &name, const ScoreRender::Start &start, int beatsPerBar);
    QString problem() const { return problem_; }
    // A score practised only in part (an error in it) says so here.
    QString notice() const { return notice_; }
    QString scoreName() const { return name_; }
    const Practice::Prepared &prepared() const { return prepared_; }
    const Notation::Sheet &sheet() const { return sheet_; }
    // The bars that can be practised: up to the last one with a note.
    int barCount() const { return barCount_; }

    Practice::Mode mode() const { return mode_; }
    int speed() const { return speed_; }
    int firstBar() const { return firstBar_; }  // 0-based, inclusive
    int lastBar() const { return lastBar_; }
    bool looping() const { return looping_; }
    // Each of these ends a run in progress (nothing is recorded) and makes
    // the practice ready again. A passage without notes is refused.
    void setMode(Practice::Mode mode);
    void setSpeed(int speed);
    bool setBars(int first, int last);
    // "循环": a finished run starts the passage again.
    void setLooping(bool looping) { looping_ = looping; }
    // The count-in clicks at the rhythm's volume (its velocity, 50..120).
    void setClickVelocity(int velocity) { clickVelocity_ = qBound(1, velocity, 127); }

    // "开始": 跟节奏 counts one bar in; 等待 and 逐音 play the accompaniment
    // up to the first note and wait there.
    void start();
    // "重来": the run goes (unrecorded) and the passage starts again.
    void restart();
    // "示范": plays the passage (melody and accompaniment) at the speed
    // chosen; again, it stops.
    void demonstrate();
    // Ends what runs and what sounds (leaving the window).
    void stop();

    // A computer key or a click on the piano at this note offset: sounds on
    // the voices the keyboard plays (ending the previous such note) and is
    // judged. release() ends it.
    void press(int offset);
    void release(int offset);
    // A key of a MIDI keyboard at this offset went down (its note sounds
    // at KeyBase + offset: judged) or up.
    void midiKey(int offset, bool down);
    HardwareNoteTarget &midiTarget() { return midiNotes_; }
    // The velocity a voice plays a note struck with full force at; 0 for a
    // silent voice (the keyboard's rule: its instrument list at "0.无声").
    qint16 voiceVelocity(int channel) const;

    State state() const { return state_; }
    bool running() const { return state_ == State::CountIn || state_ == State::Running; }
    // The passage: notes [passageFirst, passageFirst + passageCount) of prepared().
    int passageFirst() const { return passage_.firstNote; }
    int passageCount() const { return passage_.noteCount; }
    // The note to play now (the note sounding during a demonstration), as
    // an index of prepared().notes; -1 for none.
    int currentNote() const;
    // The note offset of a prepared note on the keys (KeyBase + offset = pitch).
    int offsetOf(int note) const;
    Practice::Outcome outcome(int note) const;
    // 跟节奏: how far the time to the current note has run (0..1).
    double fill() const;
    // 跟节奏: the count-in's beat (1..beats) while it counts, else 0.
    int countInBeat() const;

    bool hasResult() const { return hasResult_; }
    Practice::Result lastResult() const { return lastResult_; }
    // The accuracy of this score's recorded runs, oldest first.
    const QVector<double> &history() const { return history_; }
    // Why the last run could not be recorded; empty when it was.
    QString recordError() const { return recordError_; }

    // The names of the key to press: the computer key ("A"), or empty when
    // no key plays it; the 简谱 degree ("1", with its octave: "中音1").
    static QString computerKey(int offset);
    static QString degree(int offset);

    PlaybackTimer &timer() { return timer_; }
    // Milliseconds of the run's time line now (0: the passage's start).
    double nowMs() const;

signals:
    // The state, the note to play or an outcome changed.
    void changed();
    // A played note was judged: right or not, and at which prepared note.
    void judged(int pitch, bool right, int note);
    // A key went down or up, from any input or the demonstration.
    void keyShown(int offset, bool down);
    // A run was finished (and recorded, unless recordError() says otherwise).
    void finished();

private:
    struct Event {
        double ms = 0;
        MidiMessage message;
        bool melody = false;  // the demonstration's melody: sounds on the voices
        int note = -1;        // a melody note-on: its prepared note
    };

    void readyAgain();
    void beginRun(bool atFirstNote);
    void finish();
    void judge(int pitch);
    // 等待, 逐音: the score has reached `note` (just played): the
    // accompaniment goes on from its time up to the next note's.
    void reachNote(int note);
    void onTick();
    void playDue(double ms, bool catchingUp);
    void schedule();
    void send(const Event &e);
    void silenceAccompaniment();
    void melodyOn(int pitch);
    void melodyOff(int pitch);
    void clearEvents();
    QVector<Event> passageEvents(bool withMelody) const;
    double toRunMs(double scoreMs) const;

    Session &ctx_;
    const MelodyVoices &voices_;
    PracticeNotes midiNotes_;
    PlaybackTimer timer_;

    Practice::Prepared prepared_;
    Notation::Sheet sheet_;
    QString name_;
    QString problem_;
    QString notice_;
    int barCount_ = 0;
    Practice::Passage passage_;
    Practice::Mode mode_ = Practice::Mode::Wait;
    int speed_ = Practice::kNormalSpeed;
    int firstBar_ = 0;
    int lastBar_ = 0;
    bool looping_ = false;
    int clickVelocity_ = 100;

    State state_ = State::Empty;
    std::optional<Practice::Grader> grader_;
    QVector<Event> events_;
    int nextEvent_ = 0;
    qint64 originNs_ = 0;   // the clock's time at the run's 0 ms
    double boundMs_ = 0;    // events at or after it wait (等待, 逐音)
    double endMs_ = 0;      // 跟节奏 and the demonstration end here
    int beats_ = 0;         // of the count-in
    double beatMs_ = 0;
    int demoNote_ = -1;     // passage note the demonstration sounds
    QSet<int> accompanimentSounding_;  // channel << 8 | note
    QVector<int> melodySounding_;       // the demonstration's melody notes
    int pressedOffset_ = -1;            // the computer key or click that sounds
    int pressedPitch_ = -1;
    std::array<bool, 3> pressedChannels_{};

    bool hasResult_ = false;
    Practice::Result lastResult_;
    QVector<double> history_;
    QString recordError_;
};
