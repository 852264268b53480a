#pragma once

#include "platform/audio/realtime/ThreadRoles.h"

#include <utility>

// Runs `call` as the audio callback would: the methods of the audio thread
// insist on it in the checked builds.
template <typename Call>
decltype(auto) asAudioThread(Call &&call)
{
    ThreadRoles::AudioScope audio;
    return std::forward<Call>(call)();
}
