# The performance group every session drives, with a window or without:
# keyboard, voices, chords, effects, rhythm, score player and score files.
list(APPEND DZQ_CORE_SOURCES
  src/controllers/PerformanceControllers.h src/controllers/PerformanceControllers.cpp
)
