#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

// A sound card output that calls the synthesizer for every buffer on its
// own audio thread. It starts with the smallest buffer; when the device
// reports an underrun the owner answers with stepUp(): the next larger
// buffer, kept from then on.
class DeviceOutput {
public:
    // Fills `frames` frames of both channels (zeroed beforehand); nowNs is
    // the steady time of the call.
    using Render = std::function<void(float *left, float *right, int frames, qint64 nowNs)>;

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
    virtual bool realTimePriority() const = 0;

    // Owner thread: an underrun was reported since the last call.
    virtual bool takeUnderrun() = 0;
    // Owner thread: moves to the next larger buffer; false when the largest
    // is in use already (or the device refused).
    virtual bool stepUp() = 0;

    // Owner thread: pauses the stream while nothing sounds (a sound server
    // then stops waking up for us) and resumes it; outputs that cost nothing
    // when idle ignore this.
    virtual void setActive(bool active) { Q_UNUSED(active); }
    virtual bool isActive() const { return true; }

    // The step above `frames`, or 0 at the top.
    static int nextBufferStep(int frames)
    {
        for (int size : kBufferSteps) {
            if (size > frames)
                return size;
        }
        return 0;
    }
};

// Real-time scheduling for the calling thread where the system allows it (a
// real-time limit, root); true when granted, else nothing changes.
bool raiseAudioThreadPriority();
