# What runs in the audio callback: the message scheduler, the sample clock,
# the lock-free ring.
list(APPEND DZQ_CORE_SOURCES
  src/platform/audio/realtime/SpscRing.h
  src/platform/audio/realtime/SampleClock.h src/platform/audio/realtime/SampleClock.cpp
  src/platform/audio/realtime/MessageScheduler.h src/platform/audio/realtime/MessageScheduler.cpp
)
