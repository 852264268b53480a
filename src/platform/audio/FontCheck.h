#pragma once

#include <QString>

typedef struct _fluid_synth_t fluid_synth_t;

// Whether a file can serve as the synthesizer's sound font, decided before
// the synthesizer gets it, and the user's words when it cannot.
//
// FluidSynth takes a font whose sample data is gone (a sample chunk cut to
// nothing) without complaint and then plays silence, so the check looks at
// the font's own table of samples: at least one must lie inside the sample
// data, and what it holds must not be all zeros. It reads the chunk headers,
// the sample table (some tens of kilobytes) and a few hundred bytes of
// samples: a fraction of a millisecond, at every start and every switch.
namespace FontCheck {

enum class Verdict {
    Usable,
    Missing,   // nothing at the path (a link to nothing too)
    NotAFile,  // a folder, a device …
    Broken,    // not a sound font, damaged, unreadable, or without sound
};

Verdict examine(const QString &path);

// examine(), then FluidSynth's own load into `synth` (Broken when it refuses).
// The caller opens the reading scope the synthesizer needs (FontFile).
Verdict load(fluid_synth_t *synth, const QString &path);

// The sentence for the user about a refused font (path as the user gave it).
QString refusalText(const QString &path, Verdict verdict);

}  // namespace FontCheck
