list(APPEND DZQ_CORE_SOURCES
  src/score/ScoreLanguage.h
  src/score/ScoreReader.h src/score/ScoreReader.cpp
  src/score/ScorePartners.h
  src/score/ScorePlayer.h src/score/ScorePlayer.cpp
  src/score/ScoreFiles.h src/score/ScoreFiles.cpp
)
list(APPEND DZQ_GUI_SOURCES
  src/score/ScoreBox.h src/score/ScoreBox.cpp
  src/score/ScoreTextEdit.h src/score/ScoreTextEdit.cpp
)
