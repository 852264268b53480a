#pragma once

#include "core/MidiMessage.h"

#include <QtGlobal>

#include <array>
#include <vector>

// What each of the 16 MIDI channels has been told that lasts: its bank and
// program, its controllers (volume, pan, expression, effects, sustain ...)
// and its pitch bend. A synthesizer that replaces another (a new sound font)
// gets the same state by replaying(), so the instruments and volumes chosen
// stay. Notes are not kept here (see HeldNotes).
class ChannelMemory {
public:
    // Takes note of one message.
    void note(const MidiMessage &message);
    // Forgets everything (a synthesizer reset).
    void clear();
    // Messages that bring a fresh synthesizer to the remembered state: per
    // channel the bank selects and program change first, then the
    // controllers, then the pitch bend; nothing for a channel never used.
    std::vector<MidiMessage> replay() const;

private:
    // A controller that is a state, not an event or a mode: replaying it
    // means the same as having sent it.
    static bool isState(int controller);

    struct Channel {
        std::array<qint16, 128> cc;  // -1: never sent
        int program = -1;
        int bend = -1;  // 14 bits, -1: never sent
        Channel() { cc.fill(-1); }
    };
    std::array<Channel, 16> channels_;
};
