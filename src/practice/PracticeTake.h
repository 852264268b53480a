#pragma once

#include "practice/PracticeGrading.h"

#include <QString>
#include <QStringList>
#include <QVector>

struct MidiSong;

// A performance recorded as a MIDI file: every note-on of velocity above 0,
// on any channel, at its time in ms from the file's start (the tempo map
// of the file applied).
namespace Practice {

struct Take {
    bool ok = false;
    QString error;         // !ok: one line for the user
    QVector<Note> notes;   // in the file's order
    QStringList warnings;  // damage read around: the notes before it count
};

Take readTake(const QString &path);
// The same from a parsed file.
QVector<Note> takeNotes(const MidiSong &song);
// The time of a tick in ms, by the file's tempo changes (or its frames).
double tickToMs(const MidiSong &song, qint64 tick);

}  // namespace Practice
