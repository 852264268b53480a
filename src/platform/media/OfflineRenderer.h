#pragma once

#include "platform/audio/SynthSetup.h"
#include "platform/media/WavWriter.h"

#include <QString>
#include <QVector>

#include <functional>
#include <map>

// Renders MIDI messages through a synthesizer of its own, with no
// device, as fast as the machine allows, with the live engine's settings and
// master gain. Each message is applied at the 64-frame block boundary nearest
// to its time, exactly as the live engine places timed messages.
//
// Used by the score export and by tests.
class OfflineRenderer {
public:
    struct Options {
        QString soundFont;  // empty: the first of SynthSetup::soundFontCandidates()
        int sampleRate = SynthSetup::kSampleRate;
        quint32 waveVolume = 0x60006000;  // as the main window sets it
    };

    OfflineRenderer();
    explicit OfflineRenderer(const Options &options);
    ~OfflineRenderer();
    OfflineRenderer(const OfflineRenderer &) = delete;
    OfflineRenderer &operator=(const OfflineRenderer &) = delete;

    // The synthesizer runs and the sound font is loaded.
    bool isValid() const { return valid_; }
    // Why not (Chinese, for the user).
    QString errorString() const { return error_; }
    QString soundFontPath() const { return fontPath_; }
    int sampleRate() const { return options_.sampleRate; }

    // A message at a frame / at ns after the start. A time already rendered
    // plays at the next block.
    void schedule(qint64 frame, const MidiMessage &message);
    void scheduleNs(qint64 ns, const MidiMessage &message);
    void scheduleAt(double frame, const MidiMessage &message);

    // Renders the next frames (overwriting the buffers).
    void render(float *left, float *right, int frames);
    // Frames rendered so far.
    qint64 position() const { return position_; }

    // Renders `frames` frames from the present position into the vectors.
    void renderInto(qint64 frames, QVector<float> *left, QVector<float> *right);
    // Told the frames rendered so far and the total; false cancels.
    using Progress = std::function<bool(qint64 done, qint64 total)>;
    // Renders `frames` frames into a WAV file (16-bit or float). A cancelled
    // render leaves no file (nor changes an earlier one).
    bool renderToWav(const QString &path, qint64 frames, WavWriter::Format format, QString *error,
                     const Progress &progress = Progress());

    fluid_synth_t *synth() const { return synth_; }

private:
    const Options options_;
    fluid_settings_t *settings_ = nullptr;
    fluid_synth_t *synth_ = nullptr;
    bool valid_ = false;
    QString error_;
    QString fontPath_;
    float gainLeft_ = 0;
    float gainRight_ = 0;
    qint64 position_ = 0;
    std::multimap<qint64, MidiMessage> events_;  // by block boundary, in the order scheduled
};
