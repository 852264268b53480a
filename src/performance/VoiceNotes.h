#pragma once

#include <QtGlobal>

#include <array>

class MidiPort;
struct SharedState;

// Which of the three melody voices (channels 0-2) a note sounds on.
using VoiceMask = std::array<bool, 3>;

// Note-on KeyBase + offset on every voice of the mask, at the voice's velocity.
void StartMelodyNote(const SharedState &state, MidiPort &port, int offset, const VoiceMask &voices);

// Note-off on channels 0, 1, 2 for KeyBase + LastNoteOffset.
void SilenceMelodyNote(const SharedState &state, MidiPort &port);

// Stops the melody note and the chord notes the score player last started.
// The chord room does it, so that it knows which chord notes still sound.
class ScoreNoteSilencer {
public:
    virtual ~ScoreNoteSilencer() = default;
    virtual void SilenceScoreNotes() = 0;
};
