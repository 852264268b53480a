#pragma once

// The tempo list SD: 13 tempos from 60 to 120 beats per minute in steps of 5.
// The tempo of a position and the length of an eighth of a beat stand here
// once, for the melody panel, the score's tempo command and every reader of
// scores that shows or converts their time.
namespace TempoList {

constexpr int kCount = 13;
constexpr int kFirstTempo = 60;  // beats per minute at position 0
constexpr int kStep = 5;
// The entry the program starts with: 90 beats per minute.
constexpr int kStartPosition = 6;

constexpr int tempoAt(int position) { return kFirstTempo + kStep * position; }
constexpr int startTempo() { return tempoAt(kStartPosition); }

// Milliseconds of an eighth of a beat: 7500 / tempo, rounded to the nearest
// integer with halves to even (62 at 120 beats per minute). 0 for a tempo
// that is not positive.
constexpr int eighthBeatMsFor(int tempo)
{
    if (tempo <= 0)
        return 0;
    const int q = 7500 / tempo;
    const int twiceRest = 2 * (7500 % tempo);
    if (twiceRest > tempo || (twiceRest == tempo && (q % 2) != 0))
        return q + 1;
    return q;
}

}  // namespace TempoList
