#include "OnsetBench.h"

#include "headless/ConsoleNotifier.h"
#include "headless/KeptDialogs.h"
#include "core/PlaybackTimer.h"
#include "platform/audio/SynthSetup.h"
#include "platform/media/MediaDevice.h"
#include "platform/dialogs/UserDialogs.h"

#include <QTextStream>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>


#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>

namespace {

double percentile(QVector<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const int i = qBound(0, int(std::ceil(p * values.size())) - 1, int(values.size()) - 1);
    return values[i];
}

int matchPosition(const QVector<float> &x, int templateStart, int length, int guess, int range)
{
    const float *t = x.constData() + templateStart;
    double tt = 0;
    for (int i = 0; i < length; ++i)
        tt += double(t[i]) * t[i];
    int best = guess;
    double bestScore = -2;
    for (int p = qMax(0, guess - range); p <= guess + range && p + length <= x.size(); ++p) {
        double xt = 0, xx = 0;
        for (int i = 0; i < length; ++i) {
            xt += double(x[p + i]) * t[i];
            xx += double(x[p + i]) * x[p + i];
        }
        const double score = xx > 0 && tt > 0 ? xt / std::sqrt(xx * tt) : -1;
        if (score > bestScore) {
            bestScore = score;
            best = p;
        }
    }
    return best;
}

}  // namespace

OnsetBench::OnsetBench(const QString &soundFont)
    : errors_(stderr),
      notifier_(std::make_unique<ConsoleNotifier>(errors_)),
      dialogs_(std::make_unique<KeptDialogs>(notifier_.get())),
      media_(std::make_unique<SilentMediaDevice>())
{
    AudioEngine::Options options;
    options.soundFont = soundFont;
    options.output = AudioEngine::Output::RenderThread;
    options.tapSeconds = 8;
    engine_ = std::make_unique<AudioEngine>(options);
    backend_ = std::make_unique<SystemMidiBackend>(*engine_);
    port_ = std::make_unique<MidiPort>(*backend_, *dialogs_, clock_);
    engine_->start();
    if (!engine_->waitUntilReady() || !engine_->hasSoundFont())
        std::fprintf(stderr, "the synthesizer has no sound font: %s\n", qPrintable(engine_->logMessages().join('\n')));
    engine_->setWaveVolume(0x60006000);
    port_->OpenMidiDevice(0);
}

OnsetBench::~OnsetBench() = default;

void OnsetBench::idle(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

QVector<float> OnsetBench::record(double seconds, const std::function<void()> &start,
                                  const std::function<void()> &stop)
{
    const int rate = engine_->sampleRate();
    const qint64 capacity = qint64((seconds + 2.0) * rate);
    QVector<float> audio;
    audio.reserve(capacity);

    // The writer thread of a recording: empties the tap as it fills.
    engine_->discardTap();
    std::atomic<bool> running{true};
    std::thread reader([&] {
        float chunk[2 * 1024];
        while (running.load() || engine_->tapFramesAvailable() > 0) {
            const int n = engine_->readTap(chunk, 1024);
            if (n == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            for (int i = 0; i < n && audio.size() < capacity; ++i)
                audio.append(chunk[2 * i]);
        }
    });
    const quint64 lostBefore = engine_->tapLostFrames();
    engine_->setTapEnabled(true);

    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] {
        Clock::TickScope scope(clock_);
        originNs_ = clock_.tickTimeNs();
        start();
    });
    // A precise timer: the static single shot is coarse (5 %) beyond 2 s.
    QTimer end;
    end.setSingleShot(true);
    end.setTimerType(Qt::PreciseTimer);
    QObject::connect(&end, &QTimer::timeout, &loop, [&] {
        stop();
        loop.quit();
    });
    end.start(int(seconds * 1000));
    loop.exec();
    // Let the last sounds and the look-ahead through.
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();

    engine_->setTapEnabled(false);
    running = false;
    reader.join();
    lostFrames_ = engine_->tapLostFrames() - lostBefore;
    secondsRecorded_ = double(audio.size()) / rate;
    return audio;
}

QVector<double> OnsetBench::detectOnsets(const QVector<float> &audio, int sampleRate, double minGapMs,
                                         float relThreshold)
{
    float peak = 0;
    for (float v : audio)
        peak = qMax(peak, std::fabs(v));
    QVector<double> found;
    if (peak <= 0)
        return found;
    const float threshold = relThreshold * peak;
    const int gap = int(minGapMs * sampleRate / 1000.0);
    int lastLoud = -gap - 1;
    QVector<int> rough;
    for (int i = 0; i < audio.size(); ++i) {
        if (std::fabs(audio[i]) >= threshold) {
            if (i - lastLoud > gap)
                rough << i;
            lastLoud = i;
        }
    }
    if (rough.isEmpty())
        return found;
    // The threshold crossing of a sound shifts by a cycle when the tail of
    // the previous one adds to it; the waveform as a whole does not.
    const int lead = 64;
    const int length = qMin(gap, sampleRate / 50);
    const int templateStart = qMax(0, rough[0] - lead);
    found << double(rough[0]);
    for (int i = 1; i < rough.size(); ++i)
        found << double(matchPosition(audio, templateStart, length, rough[i] - lead, 2 * lead) + (rough[0] - templateStart));
    return found;
}

OnsetBench::Report OnsetBench::analyse(const QVector<double> &onsets, double gridMs) const
{
    Report r;
    r.secondsRecorded = secondsRecorded_;
    r.lostFrames = lostFrames_;
    if (onsets.isEmpty())
        return r;
    const double rate = engine_->sampleRate();
    const double grid = gridMs * rate / 1000.0;
    const double first = onsets.first();
    QVector<double> residual;
    QVector<bool> seen;
    int lastIndex = 0;
    for (double o : onsets) {
        const int k = int(std::lround((o - first) / grid));
        const double d = o - (first + k * grid);
        if (std::fabs(d) > grid / 4) {
            ++r.extra;
            continue;
        }
        if (k >= seen.size())
            seen.resize(k + 1);
        if (seen[k]) {
            ++r.extra;
            continue;
        }
        seen[k] = true;
        residual << d;
        lastIndex = k;
    }
    r.found = residual.size();
    r.expected = lastIndex + 1;
    r.missing = r.expected - r.found;
    const double offset = percentile(residual, 0.5);
    QVector<double> deviation;
    for (double d : residual)
        deviation << std::fabs(d - offset) * 1000.0 / rate;
    r.p50Ms = percentile(deviation, 0.5);
    r.p99Ms = percentile(deviation, 0.99);
    r.maxMs = percentile(deviation, 1.0);
    r.driftMs = (onsets.last() - first - std::lround((onsets.last() - first) / grid) * grid) * 1000.0 / rate;
    return r;
}

void OnsetBench::print(const QString &title, const Report &r)
{
    std::printf("%s\n", qPrintable(title));
    std::printf("  recorded %.1f s, onsets %d of %d (missing %d, extra %d), tap frames lost %llu\n",
                r.secondsRecorded, r.found, r.expected, r.missing, r.extra,
                static_cast<unsigned long long>(r.lostFrames));
    std::printf("  jitter against the ideal grid: p50 %.3f ms, p99 %.3f ms, max %.3f ms\n", r.p50Ms, r.p99Ms,
                r.maxMs);
    std::printf("  total drift over the run: %.3f ms\n", r.driftMs);
    std::fflush(stdout);
}

bool OnsetBench::printVerdict(const Report &r)
{
    // The worst note counts: one note 18 ms late is heard, whatever the p99 says.
    const bool met = r.p99Ms <= 1.0 && r.maxMs <= 2.0 && std::abs(r.driftMs) <= 2.0 && r.missing == 0
                     && r.extra == 0 && r.lostFrames == 0;
    std::printf("  targets: p99 jitter <= 1 ms, max jitter <= 2 ms, total drift <= 2 ms, no note missing: %s\n",
                met ? "met" : "NOT met");
    std::printf("  clock: the render thread's (no sound card); a device adds its own buffer, not measured here\n");
    return met;
}

void OnsetBench::printSetup()
{
    std::printf("sound font %s, sample rate %d, look-ahead %.1f ms (tick lateness allowance %.1f ms + one period)\n",
                qPrintable(engine_->soundFontPath()), engine_->sampleRate(), double(engine_->lookAheadNs()) / 1e6,
                double(SynthSetup::kTickLatenessNs) / 1e6);
    std::printf("onsets are timed on the render thread's clock (no device): what the synthesizer renders when, "
                "not what a sound card plays\n");
}

void OnsetBench::watchLateness(PlaybackTimer &timer)
{
    const std::function<void()> tick = timer.onTick;
    timer.onTick = [this, tick] {
        lateness_ << double(clock_.nowNs() - clock_.tickTimeNs()) / 1e6;
        if (tick)
            tick();
    };
}

void OnsetBench::printLateness(const QString &timerName) const
{
    if (lateness_.isEmpty())
        return;
    QVector<double> sorted = lateness_;
    std::sort(sorted.begin(), sorted.end());
    std::printf("  %s ticks ran late by: median %.3f ms, p99 %.3f ms, max %.3f ms (allowed: %.1f ms; later ticks "
                "sound late)\n",
                qPrintable(timerName), sorted[sorted.size() / 2],
                sorted[qMin(int(sorted.size()) - 1, int(sorted.size() * 0.99))], sorted.last(),
                double(SynthSetup::kTickLatenessNs) / 1e6);
}
