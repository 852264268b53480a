#pragma once

#include <QtGlobal>

// Maps monotonic time (steady clock, ns) to positions in the output stream.
//
// The audio thread reports, at the start of each period, the moment it runs
// and the number of frames rendered before it. A real device calls back with
// jitter and its crystal drifts slowly against the steady clock, so the
// reports are smoothed with a second-order delay-locked loop that follows
// the period time; exact reports (the render thread without a device) pass
// through unchanged.
class SampleClock {
public:
    // periodFrames: the usual frames per report, for the loop's constants.
    SampleClock(int sampleRate, int periodFrames, double bandwidthHz = 1.0);

    void reset() { valid_ = false; }
    bool isValid() const { return valid_; }

    // A period starting at stream frame `frame` runs at `nowNs`.
    void update(qint64 nowNs, qint64 frame);

    // The (fractional) stream frame that belongs to the steady time `ns`.
    double frameAt(qint64 ns) const;

    // Current estimate of the frame length in ns (nominal 1e9 / rate).
    double nsPerFrame() const { return nsPerFrame_; }

    // Reports further than this from the estimate restart the loop (a
    // stalled callback, a suspended device).
    static constexpr qint64 kResyncNs = 50'000'000;

private:
    const double nominalNsPerFrame_;
    double b_ = 0;            // loop gains
    double c_ = 0;
    bool valid_ = false;
    qint64 originNs_ = 0;     // keeps the doubles small
    double anchorNs_ = 0;     // estimated time of anchorFrame_, relative to originNs_
    qint64 anchorFrame_ = 0;
    double nsPerFrame_ = 0;
};
