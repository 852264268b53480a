#pragma once

#include <QtGlobal>

#include <chrono>

// The one monotonic time of the program, in nanoseconds: the clock of the
// timers, the stamps of timed messages and the audio callbacks' own view of
// the present all read it, so their times compare directly.
namespace SteadyTime {

inline qint64 nowNs()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace SteadyTime
