dzq_room(score
  USES core midiport performance chords platform/files platform/dialogs
  SOURCES
  src/score/ScoreLanguage.h
  src/score/ScoreReader.h src/score/ScoreReader.cpp
  src/score/ScorePartners.h
  src/score/ScorePlayer.h src/score/ScorePlayer.cpp
  src/score/ScoreFiles.h src/score/ScoreFiles.cpp
)
dzq_room_part(score views
  USES core
  SOURCES
  src/score/ScoreBox.h src/score/ScoreBox.cpp
  src/score/ScoreTextEdit.h src/score/ScoreTextEdit.cpp
)
