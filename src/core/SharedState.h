#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

// One cell of the step table: a percussion note that a step may sound.
struct StepCell {
    qint16 Sounding = 0;   // -1: sounds when its step is played; 0: silent
    qint16 Note = 0;       // General MIDI percussion key
    qint16 Velocity = 0;
    quint32 Message = 0;   // the packed short message sent for this cell
};

constexpr int kStepCount = 1600;
constexpr int kCellsPerStep = 6;

// All percussion of the program goes through this table: the rhythm pattern
// of the main window and the editor's percussion rows alike.
struct StepTable {
    std::array<std::array<StepCell, kCellsPerStep>, kStepCount> steps{};

    static bool validStep(int step) { return step >= 0 && step < kStepCount; }
    static bool validCell(int cell) { return cell >= 0 && cell < kCellsPerStep; }
    // Callers keep indices in range; out-of-range access is a programming error.
    StepCell &cell(int step, int cell)
    {
        Q_ASSERT(validStep(step) && validCell(cell));
        return steps[size_t(qBound(0, step, kStepCount - 1))][size_t(qBound(0, cell, kCellsPerStep - 1))];
    }
    const StepCell &cell(int step, int cell) const
    {
        Q_ASSERT(validStep(step) && validCell(cell));
        return steps[size_t(qBound(0, step, kStepCount - 1))][size_t(qBound(0, cell, kCellsPerStep - 1))];
    }
};

constexpr int kVoiceSlots = 13;    // VoiceInstrument / VoiceVelocity entries 0..12
constexpr int kKeyCount = 65;      // on-screen keys, note offsets 0..64
constexpr int kMaxDuration = 99;   // largest duration count the score holds

// The performance values shared by every window for the whole run. Owned by
// the application object and handed by reference to controllers and windows.
struct SharedState {
    qint16 KeyBase = 36;        // MIDI note of offset 0: 36 + key list position
    qint16 EighthBeatMs = 83;   // milliseconds per eighth of a beat
    std::array<qint16, kVoiceSlots> VoiceInstrument{};  // 0..2: programs of the melody voices
    std::array<qint16, kVoiceSlots> VoiceVelocity{};    // 0..2: melody voices, 3: chords

    QString ScoreText;           // the score being recorded or played
    qint16 DurationCount = 0;    // duration ticks since the last written code, 0..99
    qint16 LastNoteOffset = 0;   // offset of the note sounding (or sounded) last
    // MIDI note the melody channels 0..2 sound now, as it was started (the
    // key may have changed since); -1 when none sounds.
    qint16 SoundingMelodyNote = -1;
    qint16 CurrentNoteOffset = 0;
    qint16 LastKeyCode = 0;      // key code of the latest key press
    std::array<bool, kKeyCount + 1> KeyIsWhite{};  // colour of each key picture

    // Chord notes the score player last started on channels 3..5 (offsets).
    std::array<qint16, 3> SoundingChordNotes{};

    StepTable Steps;             // StepTable
    qint16 StepIndex = 0;        // the step played next
    QString RhythmText;          // the rhythm text read last

    SharedState()
    {
        VoiceInstrument[0] = 14;
        VoiceInstrument[1] = 51;
        VoiceInstrument[2] = 78;
        for (int i = 0; i < 4; ++i)
            VoiceVelocity[size_t(i)] = 70;
    }
};
