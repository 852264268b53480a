#include "performance/SilenceScoreNotes.h"

#include "core/SharedState.h"
#include "sound/MidiPort.h"

void SilenceMelodyNote(const SharedState &state, MidiPort &port)
{
    const qint16 note = qint16(state.KeyBase + state.LastNoteOffset);
    for (qint16 channel = 0; channel <= 2; ++channel)
        port.NoteOff(channel, note);
}

void SilenceScoreNotes(const SharedState &state, MidiPort &port)
{
    SilenceMelodyNote(state, port);
    for (int i = 0; i < 3; ++i)
        port.NoteOff(qint16(3 + i), qint16(state.KeyBase + state.SoundingChordNotes[size_t(i)]));
}
