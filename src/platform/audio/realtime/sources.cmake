# What runs in the audio callback: the message scheduler, the sample clock,
# the lock-free ring, the output's mix (playback input, volume, tap), the
# gate into the synthesizer, the hand-over to a new synthesizer (its fade,
# the notes held) and the checks of the threads' roles.
dzq_room(platform/audio/realtime
  USES core
  PACKAGES PkgConfig::FLUIDSYNTH
  SOURCES
  src/platform/audio/realtime/ThreadRoles.h src/platform/audio/realtime/ThreadRoles.cpp
  src/platform/audio/realtime/SynthGate.h
  src/platform/audio/realtime/SynthFade.h src/platform/audio/realtime/HeldNotes.h
  src/platform/audio/realtime/SpscRing.h src/platform/audio/realtime/StereoFrame.h
  src/platform/audio/realtime/SampleClock.h src/platform/audio/realtime/SampleClock.cpp
  src/platform/audio/realtime/MessageScheduler.h src/platform/audio/realtime/MessageScheduler.cpp
  src/platform/audio/realtime/PlaybackInput.h src/platform/audio/realtime/PlaybackInput.cpp
  src/platform/audio/realtime/OutputGain.h
  src/platform/audio/realtime/OutputTap.h src/platform/audio/realtime/OutputTap.cpp
  src/platform/audio/realtime/SynthRender.h src/platform/audio/realtime/SynthRender.cpp
  src/platform/audio/realtime/AudioProcessor.h src/platform/audio/realtime/AudioProcessor.cpp
)
