#pragma once

#include <QString>
#include <QVector>

// What the score player plays, in time order and in units of an eighth of
// a beat: the melody notes and rests with the time each one takes, and the
// commands at the moment they act. Read from the start as the program plays
// a score opened from a file (no upper-casing; the current duration starts
// at 0), up to where playing ends, halts or meets an error.
namespace ScoreTimeline {

enum class Kind {
    Note,
    Rest,
    Tempo,        // "VS" 1..12
    Instruments,  // "YQ": the combination row 1..12
    Rhythm,       // "JP" 1..99
    Effect,       // "YX" 1..6
};

struct Event {
    Kind kind = Kind::Note;
    int start = 0;     // units
    int length = 0;    // Note, Rest: the units it lasts (an effect's wait included)
    int offset = 0;    // Note: semitones above KeyBase
    int number = 0;    // commands: their number
    int chord = 0;     // Note: the chord type 1..6 that sounds with it, 0 none
    int position = 0;  // 1-based position of its token in the score
    bool held = false; // a duration of 0: playing stays on it
};

enum class Ending {
    End,      // "TZ"
    TextEnd,  // the text ran out
    Error,    // an unrecognised token
    Halted,   // "VS" with a number outside 1..12
    Held,     // a note or rest of duration 0
};

struct Timeline {
    QVector<Event> events;
    int length = 0;  // units up to the end
    Ending ending = Ending::TextEnd;
    int endPosition = 0;  // Error, Halted, Held: position of the token there
    QString errorToken;   // Error: the token as read
    int notes = 0;

    // The tempo in beats per minute in force at `unit` (90 at start-up).
    int tempoAt(int unit) const;
};

Timeline read(const QString &score);

// The combination row in force when the first note sounds (7 at start-up).
int firstCombination(const Timeline &timeline);

}  // namespace ScoreTimeline
