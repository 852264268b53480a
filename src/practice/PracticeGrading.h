#pragma once

#include <QString>
#include <QVector>

// The grading of practice over a score: which notes were expected, which
// were played, and how they compare. One engine for the practice window
// (fed note by note as they are played) and the command line (fed a whole
// recorded take). Times are milliseconds from the moment the score starts,
// at the speed practised.
namespace Practice {

enum class Mode {
    Wait,   // 等待: the score waits for the right note
    Step,   // 逐音: the score moves on after every note, right or wrong
    Tempo,  // 跟节奏: the score moves at its tempo, notes are judged on time
};

constexpr int kMinSpeed = 50;
constexpr int kMaxSpeed = 150;
constexpr int kSpeedStep = 10;
constexpr int kNormalSpeed = 100;
// 跟节奏: how far a note may lie from its time and still hit it, and be perfect.
constexpr double kHitWindowMs = 150;
constexpr double kPerfectWindowMs = 50;

// "wait", "step", "tempo"; the mode of such a name (false for any other).
QString modeName(Mode mode);
bool modeFromName(const QString &name, Mode *mode);
// "等待", "逐音", "跟节奏".
QString modeCaption(Mode mode);

struct Note {
    double ms = 0;
    int pitch = 0;  // MIDI note
};

// The notes at a speed in percent: times x 100 / speed.
QVector<Note> atSpeed(const QVector<Note> &notes, int speed);
// In the order they are graded: by time, at the same time the lower pitch first.
void sortNotes(QVector<Note> &notes);

// What one played note was.
enum class Verdict {
    Right,  // 等待, 逐音: the expected note
    Wrong,  // 等待, 逐音: any other note
    Hit,    // 跟节奏: matched an expected note within the window
    Extra,  // 跟节奏: matched none
};

struct Judgement {
    Verdict verdict = Verdict::Wrong;
    int expected = -1;       // the expected note it was compared with or matched; -1 none
    double deviationMs = 0;  // Hit: played - expected
    bool perfect = false;    // Hit within kPerfectWindowMs
};

// What became of an expected note.
enum class Outcome {
    Pending,  // not reached yet
    Right,    // played right (等待, 逐音) or hit (跟节奏)
    Wrong,    // 逐音: a wrong note was played in its place
    Missed,   // 跟节奏: its time passed without a hit
};

struct Result {
    Mode mode = Mode::Wait;
    int speed = kNormalSpeed;
    int notes = 0;
    int right = 0;  // 等待, 逐音
    int wrong = 0;
    int hits = 0;   // 跟节奏
    int perfect = 0;
    int extra = 0;
    int missed = 0;
    double accuracy = 0;  // percent
    bool timed = false;   // 跟节奏 with at least one hit: the timing figures hold
    double timingMeanMs = 0;
    double timingSdMs = 0;  // population standard deviation

    // The record's columns 命中 and 错音.
    int hitCount() const { return mode == Mode::Tempo ? hits : right; }
    int wrongCount() const { return mode == Mode::Tempo ? extra : wrong; }
};

// Grades played notes one by one, in time order, against the expected
// notes (in time order).
class Grader {
public:
    Grader(Mode mode, QVector<Note> expected, int speed = kNormalSpeed);

    Mode mode() const { return mode_; }
    const QVector<Note> &expected() const { return expected_; }
    Judgement play(const Note &played);

    // 跟节奏: every expected note whose window has closed by `ms` without a
    // hit becomes missed; returns those, in order.
    QVector<int> passTime(double ms);

    // The expected note the player is on: 等待 and 逐音 the next one to
    // play, 跟节奏 the earliest neither hit nor missed. -1 when none is left.
    int current() const;
    // No expected note is left to play.
    bool done() const { return current() < 0; }
    Outcome outcome(int expected) const { return outcomes_.value(expected, Outcome::Pending); }
    Result result() const;

private:
    Mode mode_;
    int speed_;
    QVector<Note> expected_;
    QVector<Outcome> outcomes_;
    int next_ = 0;  // 等待, 逐音: notes reached
    int right_ = 0;
    int wrong_ = 0;
    int extra_ = 0;
    int perfect_ = 0;
    QVector<double> deviations_;
};

// Grades a whole take: the played notes are put in order first.
Result grade(Mode mode, int speed, const QVector<Note> &expectedAtSpeed, QVector<Note> played);

// A figure rounded to one decimal ("66.7", "0.0", "-12.5").
QString oneDecimal(double value);
// The command line's answer: one JSON object, keys in a fixed order.
QString toJson(const Result &result);

}  // namespace Practice
