#pragma once

#include <QString>
#include <QVector>

#include <functional>

// The score in numbered notation (简谱): the score text read with the
// score reader and turned into what a song book prints — digits with
// octave dots, underlines, augmentation dots and dashes, bars of the chosen
// time signature, ties where a duration needs more than one shape, commands
// as small marks above the staff and errors at their place.
//
// Times count eighths of a beat from the start of the score, like the
// score's durations; score positions count from 1, as the player's do.
namespace Notation {

enum class CellKind {
    Note,    // a digit 1..7
    Rest,    // 0
    Dash,    // a note held on for one more beat
    Error,   // characters the player cannot read, drawn in red
    Marker,  // nothing to play: carries marks, or says that the text goes on
};

// A command shown small above the staff where it happens.
struct Mark {
    QString text;     // "♩=100", "组合七", "2/4节奏1", "和弦1.3.5", "编钟"
    QString toolTip;
    bool warning = false;  // playing halts here: drawn red
};

struct Cell {
    CellKind kind = CellKind::Note;
    int digit = 0;        // 1..7 for notes, 0 for rests
    int octave = 0;       // dots: 1, 2 above; -1, -2 below
    int underlines = 0;   // 0..3: half, quarter, eighth of a beat
    bool dotted = false;  // augmentation dot: half as long again
    bool held = false;    // duration 0: playing stays here
    bool afterEnd = false;  // after "TZ": written, but never played
    int tieFrom = -1;     // index of the note head a tie arcs from
    int bar = 0;          // index of its bar
    int start = 0;        // time
    int length = 0;       // eighths of a beat it covers
    int position = 0;     // first character of its token in the score
    int sourceLength = 0; // characters of the token with its number
    QString text;         // Error: the faulty characters; Marker: what it shows
    QString toolTip;
    QVector<Mark> marks;
};

struct Bar {
    int first = 0;  // index of its first cell
    int count = 0;
    bool final = false;  // the music ends here (the first "TZ")
};

struct Options {
    int beatsPerBar = 4;  // 2, 3 or 4
    int tempo = 90;       // of the tempo list, for the header
    // Name of the user rhythm file that "JP" n (10..98) starts; empty when
    // there is none (the mark then names the number).
    std::function<QString(int n)> rhythmFileName;
};

struct Sheet {
    int beatsPerBar = 4;
    int tempo = 90;       // the header's ♩: the list's, or a tempo command before the first note
    QVector<Cell> cells;  // in score order
    QVector<Bar> bars;
    int length = 0;       // time at the end
    bool ended = false;   // "TZ" was reached
    int errorCount = 0;   // before the first "TZ"; what follows it is never played
    int firstErrorPosition = 0;  // 0 without errors
    // A score too long to play is read up to the limit; the rest, from this
    // position on, is one error. 0 when it was read whole.
    int cutPosition = 0;

    int barLength() const { return beatsPerBar * 8; }
    // Indices [first, last) of the cells read from the token that covers a
    // score position; first == last when none does.
    std::pair<int, int> cellsAt(int position) const;
};

// Reads a score into numbered notation; never fails, whatever the text. A
// score longer than the player takes is read up to that length.
Sheet read(const QString &score, const Options &options = Options());

// Beats per bar of the rhythm panel's time signature (0 "2/4", 1 "3/4", 2 "4/4").
int beatsForTimeSignature(int k);
// "2/4", "3/4" or "4/4" to beats per bar; 0 for anything else.
int beatsForText(const QString &text);
// "1=C" .. "1=B" for the key list's position.
QString keyText(int keyPosition);
// The digit of a note code's letter and its octave dots: "KC" 1/0, "MA" 6/2,
// "LB" 7/-2. False for anything that is no note.
bool digitOf(const QString &token, int *digit, int *octave);
// The lengths a note of `duration` eighths is drawn with inside one bar, in
// order; the first shape of 16 or more is a digit with dashes. A rest uses
// no dashes.
QVector<int> shapes(int duration, bool rest);

}  // namespace Notation
