#pragma once

#include "headless/ScoreRender.h"
#include "practice/PracticeGrading.h"

#include <QString>
#include <QVector>

class Notifier;
namespace Notation {
struct Sheet;
}

// A score made ready for practice: what the score player sounds for it,
// taken from a render on a virtual clock (so the rules of playing are the
// player's own), with each melody note's place in the score.
namespace Practice {

// A score file or a MIDI song, read as "打开" reads it.
struct ScoreFile {
    bool ok = false;
    QString error;         // !ok: one line for the user
    QString text;          // the score
    QString name;          // the file's name without its folder and type
    int keyPosition = -1;  // a song: the key its import chose (the key list YD); -1 for a score file
};
ScoreFile readScoreFile(const QString &path);

struct Prepared {
    // The melody notes: the notes the player sounds on channels 0..2, one
    // per onset and pitch, in order; times in ms at the score's own tempo.
    QVector<Note> notes;
    QVector<int> positions;  // per note: the 1-based position of its token
    QVector<int> eighthMs;   // per note: the eighth of a beat in force
    // The rest of what the score sounds (chords, rhythm, effects: every
    // channel but 0..2), and the melody's own note-ons and note-offs, one
    // per time and pitch; times in ns from the score's start.
    QVector<TimedMidiMessage> accompaniment;
    QVector<TimedMidiMessage> melody;
    QVector<ScoreRender::Step> steps;
    qint64 endNs = 0;
    ScoreRender::Ending ending = ScoreRender::Ending::Ended;
    int errorPosition = 0;  // an unrecognised token, where it stands
    QString errorToken;

    bool practisable() const { return !notes.isEmpty(); }
    // Why a score without notes cannot be practised, for the user.
    QString emptyReason() const;
    // What to tell about a score that plays only in part (an error, a halt).
    QString partNotice() const;
};

// Renders the score from the given lists (tempo and key) and takes it apart.
Prepared prepare(const QString &score, const QString &recordFolder, const ScoreRender::Start &start);

// The bar (0-based, of the sheet) each note stands in; -1 where the sheet
// has no cell at the note's position.
QVector<int> noteBars(const Prepared &prepared, const Notation::Sheet &sheet);

// Bars first..last (0-based) of a prepared score: its notes, and the time
// that part of the music takes (ms at the score's tempo).
struct Passage {
    int firstNote = 0;  // index into Prepared::notes
    int noteCount = 0;
    double startMs = 0;  // the passage's music starts here (its first bar's first token)
    double endMs = 0;    // and ends here (the next bar's first token, or the end)
    int eighthMs = 0;    // at its first note: for the count-in
    bool isEmpty() const { return noteCount == 0; }
};
Passage passage(const Prepared &prepared, const Notation::Sheet &sheet, int firstBar, int lastBar);

}  // namespace Practice
