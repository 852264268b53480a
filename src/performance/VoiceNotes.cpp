#include "performance/VoiceNotes.h"

#include "core/SharedState.h"
#include "sound/MidiPort.h"

void StartMelodyNote(const SharedState &state, MidiPort &port, int offset, const VoiceMask &voices)
{
    for (int k = 0; k < 3; ++k) {
        if (voices[size_t(k)])
            port.NoteOn(qint16(k), qint16(state.KeyBase + offset), state.VoiceVelocity[size_t(k)]);
    }
}

void SilenceMelodyNote(const SharedState &state, MidiPort &port)
{
    const qint16 note = qint16(state.KeyBase + state.LastNoteOffset);
    for (qint16 channel = 0; channel <= 2; ++channel)
        port.NoteOff(channel, note);
}
