# Sources of this room are listed here.
list(APPEND DZQ_CORE_SOURCES
  src/score/NotationReader.h src/score/NotationReader.cpp
)
