# The performance group every session drives, with a window or without:
# keyboard, voices, chords, effects, rhythm, score player and score files.
dzq_room(controllers
  USES core midiport performance chords rhythm score
  SOURCES
  src/controllers/PerformanceControllers.h src/controllers/PerformanceControllers.cpp
)
