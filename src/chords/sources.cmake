# Sources of this room are listed here.
dzq_room(chords
  USES core midiport performance resources
  SOURCES
  src/chords/ChordAccompaniment.h src/chords/ChordAccompaniment.cpp
  src/chords/SoundEffects.h src/chords/SoundEffects.cpp
)
dzq_room_part(chords views
  USES widgets:views
  SOURCES
  src/chords/ChordPanel.h src/chords/ChordPanel.cpp
)
