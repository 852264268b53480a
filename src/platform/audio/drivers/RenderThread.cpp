#include "platform/audio/drivers/RenderThread.h"

#include "core/SteadyTime.h"
#include "platform/audio/realtime/AudioProcessor.h"
#include "platform/audio/realtime/ThreadRoles.h"

#include <chrono>
#include <vector>

namespace {

// The thread gives up catching up when it is this far behind.
constexpr qint64 kResyncNs = 100'000'000;

}  // namespace

RenderThread::RenderThread(AudioProcessor &processor, int sampleRate, int periodFrames)
    : processor_(processor), rate_(sampleRate), period_(periodFrames)
{
}

RenderThread::~RenderThread()
{
    stop();
}

void RenderThread::start()
{
    if (thread_.joinable())
        return;
    running_.store(true);
    thread_ = std::thread([this] { loop(); });
}

void RenderThread::stop()
{
    running_.store(false);
    if (thread_.joinable())
        thread_.join();
}

void RenderThread::period(float *left, float *right, qint64 dueNs)
{
    ThreadRoles::AudioScope audio;
    processor_.render(left, right, period_, dueNs);
}

void RenderThread::loop()
{
    const qint64 rate = rate_;
    const qint64 frames = period_;
    std::vector<float> left(static_cast<std::size_t>(frames)), right(static_cast<std::size_t>(frames));
    qint64 startNs = SteadyTime::nowNs();
    qint64 k = 0;
    while (running_.load(std::memory_order_relaxed)) {
        // Periods on an absolute grid: waking late never shifts the ones after.
        // (k periods last k * period / rate seconds; split so nothing overflows)
        const qint64 dueNs = startNs + (k / rate) * frames * 1'000'000'000 + (k % rate) * frames * 1'000'000'000 / rate;
        std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::nanoseconds(dueNs)));
        period(left.data(), right.data(), dueNs);
        ++k;
        // After a long stall (a suspended machine) start a new grid instead
        // of rendering a burst.
        const qint64 now = SteadyTime::nowNs();
        if (now - dueNs > kResyncNs) {
            startNs = now;
            k = 0;
        }
    }
}
