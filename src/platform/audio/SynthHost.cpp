#include "platform/audio/SynthHost.h"

#include "core/PostToOwner.h"
#include "platform/audio/FontFile.h"
#include "platform/audio/SynthLock.h"
#include "platform/audio/SynthSetup.h"
#include "platform/audio/drivers/SoundLog.h"
#include "platform/audio/realtime/AudioProcessor.h"

#include <QFileInfo>

#include <fluidsynth.h>

#include <utility>

namespace {

// Messages kept while the sound font loads; past this only note-ons are
// dropped, so nothing can be left hanging.
constexpr std::size_t kMaxEarlyMessages = 65536;
// How often a replaced synthesizer is looked at until it can be deleted.
constexpr int kRetireCheckMs = 10;

bool isNoteOn(const MidiMessage &m)
{
    return MidiMessage{m.status, m.data1, quint8(m.data2 & 0x7F)}.isNoteOn();
}

}  // namespace

SynthHost::SynthHost(AudioProcessor &processor, std::function<void()> beforeFontRead, QObject *parent)
    : QObject(parent),
      processor_(processor),
      beforeFontRead_(std::move(beforeFontRead)),
      programs_(std::make_unique<ProgramCache>(processor.gate()))
{
    retireTimer_.setInterval(kRetireCheckMs);
    connect(&retireTimer_, &QTimer::timeout, this, &SynthHost::retireSynths);
}

SynthHost::~SynthHost()
{
    // The output has stopped: no period renders any of these.
    if (switch_.worker.joinable())
        switch_.worker.join();
    programs_->close();
    if (fluid_synth_t *synth = processor_.replaceSynth(nullptr))
        delete_fluid_synth(synth);
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

bool SynthHost::load(const QString &soundFont, bool fallBackToFound, QStringList &notices)
{
    DZQ_NEVER_AUDIO_THREAD();
    settings_ = SynthSetup::newSettings(processor_.sampleRate(), SynthSetup::Samples::OnDemand,
                                        ProgramCache::kSynthChannels);
    fluid_synth_t *synth = settings_ ? new_fluid_synth(settings_) : nullptr;
    if (!synth) {
        notices << QStringLiteral("内置合成器 (FluidSynth) 无法启动，程序将不发声。请重新安装软件包 libfluidsynth3。");
        return false;
    }
    processor_.replaceSynth(synth);
    FontFile::useFor(synth, settings_);
    const bool chosen = !soundFont.isEmpty();
    const FontCheck::Verdict verdict = chosen ? loadFont(soundFont) : FontCheck::Verdict::Missing;
    if (chosen && verdict != FontCheck::Verdict::Usable) {
        if (fallBackToFound) {
            notices << FontCheck::refusalText(soundFont, verdict) + QStringLiteral("改用默认的音色库。");
            loadFoundFont(notices);
        } else {  // tests and tools: silent, the package named
            notices << (verdict == FontCheck::Verdict::Broken ? SynthSetup::soundFontLoadFailedText(fontPath_)
                                                               : SynthSetup::missingSoundFontText());
        }
    } else if (!chosen) {
        loadFoundFont(notices);
    }
    return true;
}

void SynthHost::loadFoundFont(QStringList &notices)
{
    const QString found = SynthSetup::findSoundFont();
    if (found.isEmpty())
        notices << SynthSetup::missingSoundFontText();
    else if (loadFont(found) != FontCheck::Verdict::Usable)
        notices << SynthSetup::soundFontLoadFailedText(fontPath_);
}

FontCheck::Verdict SynthHost::loadFont(const QString &path)
{
    fontPath_ = QFileInfo(path).absoluteFilePath();
    fluid_synth_t *synth = processor_.synth();
    FontCheck::Verdict verdict;
    {
        FontFile::ReadScope scope(&beforeFontRead_);
        verdict = FontCheck::load(synth, fontPath_);
    }
    processor_.setFontLoaded(verdict == FontCheck::Verdict::Usable);
    if (processor_.fontLoaded())
        programs_->open(synth, fontPath_, beforeFontRead_);
    return verdict;
}

bool SynthHost::fontLoaded() const
{
    return processor_.fontLoaded();
}

void SynthHost::keep(const MidiMessage &message)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (early_.size() < kMaxEarlyMessages || !isNoteOn(message))
        early_.push_back(message);
}

void SynthHost::setReady()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    ready_ = true;
    const std::vector<MidiMessage> early = std::exchange(early_, {});
    for (const MidiMessage &m : early)
        channels_.note(m);
    if (!fontLoaded())
        return;
    for (const MidiMessage &m : early) {
        programs_->prepare(m);
        play(m);
    }
}

void SynthHost::send(const MidiMessage &message, qint64 soundNs)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    // Kept also without a font: a font chosen later gets it.
    channels_.note(message);
    if (!fontLoaded())
        return;
    // A program's samples are in memory before its change goes on.
    programs_->prepare(message);
    if (wake_)
        wake_();
    MessageScheduler &scheduler = processor_.scheduler();
    if (soundNs < 0) {
        if (scheduler.routeLive(message))
            play(message);
        return;
    }
    if (!scheduler.pushTimed(message, soundNs))
        play(message);  // queue full: early rather than lost
}

void SynthHost::play(const MidiMessage &message)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    {
        SynthLock lock(processor_.gate());
        SynthSetup::applyShortMessage(processor_.synth(), message);
        processor_.held().note(message);
    }
    // The audio thread runs the synthesizer from its next period on.
    processor_.noteLiveMessage();
}

void SynthHost::releaseUnusedPrograms()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    programs_->trim(processor_.nothingWaits());
}

void SynthHost::switchSoundFont(const QString &path)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!ready_ || switch_.worker.joinable()) {
        nextFont_ = absolute;  // the last one asked for wins
        return;
    }
    startSwitch(absolute);
}

void SynthHost::startAskedFont()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (!nextFont_.isEmpty() && !switch_.worker.joinable())
        startSwitch(std::exchange(nextFont_, QString()));
}

void SynthHost::advanceSwitch()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (switch_.worker.joinable())
        finishSwitch();  // joins the worker
    else
        startAskedFont();
}

void SynthHost::startSwitch(const QString &path)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (fontLoaded() && SynthSetup::sameFile(path, fontPath_))
        return;  // already playing
    emit notice(QStringLiteral("正在载入音色库“%1”。。。").arg(QFileInfo(path).completeBaseName()));
    switch_.path = path;
    switch_.state = channels_.replay();
    switch_.loaded = false;
    switch_.verdict = FontCheck::Verdict::Broken;
    // Made here: its owner is this thread; the worker only opens it.
    switch_.programs = std::make_unique<ProgramCache>(processor_.gate());
    const quint64 serial = ++switchSerial_;
    switch_.worker = std::thread([this, serial] {
        loadSwitch();
        loadedSerial_.store(serial, std::memory_order_release);
        postToOwner(this, "switchLoaded");
    });
}

void SynthHost::switchLoaded()
{
    // advanceSwitch() may have finished this one and started another,
    // which is then left to its own post.
    if (loadedSerial_.load(std::memory_order_acquire) == switchSerial_)
        finishSwitch();
}

void SynthHost::loadSwitch()
{
    DZQ_NEVER_AUDIO_THREAD();
    SoundLog::QuietScope quiet;
    FontSwitch &s = switch_;
    s.settings = SynthSetup::newSettings(processor_.sampleRate(), SynthSetup::Samples::OnDemand,
                                         ProgramCache::kSynthChannels);
    s.synth = s.settings ? new_fluid_synth(s.settings) : nullptr;
    if (!s.synth)
        return;
    FontFile::useFor(s.synth, s.settings);
    {
        FontFile::ReadScope scope(&beforeFontRead_);
        s.verdict = FontCheck::load(s.synth, s.path);
    }
    s.loaded = s.verdict == FontCheck::Verdict::Usable;
    if (!s.loaded)
        return;
    s.programs->open(s.synth, s.path, beforeFontRead_);
    // Nobody plays this synthesizer yet: the channels get their programs
    // here, so their samples are read now rather than on the owner thread.
    FontFile::ReadScope scope(&beforeFontRead_);
    for (const MidiMessage &message : s.state)
        SynthSetup::applyShortMessage(s.synth, message);
}

void SynthHost::finishSwitch()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    if (!switch_.worker.joinable())
        return;  // already finished by advanceSwitch()
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
            FontFile::ReadScope scope(&beforeFontRead_);
            SynthSetup::applyShortMessage(s.synth, message);
        }
        fluid_synth_t *old = nullptr;
        {
            SynthLock lock(processor_.gate());
            // The notes sounding now sound on: struck anew on the new one
            // (the old one fades out), those the pedal holds held by it.
            if (fontLoaded())
                strikeHeldNotes(s.synth);
            old = processor_.replaceSynth(std::exchange(s.synth, nullptr));
            processor_.setFontLoaded(true);
        }
        retired_.push_back({old, std::exchange(settings_, std::exchange(s.settings, nullptr)), processor_.periods()});
        programs_ = std::move(s.programs);
        fontPath_ = s.path;
        // The new synthesizer runs from the next period on.
        processor_.noteLiveMessage();
        if (wake_)
            wake_();
        retireSynths();
        emit notice(QStringLiteral("音色库已换为“%1”。。。").arg(QFileInfo(fontPath_).completeBaseName()));
        emit soundFontChanged();
    }
    if (!nextFont_.isEmpty())
        startSwitch(std::exchange(nextFont_, QString()));
}

void SynthHost::strikeHeldNotes(fluid_synth_t *synth)
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    HeldNotes &held = processor_.held();
    // The pedal as the playing synthesizer has it (a pedal change may still
    // wait in the queue: it follows on the new one).
    for (int channel = 0; channel < 16; ++channel)
        fluid_synth_cc(synth, channel, 64, held.pedal(channel) ? 127 : 0);
    held.forEach([synth](int channel, int key, int velocity, bool keyDown) {
        fluid_synth_noteon(synth, channel, key, velocity);
        if (!keyDown)
            fluid_synth_noteoff(synth, channel, key);  // the pedal holds it
    });
}

void SynthHost::retireSynths()
{
    DZQ_ONLY_OWNER_THREAD(owner_);
    for (auto it = retired_.begin(); it != retired_.end();) {
        if (processor_.mayDelete(it->synth, it->periodsAt)) {
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
