#pragma once

#include "score/ScoreLanguage.h"

#include <QString>
#include <QStringView>
#include <QtGlobal>

// Reads score texts: two-character tokens, each optionally followed by a one-
// or two-digit number. Pure functions, no state: the score player and the
// editor's import keep their own position and current duration.
//
// Positions count from 1, as the player's ScorePos does.
namespace ScoreReader {

// The longest score that can be played.
using ScoreLanguage::kMaxScoreLength;

// One token read at a position.
struct ReadResult {
    QString token;          // two characters; fewer at the end of the text
    bool hasNumber = false;
    int number = 0;         // 0..99, 0 when there is none
    int end = 0;            // position of the last character taken; the next token starts at end + 1

    // Any number read becomes the current duration; without one it stays.
    qint16 durationAfter(qint16 currentDuration) const
    {
        return hasNumber ? qint16(number) : currentDuration;
    }
};

// Reads the token at position pos (1-based; a position below 1 reads from 1).
// A third digit never belongs to the number. When nothing follows the token
// (pos >= length - 1) it has no number and its end is pos itself, so the
// next read starts at its second character.
ReadResult readToken(QStringView score, int pos);

enum class TokenKind {
    Tempo,         // "VS"
    Chord,         // "HX"
    Effect,        // "YX"
    Rhythm,        // "JP"
    Instruments,   // "YQ"
    Note,          // a note code, see noteOffset
    Rest,          // "XZ"
    End,           // "TZ"
    Unrecognised,  // anything else, including tokens shorter than two characters
};

// The kind of a token by its text alone (case-sensitive). The editor's import
// uses this: it skips commands whatever their number.
TokenKind classify(QStringView token);

// The kind as the player executes it: like classify, except that "HX" with no
// number or a number outside 1..6 is Unrecognised (an error in the score).
TokenKind kindOf(const ReadResult &read);

// Semitones above KeyBase of a note code ("LC" 0 .. "MG" 55), or -1 when the
// token is no note. "MA" (57) counts as a note: the keyboard writes it for
// its highest key, so a recorded performance must play back. "MB" does not.
int noteOffset(QStringView token);

// False for a text too long to be played.
inline bool withinLengthLimit(QStringView score) { return score.size() <= kMaxScoreLength; }
// What to tell the user about a score that is too long.
QString tooLongMessage();

}  // namespace ScoreReader
