#pragma once

#include "platform/audio/realtime/ThreadRoles.h"

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <iterator>

// Real-time scheduling for the calling thread where the system allows it (a
// real-time limit, root); true when granted, else nothing changes.
bool raiseAudioThreadPriority();
// The real-time priority asked for the audio thread: below the sound
// server's own threads, above everything ordinary.
int audioThreadPriority();

class AudioProcessor;

// A sound card output that calls the processor (AudioProcessor::render) for
// every buffer on its own audio thread, and does nothing else there. It starts with the smallest buffer (or the one the
// machine needed last time); when the device reports an underrun the owner
// may answer with stepUp(): the next larger buffer; and try stepDown() again
// later.
class DeviceOutput {
public:
    // The buffer sizes tried, smallest first.
    static constexpr int kBufferSteps[] = {128, 256, 512};
    // Buffers of that size between the synthesizer and the device.
    static constexpr int kPeriods = 2;

    virtual ~DeviceOutput() = default;

    // Opens and starts the default device at the smallest buffer; false when
    // there is none or it does not open.
    virtual bool open() = 0;
    // "pulseaudio", "alsa", ...
    virtual QString apiName() const = 0;
    virtual int bufferFrames() const = 0;
    int latencyFrames() const { return bufferFrames() * kPeriods; }
    // The audio thread runs with real-time priority (asked for once; without
    // it the thread simply runs as it is).
    bool realTimePriority() const { return realTime_.load(std::memory_order_relaxed); }

    // Owner thread: the kernel id of an audio thread that the system refused
    // real-time priority, for the owner to ask the desktop (rtkit) instead;
    // handed out once, 0 when there is none.
    quint64 takeRealtimeRequest()
    {
        DZQ_NEVER_AUDIO_THREAD();
        return request_.exchange(0);
    }
    // Owner thread: the desktop's answer for that thread; an answer for a
    // thread that is no longer the audio thread is ignored. True when
    // realTimePriority() changed.
    bool setRealTimeGranted(quint64 threadId, bool granted);

    // Owner thread: the steady time of the last underrun reported since the
    // last call, 0 when there was none.
    qint64 takeUnderrun()
    {
        DZQ_NEVER_AUDIO_THREAD();
        return underrunNs_.exchange(0);
    }
    // Before open(): the buffer to start with (the step at or above it),
    // instead of the smallest.
    void setFirstBuffer(int frames) { firstBuffer_ = bufferStepAtLeast(frames); }
    // Owner thread: moves to the next larger buffer; false when the largest
    // is in use already (or the device refused).
    virtual bool stepUp() = 0;
    // Owner thread: moves to the next smaller buffer; false when the
    // smallest is in use already (or the device refused).
    virtual bool stepDown() = 0;

    // Owner thread: pauses the stream while nothing sounds (a sound server
    // then stops waking up for us) and resumes it; outputs that cost nothing
    // when idle ignore this.
    virtual void setActive(bool active) { Q_UNUSED(active); }
    virtual bool isActive() const { return true; }
    // Owner thread: the device went away (its server ended); the owner
    // opens another.
    virtual bool lost() const { return false; }
    // Whether stepUp()/stepDown() size the buffer (a JACK server sets its
    // own period), so that a size is worth remembering for the next run.
    virtual bool sizesBuffer() const { return true; }

    // The smallest step at or above `frames` (the largest step beyond it).
    static int bufferStepAtLeast(int frames)
    {
        for (int size : kBufferSteps) {
            if (size >= frames)
                return size;
        }
        return kBufferSteps[std::size(kBufferSteps) - 1];
    }
    // The step above `frames`, or 0 at the top.
    static int nextBufferStep(int frames)
    {
        for (int size : kBufferSteps) {
            if (size > frames)
                return size;
        }
        return 0;
    }
    // The step below `frames`, or 0 at the bottom.
    static int previousBufferStep(int frames)
    {
        int below = 0;
        for (int size : kBufferSteps) {
            if (size < frames)
                below = size;
        }
        return below;
    }

protected:
    int firstBuffer() const { return firstBuffer_; }
    // Any thread: the device reported an underrun at nowNs.
    void noteUnderrun(qint64 nowNs) { underrunNs_.store(qMax<qint64>(1, nowNs)); }

    // Audio thread, at the top of every callback: the first callback of a
    // thread asks for real-time priority.
    void raisePriorityOnce()
    {
        DZQ_ONLY_AUDIO_THREAD();
        if (!priorityAsked_) {
            priorityAsked_ = true;
            askPriority();
        }
    }
    // Owner thread, while no callback runs: the next callback may come from
    // a new thread (a reopened stream), which asks again.
    void forgetAudioThread();
    // Audio thread: real-time scheduling from the system itself; true when
    // granted (tests stand in for a system that refuses).
    virtual bool raiseThreadPriority() { return raiseAudioThreadPriority(); }

private:
    void askPriority();  // audio thread
    int firstBuffer_ = kBufferSteps[0];
    std::atomic<qint64> underrunNs_{0};

    bool priorityAsked_ = false;        // audio thread (owner while stopped)
    std::atomic<bool> realTime_{false};
    std::atomic<quint64> thread_{0};    // the audio thread left waiting for rtkit
    std::atomic<quint64> request_{0};   // the same, until the owner takes it
};
