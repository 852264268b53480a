#include "platform/audio/realtime/SampleClock.h"

#include "platform/audio/realtime/ThreadRoles.h"

#include <cmath>

SampleClock::SampleClock(int sampleRate, int periodFrames, double bandwidthHz)
    : nominalNsPerFrame_(1e9 / sampleRate), nsPerFrame_(1e9 / sampleRate)
{
    // Loop constants after F. Adriaensen, "Using a DLL to filter time".
    const double periodSeconds = double(periodFrames) / sampleRate;
    const double omega = 2.0 * M_PI * bandwidthHz * periodSeconds;
    b_ = std::sqrt(2.0) * omega;
    c_ = omega * omega;
}

void SampleClock::update(qint64 nowNs, qint64 frame)
{
    DZQ_ONLY_AUDIO_THREAD();
    if (valid_) {
        const double predicted = anchorNs_ + double(frame - anchorFrame_) * nsPerFrame_;
        const double error = double(nowNs - originNs_) - predicted;
        const qint64 frames = frame - anchorFrame_;
        if (std::fabs(error) <= double(kResyncNs) && frames > 0) {
            anchorNs_ = predicted + b_ * error;
            anchorFrame_ = frame;
            nsPerFrame_ += c_ * error / double(frames);
            // A device is never off by more than a few percent; anything else
            // is a measuring accident, not the rate.
            const double lo = nominalNsPerFrame_ * 0.95, hi = nominalNsPerFrame_ * 1.05;
            if (nsPerFrame_ < lo || nsPerFrame_ > hi)
                nsPerFrame_ = nominalNsPerFrame_;
            // Keep the stored times near zero so doubles stay exact.
            if (anchorNs_ > 1e12) {
                const qint64 shift = qint64(anchorNs_);
                originNs_ += shift;
                anchorNs_ -= double(shift);
            }
            return;
        }
        if (frames == 0 && std::fabs(error) <= double(kResyncNs))
            return;  // an empty period tells nothing new
    }
    valid_ = true;
    originNs_ = nowNs;
    anchorNs_ = 0;
    anchorFrame_ = frame;
    nsPerFrame_ = nominalNsPerFrame_;
}

double SampleClock::frameAt(qint64 ns) const
{
    if (!valid_)
        return 0;
    return double(anchorFrame_) + (double(ns - originNs_) - anchorNs_) / nsPerFrame_;
}
