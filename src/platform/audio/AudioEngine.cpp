#include "platform/audio/AudioEngine.h"

#include "core/MidiMessage.h"
#include "core/PostToOwner.h"
#include "platform/audio/drivers/SoundLog.h"

#include <chrono>
#include <utility>

namespace {

// Playback input buffered ahead of the callback; the volume at the start.
constexpr std::size_t kPlaybackFrames = 24000;
const float kStartGain = SynthSetup::sideGain(0x6000);

}  // namespace

AudioEngine::AudioEngine(QObject *parent) : AudioEngine(Options(), parent) {}

AudioEngine::AudioEngine(const Options &options, QObject *parent)
    : QObject(parent),
      options_(options),
      processor_(std::size_t(qMax(1, options.tapSeconds)) * std::size_t(options.sampleRate), kPlaybackFrames,
                 kStartGain, kStartGain),
      host_(processor_, options.beforeFontRead),
      output_(processor_, SynthSetup::kPeriodFrames)
{
    processor_.prepare(options.sampleRate, SynthSetup::kPeriodFrames);
    SoundLog &log = SoundLog::install();
    connect(&log, &SoundLog::errorLogged, this,
            [this](const QString &text) { emit notice(QStringLiteral("内置合成器出错：%1。。。").arg(text)); },
            Qt::QueuedConnection);
    connect(&host_, &SynthHost::notice, this, &AudioEngine::notice);
    connect(&host_, &SynthHost::soundFontChanged, this, &AudioEngine::soundFontChanged);
    connect(&output_, &OutputControl::changed, this, &AudioEngine::outputChanged);
    // At a pause, programs no channel has chosen lately leave memory.
    connect(&output_, &OutputControl::idle, this, &AudioEngine::releaseUnusedPrograms);
    host_.setWake([this] { wake(); });
}

AudioEngine::~AudioEngine()
{
    if (worker_.joinable())
        worker_.join();
    // The output goes first: after this no callback touches the synthesizer.
    output_.stop();
}

void AudioEngine::start()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (state_ != State::Idle)
        return;
    state_ = State::Loading;
    worker_ = std::thread([this] {
        load();
        {
            std::lock_guard<std::mutex> lock(loadMutex_);
            loadDone_ = true;
        }
        loadCv_.notify_all();
        postToOwner(this, "finishLoading");
    });
}

bool AudioEngine::waitUntilReady(int timeoutMs)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (state_ == State::Idle)
        return false;
    {
        std::unique_lock<std::mutex> lock(loadMutex_);
        if (!loadCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return loadDone_; }))
            return false;
    }
    finishLoading();
    return isReady();
}

void AudioEngine::load()
{
    // Failures are reported once, in our own words; the library's details
    // stay in the log.
    SoundLog::QuietScope quiet;
    // The synthesizer runs at the device's rate, so that nothing resamples
    // (PulseAudio at 44.1 kHz, for one).
    if (options_.output == Output::Auto) {
        if (const int rate = OutputControl::deviceSampleRate())
            processor_.prepare(rate, SynthSetup::kPeriodFrames);
    }
    if (!host_.load(options_.soundFont, options_.fallBackToFound, workerNotices_))
        return;
    // The output runs even without a font: the program's own sound (and the
    // tap) keeps working.
    if (options_.output == Output::Manual)
        return;
    if (options_.output == Output::Auto) {
        if (output_.openDevice(options_.firstBufferFrames))
            return;
        workerNotices_ << QStringLiteral("未找到声卡，无声运行。。。");
    }
    output_.startRenderThread();
}

void AudioEngine::finishLoading()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (state_ == State::Ready)
        return;
    if (worker_.joinable())
        worker_.join();
    state_ = State::Ready;
    // The device's health, and the programs kept in memory.
    if (options_.output != Output::Manual)
        output_.startWatching();
    for (const QString &text : std::as_const(workerNotices_))
        emit notice(text);
    host_.setReady();
    emit ready();
    host_.startAskedFont();
}

void AudioEngine::send(const MidiMessage &message, qint64 dueNs)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (state_ != State::Ready)
        host_.keep(message);
    else
        host_.send(message, dueNs < 0 ? -1 : dueNs + lookAheadNs());
}

void AudioEngine::silenceAll()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    for (int channel = 0; channel < 16; ++channel)
        send(MidiMessage::make(Midi::ControlChange, channel, Midi::kAllNotesOff), -1);
}

qint64 AudioEngine::lookAheadNs() const
{
    return SynthSetup::kTickLatenessNs + qint64(bufferFrames()) * 1'000'000'000 / sampleRate();
}

QString AudioEngine::outputDescription() const
{
    if (!isReady())
        return QStringLiteral("声音输出：正在启动");
    return output_.description(
        QStringLiteral("，定时消息提前 %1 毫秒").arg(double(lookAheadNs()) / 1e6, 0, 'f', 1));
}

bool AudioEngine::waitForSwitch(int timeoutMs)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (isSwitching()) {
        if (state_ != State::Ready && !waitUntilReady(timeoutMs))
            return false;
        if (std::chrono::steady_clock::now() > until)
            return false;
        host_.advanceSwitch();
    }
    return true;
}

void AudioEngine::setWaveVolume(quint32 value)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    waveVolume_ = value;
    processor_.gain().set(SynthSetup::sideGain(value & 0xFFFF), SynthSetup::sideGain(value >> 16));
}

void AudioEngine::setTapEnabled(bool enabled)
{
    // The reader may stop the tap itself (its disk is full).
    DZQ_THREAD_RULE(!enabled || owner_.isCurrent(), "only the owner thread enables the tap");
    DZQ_NEVER_AUDIO_THREAD();
    if (enabled)
        wake();
    // Sequentially consistent with the rendered-frames counter, so that
    // waitForTapQuiet() can tell when the last tapping callback has finished.
    processor_.tap().setEnabled(enabled);
}

QStringList AudioEngine::logMessages() const
{
    return SoundLog::install().messages();
}

void AudioEngine::renderManual(float *left, float *right, int frames, qint64 nowNs)
{
    if (!isReady() || !processor_.synth() || frames <= 0)
        return;
    ThreadRoles::AudioScope audio;
    processor_.render(left, right, frames, nowNs);
}
