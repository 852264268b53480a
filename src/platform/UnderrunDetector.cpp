#include "platform/UnderrunDetector.h"

#include <limits>

void UnderrunDetector::restart()
{
    started_ = false;
    haveBaseline_ = false;
    lostNs_ = 0;
}

bool UnderrunDetector::callback(qint64 nowNs, qint64 frame)
{
    if (!started_) {
        started_ = true;
        originNs_ = nowNs - frame * 1'000'000'000 / rate_;
        windowStartNs_ = nowNs;
        windowMin_ = std::numeric_limits<qint64>::max();
    }
    // Frames as time: whole seconds apart so that nothing overflows.
    const qint64 framesNs = (frame / rate_) * 1'000'000'000 + (frame % rate_) * 1'000'000'000 / rate_;
    const qint64 lag = (nowNs - originNs_) - framesNs;
    windowMin_ = qMin(windowMin_, lag);
    if (nowNs - windowStartNs_ < kWindowNs)
        return false;

    const qint64 span = nowNs - windowStartNs_;
    const qint64 windowMin = windowMin_;
    windowStartNs_ = nowNs;
    windowMin_ = std::numeric_limits<qint64>::max();
    if (!haveBaseline_) {
        // The first window also holds the stream's start-up; it only sets the scale.
        haveBaseline_ = true;
        baseline_ = windowMin;
        return false;
    }
    if (windowMin < baseline_) {
        baseline_ = windowMin;
        return false;
    }
    const qint64 drift = qint64(double(span) * kMaxDriftPpm / 1e6);
    if (windowMin - baseline_ > kThresholdNs + drift) {
        lostNs_ += windowMin - baseline_;
        baseline_ = windowMin;  // the gap is behind us: measure the next one from here
        return true;
    }
    // A crystal a little slower than the steady clock.
    baseline_ = qMin(windowMin, baseline_ + drift);
    return false;
}
