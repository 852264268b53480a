#pragma once

#include "core/MidiMessage.h"
#include "platform/audio/FontSamples.h"
#include "platform/audio/realtime/ThreadRoles.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <functional>
#include <vector>

class SynthGate;
typedef struct _fluid_synth_t fluid_synth_t;

// The programs (instruments) whose samples the live synthesizer keeps in
// memory.
//
// Samples are loaded when a program is chosen, and unloaded when no channel
// has it any more. Both must stay out of the audio callback, which applies
// the program changes. So before a program change is sent on, its program
// gets a channel of its own beyond the 16 MIDI channels (a pin), which loads
// the samples and keeps them: the callback's program change finds them in
// memory, and the program the channel leaves keeps its samples too. The
// samples are read first, outside the gate, from where the font's tables
// place them (FontSamples), so that the pin's load inside the gate (while
// the callback cannot apply messages) copies from the page cache instead of
// waiting for the disk.
//
// Pins that no channel uses are released at a pause (nothing sounding,
// nothing waiting), beyond the kKeptUnused most recently chosen ones: no
// voice can then still be playing their samples.
//
// Owner thread, but for open() (the loading thread, before any output runs).
class ProgramCache {
public:
    // Channels 16 .. 255: FluidSynth's most.
    static constexpr int kPins = 240;
    static constexpr int kSynthChannels = 16 + kPins;
    static constexpr int kKeptUnused = 16;

    explicit ProgramCache(SynthGate &gate);
    ~ProgramCache();
    ProgramCache(const ProgramCache &) = delete;
    ProgramCache &operator=(const ProgramCache &) = delete;

    // The live synthesizer, its font loaded (through FontFile, with
    // kSynthChannels channels); pins the programs the channels start with.
    // beforeRead as for FontFile::ReadScope (tests).
    void open(fluid_synth_t *synth, const QString &fontPath, std::function<void()> beforeRead = {});
    // Forgets the synthesizer and its pins (before it is deleted, or its
    // font replaced; then open() again).
    void close();

    // Owner thread: before a message reaches the synthesizer: keeps the bank
    // selects, and loads the samples of a program change's program unless
    // they are in memory.
    void prepare(const MidiMessage &message);
    // Owner thread: releases what the pins beyond kKeptUnused unused ones
    // hold, if nothing sounds (checked inside the gate); `nothingWaits`: no
    // message is on its way to the synthesizer. Returns how many went.
    int trim(bool nothingWaits);

    // Programs held in memory by a pin.
    int pinnedPrograms() const;

    // The latest program read ahead: the font's preset (bank, program) and
    // the bytes read; bank -1 before any.
    struct ReadAhead {
        int bank = -1, program = -1;
        qint64 bytes = 0;
    };
    ReadAhead lastReadAhead() const { return lastReadAhead_; }

private:
    // A program as a channel chooses it: its type, bank selects and number.
    struct Key {
        bool drum = false;
        int msb = 0, lsb = 0, program = 0;
        bool operator==(const Key &o) const
        {
            return drum == o.drum && msb == o.msb && lsb == o.lsb && program == o.program;
        }
    };
    struct Pin {
        Key key;
        bool used = false;
        quint64 chosen = 0;  // when last chosen (a counter)
    };

    void pin(const Key &key, bool readFirst = true);
    int pinOf(const Key &key) const;
    int freePin();
    void readAhead(const Key &key);
    static void select(fluid_synth_t *synth, int channel, const Key &key);
    bool chosenByAChannel(const Key &key) const;

    ThreadRoles::Owner owner_;
    SynthGate &gate_;
    fluid_synth_t *synth_ = nullptr;
    FontSamples fontSamples_;
    ReadAhead lastReadAhead_;
    std::function<void()> beforeRead_;
    std::vector<Pin> pins_;
    std::array<Key, 16> chosen_;  // each channel's latest program
    std::array<int, 16> msb_{}, lsb_{};
    quint64 counter_ = 0;
};
