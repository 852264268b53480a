#include "platform/audio/realtime/ThreadRoles.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Depth of the audio scopes open on this thread: a role belongs to a thread,
// so it is kept per thread.
thread_local int tlsAudioDepth = 0;

}  // namespace

namespace ThreadRoles {

AudioScope::AudioScope() { ++tlsAudioDepth; }

AudioScope::~AudioScope() { --tlsAudioDepth; }

bool onAudioThread() { return tlsAudioDepth > 0; }

void violated(const char *rule, const char *file, int line)
{
    std::fprintf(stderr, "thread rule broken: %s (%s:%d)\n", rule, file, line);
    std::abort();
}

}  // namespace ThreadRoles
