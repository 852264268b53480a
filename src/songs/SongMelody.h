#pragma once

#include "songs/MidiFile.h"

#include <QString>
#include <QVector>

// The melody of a MIDI song on the score's grid: which track carries it,
// the score tempo that plays it at its real speed, and its notes reduced to
// one line and rounded to the score's duration unit (an eighth of a beat).
namespace SongMelody {

// One choice of melody: a track, or one channel of a song that keeps all
// its parts in a single track.
struct Part {
    int number = 0;    // 1.. as listed and as "--track" names it
    int track = 0;     // index into MidiSong::tracks
    int channel = -1;  // the one channel taken; -1 for all of the track's
    QString name;
    QVector<int> channels;  // the channels its notes use, 0..15
    int notes = 0;
    bool percussion = false;  // most of its notes are on the percussion channel
};

QVector<Part> parts(const MidiSong &song);
// The number of the non-percussion part with the most notes (the first of
// equals); 0 when every part is percussion.
int melodyPart(const QVector<Part> &parts);

// The score tempo for the song's tempo: the tempo command VS n (60..115
// beats per minute in steps of 5) nearest to the song's tempo after its
// durations are halved or doubled as often as needed.
struct Tempo {
    double songTempo = 120;  // quarter notes per minute
    int vs = 7;              // 1..12
    int scoreTempo = 90;     // ScoreLanguage::tempoOf(vs)
    // Score beats per song quarter note: 1, or 1/2 for each halving of the
    // durations (fast songs), 2 for each doubling (slow songs).
    double beatsPerQuarter = 1;
};
Tempo chooseTempo(double songTempo);
// The song's first tempo in quarter notes per minute; 120 without any.
double firstTempo(const MidiSong &song);

struct Note {
    int start = 0;   // units from the beginning of the song
    int length = 0;  // units, at least 1
    int pitch = 0;   // MIDI note
};

struct Line {
    QVector<Note> notes;  // in time order, never overlapping
    int dropped = 0;      // notes left out under a higher one
};

// Song position of a tick in score units at the tempo chosen.
double unitsAt(const MidiSong &song, const Tempo &tempo, qint64 tick);

// The part's notes as one line: onsets and ends rounded to the unit; of
// notes sounding together only the highest is kept (a lower note ends where
// a higher one starts, a note starting under a higher one is left out).
Line melody(const MidiSong &song, const Part &part, const Tempo &tempo);

// Where the song's tempo changes after the start, as score tempo commands:
// the unit of the change and the VS number, only where the number changes.
struct TempoChange {
    int unit = 0;
    int vs = 7;
};
QVector<TempoChange> tempoChanges(const MidiSong &song, const Tempo &tempo);

}  // namespace SongMelody
