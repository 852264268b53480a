#pragma once

#include "core/MidiMessage.h"
#include "platform/audio/realtime/SynthRender.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

// What the live engine and the offline renderer share, so that a rendered
// file sounds like the live output: sample rate, synthesizer settings, gain,
// how a message is played and the block grid of the synthesizer.
namespace SynthSetup {

constexpr int kSampleRate = 48000;
// The block grid and how a message is played (see SynthRender).
using SynthRender::kBlockFrames;
using SynthRender::nearestBlock;
using SynthRender::blockAtOrAfter;
using SynthRender::applyShortMessage;
using SynthRender::processBlock;
using SynthRender::renderOnBlockGrid;
// Frames per period of the render thread that runs without a device (and
// the smallest device buffer).
constexpr int kPeriodFrames = 128;
// How late a timer tick may run and still have its messages sound on time
// (measured: at most 6.5 ms on a busy 2-core machine). Timed messages sound
// this long plus one output buffer after their tick.
constexpr qint64 kTickLatenessNs = 8'000'000;

// FluidSynth's own output gain; the program's master gain comes on top.
constexpr double kSynthGain = 0.2;
// Master gain at full wave volume (0xFFFF). Chosen so that three melody
// voices, a three-note chord and three drums, all at velocity 120, stay below
// full scale at the start-up volume 0x6000 (and the editor's 0x7000) with
// FluidR3_GM and TimGM6mb, while one key on the start-up voices at velocity
// 70 peaks around -15 dBFS.
constexpr float kBaseGain = 3.5f;

// Master gain of one side of a wave volume value (0 .. 0xFFFF).
inline float sideGain(quint32 volume16)
{
    return kBaseGain * float(volume16 & 0xFFFF) / 65535.0f;
}

// The folders searched for sound fonts: the system's SF2 and SF3 folders.
QStringList soundFontFolders();
// The sound fonts (.sf2, .sf3) in `folders`, best first: the system's choice
// default-GM.sf2, then default-GM.sf3, then FluidR3_GM and TimGM6mb, then
// every other font by name. A font reached under two names is listed once.
QStringList soundFontCandidates(const QStringList &folders = soundFontFolders());
// Whether a file begins as an SF2/SF3 sound font does (it may still be cut
// short or damaged further on).
bool looksLikeSoundFont(const QString &path);
// Whether two paths name the same font file (through links too); a path to
// nothing is the same only as itself.
bool sameFile(const QString &a, const QString &b);
// The first candidate that looks like a sound font, or an empty string.
QString findSoundFont(const QStringList &folders = soundFontFolders());
// Text for the user when no sound font was found or it could not be loaded.
QString missingSoundFontText();
QString soundFontLoadFailedText(const QString &path);
// Text for the user when a file they chose is not a usable sound font.
QString notASoundFontText(const QString &path);

// How a synthesizer gets its samples.
enum class Samples {
    // The whole font at once (benchmarks that compare with the earlier engine).
    AllAtLoad,
    // Only those of the programs chosen, when chosen: a session or a score
    // uses a few of the font's instruments.
    OnDemand,
};

// Fresh settings for a synthesizer at a sample rate, with `channels` MIDI
// channels (a multiple of 16, at most 256: the live engine keeps programs in
// memory on channels beyond the 16 of MIDI).
fluid_settings_t *newSettings(int sampleRate, Samples samples = Samples::AllAtLoad, int channels = 16);

}  // namespace SynthSetup
