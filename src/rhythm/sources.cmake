# Rhythm: pattern and built-in rhythms, sequencer, rhythm files, panel.
dzq_room(rhythm
  USES core midiport resources platform/files platform/dialogs
  SOURCES
  src/rhythm/RhythmPattern.h src/rhythm/RhythmPattern.cpp
  src/rhythm/RhythmSequencer.h src/rhythm/RhythmSequencer.cpp
  src/rhythm/RhythmFiles.h src/rhythm/RhythmFiles.cpp
)
dzq_room_part(rhythm views
  USES widgets:views
  SOURCES
  src/rhythm/RhythmPanel.h src/rhythm/RhythmPanel.cpp
  src/rhythm/RhythmCellBox.h src/rhythm/RhythmCellBox.cpp
)
