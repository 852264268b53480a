#pragma once

#include "platform/UnderrunDetector.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class RtAudio;

// The sound card output through RtAudio: PulseAudio, else ALSA (WASAPI on
// Windows). Calls render() on the library's audio thread for every buffer,
// asks once for real-time priority on that thread (silently going on
// without it), and watches for underruns, which the owner answers with
// stepUp(): the next larger buffer, kept from then on.
class RtAudioOutput {
public:
    // Fills `frames` frames of both channels (zeroed beforehand); nowNs is
    // the steady time of the call.
    using Render = std::function<void(float *left, float *right, int frames, qint64 nowNs)>;

    // The buffer sizes tried, smallest first; an underrun moves one step up.
    static constexpr int kBufferSteps[] = {128, 256, 512};
    static constexpr int kPeriods = 2;

    RtAudioOutput(int sampleRate, Render render);
    ~RtAudioOutput();
    RtAudioOutput(const RtAudioOutput &) = delete;
    RtAudioOutput &operator=(const RtAudioOutput &) = delete;

    // The sample rate the default output device prefers (0 when unknown or
    // no device); asked before opening, so that nothing resamples.
    static int preferredSampleRate();

    // Opens and starts the default device at the smallest buffer; false
    // when no API has a device that opens.
    bool open();
    void close();
    bool isOpen() const { return api_ != nullptr; }

    // "pulseaudio" or "alsa" (the names the program has always shown).
    QString apiName() const { return apiName_; }
    int bufferFrames() const { return bufferFrames_; }
    // Frames buffered between the synthesizer and the device.
    int latencyFrames() const { return bufferFrames_ * kPeriods; }
    bool realTimePriority() const { return realTime_.load(std::memory_order_relaxed) > 0; }

    // Owner thread: an underrun was seen since the last call.
    bool takeUnderrun() { return underrun_.exchange(false); }
    // Owner thread: reopens with the next larger buffer; false when the
    // largest is in use already (or the device would not reopen).
    bool stepUp();

private:
    bool openWith(int apiIndex, int bufferFrames);
    static int callback(void *out, void *in, unsigned int frames, double streamTime, unsigned int status,
                        void *data);

    const int rate_;
    const Render render_;
    std::unique_ptr<RtAudio> api_;
    int apiIndex_ = -1;
    QString apiName_;
    int bufferFrames_ = 0;

    // Audio thread.
    UnderrunDetector detector_;
    qint64 streamFrames_ = 0;
    bool priorityAsked_ = false;
    std::atomic<int> realTime_{0};
    std::atomic<bool> underrun_{false};
};
