#pragma once

// What a piano-key widget reports about the mouse; the handler decides what
// sounds and what the keys show. Keys are note offsets, -1 for none.
class PianoHandler {
public:
    virtual ~PianoHandler() = default;
    // The left button went down over a key.
    virtual void pianoPressed(int key) = 0;
    // The pointer moved with the button down, onto `key`.
    virtual void pianoMovedTo(int key) = 0;
    // The left button came up.
    virtual void pianoReleased() = 0;
    // The pointer moved over the mute pad.
    virtual void mutePadTouched() = 0;
};
