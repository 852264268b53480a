#include "performance/VoiceNotes.h"

#include "core/SharedState.h"
#include "midiport/MidiPort.h"

void StartMelodyNote(SharedState &state, MidiPort &port, int offset, const VoiceMask &voices)
{
    const qint16 note = qint16(state.KeyBase + offset);
    for (int k = 0; k < 3; ++k) {
        if (voices[size_t(k)])
            port.NoteOn(qint16(k), note, state.VoiceVelocity[size_t(k)]);
    }
    state.SoundingMelodyNote = note;
}

qint16 MelodyNoteToSilence(const SharedState &state)
{
    return state.SoundingMelodyNote >= 0 ? state.SoundingMelodyNote
                                         : qint16(state.KeyBase + state.LastNoteOffset);
}

void SilenceMelodyNote(SharedState &state, MidiPort &port)
{
    const qint16 note = MelodyNoteToSilence(state);
    for (qint16 channel = 0; channel <= 2; ++channel)
        port.NoteOff(channel, note);
    state.SoundingMelodyNote = -1;
}
