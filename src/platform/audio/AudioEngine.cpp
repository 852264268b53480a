#include "platform/audio/AudioEngine.h"

#include "core/MidiMessage.h"
#include "core/SteadyTime.h"

#include "platform/audio/FontCheck.h"
#include "platform/audio/FontFile.h"
#include "platform/audio/JackOutput.h"
#include "platform/audio/PulseOutput.h"
#include "platform/audio/RealtimeKit.h"
#include "platform/audio/RtAudioOutput.h"
#include "platform/audio/SoundLog.h"
#include "platform/audio/SynthLock.h"

#include <QFile>
#include <QFileInfo>

#include <fluidsynth.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// Messages kept while the sound font loads; past this only note-ons are
// dropped, so nothing can be left hanging.
constexpr int kMaxEarlyMessages = 65536;
// The render thread gives up catching up when it is this far behind.
constexpr qint64 kRenderResyncNs = 100'000'000;
// Playback input buffered ahead of the callback.
constexpr std::size_t kPlaybackFrames = 24000;
// The synthesizer stops once its output has stayed below kQuietLevel this
// long: every voice has ended and the reverb and chorus have died away.
constexpr qint64 kQuietSeconds = 1;
constexpr float kQuietLevel = 1e-7f;
// How often the owner thread looks after the device: underruns, pausing.
constexpr int kOutputCheckMs = 200;
// The device stream pauses after the synthesizer has been idle this long:
// long enough that a player's pause between phrases never pays for waking
// the stream, short enough that a program left open costs next to nothing.
constexpr qint64 kPauseAfterSeconds = 30;
// A smaller buffer is taken only when the output has been silent this long
// (below kAudibleLevel, about -80 dBFS): the switch cannot be heard.
constexpr qint64 kSilentBeforeResizeMs = 250;
constexpr float kAudibleLevel = 1e-4f;
// How often a replaced synthesizer is looked at until it can be deleted.
constexpr int kRetireCheckMs = 10;

bool isNoteOn(const MidiMessage &m)
{
    return MidiMessage{m.status, m.data1, quint8(m.data2 & 0x7F)}.isNoteOn();
}

}  // namespace

AudioEngine::AudioEngine(QObject *parent) : AudioEngine(Options(), parent) {}

AudioEngine::AudioEngine(const Options &options, QObject *parent)
    : QObject(parent),
      options_(options),
      programs_(std::make_unique<ProgramCache>(gate_)),
      rate_(options.sampleRate),
      gain_(SynthSetup::sideGain(0x6000), SynthSetup::sideGain(0x6000)),
      tap_(std::size_t(qMax(1, options.tapSeconds)) * std::size_t(options.sampleRate)),
      play_(kPlaybackFrames)
{
    SoundLog &log = SoundLog::install();
    connect(&log, &SoundLog::errorLogged, this,
            [this](const QString &text) { emit notice(QStringLiteral("内置合成器出错：%1。。。").arg(text)); },
            Qt::QueuedConnection);
    outputWatch_.setInterval(kOutputCheckMs);
    connect(&outputWatch_, &QTimer::timeout, this, &AudioEngine::checkOutput);
    retireTimer_.setInterval(kRetireCheckMs);
    connect(&retireTimer_, &QTimer::timeout, this, &AudioEngine::retireSynths);
}

AudioEngine::~AudioEngine()
{
    if (worker_.joinable())
        worker_.join();
    if (switch_.worker.joinable())
        switch_.worker.join();
    stopOutput();
    programs_->close();
    if (synth_)
        delete_fluid_synth(synth_);
    if (settings_)
        delete_fluid_settings(settings_);
    // A font that loaded but was never put in place, and the replaced ones.
    if (switch_.programs)
        switch_.programs->close();
    if (switch_.synth)
        delete_fluid_synth(switch_.synth);
    if (switch_.settings)
        delete_fluid_settings(switch_.settings);
    for (const Retired &r : retired_) {
        delete_fluid_synth(r.synth);
        delete_fluid_settings(r.settings);
    }
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
        QMetaObject::invokeMethod(this, [this] { finishLoading(); }, Qt::QueuedConnection);
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
        // A JACK server's rate is the one its clients must use.
        const int jack = JackOutput::serverSampleRate();
        if (jack >= kLowestJackRate && jack <= kHighestJackRate) {
            rate_ = jack;
        } else {
            int preferred = PulseOutput::serverSampleRate();
            if (preferred == 0)
                preferred = RtAudioOutput::preferredSampleRate();
            if (preferred == 44100 || preferred == 48000)
                rate_ = preferred;
        }
    }
    clock_.emplace(rate_, SynthSetup::kPeriodFrames);
    settings_ = SynthSetup::newSettings(rate_, SynthSetup::Samples::OnDemand, ProgramCache::kSynthChannels);
    synth_.store(settings_ ? new_fluid_synth(settings_) : nullptr);
    if (!synth_) {
        workerNotices_ << QStringLiteral("内置合成器 (FluidSynth) 无法启动，程序将不发声。请重新安装软件包 libfluidsynth3。");
        return;
    }

    FontFile::useFor(synth_, settings_);
    const bool chosen = !options_.soundFont.isEmpty();
    const FontCheck::Verdict verdict = chosen ? loadFont(options_.soundFont) : FontCheck::Verdict::Missing;
    if (chosen && verdict != FontCheck::Verdict::Usable) {
        if (options_.fallBackToFound) {
            workerNotices_ << FontCheck::refusalText(options_.soundFont, verdict) + QStringLiteral("改用默认的音色库。");
            loadFoundFont();
        } else {  // tests and tools: silent, the package named
            workerNotices_ << (verdict == FontCheck::Verdict::Broken ? SynthSetup::soundFontLoadFailedText(fontPath_)
                                                                      : SynthSetup::missingSoundFontText());
        }
    } else if (!chosen) {
        loadFoundFont();
    }
    // The output runs even without a font: the program's own sound (and the
    // tap) keeps working.
    openOutput();
}

void AudioEngine::loadFoundFont()
{
    const QString found = SynthSetup::findSoundFont();
    if (found.isEmpty())
        workerNotices_ << SynthSetup::missingSoundFontText();
    else if (loadFont(found) != FontCheck::Verdict::Usable)
        workerNotices_ << SynthSetup::soundFontLoadFailedText(fontPath_);
}

FontCheck::Verdict AudioEngine::loadFont(const QString &path)
{
    fontPath_ = QFileInfo(path).absoluteFilePath();
    FontCheck::Verdict verdict;
    {
        FontFile::ReadScope scope(&options_.beforeFontRead);
        verdict = FontCheck::load(synth_, fontPath_);
    }
    fontLoaded_ = verdict == FontCheck::Verdict::Usable;
    if (fontLoaded_)
        programs_->open(synth_, fontPath_, options_.beforeFontRead);
    return verdict;
}

void AudioEngine::openOutput()
{
    if (options_.output == Output::Manual)
        return;
    if (options_.output == Output::Auto) {
        if (openDevice())
            return;
        workerNotices_ << QStringLiteral("未找到声卡，无声运行。。。");
    }
    startRenderThread();
}

bool AudioEngine::openDevice()
{
    // Called inside the device's callback: the audio thread.
    const DeviceOutput::Render render = [this](float *left, float *right, int frames, qint64 nowNs) {
        if (clockRestart_.exchange(false))
            clock_->reset();
        process(left, right, frames, nowNs);
    };
    // A JACK server, where one runs, is where the user wants the sound.
    std::unique_ptr<DeviceOutput> outputs[] = {std::make_unique<JackOutput>(rate_, render),
                                               std::make_unique<PulseOutput>(rate_, render),
                                               std::make_unique<RtAudioOutput>(rate_, render)};
    for (auto &output : outputs) {
        if (options_.firstBufferFrames > 0)
            output->setFirstBuffer(options_.firstBufferFrames);
        if (output->open()) {
            deviceName_ = output->apiName();
            output_ = std::move(output);
            return true;
        }
    }
    return false;
}

void AudioEngine::startRenderThread()
{
    rendering_.store(true);
    renderThread_ = std::thread([this] { renderLoop(); });
}

void AudioEngine::replaceLostOutput()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    // The old device calls back no more; the next one starts its clock anew.
    output_.reset();
    clockRestart_.store(true);
    SoundLog::QuietScope quiet;
    if (!openDevice()) {
        deviceName_.clear();
        startRenderThread();  // on without a device, as at a start without one
    }
    underrunPolicy_.opened(SteadyTime::nowNs(), false);
    emit outputChanged();
}

void AudioEngine::stopOutput()
{
    // The output goes first: after this no callback touches the synthesizer.
    outputWatch_.stop();
    output_.reset();
    rendering_.store(false);
    if (renderThread_.joinable())
        renderThread_.join();
}

void AudioEngine::finishLoading()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (state_ == State::Ready)
        return;
    if (worker_.joinable())
        worker_.join();
    state_ = State::Ready;
    if (output_) {
        // A buffer remembered from an earlier run is a starting point: the
        // run tries the smaller ones soon.
        underrunPolicy_.opened(SteadyTime::nowNs(), output_->bufferFrames() > DeviceOutput::kBufferSteps[0]);
    }
    // The device's health, and the programs kept in memory.
    if (options_.output != Output::Manual)
        outputWatch_.start();
    for (const QString &text : std::as_const(workerNotices_))
        emit notice(text);
    const QVector<PendingMessage> early = std::move(early_);
    early_.clear();
    for (const PendingMessage &m : early)
        channels_.note(m.message);
    if (fontLoaded_) {
        for (const PendingMessage &m : early) {
            programs_->prepare(m.message);
            play(m.message);
        }
    }
    emit ready();
    if (!nextFont_.isEmpty())
        startSwitch(std::exchange(nextFont_, QString()));
}

void AudioEngine::send(const MidiMessage &message, qint64 dueNs)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (state_ != State::Ready) {
        if (early_.size() < kMaxEarlyMessages || !isNoteOn(message))
            early_.append({message, dueNs});
        return;
    }
    // Kept also without a font: a font chosen later gets it.
    channels_.note(message);
    if (!fontLoaded_)
        return;
    // A program's samples are in memory before its change goes on.
    programs_->prepare(message);
    wake();
    if (dueNs < 0) {
        if (scheduler_.routeLive(message))
            play(message);
        return;
    }
    if (!scheduler_.pushTimed(message, dueNs + lookAheadNs()))
        play(message);  // queue full: early rather than lost
}

bool AudioEngine::buffersAreOurs() const
{
    return output_ && output_->sizesBuffer();
}

int AudioEngine::bufferFrames() const
{
    return output_ ? output_->bufferFrames() : SynthSetup::kPeriodFrames;
}

int AudioEngine::latencyFrames() const
{
    return output_ ? output_->latencyFrames() : 0;
}

qint64 AudioEngine::lookAheadNs() const
{
    return SynthSetup::kTickLatenessNs + qint64(bufferFrames()) * 1'000'000'000 / rate_;
}

QString AudioEngine::outputDescription() const
{
    if (!isReady())
        return QStringLiteral("声音输出：正在启动");
    const QString lookAhead = QStringLiteral("，定时消息提前 %1 毫秒").arg(double(lookAheadNs()) / 1e6, 0, 'f', 1);
    if (!output_) {
        return QStringLiteral("声音输出：无声卡（实时渲染线程），%1 Hz，每次 %2 帧").arg(rate_).arg(bufferFrames())
               + lookAhead;
    }
    return QStringLiteral("声音输出：%1，%2 Hz，缓冲 %3 帧 × %4，延迟 %5 毫秒，%6")
               .arg(deviceName_)
               .arg(rate_)
               .arg(output_->bufferFrames())
               .arg(DeviceOutput::kPeriods)
               .arg(double(latencyFrames()) * 1000.0 / rate_, 0, 'f', 1)
               .arg(output_->realTimePriority() ? QStringLiteral("实时优先级") : QStringLiteral("普通优先级"))
           + lookAhead;
}

double AudioEngine::secondsAtThisBuffer() const
{
    return output_ ? double(renderedFrames_.load() - framesAtStep_) / rate_ : 0.0;
}

void AudioEngine::wake()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (output_ && !output_->isActive()) {
        clockRestart_.store(true);
        idleFrames_.store(0);  // not paused again before the audio thread has seen what woke it
        underrunPolicy_.restarted(SteadyTime::nowNs());
        output_->setActive(true);
    }
}

void AudioEngine::checkOutput()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    // At a pause, programs no channel has chosen lately leave memory.
    if (idleFrames_.load(std::memory_order_relaxed) > 0)
        releaseUnusedPrograms();
    if (!output_)
        return;
    if (output_->lost()) {
        replaceLostOutput();
        if (!output_)
            return;
    }
    if (const quint64 thread = output_->takeRealtimeRequest())
        askRealtimeKit(thread);
    // WAV playback waiting to be mixed, or a recording: the stream runs.
    const bool needed = tap_.isEnabled() || play_.pushed() != play_.taken();
    if (needed)
        wake();
    else if (output_->isActive() && idleFrames_.load(std::memory_order_relaxed) >= kPauseAfterSeconds * rate_)
        output_->setActive(false);
    resizeBuffer();
}

void AudioEngine::resizeBuffer()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    const qint64 now = SteadyTime::nowNs();
    const bool smallest = output_->bufferFrames() <= DeviceOutput::kBufferSteps[0];
    // A larger buffer after an underrun; a smaller one after a clean stretch,
    // while the output is silent (see UnderrunPolicy).
    const UnderrunPolicy::Change change = underrunPolicy_.check(
        now, output_->takeUnderrun(), output_->isActive(), smallest, outputIsSilent() && nothingWaits());
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
    framesAtStep_ = renderedFrames_.load();
    clockRestart_.store(true);
    emit outputChanged();
}

bool AudioEngine::outputIsSilent() const
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    const qint64 silentFrames = renderedFrames_.load() - audibleUntil_.load(std::memory_order_relaxed);
    return silentFrames >= kSilentBeforeResizeMs * rate_ / 1000;
}

bool AudioEngine::nothingWaits() const
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    for (int channel = 0; channel < 16; ++channel) {
        if (scheduler_.waitingOnChannel(channel) > 0)
            return false;
    }
    return true;
}

void AudioEngine::releaseUnusedPrograms()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (isReady())
        programs_->trim(nothingWaits());
}

void AudioEngine::askRealtimeKit(quint64 threadId)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (!realtimeKit_)
        realtimeKit_ = new RealtimeKit(RealtimeKit::systemBus(), this);
    // The answer may come for a thread that is gone (a reopened stream): the
    // output ignores it then.
    realtimeKit_->makeThreadRealtime(threadId, audioThreadPriority(), [this, threadId](bool granted) {
        if (output_ && output_->setRealTimeGranted(threadId, granted))
            emit outputChanged();
    });
}

void AudioEngine::silenceAll()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    for (int channel = 0; channel < 16; ++channel)
        send(MidiMessage::make(Midi::ControlChange, channel, Midi::kAllNotesOff), -1);
}

void AudioEngine::play(const MidiMessage &message)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    {
        SynthLock lock(gate_);
        SynthSetup::applyShortMessage(synth_, message);
        held_.note(message);
    }
    // The audio thread runs the synthesizer from its next period on.
    liveSent_.fetch_add(1, std::memory_order_release);
}

void AudioEngine::setWaveVolume(quint32 value)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    waveVolume_ = value;
    gain_.set(SynthSetup::sideGain(value & 0xFFFF), SynthSetup::sideGain(value >> 16));
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
    tap_.setEnabled(enabled);
}

void AudioEngine::waitForTapQuiet(int timeoutMs) const
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    // A callback that saw the tap enabled finishes before the next one
    // publishes its frames; the next one sees it disabled.
    if (state_ != State::Ready || options_.output == Output::Manual)
        return;
    // Callbacks keep coming while idle (the synthesizer is skipped, the tap is not).
    const qint64 before = renderedFrames_.load();
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (renderedFrames_.load() == before && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
}

QStringList AudioEngine::logMessages() const
{
    return SoundLog::install().messages();
}

void AudioEngine::renderManual(float *left, float *right, int frames, qint64 nowNs)
{
    if (!isReady() || !synth_ || frames <= 0)
        return;
    ThreadRoles::AudioScope audio;
    std::memset(left, 0, sizeof(float) * std::size_t(frames));
    std::memset(right, 0, sizeof(float) * std::size_t(frames));
    process(left, right, frames, nowNs);
}

bool AudioEngine::nothingSounds()
{
    DZQ_ONLY_AUDIO_THREAD();
    // Decided without the synthesizer's lock, which the owner thread may
    // hold for a while (loading a program's samples): a message arrived, or
    // the synthesizer's output has not yet been silent for a while.
    const quint32 live = liveSent_.load(std::memory_order_acquire);
    const bool busy = live != liveSeen_ || !scheduler_.isEmpty();
    liveSeen_ = live;
    if (busy)
        quietFrames_ = 0;
    return quietFrames_ >= kQuietSeconds * rate_;
}

void AudioEngine::process(float *left, float *right, int frames, qint64 nowNs)
{
    DZQ_ONLY_AUDIO_THREAD();
    clock_->update(nowNs, frames_);
    scheduler_.collect(*clock_);

    // Before the synthesizer is taken: an owner that replaces it then
    // waits for this period to end before deleting the old one.
    inProcess_.store(true);
    const bool font = fontLoaded_;
    fluid_synth_t *synth = synth_.load();
    // A synthesizer replaced since the last period fades out under this one.
    fade_.begin(synth);
    // While nothing sounds, whole blocks are skipped: the synthesizer's own
    // blocks stay on our grid. What is left of a period that is not a whole
    // number of blocks (a sound server asks for any count) is rendered, and
    // is silence.
    const bool idle = nothingSounds();
    const int skipped = idle ? frames / SynthSetup::kBlockFrames * SynthSetup::kBlockFrames : 0;
    if (idle) {
        idlePeriods_.fetch_add(1, std::memory_order_relaxed);
        idleFrames_.fetch_add(frames, std::memory_order_relaxed);
    } else {
        idleFrames_.store(0, std::memory_order_relaxed);
    }
    if (skipped < frames) {
        // Block by block: messages may be due at any boundary.
        SynthSetup::renderOnBlockGrid(
            synth, left + skipped, right + skipped, frames_ + skipped, frames - skipped,
            [this, font](qint64 boundary) {
                if (!scheduler_.hasDue(boundary))
                    return;
                // Another thread inside: the messages wait for a later block.
                if (!gate_.tryEnter()) {
                    gate_.countMiss();
                    return;
                }
                // Inside the gate the synthesizer is not replaced: the
                // messages go to the one that plays from now on.
                fluid_synth_t *current = synth_.load();
                scheduler_.applyDue(boundary, [this, current, font](const MidiMessage &message) {
                    if (!font)
                        return;
                    SynthSetup::applyShortMessage(current, message);
                    held_.note(message);
                });
                gate_.leave();
            },
            [] { return qint64(0); });
    }
    if (idle) {
        fade_.end();  // nothing sounds in the old one either
    } else {
        fade_.mix(left, right, frames, SynthSetup::processBlock);
        // Quiet: below what a 24-bit device could play, reverb tail included.
        float loudest = 0;
        for (int i = 0; i < frames; ++i)
            loudest = qMax(loudest, qMax(std::fabs(left[i]), std::fabs(right[i])));
        quietFrames_ = loudest < kQuietLevel ? quietFrames_ + frames : 0;
    }
    const qint64 end = frames_ + frames;
    frames_ = end;
    play_.mixInto(left, right, frames);
    gain_.apply(left, right, frames);
    float loudest = 0;
    for (int i = 0; i < frames; ++i)
        loudest = qMax(loudest, qMax(std::fabs(left[i]), std::fabs(right[i])));
    if (loudest >= kAudibleLevel)
        audibleUntil_.store(end, std::memory_order_relaxed);

    renderedFrames_.store(end);
    tap_.offer(left, right, frames);
    periods_.fetch_add(1);
    inProcess_.store(false);
}

void AudioEngine::renderLoop()
{
    const int period = SynthSetup::kPeriodFrames;
    const qint64 rate = rate_;
    std::vector<float> left(static_cast<std::size_t>(period)), right(static_cast<std::size_t>(period));
    qint64 startNs = SteadyTime::nowNs();
    qint64 k = 0;
    while (rendering_.load(std::memory_order_relaxed)) {
        // Periods on an absolute grid: waking late never shifts the ones after.
        // (k periods last k * period / rate seconds; split so nothing overflows)
        const qint64 dueNs = startNs + (k / rate) * period * 1'000'000'000 + (k % rate) * period * 1'000'000'000 / rate;
        std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::nanoseconds(dueNs)));
        std::fill(left.begin(), left.end(), 0.0f);
        std::fill(right.begin(), right.end(), 0.0f);
        {
            ThreadRoles::AudioScope audio;
            process(left.data(), right.data(), period, dueNs);
        }
        ++k;
        // After a long stall (a suspended machine) start a new grid instead
        // of rendering a burst.
        const qint64 now = SteadyTime::nowNs();
        if (now - dueNs > kRenderResyncNs) {
            startNs = now;
            k = 0;
        }
    }
}

void AudioEngine::switchSoundFont(const QString &path)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (state_ != State::Ready || switch_.worker.joinable()) {
        nextFont_ = absolute;  // the last one asked for wins
        return;
    }
    startSwitch(absolute);
}

void AudioEngine::startSwitch(const QString &path)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (fontLoaded_ && SynthSetup::sameFile(path, fontPath_))
        return;  // already playing
    emit notice(QStringLiteral("正在载入音色库“%1”。。。").arg(QFileInfo(path).completeBaseName()));
    switch_.path = path;
    switch_.state = channels_.replay();
    switch_.loaded = false;
    switch_.verdict = FontCheck::Verdict::Broken;
    // Made here: its owner is this thread; the worker only opens it.
    switch_.programs = std::make_unique<ProgramCache>(gate_);
    const quint64 serial = ++switchSerial_;
    switch_.worker = std::thread([this, serial] {
        loadSwitch();
        // waitForSwitch() may have finished this one and started another.
        QMetaObject::invokeMethod(
            this, [this, serial] { if (serial == switchSerial_) finishSwitch(); }, Qt::QueuedConnection);
    });
}

void AudioEngine::loadSwitch()
{
    DZQ_NEVER_AUDIO_THREAD();
    SoundLog::QuietScope quiet;
    FontSwitch &s = switch_;
    s.settings = SynthSetup::newSettings(rate_, SynthSetup::Samples::OnDemand, ProgramCache::kSynthChannels);
    s.synth = s.settings ? new_fluid_synth(s.settings) : nullptr;
    if (!s.synth)
        return;
    FontFile::useFor(s.synth, s.settings);
    {
        FontFile::ReadScope scope(&options_.beforeFontRead);
        s.verdict = FontCheck::load(s.synth, s.path);
    }
    s.loaded = s.verdict == FontCheck::Verdict::Usable;
    if (!s.loaded)
        return;
    s.programs->open(s.synth, s.path, options_.beforeFontRead);
    // Nobody plays this synthesizer yet: the channels get their programs
    // here, so their samples are read now rather than on the owner thread.
    FontFile::ReadScope scope(&options_.beforeFontRead);
    for (const MidiMessage &message : s.state)
        SynthSetup::applyShortMessage(s.synth, message);
}

void AudioEngine::finishSwitch()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (!switch_.worker.joinable())
        return;  // already finished by waitForSwitch()
    switch_.worker.join();
    FontSwitch &s = switch_;
    if (!s.loaded) {
        s.programs.reset();
        if (s.synth)
            delete_fluid_synth(std::exchange(s.synth, nullptr));
        if (s.settings)
            delete_fluid_settings(std::exchange(s.settings, nullptr));
        emit notice(FontCheck::refusalText(s.path, s.verdict) + QStringLiteral("仍使用原来的音色库。"));
    } else {
        // What the channels were sent while the font loaded, and the
        // programs they play kept in memory (their samples are read already).
        for (const MidiMessage &message : channels_.replay()) {
            s.programs->prepare(message);
            FontFile::ReadScope scope(&options_.beforeFontRead);
            SynthSetup::applyShortMessage(s.synth, message);
        }
        fluid_synth_t *old = nullptr;
        {
            SynthLock lock(gate_);
            // The notes sounding now sound on: struck anew on the new one
            // (the old one fades out), those the pedal holds held by it.
            if (fontLoaded_)
                strikeHeldNotes(s.synth);
            old = synth_.exchange(std::exchange(s.synth, nullptr));
            fontLoaded_ = true;
        }
        retired_.push_back({old, std::exchange(settings_, std::exchange(s.settings, nullptr)), periods_.load()});
        programs_ = std::move(s.programs);
        fontPath_ = s.path;
        // The new synthesizer runs from the next period on.
        liveSent_.fetch_add(1, std::memory_order_release);
        wake();
        retireSynths();
        emit notice(QStringLiteral("音色库已换为“%1”。。。").arg(QFileInfo(fontPath_).completeBaseName()));
        emit soundFontChanged();
    }
    if (!nextFont_.isEmpty())
        startSwitch(std::exchange(nextFont_, QString()));
}

void AudioEngine::strikeHeldNotes(fluid_synth_t *synth)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    // The pedal as the playing synthesizer has it (a pedal change may still
    // wait in the queue: it follows on the new one).
    for (int channel = 0; channel < 16; ++channel)
        fluid_synth_cc(synth, channel, 64, held_.pedal(channel) ? 127 : 0);
    held_.forEach([synth](int channel, int key, int velocity, bool keyDown) {
        fluid_synth_noteon(synth, channel, key, velocity);
        if (!keyDown)
            fluid_synth_noteoff(synth, channel, key);  // the pedal holds it
    });
}

void AudioEngine::retireSynths()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    // A period that took the old synthesizer has ended once the audio
    // thread is out of process() or has finished another period; after
    // that, only its fade may still render it.
    const bool outside = !inProcess_.load();
    const quint64 periods = periods_.load();
    for (auto it = retired_.begin(); it != retired_.end();) {
        if ((outside || periods > it->periodsAt) && !fade_.holds(it->synth)) {
            if (it->synth)
                delete_fluid_synth(it->synth);
            if (it->settings)
                delete_fluid_settings(it->settings);
            it = retired_.erase(it);
        } else {
            ++it;
        }
    }
    if (retired_.empty())
        retireTimer_.stop();
    else if (!retireTimer_.isActive())
        retireTimer_.start();
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
        if (switch_.worker.joinable())
            finishSwitch();  // joins the worker
        else if (!nextFont_.isEmpty())
            startSwitch(std::exchange(nextFont_, QString()));
    }
    return true;
}
