# Songs in and out: the MIDI file format (read, and written from what a
# score plays), MIDI files turned into scores, scores written as MusicXML
# for notation programs; the part list of a song opened in the window.
list(APPEND DZQ_CORE_SOURCES
  src/songs/MidiFile.h src/songs/MidiFile.cpp
  src/songs/MidiFileWriter.h src/songs/MidiFileWriter.cpp
  src/songs/SongMelody.h src/songs/SongMelody.cpp
  src/songs/SongKey.h src/songs/SongKey.cpp
  src/songs/SongImport.h src/songs/SongImport.cpp
  src/songs/SongOpening.h src/songs/SongOpening.cpp
  src/songs/SongAudition.h src/songs/SongAudition.cpp
  src/songs/ScoreTimeline.h src/songs/ScoreTimeline.cpp
  src/songs/MusicXml.h src/songs/MusicXml.cpp
)
list(APPEND DZQ_GUI_SOURCES
  src/songs/SongPartDialog.h src/songs/SongPartDialog.cpp
)
