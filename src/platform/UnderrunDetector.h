#pragma once

#include <QtGlobal>

// Tells from the times of the audio callbacks whether the output ran dry.
//
// A device that runs out of frames plays silence and then goes on where it
// stopped, so the frames handed over fall behind the clock for good by the
// length of every gap. The detector keeps the smallest lag (steady time
// since the start minus the time of the frames handed over) of each window
// of callbacks and reports an underrun when a window's smallest lag stands
// above the best one seen by more than a threshold. Scheduling jitter only
// ever makes single callbacks late, which the window's minimum ignores; the
// slow drift of a device's crystal is followed at up to kMaxDriftPpm.
//
// Works for any output, also one that reports nothing itself (the PulseAudio
// back end of RtAudio); an output that does report underruns says so with
// reportUnderrun().
class UnderrunDetector {
public:
    static constexpr qint64 kWindowNs = 500'000'000;
    static constexpr qint64 kThresholdNs = 1'000'000;
    static constexpr double kMaxDriftPpm = 200.0;

    explicit UnderrunDetector(int sampleRate) : rate_(sampleRate) {}

    // A new stream: nothing is known yet.
    void restart();
    // A callback at nowNs about to hand over frames starting at stream frame
    // `frame` (counted from the stream's start). True when an underrun is
    // found with this callback.
    bool callback(qint64 nowNs, qint64 frame);
    // The lag (ms) that was lost to gaps since restart() as far as seen.
    double lostMs() const { return double(lostNs_) / 1e6; }

private:
    const int rate_;
    bool started_ = false;
    qint64 originNs_ = 0;
    qint64 windowStartNs_ = 0;
    qint64 windowMin_ = 0;
    bool haveBaseline_ = false;
    qint64 baseline_ = 0;
    qint64 lostNs_ = 0;
};
