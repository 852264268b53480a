#pragma once

#include "platform/audio/drivers/DeviceOutput.h"

#include <atomic>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

// Output to a PulseAudio (or PipeWire) server through its asynchronous API:
// the stream asks for exactly the latency of our buffer (so the server sets
// its sink to match), the server reports every underrun, and the buffer size
// changes in place. The server's mainloop thread is the audio thread.
class PulseOutput : public DeviceOutput {
public:
    PulseOutput(int sampleRate, AudioProcessor *processor);
    ~PulseOutput() override;

    // The server's own sample rate, or 0 when no server answers. Never starts
    // a server.
    static int serverSampleRate();

    bool open() override;
    QString apiName() const override { return QStringLiteral("pulseaudio"); }
    int bufferFrames() const override { return bufferFrames_; }
    bool stepUp() override;
    bool stepDown() override;
    void setActive(bool active) override;
    bool isActive() const override { return active_; }

private:
    void close();
    bool connectContext();
    bool resize(int frames);
    static void onWrite(pa_stream *stream, size_t bytes, void *data);
    static void onUnderflow(pa_stream *stream, void *data);
    void write(size_t bytes);  // audio thread

    const int rate_;
    bool pipeWire_ = false;  // the server is PipeWire's PulseAudio face
    AudioProcessor *const processor_;  // null: a probe that never plays
    pa_threaded_mainloop *loop_ = nullptr;
    pa_context *context_ = nullptr;
    pa_stream *stream_ = nullptr;
    int bufferFrames_ = 0;
    bool active_ = true;
};
