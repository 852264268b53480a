#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

// Where each preset's samples lie in a sound font file, from the font's own
// tables: reading those bytes ahead puts them in the page cache, so that
// FluidSynth's load of the preset then copies instead of waiting for the
// disk. Some kilobytes, where a synthesizer's copy of the font's tables
// takes megabytes.
class FontSamples {
public:
    // A stretch of the file, [first, end).
    struct Range {
        qint64 first = 0, end = 0;
    };

    // Reads the tables of the font at `path`; false (and nothing known) when
    // they cannot be read or make no sense.
    bool open(const QString &path);
    void clear();

    // The preset bank:program is in the font.
    bool has(int bank, int program) const;
    // The stretches of the file that hold its samples, in order, joined
    // where they touch or nearly so.
    std::vector<Range> rangesOf(int bank, int program) const;
    // Reads them (through FontFile: its reading scope must be open).
    // Returns the bytes read.
    qint64 readAhead(int bank, int program) const;

private:
    struct Preset {
        int bankProgram = 0;   // bank << 8 | program
        std::vector<int> samples;  // indexes into samples_, sorted, unique
    };
    const Preset *find(int bank, int program) const;

    // A sample's bytes, and those of its low byte when it has 24 bits.
    struct SampleBytes {
        Range data, low;
    };

    QString path_;
    qint64 fileSize_ = 0;
    // What FluidSynth reads at each preset's load before the samples: the
    // file's header and the list headers.
    std::vector<Range> head_;
    std::vector<Preset> presets_;  // by bankProgram
    std::vector<SampleBytes> samples_;
};
