#pragma once

#include "songs/midifile/MidiFile.h"
#include "songs/SongMelody.h"

#include <QString>
#include <QStringList>
#include <QVector>

// A MIDI song turned into a score: its melody (one part, one line, on the
// score's grid), written as note codes of the key that fits it best, with
// the tempo command that plays it at its real speed, rests "XZ" and the end
// "TZ".
struct SongImportResult {
    bool ok = false;
    QString error;  // !ok: why, for the user

    QString fileName;  // without its folder
    QVector<SongMelody::Part> parts;
    int part = 0;  // the number of the part taken
    QString partReason;  // why that part, one sentence
    SongMelody::Tempo tempo;  // at the start
    int keyPosition = 0;  // of the key list YD: 0 "C" .. 11 "B"
    // Beats a bar of the song's first time signature as the beat option has
    // them (2, 3 or 4; others to the nearest); 0 when the song names none.
    int beatsPerBar = 0;
    QString songTime;  // as the song writes it, "6/8"
    int timeChanges = 0;  // later time signatures that differ

    QString score;      // the score text, one line
    QStringList lines;  // the same in lines of four bars, for a score file
    int notes = 0;          // melody notes written
    int together = 0;       // lower notes of chords, left out
    int tooShort = 0;       // short notes sharing a unit with a longer one, left out
    int offGrid = 0;        // notes between units (triplets), moved to the nearest
    int movedToScale = 0;   // notes off the key's scale moved to a degree
    int foldedIn = 0;       // notes moved by octaves into the five octaves
    int shortened = 0;      // notes longer than 99 units, cut there
    int leftOut = 0;        // notes beyond the longest score, not written
    int tempoChanges = 0;   // later tempo commands written
    QStringList tempoNotes; // later tempos the score cannot follow closely
    QStringList durationNotes;  // where the halving or doubling of durations changes
    int lateTempos = 0;     // tempo changes inside a note, taking effect after it
    QStringList warnings;   // damage in the file that was read around

    // One line per part: number, name, note count, channels, percussion.
    QStringList partLines() const;
    // What was done, for the terminal and the message box.
    QString summary() const;
    // The bytes of the score file: GBK lines ending in CR LF.
    QByteArray fileBytes() const;
};

namespace SongImport {

// A file "打开" and "--import" read as a song: named .mid, .midi or .kar, or
// starting with the MIDI file mark.
bool isMidiFile(const QString &path);

// Reads a MIDI file and converts it; part 0 takes the melody part.
SongImportResult importFile(const QString &path, int part = 0);
SongImportResult convert(const MidiSong &song, int part = 0);

// A note of a part as the song sounds it, in milliseconds from its start.
struct HeardNote {
    int startMs = 0;
    int lengthMs = 0;
    int pitch = 0;
};
// The notes of part `number` (1..) that start within the first `limitMs`,
// in time order: what "试听" of a part plays.
QVector<HeardNote> partSound(const MidiSong &song, int number, int limitMs = 30000);

}  // namespace SongImport
