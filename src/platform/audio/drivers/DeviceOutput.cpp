#include "platform/audio/drivers/DeviceOutput.h"

#ifdef Q_OS_UNIX
#include <pthread.h>
#include <sched.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/syscall.h>
#include <unistd.h>
#endif

int audioThreadPriority()
{
#ifdef Q_OS_UNIX
    return qMin(4, sched_get_priority_max(SCHED_FIFO));
#else
    return 0;
#endif
}

bool raiseAudioThreadPriority()
{
#ifdef Q_OS_UNIX
    sched_param param{};
    param.sched_priority = audioThreadPriority();
    return pthread_setschedparam(pthread_self(), SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0;
#else
    return false;
#endif
}

void DeviceOutput::askPriority()
{
    if (raiseThreadPriority()) {
        realTime_.store(true, std::memory_order_relaxed);
        return;
    }
#ifdef Q_OS_LINUX
    // An ordinary desktop user has no real-time limit; the desktop's rtkit
    // may still grant it. Asking takes a bus round trip, which is no work for
    // the audio thread: the owner asks on its behalf.
    const auto self = quint64(syscall(SYS_gettid));
    thread_.store(self);
    request_.store(self);
#endif
}

bool DeviceOutput::setRealTimeGranted(quint64 threadId, bool granted)
{
    if (threadId == 0 || thread_.load() != threadId)
        return false;
    return realTime_.exchange(granted, std::memory_order_relaxed) != granted;
}

void DeviceOutput::forgetAudioThread()
{
    priorityAsked_ = false;
    realTime_.store(false, std::memory_order_relaxed);
    thread_.store(0);
    request_.store(0);
}
