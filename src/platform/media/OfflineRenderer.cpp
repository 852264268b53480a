#include "platform/media/OfflineRenderer.h"

#include "platform/audio/FontCheck.h"
#include "platform/audio/drivers/SoundLog.h"

#include <QThread>
#include <QFile>
#include <QFileInfo>

#include <fluidsynth.h>

#include <cstring>
#include <limits>

OfflineRenderer::OfflineRenderer() : OfflineRenderer(Options()) {}

OfflineRenderer::OfflineRenderer(const Options &options) : options_(options)
{
    SoundLog::install();
    gainLeft_ = SynthSetup::sideGain(options.waveVolume & 0xFFFF);
    gainRight_ = SynthSetup::sideGain(options.waveVolume >> 16);
    SoundLog::QuietScope quiet;
    // Only the programs a score chooses are read from the font: an export
    // needs as little memory as the live engine.
    settings_ = SynthSetup::newSettings(options.sampleRate, SynthSetup::Samples::OnDemand);
    if (settings_)  // nothing waits for a file: use every core
        fluid_settings_setint(settings_, "synth.cpu-cores", qMax(1, QThread::idealThreadCount()));
    synth_ = settings_ ? new_fluid_synth(settings_) : nullptr;
    if (!synth_) {
        error_ = QStringLiteral("内置合成器 (FluidSynth) 无法启动。请重新安装软件包 libfluidsynth3。");
        return;
    }
    const QString path = options.soundFont.isEmpty() ? SynthSetup::findSoundFont() : options.soundFont;
    const FontCheck::Verdict verdict =
        path.isEmpty() ? FontCheck::Verdict::Missing : FontCheck::load(synth_, QFileInfo(path).absoluteFilePath());
    if (verdict == FontCheck::Verdict::Missing || verdict == FontCheck::Verdict::NotAFile) {
        error_ = SynthSetup::missingSoundFontText();
        return;
    }
    fontPath_ = QFileInfo(path).absoluteFilePath();
    if (verdict != FontCheck::Verdict::Usable) {
        // A font the user named is theirs to mend; the system's font, the package's.
        error_ = options.soundFont.isEmpty() ? SynthSetup::soundFontLoadFailedText(fontPath_)
                                             : FontCheck::refusalText(options.soundFont, verdict);
        return;
    }
    valid_ = true;
}

OfflineRenderer::~OfflineRenderer()
{
    if (synth_)
        delete_fluid_synth(synth_);
    if (settings_)
        delete_fluid_settings(settings_);
}

void OfflineRenderer::schedule(qint64 frame, const MidiMessage &message)
{
    scheduleAt(double(frame), message);
}

void OfflineRenderer::scheduleNs(qint64 ns, const MidiMessage &message)
{
    scheduleAt(double(ns) * options_.sampleRate / 1e9, message);
}

void OfflineRenderer::scheduleAt(double frame, const MidiMessage &message)
{
    events_.emplace(SynthSetup::nearestBlock(frame), message);
}

void OfflineRenderer::render(float *left, float *right, int frames)
{
    if (frames <= 0)
        return;
    std::memset(left, 0, sizeof(float) * std::size_t(frames));
    std::memset(right, 0, sizeof(float) * std::size_t(frames));
    if (!synth_)
        return;
    // Up to the next message's block in one go (fewer calls, same blocks).
    SynthSetup::renderOnBlockGrid(
        synth_, left, right, position_, frames,
        [this](qint64 boundary) {
            while (!events_.empty() && events_.begin()->first <= boundary) {
                if (valid_)
                    SynthSetup::applyShortMessage(synth_, events_.begin()->second);
                events_.erase(events_.begin());
            }
        },
        [this] { return events_.empty() ? std::numeric_limits<qint64>::max() : events_.begin()->first; });
    position_ += frames;
    for (int i = 0; i < frames; ++i) {
        left[i] *= gainLeft_;
        right[i] *= gainRight_;
    }
}

void OfflineRenderer::renderInto(qint64 frames, QVector<float> *left, QVector<float> *right)
{
    frames = qMax<qint64>(0, frames);
    left->resize(frames);
    right->resize(frames);
    constexpr int kChunk = 4096;
    for (qint64 done = 0; done < frames; done += kChunk) {
        const int n = int(qMin<qint64>(kChunk, frames - done));
        render(left->data() + done, right->data() + done, n);
    }
}

bool OfflineRenderer::renderToWav(const QString &path, qint64 frames, WavWriter::Format format, QString *error,
                                  const Progress &progress)
{
    if (!valid_) {
        if (error)
            *error = error_;
        return false;
    }
    WavWriter writer;
    if (!writer.open(path, options_.sampleRate, 2, format)) {
        if (error)
            *error = writer.errorString();
        return false;
    }
    constexpr int kChunk = 4096;
    QVector<float> left(kChunk), right(kChunk);
    for (qint64 done = 0; done < frames; done += kChunk) {
        const int n = int(qMin<qint64>(kChunk, frames - done));
        render(left.data(), right.data(), n);
        if (!writer.writeStereo(left.data(), right.data(), n)) {
            if (error)
                *error = writer.errorString();
            return false;
        }
        if (progress && !progress(done + n, frames)) {
            if (error)
                *error = QStringLiteral("已取消");
            return false;  // the writer abandons its file
        }
    }
    if (!writer.close()) {
        if (error)
            *error = writer.errorString();
        return false;
    }
    return true;
}
