#pragma once

#include <pthread.h>

// Which thread may call what, as debug checks (built in with
// DZQ_THREAD_CHECKS, as the sanitizer build does; nothing otherwise).
//
// A method whose comment names "audio thread" starts with
// DZQ_ONLY_AUDIO_THREAD(): it runs inside the audio callback, where nothing
// may wait, allocate or read a file. A method that may do any of these
// starts with DZQ_NEVER_AUDIO_THREAD(). A method of "the owner thread" (the
// one that made the object) starts with DZQ_ONLY_OWNER_THREAD(owner).
namespace ThreadRoles {

// The calling thread acts as the audio thread while one of these lives: the
// device's callback, the render thread's period, a test's manual period.
class AudioScope {
public:
    AudioScope();
    ~AudioScope();
    AudioScope(const AudioScope &) = delete;
    AudioScope &operator=(const AudioScope &) = delete;
};

// The calling thread is inside an AudioScope.
bool onAudioThread();

// The thread that made an object; methods of that thread check it.
class Owner {
public:
    Owner() : thread_(pthread_self()) { }
    bool isCurrent() const { return pthread_equal(thread_, pthread_self()) != 0; }

private:
    pthread_t thread_;
};

// Reports the broken rule on stderr and aborts.
[[noreturn]] void violated(const char *rule, const char *file, int line);

}  // namespace ThreadRoles

#ifdef DZQ_THREAD_CHECKS
#define DZQ_THREAD_RULE(ok, rule) ((ok) ? void(0) : ThreadRoles::violated(rule, __FILE__, __LINE__))
#else
#define DZQ_THREAD_RULE(ok, rule) ((void)0)
#endif
#define DZQ_ONLY_AUDIO_THREAD() DZQ_THREAD_RULE(ThreadRoles::onAudioThread(), "only the audio thread")
#define DZQ_NEVER_AUDIO_THREAD() DZQ_THREAD_RULE(!ThreadRoles::onAudioThread(), "never the audio thread")
#define DZQ_ONLY_OWNER_THREAD(owner) DZQ_THREAD_RULE((owner).isCurrent(), "only the owner thread")
