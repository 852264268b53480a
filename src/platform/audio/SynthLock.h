#pragma once

#include "platform/audio/realtime/SynthGate.h"

#include <thread>

// Holds the synthesizer's gate for a thread that is not the audio thread,
// for the lifetime of the object.
class SynthLock {
public:
    explicit SynthLock(SynthGate &gate) : gate_(gate)
    {
        gate_.enter([] { std::this_thread::yield(); });
    }
    ~SynthLock() { gate_.leave(); }
    SynthLock(const SynthLock &) = delete;
    SynthLock &operator=(const SynthLock &) = delete;

private:
    SynthGate &gate_;
};
