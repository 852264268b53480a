# Rhythm: pattern and built-in rhythms, sequencer, rhythm files, panel.
list(APPEND DZQ_CORE_SOURCES
  src/rhythm/RhythmPattern.h src/rhythm/RhythmPattern.cpp
  src/rhythm/RhythmSequencer.h src/rhythm/RhythmSequencer.cpp
  src/rhythm/RhythmFiles.h src/rhythm/RhythmFiles.cpp
)
list(APPEND DZQ_GUI_SOURCES
  src/rhythm/RhythmPanel.h src/rhythm/RhythmPanel.cpp
  src/rhythm/RhythmCellBox.h src/rhythm/RhythmCellBox.cpp
)
