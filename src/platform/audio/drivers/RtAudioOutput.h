#pragma once

#include "platform/audio/drivers/DeviceOutput.h"

#include <atomic>
#include <memory>

class RtAudio;

// The sound card through RtAudio where no sound server runs: ALSA on Linux,
// WASAPI on Windows. RtAudio reports underruns with each callback; a larger
// buffer means reopening the stream.
class RtAudioOutput : public DeviceOutput {
public:
    RtAudioOutput(int sampleRate, AudioProcessor *processor);
    ~RtAudioOutput() override;

    // The rate the default device prefers, or 0 when unknown.
    static int preferredSampleRate();

    bool open() override;
    QString apiName() const override { return apiName_; }
    int bufferFrames() const override { return bufferFrames_; }
    bool stepUp() override;
    bool stepDown() override;

private:
    bool openWith(int apiIndex, int bufferFrames);
    bool resize(int frames);
    void close();
    static int callback(void *out, void *in, unsigned int frames, double streamTime, unsigned int status,
                        void *data);

    const int rate_;
    AudioProcessor *const processor_;  // null: a probe that never plays
    std::unique_ptr<RtAudio> api_;
    int apiIndex_ = -1;
    QString apiName_;
    int bufferFrames_ = 0;

    // Audio thread.
};
