#pragma once

class MidiPort;
struct SharedState;

// Stops the melody note (channels 0-2, KeyBase + LastNoteOffset) and the
// chord notes the score player last started (channels 3-5, KeyBase + each
// of SoundingChordNotes). Used by the keyboard's automatic close, the mouse
// keys and the score player.
void SilenceScoreNotes(const SharedState &state, MidiPort &port);

// Note-off on channels 0, 1, 2 for KeyBase + LastNoteOffset.
void SilenceMelodyNote(const SharedState &state, MidiPort &port);
