#include "platform/DeviceOutput.h"

#ifdef Q_OS_UNIX
#include <pthread.h>
#include <sched.h>
#endif

bool raiseAudioThreadPriority()
{
#ifdef Q_OS_UNIX
    // Below the sound server's own threads, above everything ordinary.
    sched_param param{};
    param.sched_priority = qMin(4, sched_get_priority_max(SCHED_FIFO));
    return pthread_setschedparam(pthread_self(), SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0;
#else
    return false;
#endif
}
