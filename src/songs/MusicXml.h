#pragma once

#include "songs/ScoreTimeline.h"

#include <QByteArray>
#include <QString>

// Scores for notation programs: a partwise MusicXML 3.1 document of the
// melody as the score player plays it. Eight divisions to the quarter note
// (one score unit each), the key signature of the key list, bars of the
// rhythm panel's time signature with ties across them, the tempo as a
// metronome mark whose sound tempo is the player's real speed, chords "HX"
// as chord symbols and the other commands as words above the staff.
namespace MusicXml {

struct Options {
    int keyPosition = 0;  // of the key list YD: 0 "C" .. 11 "B"
    int beatsPerBar = 4;  // 2, 3 or 4 quarter notes
    QString title;        // the work's title; none when empty
};

// ".musicxml" or ".xml" (any case).
bool isMusicXmlFile(const QString &path);

// The document of a timeline; *measures (when given) gets the bar count.
QByteArray document(const ScoreTimeline::Timeline &timeline, const Options &options, int *measures = nullptr);

// The part name: the first instrument of the combination the melody starts
// with ("编钟" at start-up), and its General MIDI program 1..128.
QString partName(int combinationRow);
int partProgram(int combinationRow);

// The exit status of "dzq --render … .musicxml" with what to tell the user.
struct Export {
    enum Status { Ok = 0, Failed = 1, ScoreError = 2 };
    Status status = Ok;
    QString message;  // Failed: why; ScoreError: the error and its place
    QString notice;   // the score halted or waits for ever: where
    int notes = 0;
    int measures = 0;
};

// Reads the score as the player does and writes the file whole or not at
// all. A score with an error gives ScoreError and the part before it.
Export exportScore(const QString &score, const QString &path, const Options &options);

}  // namespace MusicXml
