# Sources of this room are listed here.
list(APPEND DZQ_CORE_SOURCES
  src/chords/ChordAccompaniment.h src/chords/ChordAccompaniment.cpp
  src/chords/SoundEffects.h src/chords/SoundEffects.cpp
)
list(APPEND DZQ_GUI_SOURCES
  src/chords/ChordPanel.h src/chords/ChordPanel.cpp
)
