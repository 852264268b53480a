#pragma once

#include "songs/midifile/MidiFile.h"

#include <QString>
#include <QVector>

// The melody of a MIDI song on the score's grid: which track carries it,
// the score tempos that play it at its real speed, and its notes reduced to
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
    int program = -1;         // General MIDI program 0..127 of its first channel; -1 none
    int lowest = 0;           // MIDI notes
    int highest = 0;
    double meanPitch = 0;
    // The share of its notes struck alone, no other note of the part
    // starting with them: near 1 for a line, low for chords.
    double alone = 0;
};

QVector<Part> parts(const MidiSong &song);

// The part most likely to carry the tune, and why, in one sentence.
struct Choice {
    int number = 0;  // 0 when every part is percussion
    QString reason;
};
// A name that says melody wins; names of bass and drum parts lose while
// another part is there. Then, among the parts with a fair share of the
// notes and mostly one note at a time, the highest on average; of parts
// about as high, the one with the most notes.
Choice chooseMelody(const QVector<Part> &parts);
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

// A stretch of the song at one tempo.
struct Section {
    qint64 tick = 0;
    double unit = 0;     // where it starts on the grid
    double seconds = 0;  // where it starts in the song
    double unitsPerTick = 0;
    double secondsPerTick = 0;
    Tempo tempo;
    // How far the score's tempo is from the song's, as a ratio - 1.
    double mismatch() const;
};

// Where the score's tempo command changes: at a unit, the VS number.
struct TempoChange {
    int unit = 0;
    int vs = 7;
};

// The song's ticks on the score's grid. Every tempo of the song has its
// section with its own VS and its own halving or doubling; a section keeps
// the one before it unless another is clearly nearer its tempo.
class Grid {
public:
    explicit Grid(const MidiSong &song);

    const Tempo &opening() const { return sections_.first().tempo; }
    const QVector<Section> &sections() const { return sections_; }
    double unitsAt(qint64 tick) const;
    double secondsAt(qint64 tick) const;
    // Only where the VS number changes; several at one unit: the last.
    QVector<TempoChange> changes() const;
    // The units at which a new line of four bars begins.
    QVector<int> lineStarts(const MidiSong &song) const;

private:
    const Section &sectionAt(qint64 tick) const;
    QVector<Section> sections_;
};

struct Note {
    int start = 0;   // units from the beginning of the song
    int length = 0;  // units, at least 1
    int pitch = 0;   // MIDI note
};

struct Line {
    QVector<Note> notes;  // in time order, never overlapping
    int together = 0;     // lower notes of a chord, left out
    int tooShort = 0;     // short notes sharing a unit with another, left out
    int offGrid = 0;      // kept notes between units, as triplets are
};

// The part's notes as one line. A note ends where the next one starts;
// only notes struck together (within half a unit, and sounding together)
// are a chord, of which the highest is kept. Of notes that round to one
// unit the longest is kept, the last of equals. A rest is written only
// where at least half a unit is silent.
Line melody(const MidiSong &song, const Part &part, const Grid &grid);

}  // namespace SongMelody
