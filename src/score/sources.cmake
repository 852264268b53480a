list(APPEND DZQ_CORE_SOURCES
  src/score/NotationReader.h src/score/NotationReader.cpp
)
list(APPEND DZQ_GUI_SOURCES
  src/score/ScoreBox.h src/score/ScoreBox.cpp
)
