#pragma once

#include "performance/VoiceNotes.h"

// What the keyboard engine hands on to the other rooms of its window: the
// chord, effect and rhythm keys, the score player it takes over from, and
// the silencing of the score's notes (a note held too long).
class KeyboardPartners : public ScoreNoteSilencer {
public:
    virtual void HXQD() = 0;              // HXQD: chord keys, by LastKeyCode
    virtual void TSYX() = 0;              // TSYX: special-effect keys, by LastKeyCode
    virtual void ZDJP() = 0;              // ZDJP: built-in rhythm keys (keypad)
    virtual void stopRhythm() = 0;        // clears the rhythm start box BzQd
    virtual void clearScorePlaying() = 0; // a key takes over from the score player
    virtual void resetPlayCaption() = 0;  // caption "试听" back on the play button
};
