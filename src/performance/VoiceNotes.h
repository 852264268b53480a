#pragma once

#include <QtGlobal>

#include <array>

class MidiPort;
struct SharedState;

// Which of the three melody voices (channels 0-2) a note sounds on.
using VoiceMask = std::array<bool, 3>;

// Note-on KeyBase + offset on every voice of the mask, at the voice's
// velocity; the note is remembered as the one that sounds.
void StartMelodyNote(SharedState &state, MidiPort &port, int offset, const VoiceMask &voices);

// The MIDI note a melody note-off goes to: the note that sounds, even when
// the key changed since it began; with none sounding, KeyBase + LastNoteOffset.
qint16 MelodyNoteToSilence(const SharedState &state);

// Note-off on channels 0, 1, 2 for that note; afterwards none sounds.
void SilenceMelodyNote(SharedState &state, MidiPort &port);

// Stops the melody note and the chord notes the score player last started.
// The chord room does it, so that it knows which chord notes still sound.
class ScoreNoteSilencer {
public:
    virtual ~ScoreNoteSilencer() = default;
    virtual void SilenceScoreNotes() = 0;
};
