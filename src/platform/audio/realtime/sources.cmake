# What runs in the audio callback: the message scheduler, the sample clock,
# the lock-free ring, and the output's mix: playback input, volume, tap.
list(APPEND DZQ_CORE_SOURCES
  src/platform/audio/realtime/SpscRing.h src/platform/audio/realtime/StereoFrame.h
  src/platform/audio/realtime/SampleClock.h src/platform/audio/realtime/SampleClock.cpp
  src/platform/audio/realtime/MessageScheduler.h src/platform/audio/realtime/MessageScheduler.cpp
  src/platform/audio/realtime/PlaybackInput.h src/platform/audio/realtime/PlaybackInput.cpp
  src/platform/audio/realtime/OutputGain.h
  src/platform/audio/realtime/OutputTap.h src/platform/audio/realtime/OutputTap.cpp
)
