list(APPEND DZQ_GUI_SOURCES
  src/score/ScoreBox.h src/score/ScoreBox.cpp
)
