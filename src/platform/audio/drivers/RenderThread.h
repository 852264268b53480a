#pragma once

#include <QtGlobal>

#include <atomic>
#include <thread>

class AudioProcessor;

// The output without a device: a thread of our own that runs the processor
// in real time, one period after the other on an absolute grid, so that the
// tap (recording) and the clock of timed messages work as with a sound card.
class RenderThread {
public:
    RenderThread(AudioProcessor &processor, int sampleRate, int periodFrames);
    ~RenderThread();
    RenderThread(const RenderThread &) = delete;
    RenderThread &operator=(const RenderThread &) = delete;

    void start();
    // Returns once no period runs any more.
    void stop();
    bool isRunning() const { return thread_.joinable(); }

private:
    void loop();
    void period(float *left, float *right, qint64 dueNs);  // the callback

    AudioProcessor &processor_;
    const int rate_;
    const int period_;
    std::thread thread_;
    std::atomic<bool> running_{false};
};
