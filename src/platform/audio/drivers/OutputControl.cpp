#include "platform/audio/drivers/OutputControl.h"

#include "core/SteadyTime.h"
#include "platform/audio/drivers/DeviceOutput.h"
#include "platform/audio/drivers/JackOutput.h"
#include "platform/audio/drivers/PulseOutput.h"
#include "platform/audio/drivers/RealtimeKit.h"
#include "platform/audio/drivers/RenderThread.h"
#include "platform/audio/drivers/RtAudioOutput.h"
#include "platform/audio/drivers/SoundLog.h"
#include "platform/audio/realtime/AudioProcessor.h"

#include <chrono>
#include <thread>

namespace {

// The rates a JACK server may run at for the synthesizer to follow it.
constexpr int kLowestJackRate = 22050;
constexpr int kHighestJackRate = 192000;
// How often the owner thread looks after the device: underruns, pausing.
constexpr int kCheckMs = 200;
// The device stream pauses after the synthesizer has been idle this long:
// long enough that a player's pause between phrases never pays for waking
// the stream, short enough that a program left open costs next to nothing.
constexpr qint64 kPauseAfterSeconds = 30;
// A smaller buffer is taken only when the output has been silent this long:
// the switch cannot be heard.
constexpr qint64 kSilentBeforeResizeMs = 250;

}  // namespace

OutputControl::OutputControl(AudioProcessor &processor, int periodFrames, QObject *parent)
    : QObject(parent), processor_(processor), periodFrames_(periodFrames)
{
    watch_.setInterval(kCheckMs);
    connect(&watch_, &QTimer::timeout, this, &OutputControl::check);
}

OutputControl::~OutputControl()
{
    stop();
}

int OutputControl::deviceSampleRate()
{
    // A JACK server's rate is the one its clients must use.
    const int jack = JackOutput::serverSampleRate();
    if (jack >= kLowestJackRate && jack <= kHighestJackRate)
        return jack;
    int preferred = PulseOutput::serverSampleRate();
    if (preferred == 0)
        preferred = RtAudioOutput::preferredSampleRate();
    return preferred == 44100 || preferred == 48000 ? preferred : 0;
}

bool OutputControl::openDevice(int firstBufferFrames)
{
    firstBufferFrames_ = firstBufferFrames;
    return open();
}

bool OutputControl::open()
{
    const int rate = processor_.sampleRate();
    // A JACK server, where one runs, is where the user wants the sound.
    std::unique_ptr<DeviceOutput> outputs[] = {std::make_unique<JackOutput>(rate, &processor_),
                                               std::make_unique<PulseOutput>(rate, &processor_),
                                               std::make_unique<RtAudioOutput>(rate, &processor_)};
    for (auto &output : outputs) {
        if (firstBufferFrames_ > 0)
            output->setFirstBuffer(firstBufferFrames_);
        if (output->open()) {
            deviceName_ = output->apiName();
            output_ = std::move(output);
            return true;
        }
    }
    return false;
}

void OutputControl::startRenderThread()
{
    renderThread_ = std::make_unique<RenderThread>(processor_, processor_.sampleRate(), periodFrames_);
    renderThread_->start();
}

void OutputControl::startWatching()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (output_) {
        // A buffer remembered from an earlier run is a starting point: the
        // run tries the smaller ones soon.
        underrunPolicy_.opened(SteadyTime::nowNs(), output_->bufferFrames() > DeviceOutput::kBufferSteps[0]);
    }
    watch_.start();
}

void OutputControl::stop()
{
    // The output goes first: after this no callback touches the processor.
    watch_.stop();
    output_.reset();
    renderThread_.reset();
}

int OutputControl::bufferFrames() const
{
    return output_ ? output_->bufferFrames() : periodFrames_;
}

bool OutputControl::buffersAreOurs() const
{
    return output_ && output_->sizesBuffer();
}

int OutputControl::latencyFrames() const
{
    return output_ ? output_->latencyFrames() : 0;
}

bool OutputControl::realTimePriority() const
{
    return output_ && output_->realTimePriority();
}

double OutputControl::secondsAtThisBuffer() const
{
    return output_ ? double(processor_.renderedFrames() - framesAtStep_) / processor_.sampleRate() : 0.0;
}

QString OutputControl::description(const QString &lookAhead) const
{
    const int rate = processor_.sampleRate();
    if (!output_)
        return QStringLiteral("声音输出：无声卡（实时渲染线程），%1 Hz，每次 %2 帧").arg(rate).arg(bufferFrames()) + lookAhead;
    return QStringLiteral("声音输出：%1，%2 Hz，缓冲 %3 帧 × %4，延迟 %5 毫秒，%6")
               .arg(deviceName_)
               .arg(rate)
               .arg(output_->bufferFrames())
               .arg(DeviceOutput::kPeriods)
               .arg(double(latencyFrames()) * 1000.0 / rate, 0, 'f', 1)
               .arg(output_->realTimePriority() ? QStringLiteral("实时优先级") : QStringLiteral("普通优先级"))
           + lookAhead;
}

void OutputControl::wake()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (output_ && !output_->isActive()) {
        processor_.restartClock();
        processor_.resetIdle();  // not paused again before the audio thread has seen what woke it
        underrunPolicy_.restarted(SteadyTime::nowNs());
        output_->setActive(true);
    }
}

void OutputControl::waitForPeriod(int timeoutMs) const
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (!output_ && !renderThread_)
        return;
    // Periods keep coming while idle (the synthesizer is skipped, not the period).
    const qint64 before = processor_.renderedFrames();
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (processor_.renderedFrames() == before && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
}

void OutputControl::check()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (processor_.idleFrames() > 0)
        emit idle();
    if (!output_)
        return;
    if (output_->lost()) {
        replaceLost();
        if (!output_)
            return;
    }
    if (const quint64 thread = output_->takeRealtimeRequest())
        askRealtimeKit(thread);
    // WAV playback waiting to be mixed, or a recording: the stream runs.
    const bool needed = processor_.tap().isEnabled() || processor_.playback().pushed() != processor_.playback().taken();
    if (needed)
        wake();
    else if (output_->isActive() && processor_.idleFrames() >= kPauseAfterSeconds * processor_.sampleRate())
        output_->setActive(false);
    resize();
}

void OutputControl::replaceLost()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    // The old device calls back no more; the next one starts its clock anew.
    output_.reset();
    processor_.restartClock();
    SoundLog::QuietScope quiet;
    if (!open()) {
        deviceName_.clear();
        startRenderThread();  // on without a device, as at a start without one
    }
    underrunPolicy_.opened(SteadyTime::nowNs(), false);
    emit changed();
}

void OutputControl::resize()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    const qint64 now = SteadyTime::nowNs();
    const bool smallest = output_->bufferFrames() <= DeviceOutput::kBufferSteps[0];
    // A larger buffer after an underrun; a smaller one after a clean stretch,
    // while the output is silent (see UnderrunPolicy).
    const UnderrunPolicy::Change change = underrunPolicy_.check(
        now, output_->takeUnderrun(), output_->isActive(), smallest, outputIsSilent() && processor_.nothingWaits());
    bool done = false;
    if (change == UnderrunPolicy::Change::Larger)
        done = output_->stepUp();
    else if (change == UnderrunPolicy::Change::Smaller)
        done = output_->stepDown();
    if (change == UnderrunPolicy::Change::None)
        return;
    if (!done) {
        underrunPolicy_.refused(change);
        return;
    }
    underrunPolicy_.changed(now, change);
    framesAtStep_ = processor_.renderedFrames();
    processor_.restartClock();
    emit changed();
}

bool OutputControl::outputIsSilent() const
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    const qint64 silentFrames = processor_.renderedFrames() - processor_.audibleUntil();
    return silentFrames >= kSilentBeforeResizeMs * processor_.sampleRate() / 1000;
}

void OutputControl::askRealtimeKit(quint64 threadId)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (!realtimeKit_)
        realtimeKit_ = new RealtimeKit(RealtimeKit::systemBus(), this);
    // The answer may come for a thread that is gone (a reopened stream): the
    // output ignores it then.
    realtimeKit_->makeThreadRealtime(threadId, audioThreadPriority(), [this, threadId](bool granted) {
        if (output_ && output_->setRealTimeGranted(threadId, granted))
            emit changed();
    });
}
