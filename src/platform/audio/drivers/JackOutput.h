#pragma once

#include "platform/audio/drivers/DeviceOutput.h"

#include <atomic>

typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

// The sound through a running JACK server (jackd, or PipeWire's JACK face):
// two output ports joined to the first two physical playback ports. The
// server sets the period and the sample rate; the synthesizer runs at the
// server's rate, so there is nothing to step up or down. Never starts a
// server. When the server goes, the client is left alone (calling into it
// then crashes the library) and lost() says so, for the owner to move on.
class JackOutput : public DeviceOutput {
public:
    JackOutput(int sampleRate, AudioProcessor *processor);
    ~JackOutput() override;

    // The rate of the running server, or 0 when none runs.
    static int serverSampleRate();

    // False when no server runs or it runs at another rate than ours.
    bool open() override;
    QString apiName() const override { return QStringLiteral("jack"); }
    int bufferFrames() const override { return bufferFrames_.load(std::memory_order_relaxed); }
    bool stepUp() override { return false; }
    bool stepDown() override { return false; }
    bool lost() const override { return gone_.load(); }
    bool sizesBuffer() const override { return false; }

private:
    // The server's own real-time scheduling stands; ours is not asked for.
    bool raiseThreadPriority() override;
    void close();
    static int process(unsigned int frames, void *data);
    static int bufferSizeChanged(unsigned int frames, void *data);
    static int xrun(void *data);
    static void shutdown(void *data);

    const int rate_;
    AudioProcessor *const processor_;  // null: a probe that never plays
    jack_client_t *client_ = nullptr;
    jack_port_t *ports_[2] = {nullptr, nullptr};
    std::atomic<int> bufferFrames_{0};
    std::atomic<bool> gone_{false};
    std::atomic<bool> inProcess_{false};
};
