#include "platform/audio/drivers/RtAudioOutput.h"

#include "core/SteadyTime.h"
#include "platform/audio/realtime/AudioProcessor.h"
#include "platform/audio/realtime/ThreadRoles.h"

#include <RtAudio.h>

#include <vector>


namespace {

struct ApiChoice {
    RtAudio::Api api;
    const char *name;
};

// PulseAudio has an output of its own (PulseOutput); JACK is not tried: it
// may start a server of its own.
const ApiChoice kApis[] = {
    {RtAudio::LINUX_ALSA, "alsa"},
    {RtAudio::WINDOWS_WASAPI, "wasapi"},
};

bool compiled(RtAudio::Api api)
{
    std::vector<RtAudio::Api> apis;
    RtAudio::getCompiledApi(apis);
    for (RtAudio::Api a : apis) {
        if (a == api)
            return true;
    }
    return false;
}

// RtAudio reports through exceptions or this callback; the caller sees the
// failed open, and the details are not for the user.
void ignoreError(RtAudioError::Type, const std::string &) {}

}  // namespace

RtAudioOutput::RtAudioOutput(int sampleRate, AudioProcessor *processor)
    : rate_(sampleRate), processor_(processor)
{
}

RtAudioOutput::~RtAudioOutput()
{
    close();
}

int RtAudioOutput::preferredSampleRate()
{
    for (const ApiChoice &choice : kApis) {
        if (!compiled(choice.api))
            continue;
        try {
            RtAudio probe(choice.api);
            probe.showWarnings(false);
            if (probe.getDeviceCount() == 0)
                continue;
            const RtAudio::DeviceInfo info = probe.getDeviceInfo(probe.getDefaultOutputDevice());
            if (info.probed && info.outputChannels >= 2 && info.preferredSampleRate > 0)
                return int(info.preferredSampleRate);
        } catch (const RtAudioError &) {
        }
    }
    return 0;
}

bool RtAudioOutput::open()
{
    for (int i = 0; i < int(std::size(kApis)); ++i) {
        if (compiled(kApis[i].api) && openWith(i, firstBuffer()))
            return true;
    }
    return false;
}

bool RtAudioOutput::openWith(int apiIndex, int bufferFrames)
{
    close();
    // A new stream calls back from a new thread.
    forgetAudioThread();
    std::unique_ptr<RtAudio> api;
    try {
        api = std::make_unique<RtAudio>(kApis[apiIndex].api);
        api->showWarnings(false);
        if (api->getDeviceCount() == 0)
            return false;
        RtAudio::StreamParameters params;
        params.deviceId = api->getDefaultOutputDevice();
        params.nChannels = 2;
        RtAudio::StreamOptions options;
        options.flags = RTAUDIO_NONINTERLEAVED | RTAUDIO_MINIMIZE_LATENCY;
        options.numberOfBuffers = kPeriods;
        options.streamName = "Quorvane";
        unsigned int frames = unsigned(bufferFrames);
        api->openStream(&params, nullptr, RTAUDIO_FLOAT32, unsigned(rate_), &frames, &RtAudioOutput::callback,
                        this, &options, &ignoreError);
        if (!api->isStreamOpen())
            return false;
        bufferFrames_ = int(frames);
        api->startStream();
        if (!api->isStreamRunning()) {
            api->closeStream();
            return false;
        }
    } catch (const RtAudioError &) {
        return false;
    }
    api_ = std::move(api);
    apiIndex_ = apiIndex;
    apiName_ = QString::fromLatin1(kApis[apiIndex].name);
    return true;
}

void RtAudioOutput::close()
{
    if (!api_)
        return;
    try {
        if (api_->isStreamRunning())
            api_->abortStream();
        if (api_->isStreamOpen())
            api_->closeStream();
    } catch (const RtAudioError &) {
    }
    api_.reset();
}

bool RtAudioOutput::stepUp()
{
    DZQ_NEVER_AUDIO_THREAD();
    return resize(nextBufferStep(bufferFrames_));
}

bool RtAudioOutput::stepDown()
{
    DZQ_NEVER_AUDIO_THREAD();
    return resize(previousBufferStep(bufferFrames_));
}

bool RtAudioOutput::resize(int frames)
{
    // A new stream: what the old one held is lost (the owner steps down only
    // while the output is silent).
    if (!api_ || frames == 0)
        return false;
    const int apiIndex = apiIndex_;
    const int before = bufferFrames_;
    if (openWith(apiIndex, frames))
        return true;
    openWith(apiIndex, before);  // keep playing as before
    return false;
}

int RtAudioOutput::callback(void *out, void *, unsigned int frames, double, unsigned int status, void *data)
{
    ThreadRoles::AudioScope audio;
    auto *self = static_cast<RtAudioOutput *>(data);
    const qint64 now = SteadyTime::nowNs();
    self->raisePriorityOnce();
    if (status & RTAUDIO_OUTPUT_UNDERFLOW)
        self->noteUnderrun(now);
    // Non-interleaved: all the left frames, then all the right ones.
    float *left = static_cast<float *>(out);
    float *right = left + frames;
    self->processor_->render(left, right, int(frames), now);
    return 0;
}
