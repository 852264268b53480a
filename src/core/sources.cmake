dzq_room(core
  SOURCES
  src/core/SharedState.h
  src/core/Session.h
  src/core/SteadyTime.h
  src/core/PostToOwner.h
  src/core/Clock.h src/core/Clock.cpp
  src/core/PlaybackTimer.h src/core/PlaybackTimer.cpp
  src/core/WindowDisplay.h src/core/WindowDisplay.cpp
  src/core/MidiMessage.h
  src/core/MidiBackend.h
)
