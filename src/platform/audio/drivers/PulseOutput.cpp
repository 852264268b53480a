#include "platform/audio/drivers/PulseOutput.h"

#include "core/SteadyTime.h"
#include "platform/audio/realtime/AudioProcessor.h"
#include "platform/audio/realtime/ThreadRoles.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstring>

namespace {

// Interleaved stereo floats.
constexpr size_t kFrameBytes = 2 * sizeof(float);

pa_buffer_attr bufferFor(int frames, bool pipeWire)
{
    const uint32_t frameBytes = 2 * sizeof(float);
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(frames * DeviceOutput::kPeriods) * frameBytes;
    attr.prebuf = uint32_t(-1);
    // PulseAudio's own choice: it splits the latency between its sink and
    // our stream, and asks for data in steps that fit. PipeWire's PulseAudio
    // face makes its period (the quantum) of the whole queue unless asked
    // for steps of one buffer.
    attr.minreq = pipeWire ? uint32_t(frames) * frameBytes : uint32_t(-1);
    attr.fragsize = uint32_t(-1);
    return attr;
}

void signalLoop(pa_threaded_mainloop *loop)
{
    pa_threaded_mainloop_signal(loop, 0);
}

// Waits (mainloop locked) until an operation has finished.
void waitFor(pa_threaded_mainloop *loop, pa_operation *op)
{
    if (!op)
        return;
    while (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
        pa_threaded_mainloop_wait(loop);
    pa_operation_unref(op);
}

// Called with the mainloop locked: whether the server is PipeWire's
// PulseAudio face ("PulseAudio (on PipeWire 0.3.65)").
bool serverIsPipeWire(pa_threaded_mainloop *loop, pa_context *context)
{
    struct Query {
        pa_threaded_mainloop *loop;
        bool pipeWire;
    } query{loop, false};
    waitFor(loop, pa_context_get_server_info(
                      context,
                      [](pa_context *, const pa_server_info *info, void *data) {
                          auto *q = static_cast<Query *>(data);
                          q->pipeWire = info && info->server_name && std::strstr(info->server_name, "PipeWire");
                          signalLoop(q->loop);
                      },
                      &query));
    return query.pipeWire;
}

}  // namespace

PulseOutput::PulseOutput(int sampleRate, AudioProcessor *processor)
    : rate_(sampleRate), processor_(processor)
{
}

PulseOutput::~PulseOutput()
{
    close();
}

bool PulseOutput::connectContext()
{
    loop_ = pa_threaded_mainloop_new();
    if (!loop_)
        return false;
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Quorvane");
    if (!context_)
        return false;
    pa_context_set_state_callback(
        context_, [](pa_context *, void *loop) { signalLoop(static_cast<pa_threaded_mainloop *>(loop)); }, loop_);
    // No server of our own: a desktop without one plays through ALSA.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    pa_threaded_mainloop_lock(loop_);
    if (pa_threaded_mainloop_start(loop_) < 0) {
        pa_threaded_mainloop_unlock(loop_);
        return false;
    }
    pa_context_state_t state;
    while ((state = pa_context_get_state(context_)) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(state))
        pa_threaded_mainloop_wait(loop_);
    pa_threaded_mainloop_unlock(loop_);
    return state == PA_CONTEXT_READY;
}

int PulseOutput::serverSampleRate()
{
    PulseOutput probe(0, nullptr);
    if (!probe.connectContext())
        return 0;
    struct Query {
        pa_threaded_mainloop *loop;
        int rate;
    } query{probe.loop_, 0};
    pa_threaded_mainloop_lock(probe.loop_);
    waitFor(probe.loop_, pa_context_get_server_info(
                             probe.context_,
                             [](pa_context *, const pa_server_info *info, void *data) {
                                 auto *q = static_cast<Query *>(data);
                                 if (info)
                                     q->rate = int(info->sample_spec.rate);
                                 signalLoop(q->loop);
                             },
                             &query));
    pa_threaded_mainloop_unlock(probe.loop_);
    return query.rate;
}

bool PulseOutput::open()
{
    if (!connectContext()) {
        close();
        return false;
    }
    pa_threaded_mainloop_lock(loop_);
    pipeWire_ = serverIsPipeWire(loop_, context_);
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, uint32_t(rate_), 2};
    pa_proplist *props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
    stream_ = pa_stream_new_with_proplist(context_, "Quorvane", &spec, nullptr, props);
    pa_proplist_free(props);
    bool ok = false;
    if (stream_) {
        pa_stream_set_state_callback(
            stream_, [](pa_stream *, void *loop) { signalLoop(static_cast<pa_threaded_mainloop *>(loop)); }, loop_);
        pa_stream_set_write_callback(stream_, &PulseOutput::onWrite, this);
        pa_stream_set_underflow_callback(stream_, &PulseOutput::onUnderflow, this);
        bufferFrames_ = firstBuffer();
        const pa_buffer_attr attr = bufferFor(bufferFrames_, pipeWire_);
        // The server fits its sink to our latency instead of the other way round.
        const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_UNMUTED);
        if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) == 0) {
            pa_stream_state_t state;
            while ((state = pa_stream_get_state(stream_)) != PA_STREAM_READY && PA_STREAM_IS_GOOD(state))
                pa_threaded_mainloop_wait(loop_);
            ok = state == PA_STREAM_READY;
        }
    }
    pa_threaded_mainloop_unlock(loop_);
    if (!ok)
        close();
    return ok;
}

void PulseOutput::close()
{
    if (loop_)
        pa_threaded_mainloop_stop(loop_);
    if (stream_) {
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }
    if (context_) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    if (loop_) {
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
    }
}

bool PulseOutput::stepUp()
{
    DZQ_NEVER_AUDIO_THREAD();
    return resize(nextBufferStep(bufferFrames_));
}

bool PulseOutput::stepDown()
{
    DZQ_NEVER_AUDIO_THREAD();
    return resize(previousBufferStep(bufferFrames_));
}

bool PulseOutput::resize(int frames)
{
    // The stream keeps running: the server asks for more, or for less until
    // what it holds has come down to the new size, and nothing is dropped.
    if (!stream_ || frames == 0)
        return false;
    pa_threaded_mainloop_lock(loop_);
    const pa_buffer_attr attr = bufferFor(frames, pipeWire_);
    struct Result {
        pa_threaded_mainloop *loop;
        int success;
    } result{loop_, 0};
    waitFor(loop_, pa_stream_set_buffer_attr(
                       stream_, &attr,
                       [](pa_stream *, int success, void *data) {
                           auto *r = static_cast<Result *>(data);
                           r->success = success;
                           signalLoop(r->loop);
                       },
                       &result));
    pa_threaded_mainloop_unlock(loop_);
    if (result.success)
        bufferFrames_ = frames;
    return result.success != 0;
}

void PulseOutput::setActive(bool active)
{
    DZQ_NEVER_AUDIO_THREAD();
    if (!stream_ || active == active_)
        return;
    active_ = active;
    pa_threaded_mainloop_lock(loop_);
    // Paused: what waits in the server (silence) goes, so that the first
    // sound after the pause is not queued behind it.
    pa_operation *op = pa_stream_cork(stream_, active ? 0 : 1, nullptr, nullptr);
    if (op)
        pa_operation_unref(op);
    if (!active) {
        op = pa_stream_flush(stream_, nullptr, nullptr);
        if (op)
            pa_operation_unref(op);
    }
    pa_threaded_mainloop_unlock(loop_);
}

void PulseOutput::onUnderflow(pa_stream *, void *data)
{
    static_cast<PulseOutput *>(data)->noteUnderrun(SteadyTime::nowNs());
}

void PulseOutput::onWrite(pa_stream *, size_t bytes, void *data)
{
    static_cast<PulseOutput *>(data)->write(bytes);
}

void PulseOutput::write(size_t bytes)
{
    ThreadRoles::AudioScope audio;
    raisePriorityOnce();
    const qint64 now = SteadyTime::nowNs();
    size_t left = bytes / kFrameBytes;
    for (qint64 done = 0; left > 0;) {
        void *buffer = nullptr;
        size_t size = size_t(-1);
        if (pa_stream_begin_write(stream_, &buffer, &size) < 0 || !buffer)
            return;
        const size_t frames = std::min(left, size / kFrameBytes);
        if (frames == 0) {
            pa_stream_cancel_write(stream_);
            return;
        }
        processor_->renderInterleaved(static_cast<float *>(buffer), int(frames), now + done * 1'000'000'000 / rate_);
        pa_stream_write(stream_, buffer, frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        done += qint64(frames);
        left -= frames;
    }
}
