#pragma once

#include <QVector>

// The key of a melody and its notes as scale degrees. A score writes only
// white-key codes, which the key list YD turns into the degrees of a major
// key (KeyBase = 36 + key position): the key that puts the most notes on
// its degrees is chosen, and every note is written as a degree within the
// five octaves the codes reach.
namespace SongKey {

// Offsets of the highest note code the score player knows ("MG").
constexpr int kHighestOffset = 55;

// Key list position 0 "C" .. 11 "B" of the melody's pitches (MIDI notes).
// Ties go to the file's key signature (its major key, or that of its
// relative major; -1 when it has none), then to the key of the last note
// (songs end on their tonic), then to the key whose tonic sounds most, then
// to the lower position.
int choose(const QVector<int> &pitches, int signatureKey = -1);

// The major key of a key signature: sharps -7..7 (flats negative).
int keyOfSignature(int sharps);
// The key signature of key list position 0 "C" .. 11 "B" as a major key,
// flats negative. C#, D#, G# and A# are written as their flat twins, which
// need fewer accidentals; F# keeps its six sharps.
int signatureOfKey(int key);

// Whether a note offset is a degree of the major scale (a white-key code).
bool isDegree(int offset);

struct Degrees {
    QVector<int> offsets;  // per note, 0..kHighestOffset, always a degree
    int movedToScale = 0;  // notes off the scale moved to a neighbouring degree
    int foldedIn = 0;      // notes moved by octaves into the five octaves
};

// The pitches as offsets above KeyBase of key `key`. A note between two
// degrees goes to the one that keeps the melody's direction from the note
// before (up stays up, down stays down, a repeat stays the same); the first
// note goes down. A note outside 0..kHighestOffset moves by octaves into it.
Degrees degrees(const QVector<int> &pitches, int key);

}  // namespace SongKey
